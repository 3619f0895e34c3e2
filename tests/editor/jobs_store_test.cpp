// ctest-labels: tsan
// Send and store jobs against a simulated instrument on JACK: one librarian
// program sent and stored, the slot correction and the tempo override on the
// dump that leaves, the first programs of a bank store and its cancel, and
// the ways a store ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "jobs_fixture.h"
#include "src/ProgramDump.h"

namespace {

using namespace jobstest;

bool isProgramDump(const Bytes& m) { return m.size() == 297 && m[0] == 0xF0 && m[4] == 0x40; }
bool isWriteRequest(const Bytes& m) { return m.size() == 8 && m[0] == 0xF0 && m[4] == 0x11; }
bool isNotesOff(const Bytes& m) { return m.size() == 3 && (m[0] & 0xF0) == 0xB0 && m[1] == 123 && m[2] == 0; }

// Sends slot's program with the write request and returns the dump that
// arrived.
Bytes sentDump(JobsEditor& e, int slot, const Bytes& dump) {
    e.fillSlot(slot, dump);
    e.plug->storeAfterSend = true;
    EXPECT_TRUE(e.start(MIDIMessageSender::kJobSendLibrarianPatch, [&](MIDIMessageSender& s) {
        s.libraryPatch = &e.bank->patches[slot];
        s.intArg3 = 0;
        s.intArg2 = slot;
    }));
    EXPECT_TRUE(e.waitIdle());
    EXPECT_TRUE(e.sim->waitFor([](const std::vector<Message>& all) { return !only(all, isWriteRequest).empty(); }));
    std::vector<Message> dumps = only(e.sim->received(), isProgramDump);
    e.sim->clearReceived();
    return dumps.size() == 1 ? dumps[0].bytes : Bytes{};
}

TEST(JobsStore, AProgramSentAndStoredWithTheWriteRequestAfterThePause) {
    JobsEditor e(1);
    e.plug->GetParam(kGlobalMIDICha)->Set(2);
    e.plug->deviceByte = 0x32;
    e.sim->setChannel(2);
    Bytes dump = JobsEditor::programDump("Seventh Slot");
    e.fillSlot(7, dump, "Seventh Slot");
    e.plug->patchLibrarian->selectedSlotUpper = 7;
    e.plug->SendSingleProgramFromLibrarian(true);
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitFor([](const std::vector<Message>& all) { return !only(all, isWriteRequest).empty(); }));

