// ctest-labels: tsan
// The state the host keeps: its byte layout, the patch manager's block, and
// a project recalled in a fresh editor.
#include "core_component.h"
#include "core_fixture.h"
#include "src/PatchManager.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using coretest::Bytes;
using coretest::EditorInstance;
using coretest::Peer;
using namespace std::chrono_literals;

// Builds the bytes a chunk must hold, piece by piece.
struct Expect {
    Bytes b;
    void u32le(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void u32be(uint32_t v) {
        for (int i = 3; i >= 0; --i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
    }
    void f64(double v) {
        unsigned char raw[8];
        std::memcpy(raw, &v, 8);
        b.insert(b.end(), raw, raw + 8);
    }
    void str(const std::string& s) {
        u32le(static_cast<uint32_t>(s.size()));
        b.insert(b.end(), s.begin(), s.end());
    }
    void bytes(const ByteChunk& c) { b.insert(b.end(), c.GetBytes(), c.GetBytes() + c.Size()); }
};

Bytes bytesOf(const ByteChunk& c) { return Bytes(c.GetBytes(), c.GetBytes() + c.Size()); }

class CoreState : public ::testing::Test {
protected:
    void SetUp() override {
        e.plug->patchManager = new PatchManager(e.plug.get());
        e.plug->GetParam(kTimbreSelect)->Set(1);
        e.plug->GetParam(kFilterCutoff)->Set(99);
        e.plug->GetParam(kGlobalMIDICha)->Set(5);
        e.plug->patchManager->init();
    }
    coretest::BareEditor e;
};

TEST_F(CoreState, WithoutPatchesTheChunkIsVersionTimbresAnd407Values) {
    ByteChunk c;
    ASSERT_TRUE(e.plug->SerializeState2(&c, false));
    ASSERT_EQ(c.Size(), 3276);
    Expect x;
    x.u32le(0x01000000);
    x.f64(1.0);  // kTimbreSelect
    x.f64(0.0);  // kTimbreLinker
    for (int i = 0; i < 407; ++i) x.f64(e.plug->GetParam(i)->Value());
    EXPECT_EQ(bytesOf(c), x.b);
    EXPECT_EQ(Bytes(c.GetBytes(), c.GetBytes() + 4), (Bytes{0, 0, 0, 1}));
    EXPECT_TRUE(c.IsEqual(e.plug->patchManager->snapshot));
}

TEST_F(CoreState, WithPatchesTheManagersBlockAndThePortNamesFollow) {
    e.plug->patchManager->names[0] = "Night Lead";
    e.plug->GetParam(kBankSelection)->InitDouble("", 0, 0, 10, 1);
    e.plug->GetParam(kBankSelection)->Set(5);
    ByteChunk c;
    ASSERT_TRUE(e.plug->SerializeState(&c));

    IParam* in = e.plug->GetParam(kDeviceInSelection);
    IParam* out = e.plug->GetParam(kDeviceOutSelection);
    Expect x;
    x.u32le(0x01000000);
    x.f64(1.0);
    x.f64(0.0);
    x.u32le(0x01000000);
    x.u32le(0x01000000);
    x.u32be(3276);
    x.bytes(e.plug->patchManager->snapshot);
    x.str("Night Lead");
    x.str("- INIT -");
    x.str("- INIT -");
    x.str("Select MIDI Device");  // no port chosen: entry 0's text
    x.str("Select MIDI Device");
    x.f64(in->GetNormalized());
    x.f64(out->GetNormalized());
    x.f64(0.5);  // kBankSelection 5 of 0..10
    x.f64(e.plug->GetParam(kPatchSelection)->GetNormalized());
    for (int i = 0; i < 407; ++i) x.f64(e.plug->GetParam(i)->Value());
    EXPECT_EQ(bytesOf(c), x.b);
    EXPECT_EQ(e.plug->patchManager->names[3], "Select MIDI Device");
}

TEST(CorePatchManager, AnEmptySelectorTextIsStoredAsSetName) {
    coretest::RecordingPlug plug;  // nothing initialised: the selectors have no texts
    plug.patchManager = new PatchManager(&plug);
    ByteChunk c;
    plug.SerializeState(&c);
    EXPECT_EQ(plug.patchManager->names[3], "Set Name");
    EXPECT_EQ(plug.patchManager->names[4], "Set Name");
}

TEST(CorePatchManager, NamesAreCutOrPaddedToTwelveOnReadAndWrittenToTheirEnd) {
    PatchManager pm(nullptr);
    pm.snapshot.PutBytes("abc", 3);
    pm.names = {"A name longer than twelve", "short", "", "port in", "port out"};
    ByteChunk c;
    ASSERT_TRUE(pm.saveAllToChunk(&c));
    EXPECT_EQ(c.Size(), 12 + 3 + 5 * 4 + 25 + 5 + 0 + 7 + 8);

    PatchManager back(nullptr);
    EXPECT_EQ(back.loadAllFromChunk(&c, 0), c.Size());
    EXPECT_EQ(back.names[0], "A name longe");
    EXPECT_EQ(back.names[1], std::string("short\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(back.names[2], std::string(12, '\0'));
    EXPECT_EQ(back.names[3], "port in");
    EXPECT_EQ(back.names[4], "port out");
    EXPECT_TRUE(back.snapshot.IsEqual(pm.snapshot));

    // A padded name is written up to its first NUL.
    ByteChunk again;
    back.saveAllToChunk(&again);
    PatchManager third(nullptr);
    third.loadAllFromChunk(&again, 0);
    EXPECT_EQ(third.names[1], back.names[1]);
    EXPECT_EQ(again.Size(), c.Size() - 13);  // only name 0 got shorter

    // A text with a NUL inside is cut there.
    ByteChunk nul;
    uint32_t v = PatchManager::kVersionWord;
    nul.Put(&v);
    nul.Put(&v);
    nul.PutBytes("\0\0\0\0", 4);
    int32_t len = 5;
    nul.Put(&len);
    nul.PutBytes("ab\0cd", 5);
    PatchManager cut(nullptr);
    cut.loadAllFromChunk(&nul, 0);
    EXPECT_EQ(cut.names[0], std::string("ab\0\0\0\0\0\0\0\0\0\0", 12));
}

TEST(CorePatchManager, DamagedBlocksGiveEmptyPartsAndMinusOne) {
    PatchManager pm(nullptr);
    pm.names = {"one", "two", "three", "in", "out"};
    ByteChunk good;
    pm.saveAllToChunk(&good);

    // Cut anywhere: no read past the end, position -1 or past the end.
    for (int cutAt = 0; cutAt < good.Size(); ++cutAt) {
        ByteChunk part;
        part.PutBytes(good.GetBytes(), cutAt);
        PatchManager back(nullptr);
        int pos = back.loadAllFromChunk(&part, 0);
        EXPECT_TRUE(pos == -1 || pos > part.Size()) << cutAt;
    }

    // A snapshot length beyond the chunk: empty snapshot, -1, empty names.
    ByteChunk huge;
    uint32_t v = PatchManager::kVersionWord;
    huge.Put(&v);
    huge.Put(&v);
    huge.PutBytes("\xff\xff\xff\xff", 4);
    PatchManager back(nullptr);
    back.snapshot.PutBytes("old", 3);
    EXPECT_EQ(back.loadAllFromChunk(&huge, 0), -1);
    EXPECT_EQ(back.snapshot.Size(), 0);
    EXPECT_EQ(back.names[3], "");

    // A negative name length.
    ByteChunk neg;
    neg.Put(&v);
    neg.Put(&v);
    neg.PutBytes("\0\0\0\0", 4);
    int32_t bad = -3;
    neg.Put(&bad);
    PatchManager negative(nullptr);
    EXPECT_EQ(negative.loadAllFromChunk(&neg, 0), -1);
    EXPECT_EQ(negative.names[4], "");
}

TEST_F(CoreState, TheVersionWordIsIgnoredAndAShortChunkIsRefused) {
    ByteChunk c;
    e.plug->SerializeState2(&c, false);
    c.GetBytes()[0] = 0xAB;
    c.GetBytes()[3] = 0x7F;
    e.plug->GetParam(kFilterCutoff)->Set(1);
    e.plug->midiOutReady = false;
    EXPECT_EQ(e.plug->UnserializeState2(&c, 0, false), 3276);
    EXPECT_EQ(e.plug->GetParam(kFilterCutoff)->Value(), 99);
    EXPECT_EQ(e.plug->GetParam(kTimbreSelect)->Value(), 1);
    EXPECT_EQ(e.plug->selectedTimbre, 1);

    // Cut after the first 10 parameter values: refused, nothing changes.
    ByteChunk part;
    part.PutBytes(c.GetBytes(), 20 + 10 * 8 + 4);
    e.plug->GetParam(10)->Set(50);
    e.plug->GetParam(12)->Set(51);
    EXPECT_EQ(e.plug->UnserializeState2(&part, 0, false), -1);
    EXPECT_EQ(e.plug->GetParam(10)->Value(), 50);
    EXPECT_EQ(e.plug->GetParam(12)->Value(), 51);
}

TEST_F(CoreState, RecallSetsTheDeviceByteAndWritesItsLogLines) {
    e.plug->debugLogOn = true;
    e.plug->debugLogPath = e.dataDir.str() + "log.txt";
    e.plug->patchManager->names[0] = "Bass 01";
    ByteChunk c;
    e.plug->SerializeState(&c);
    e.plug->GetParam(kGlobalMIDICha)->Set(0);
    e.plug->deviceByte = 0x30;
    EXPECT_EQ(e.plug->UnserializeState(&c, 0), c.Size());
    EXPECT_EQ(e.plug->deviceByte, 0x35);
    EXPECT_EQ(e.plug->deviceByteCopy, 0x35);
    EXPECT_STREQ(e.plug->GetParam(kPatchName)->GetDisplayText(0), "Bass 01");
    EXPECT_EQ(e.status(), "Project Data Recalled");
    EXPECT_FALSE(e.plug->globalSent);
    EXPECT_TRUE(e.plug->pushGlobal);
    ASSERT_TRUE(e.plug->flushLog());
    const std::string log = e.dataDir.read("log.txt");
    for (const char* line : {"\t PROJECT RECALL: MIDI In device stored Select MIDI Device\n",
                             "\t PROJECT RECALL: MIDI Out device stored Select MIDI Device\n",
                             "\t PROJECT RECALL: MIDI In device after checking devices Select MIDI Device\n",
                             "\t PROJECT RECALL: hardware DeviceID 53\n", "\t PROJECT RECALL: Patch name Bass 01\n",
                             "\t PROJECT RECALL: MIDI Out device after nonautomated params Select MIDI Device\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << log;
    EXPECT_LT(log.find("DeviceID"), log.find("Patch name"));
}

TEST_F(CoreState, RecallSetsTheFilterSwitchesFromTheirParameters) {
    e.plug->GetParam(kMIDIFilterHWSEPassThrough)->Set(1);
    e.plug->GetParam(kMIDIFilterDAWCCPassThrough)->Set(1);
    e.plug->GetParam(kMIDIFilterToDAWBuffer)->Set(1);
    e.plug->GetParam(kSendMIDIClockInfo)->Set(1);
    ByteChunk c;
    e.plug->SerializeState(&c);
    e.plug->UnserializeState(&c, 0);
    EXPECT_FALSE(e.plug->hwInputFilter[Halvoran::kFilterSysEx]);
    EXPECT_TRUE(e.plug->hwInputFilter[Halvoran::kFilterCC]);
    EXPECT_FALSE(e.plug->dawInputFilter[Halvoran::kFilterCC]);
    EXPECT_TRUE(e.plug->dawInputFilter[Halvoran::kFilterSysEx]);
    EXPECT_TRUE(e.plug->routeToDAWBuffer);
    EXPECT_TRUE(e.plug->continuousClockEnabled);
    EXPECT_FALSE(e.plug->clockStartStopEnabled);
    EXPECT_FALSE(e.plug->trackIncoming);
}

// ---- Whole projects through the host, with real ports.

class CoreRecall : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(hvtest::JackServer::shared().running()); }
    hvtest::TempDataDir dir;
    coretest::PanelBundle bundle{dir.path()};
};

TEST_F(CoreRecall, AFreshEditorReopensThePortsByNameAndRestoresEveryValue) {
    Peer peer;
    platform::cf::PropertyDict saved;
    std::vector<double> values(407);
    {
        EditorInstance a;
        ASSERT_NE(a.plug, nullptr);
        a.choosePorts(peer);
        ASSERT_TRUE(a.plug->midiOutReady);
        for (int i = 0; i < 407; ++i) {
            IParam* p = a.plug->GetParam(i);
            p->Set(p->GetMin() + (i * 7) % static_cast<int>(p->GetMax() - p->GetMin() + 1));
            values[i] = p->Value();
        }
        a.plug->GetParam(kTimbreSelect)->Set(1);
        // As the last program send left it; an older editor let any letter in.
        a.plug->patchManager->names[0] = "Crème Lead";
        ASSERT_EQ(a.instance.getState(&saved), platform::au::kNoErr);
    }
    peer.drain(100ms);

    EditorInstance b;
    ASSERT_NE(b.plug, nullptr);
    EXPECT_FALSE(b.plug->midiOutReady);
    ASSERT_EQ(b.instance.setState(saved), platform::au::kNoErr);
    EXPECT_TRUE(b.plug->midiOutReady);
    EXPECT_TRUE(b.plug->isExternalMIDIOutOpen());
    EXPECT_TRUE(b.plug->isExternalMIDIInOpen());
    EXPECT_STREQ(b.plug->GetParam(kDeviceOutSelection)->GetDisplayText(b.plug->GetParam(kDeviceOutSelection)->Int()),
                 peer.inName().c_str());
    EXPECT_STREQ(b.plug->GetParam(kDeviceInSelection)->GetDisplayText(b.plug->GetParam(kDeviceInSelection)->Int()),
                 peer.outName().c_str());
    for (int i = 0; i < 407; ++i) EXPECT_EQ(b.plug->GetParam(i)->Value(), values[i]) << i;
    EXPECT_EQ(b.plug->GetParam(kTimbreSelect)->Value(), 1);
    EXPECT_EQ(b.plug->GetParam(kMainTab)->Value(), 2);
    // The panel's port menu and status line follow.
    IControl* inMenu = b.plug->firstBoundControl(kDeviceInSelection);
    ASSERT_NE(inMenu, nullptr);
    EXPECT_EQ(inMenu->GetValue(), b.plug->GetParam(kDeviceInSelection)->GetNormalized());
    ASSERT_NE(b.plug->statusTextControl, nullptr);
    EXPECT_EQ(b.plug->statusTextControl->GetTextString(), "Project Data Recalled");

    // The recall pushes the global data, then the program, to the instrument
    // and holds incoming MIDI back until that is done.
    auto got = peer.receive(2, 20s);
    ASSERT_EQ(got.size(), 2u);
    const auto device = static_cast<unsigned char>(0x30 + static_cast<int>(values[kGlobalMIDICha]) % 16);
    ASSERT_EQ(got[0].size(), 235u);
    EXPECT_EQ(Bytes(got[0].begin(), got[0].begin() + 5), (Bytes{0xF0, 0x42, device, 0x58, 0x51}));
    ASSERT_EQ(got[1].size(), 297u);
    EXPECT_EQ(Bytes(got[1].begin(), got[1].begin() + 5), (Bytes{0xF0, 0x42, device, 0x58, 0x40}));
    EXPECT_EQ(got[1].back(), 0xF7);
    EXPECT_EQ(
        std::string(got[1].begin() + 6, got[1].begin() + 13) + std::string(got[1].begin() + 14, got[1].begin() + 19),
        "Creme Lead  ");
    EXPECT_TRUE(hvtest::waitUntil([&] { return !b.plug->transferBusy; }, 60000));
    EXPECT_EQ(b.plug->GetParam(kPatchName)->GetDisplayText(0), std::string("Creme Lead"));
}

TEST_F(CoreRecall, WithoutItsPortsAProjectKeepsItsValuesAndIsSavedAgainUnchanged) {
    platform::cf::PropertyDict saved;
    std::vector<double> values(407);
    {
        Peer gone;
        EditorInstance a;
        a.choosePorts(gone);
        for (int i = 0; i < 407; ++i) values[i] = a.plug->GetParam(i)->Value();
        a.plug->GetParam(kFilterCutoff)->Set(77);
        values[kFilterCutoff] = 77;
        a.instance.getState(&saved);
    }
    // The ports are gone when the project comes back.
    EditorInstance b;
    b.plug->GetParam(kFilterCutoff)->Set(3);
    ASSERT_EQ(b.instance.setState(saved), platform::au::kNoErr);
    EXPECT_FALSE(b.plug->midiOutReady);
    EXPECT_EQ(b.plug->GetParam(kDeviceOutSelection)->Int(), 0);
    EXPECT_FALSE(b.plug->transferBusy);  // no send, nothing held back
    for (int i = 0; i < 407; ++i) EXPECT_EQ(b.plug->GetParam(i)->Value(), values[i]) << i;

    platform::cf::PropertyDict again;
    b.instance.getState(&again);
    ASSERT_NE(again.getData("data"), nullptr);
    EXPECT_EQ(*again.getData("data"), *saved.getData("data"));
}

// A project whose state cannot be read whole: the host is told, and no
// value, port or text of the editor changes, nothing goes to the instrument.
TEST_F(CoreRecall, ADamagedStateIsRefusedAndChangesNothing) {
    platform::cf::PropertyDict saved;
    {
        EditorInstance a;
        a.plug->GetParam(kLfo1Frequency)->Set(40);
        a.plug->GetParam(kLfo1Frequency + 1)->Set(20);
        a.plug->patchManager->names[0] = "Whole";
        ASSERT_EQ(a.instance.getState(&saved), platform::au::kNoErr);
    }
    const Bytes whole = *saved.getData("data");
    // The names' block starts after the version, the timbres and the two
    // version words and length of the snapshot (3276 bytes).
    const size_t namesAt = 20 + 12 + 3276;
    Peer peer;
    EditorInstance b;
    b.choosePorts(peer);
    ASSERT_TRUE(b.plug->midiOutReady);
    for (size_t size :
         {size_t{0}, size_t{3}, size_t{40}, namesAt + 2, namesAt + 20, whole.size() - 8 * 407, whole.size() - 1}) {
        b.plug->GetParam(kLfo1Frequency)->Set(7);
        b.plug->GetParam(kLfo1Frequency + 1)->Set(8);
        b.plug->GetParam(kPatchName)->SetDisplayText(0, "Before");
        platform::cf::PropertyDict cut = saved;
        cut.setData("data", Bytes(whole.begin(), whole.begin() + static_cast<long>(size)));
        EXPECT_EQ(b.instance.setState(cut), platform::au::kErrInvalidPropertyValue) << size;
        EXPECT_EQ(b.plug->GetParam(kLfo1Frequency)->Value(), 7) << size;
        EXPECT_EQ(b.plug->GetParam(kLfo1Frequency + 1)->Value(), 8) << size;
        EXPECT_STREQ(b.plug->GetParam(kPatchName)->GetDisplayText(0), "Before");
        EXPECT_TRUE(b.plug->isExternalMIDIOutOpen()) << size;
        EXPECT_FALSE(b.plug->transferBusy) << size;
    }
    EXPECT_TRUE(peer.drain(300ms).empty());

    // Whole, or with bytes after it, it is read.
    Bytes longer = whole;
    longer.insert(longer.end(), 16, 0xEE);
    for (const Bytes& data : {whole, longer}) {
        platform::cf::PropertyDict state = saved;
        state.setData("data", data);
        EXPECT_EQ(b.instance.setState(state), platform::au::kNoErr);
        EXPECT_EQ(b.plug->GetParam(kLfo1Frequency)->Value(), 40);
        EXPECT_EQ(b.plug->GetParam(kLfo1Frequency + 1)->Value(), 20);
        b.plug->GetParam(kLfo1Frequency)->Set(7);
    }
}

}  // namespace
