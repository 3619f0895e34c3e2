// ctest-labels: tsan
// The overlay's Cancel: it ends the request it was pressed for at once,
// whenever it comes (before the job began, in a pause or a poll, with no
// MIDI output, in a bank store's first moments), and never a request that
// starts after it. The instrument stays silent, at the real pauses: a
// cancel that was lost would run the polls and the sweep.
#include <gtest/gtest.h>

#include "jobs_fixture.h"

namespace {

using namespace jobstest;

bool isProgramChange(const Bytes& m) { return m.size() == 2 && (m[0] & 0xF0) == 0xC0; }
bool isProgramDump(const Bytes& m) { return m.size() == 297 && m[0] == 0xF0 && m[4] == 0x40; }

TEST(JobsCancel, ACancelBeforeTheJobBeginsEndsItAndNoLaterOne) {
    JobsEditor e(1);
    e.sim->setAnswering(false);
    for (int slot = 0; slot < 3; ++slot) e.fillSlot(slot, JobsEditor::programDump("Kept"));
    struct Case {
        const char* what;
        uint32_t job;
        std::function<void(MIDIMessageSender&)> args;
        std::string status;
    } cases[] = {
        {"program to the panel", MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; },
         "Data request CANCELLED!"},
        {"program and global data", MIDIMessageSender::kJobRequestArrangement,
         [](MIDIMessageSender& s) { s.toPanel = true; }, "Data request CANCELLED!"},
        {"the instrument's program to the librarian", MIDIMessageSender::kJobRequestSinglePatch,
         [](MIDIMessageSender& s) { s.tempProgram = true; }, "Data request CANCELLED! No program stored"},
        {"all programs", MIDIMessageSender::kJobRequestAllPatches, nullptr,
         "Data request CANCELLED! No program stored"},
        {"device enquiry", MIDIMessageSender::kJobDeviceIdEnquiry, nullptr, "Plug-in is ready to go!"},
        {"bank store", MIDIMessageSender::kJobStoreAllPatches,
         [&](MIDIMessageSender& s) { s.programsToStore = e.bank->patches; }, "Data write cancelled!"},
    };
    int device = 0x31;
    for (const Case& c : cases) {
        // Each case asks on a channel of its own: a sweep would ask on it
        // once more.
        e.plug->deviceByte = ++device;
        // Pressed while the job is being started, before its thread runs.
        ASSERT_TRUE(e.start(c.job, [&](MIDIMessageSender& s) {
            if (c.args) c.args(s);
            e.manager().cancelTransfer();
        }));
        ASSERT_TRUE(e.waitIdle()) << c.what;
        EXPECT_EQ(e.status(), c.status) << c.what;
        EXPECT_FALSE(e.plug->processingIndicator) << c.what;
    }
    // At most the first request of each went: no poll ran to a sweep, and
    // no program was stored.
    ASSERT_TRUE(e.sim->waitIdle());
    for (int d = 0x32; d <= device; ++d)
        EXPECT_LE(only(e.sim->received(), [d](const Bytes& m) { return m.size() == 6 && m[2] == d; }).size(), 1u)
            << cases[d - 0x32].what;
    EXPECT_TRUE(only(e.sim->received(), isProgramDump).empty());

    // The next request is not the cancelled one's: it runs to its answer.
    e.sim->setAnswering(true);
    e.plug->deviceByte = 0x30;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request completed!");
}

TEST(JobsCancel, ACancelDuringARequestAllsPollsEndsThemWithoutASweep) {
    JobsEditor e(1);
    e.sim->setAnswering(false);
    e.manager().armAllPatchesRequest();
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return !only(all, isProgramRequest).empty(); }));
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> all = e.sim->received();
    EXPECT_EQ(only(all, isProgramRequest).size(), 1u);
    EXPECT_EQ(only(all, isProgramChange).size(), 1u);
    EXPECT_EQ(e.status(), "Data request CANCELLED! No program stored");
}

TEST(JobsCancel, ACancelWithNoMIDIOutputEndsARequestAll) {
    JobsEditor e(1);
    e.plug->midiOutReady = false;
    e.manager().armAllPatchesRequest();
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    // The overlay shows over "Set MIDI I/O First!", said by the first request.
    ASSERT_TRUE(waitUntil([&] { return e.status() == "Set MIDI I/O First!"; }));
    e.cancel();
    ASSERT_TRUE(e.waitIdle());
    // No request was tried after it: the polls ended there.
    const std::vector<std::string> texts = e.statusHistory();
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "Set MIDI I/O First!"), 1);
    EXPECT_EQ(e.status(), "Data request CANCELLED! No program stored");
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsCancel, ACancelAsABankStoreShowsItsOverlayWritesNothing) {
    JobsEditor e(1);
    e.plug->GetParam(kLibSyncTimer)->Set(3);
    for (int slot = 0; slot < 3; ++slot) e.fillSlot(slot, JobsEditor::programDump("Stored"));
    e.plug->storeAllPatchesToDeviceFromLibrarian(0, 0);
    // Its first moments: the overlay is up, all notes off about to go.
    ASSERT_TRUE(waitUntil([&] { return e.plug->processingIndicator.load(); }));
    e.cancel();
    ASSERT_TRUE(e.waitIdle());
    ASSERT_TRUE(e.sim->waitIdle());
    EXPECT_TRUE(only(e.sim->received(), isProgramDump).empty());
    EXPECT_EQ(e.sim->programsWritten(), 0);
    EXPECT_EQ(e.status(), "Data write cancelled!");
    EXPECT_FALSE(e.plug->processingIndicator);
}

}  // namespace