    std::vector<Message> all = e.sim->received();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].bytes, (Bytes{0xC2, 7}));
    EXPECT_TRUE(isNotesOff(all[1].bytes));
    EXPECT_EQ(all[1].bytes[0], 0xB2);
    // Slot 7 is sent as it is, with the held device byte.
    Bytes expected = dump;
    expected[2] = 0x32;
    EXPECT_EQ(all[2].bytes, expected);
    EXPECT_EQ(all[3].bytes, (Bytes{0xF0, 0x42, 0x32, 0x58, 0x11, 0x00, 0x07, 0xF7}));
    // The write request waits one pause (200 ms) after the dump.
    EXPECT_GE(secondsBetween(all[2], all[3]), 0.19);
    ASSERT_TRUE(e.sim->waitIdle());
    EXPECT_EQ(e.sim->programsWritten(), 1);
    Bytes stored = e.sim->program(7);
    ASSERT_EQ(stored.size(), 297u);
    EXPECT_TRUE(std::equal(stored.begin() + 3, stored.end(), expected.begin() + 3));
    EXPECT_FALSE(e.plug->storeAfterSend);
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsStore, SlotCorrectionPutsDisplacedTopBitsBack) {
    JobsEditor e(20);
    Bytes base = JobsEditor::programDump("Corrected");

    // Slot 0 and multiples of 7 leave unchanged.
    Bytes odd = base;
    for (int pos : {21, 29, 37, 45, 53, 93, 101, 109, 165, 173, 229, 237}) odd[pos] = 0x05;
    EXPECT_EQ(sentDump(e, 0, odd), odd);
    EXPECT_EQ(sentDump(e, 14, odd), odd);

    // Class 1 (slots 1, 8, ...), each rule once.
    Bytes in = base;
    std::map<int, uint8_t> set1 = {{21, 0x10},  {29, 0x01},  {37, 0x60},  {45, 0x68},  {53, 0x03}, {93, 0x48},
                                   {101, 0x00}, {109, 0x06}, {165, 0x00}, {173, 0x04}, {229, 0x20}};
    for (auto [pos, v] : set1) in[pos] = v;
    Bytes out = sentDump(e, 8, in);
    ASSERT_EQ(out.size(), 297u);
    std::map<int, uint8_t> want1 = {{21, 0x24},  {29, 0x00},  {37, 0x18},  {45, 0x1A},  {53, 0x00}, {93, 0x12},
                                    {101, 0x40}, {109, 0x01}, {165, 0x40}, {173, 0x01}, {229, 0x08}};
    for (auto [pos, v] : want1) EXPECT_EQ(out[pos], v) << "class 1 position " << pos;
    // A value no rule names stays.
    in[37] = 0x21;
    EXPECT_EQ(sentDump(e, 1, in)[37], 0x21);

    // Class 4 keeps 29 and 53.
    in = base;
    std::map<int, uint8_t> set4 = {{21, 0x48}, {29, 0x01},  {37, 0x30},  {45, 0x24}, {53, 0x02},
                                   {93, 0x24}, {109, 0x03}, {173, 0x02}, {229, 0x10}};
    for (auto [pos, v] : set4) in[pos] = v;
    out = sentDump(e, 11, in);
    ASSERT_EQ(out.size(), 297u);
    std::map<int, uint8_t> want4 = {{21, 0x24},  {29, 0x01},  {37, 0x18},  {45, 0x12},  {53, 0x02}, {93, 0x12},
                                    {101, 0x40}, {109, 0x01}, {165, 0x40}, {173, 0x01}, {229, 0x08}};
    for (auto [pos, v] : want4) EXPECT_EQ(out[pos], v) << "class 4 position " << pos;

    // Class 2 moves back by four places, across the byte at 29 into 21.
    in = base;
    in[21] = 0x40;
    in[29] = 0x04;
    in[229] = 0x00;
    in[237] = 0x01;
    out = sentDump(e, 2, in);
    ASSERT_EQ(out.size(), 297u);
    EXPECT_EQ(out[21], 0x24);
    EXPECT_EQ(out[29], 0x00);
    EXPECT_EQ(out[229], 0x08);
    EXPECT_EQ(out[237], 0x00);
    EXPECT_EQ(out[165], 0x40);

    // Class 3 clears 21 when 29 holds nothing.
    in = base;
    in[21] = 0x01;
    in[29] = 0x00;
    out = sentDump(e, 3, in);
    ASSERT_EQ(out.size(), 297u);
    EXPECT_EQ(out[21], 0x00);
}

TEST(JobsStore, OverrideTempoPutsThePanelTempoIntoTheDump) {
    JobsEditor e(20);
    e.plug->GetParam(kOverrideTempo)->Set(1);
    e.plug->GetParam(kArpTempo)->Set(200);  // 220 BPM
    Bytes in = JobsEditor::programDump("Tempo");
    in[37] = 0x10;
    Bytes out = sentDump(e, 0, in);
    ASSERT_EQ(out.size(), 297u);
    EXPECT_EQ(out[40], 0x00);
    EXPECT_EQ(out[41], 0x5C);
    EXPECT_EQ(out[37], 0x18);
    // Any other value of the packing byte is left alone.
    e.plug->GetParam(kArpTempo)->Set(280);  // 300 BPM
    in[37] = 0x01;
    out = sentDump(e, 0, in);
    ASSERT_EQ(out.size(), 297u);
    EXPECT_EQ(out[40], 0x01);
    EXPECT_EQ(out[41], 0x2C);
    EXPECT_EQ(out[37], 0x01);
}

TEST(JobsStore, ASlotThatHoldsNoWholeProgramIsRefused) {
    JobsEditor e(20);
    Bytes shortDump = JobsEditor::programDump("Short");
    shortDump.resize(296);
    e.fillSlot(5, shortDump);
    e.plug->storeAfterSend = true;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobSendLibrarianPatch, [&](MIDIMessageSender& s) {
        s.libraryPatch = &e.bank->patches[5];
        s.intArg2 = 5;
    }));
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitIdle());
    std::this_thread::sleep_for(100ms);
    for (const Message& m : e.sim->received()) EXPECT_TRUE(isNotesOff(m.bytes));
    EXPECT_TRUE(e.sender().failed);
    EXPECT_FALSE(e.plug->processingIndicator);
}

class BankStore : public ::testing::Test {
protected:
    void fill(int count) {
        for (int i = 0; i < count; ++i) {
            Bytes d = JobsEditor::programDump("Prog " + std::to_string(i), static_cast<uint8_t>(i));
            d[2] = 0x3A;  // stored from another channel: the held one is sent
            e.fillSlot(i, d);
        }
    }
    JobsEditor e{20};
};

TEST_F(BankStore, FirstProgramsOfABankThenTheEmptySlotEndsIt) {
    fill(3);
    e.plug->storeAllPatchesToDeviceFromLibrarian(0, 0);
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitFor([](const std::vector<Message>& all) { return only(all, isWriteRequest).size() == 3; }));
    ASSERT_TRUE(e.sim->waitIdle());

    std::vector<Message> all = e.sim->received();
    ASSERT_FALSE(all.empty());
    EXPECT_TRUE(isNotesOff(all[0].bytes));
    // Per program: program change, dump, write request, in that order.
    std::vector<Message> rest(all.begin() + 1, all.end());
    ASSERT_EQ(rest.size(), 9u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rest[3 * i].bytes, (Bytes{0xC0, static_cast<uint8_t>(i)}));
        ASSERT_TRUE(isProgramDump(rest[3 * i + 1].bytes));
        EXPECT_EQ(rest[3 * i + 1].bytes[2], 0x30);
        EXPECT_EQ(rest[3 * i + 1].bytes[100], i);
        EXPECT_EQ(rest[3 * i + 2].bytes, (Bytes{0xF0, 0x42, 0x30, 0x58, 0x11, 0x00, static_cast<uint8_t>(i), 0xF7}));
    }
    EXPECT_EQ(e.sim->programsWritten(), 3);
    // The empty fourth slot ends the store with a last word, and the overlay
    // does not stay behind.
    EXPECT_EQ(e.status(), "Stopped at empty slot 4: 3 programs written");
    EXPECT_FALSE(e.plug->processingIndicator);
    EXPECT_EQ(e.plug->patchLibrarian->selectedSlotUpper, 0);

    // An empty first slot: nothing is written, and the text says so.
    e.sim->clearReceived();
    e.plug->patchLibrarian->bankFiles[0]->patches[0] = LibrarianPatch();
    e.plug->storeAllPatchesToDeviceFromLibrarian(0, 0);
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Stopped at empty slot 1: no program written");
    EXPECT_TRUE(only(e.sim->received(), isWriteRequest).empty());
}

TEST_F(BankStore, CancelStopsAfterTheWriteRequestOfTheProgramUnderWay) {
    fill(10);
    e.plug->storeAllPatchesToDeviceFromLibrarian(0, 0);
    // Cancelled once program 2's dump went: its write request still goes.
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return only(all, isProgramDump).size() == 3; }));
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitIdle());
    std::this_thread::sleep_for(100ms);
    std::vector<Message> all = e.sim->received();
    EXPECT_EQ(only(all, isProgramDump).size(), 3u);
    ASSERT_EQ(only(all, isWriteRequest).size(), 3u);
    EXPECT_TRUE(isWriteRequest(all.back().bytes));
    EXPECT_EQ(e.status(), "Data write cancelled!");
    EXPECT_EQ(e.plug->patchLibrarian->selectedSlotUpper, 0);
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST_F(BankStore, AMissingBankEndsTheStoreWithTheOverlayGone) {
    e.plug->patchLibrarian->selectedBankUpper = 3;
    e.plug->storeAllPatchesToDeviceFromLibrarian(0, 0);
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitIdle());
    for (const Message& m : e.sim->received()) EXPECT_TRUE(isNotesOff(m.bytes));
    EXPECT_FALSE(e.plug->processingIndicator);
}

}  // namespace

namespace {

using namespace jobstest;

// A slot whose two timbre blocks differ, as 254 data bytes in a dump.
Bytes twoTimbreDump(uint8_t dump[kProgramDataSize]) {
    Bytes d = JobsEditor::programDump("Slot Name");
    uint8_t data[kProgramDataSize];
    unpackProgramData(d.data(), data);
    for (int k = 0; k < kTimbreDataSize; ++k) {
        data[kTimbre1Data + k] = static_cast<uint8_t>(k % 100);
        data[kTimbre2Data + k] = static_cast<uint8_t>(100 - k % 90);
    }
    packProgramData(data, d.data());
    std::memcpy(dump, data, kProgramDataSize);
    return d;
}

TEST(JobsStore, TimbreTransferMixesTheSlotWithThePanel) {
    JobsEditor e(20);
    e.plug->GetParam(kPatchName)->SetDisplayText(0, "Panel Name");
    uint8_t slot[kProgramDataSize];
    Bytes in = twoTimbreDump(slot);
    // Timbre 1 as the panel writes its fields over the slot's bytes.
    uint8_t panel[kProgramDataSize];
    std::memcpy(panel, slot, sizeof panel);
    writeProgramFields(UnitDumpParams(*e.plug), panel, kSectionTimbre1);

    // The slot's timbre 1 into timbre 2; timbre 1, the name and the common
    // block from the panel, the arpeggiator's length and steps from the slot.
    e.plug->GetParam(kLoadToTimbre2)->Set(1);
    e.plug->GetParam(kReadFromTimbre1)->Set(1);
    Bytes out = sentDump(e, 0, in);
    ASSERT_EQ(out.size(), 297u);
    uint8_t data[kProgramDataSize];
    unpackProgramData(out.data(), data);
    EXPECT_EQ(0, std::memcmp(data + kTimbre2Data, slot + kTimbre1Data, kTimbreDataSize));
    EXPECT_EQ(patchNameFromDump(out.data(), out.size()).substr(0, 10), "Panel Name");
    EXPECT_EQ(data[14], slot[14]);
    EXPECT_EQ(data[15], slot[15]);
    EXPECT_EQ(0, std::memcmp(data + kTimbre1Data, panel + kTimbre1Data, kTimbreDataSize));
    EXPECT_NE(0, std::memcmp(data + kTimbre1Data, slot + kTimbre1Data, kTimbreDataSize));

    // No source: both timbres stay the slot's.
    e.plug->GetParam(kReadFromTimbre1)->Set(0);
    out = sentDump(e, 0, in);
    ASSERT_EQ(out.size(), 297u);
    unpackProgramData(out.data(), data);
    EXPECT_EQ(0, std::memcmp(data + kTimbre1Data, slot + kTimbre1Data, 2 * kTimbreDataSize));
    EXPECT_EQ(patchNameFromDump(out.data(), out.size()).substr(0, 10), "Panel Name");

    // No target: the slot goes as it is.
    e.plug->GetParam(kLoadToTimbre2)->Set(0);
    Bytes expected = in;
    EXPECT_EQ(sentDump(e, 0, in), expected);
}

}  // namespace
