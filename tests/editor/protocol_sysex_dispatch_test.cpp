// ctest-labels: tsan
// SysEx from the instrument through the editor's entry: routing by size,
// state and channel, the channel take-over, parameter changes, the
// librarian's requests, and bad input that must change nothing.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core_fixture.h"
#include "librarian_testbanks.h"
#include "protocol_bindings.h"
#include "src/GlobalDump.h"
#include "src/PatchLibrarian.h"
#include "src/PatchManager.h"
#include "src/ProgramDump.h"

namespace {

using coretest::BareEditor;
using Bytes = std::vector<uint8_t>;

class SysExDispatch : public coretest::BareEditorTest {
protected:
    void SetUp() override {
        BareEditorTest::SetUp();
        plug->deviceByte = 0x30;
    }

    void feed(const Bytes& m, bool fromDevice = true) {
        ISysEx s(0, m.data(), static_cast<int>(m.size()));
        plug->ProcessSysEx(&s, fromDevice);
    }
    // A program dump of the editor's own parameters with some fields moved.
    Bytes program(int deviceByte = 0x30, const std::string& name = "Dispatch") {
        BareEditor other;
        other.plug->GetParam(kFilterCutoff)->Set(99);
        other.plug->GetParam(kAmpLevel + 1)->Set(12);
        other.plug->GetParam(kArpTempo)->Set(180);
        Bytes d(kProgramDumpSize);
        buildProgramDump(UnitDumpParams(*other.plug), deviceByte, name, d.data());
        return d;
    }
    Bytes global(int deviceByte, int channel) {
        Bytes d(globalDumpTemplate, globalDumpTemplate + kGlobalDumpSize);
        d[2] = static_cast<uint8_t>(deviceByte);
        d[16] = static_cast<uint8_t>(channel);
        d[11] = 0x04;  // local control on
        return d;
    }
    Bytes paramChange(int lo, int hi, int v, int h, int device = 0x30) {
        return {0xF0,
                0x42,
                static_cast<uint8_t>(device),
                0x58,
                0x41,
                static_cast<uint8_t>(lo),
                static_cast<uint8_t>(hi),
                static_cast<uint8_t>(v),
                static_cast<uint8_t>(h),
                0xF7};
    }
    // A control for parameter change (lo, hi) bound to paramIdx.
    IControl* sysexControl(int paramIdx, int lo, int hi) {
        IControl* c = nullptr;
        e->bind(paramIdx, ControlAction::kSysEx, &c);
        hvproto::registerParameterChange(*plug->uiConfigManager, c, lo, hi);
        return c;
    }
    std::vector<double> values() const {
        std::vector<double> v;
        for (int i = 0; i < plug->NParams(); ++i) v.push_back(plug->GetParam(i)->Value());
        return v;
    }
};

TEST_F(SysExDispatch, ProgramDumpOnTheHeldChannelReachesThePanelWhileAwaited) {
    mgr->awaitingPanelDump = true;
    feed(program());
    EXPECT_EQ(plug->GetParam(kFilterCutoff)->Value(), 99);
    EXPECT_EQ(plug->GetParam(kAmpLevel + 1)->Value(), 12);
    EXPECT_EQ(plug->GetParam(kArpTempo)->Value(), 180);
    EXPECT_STREQ(plug->GetParam(kPatchName)->GetDisplayText(0), "Dispatch    ");
    EXPECT_TRUE(mgr->replySeen);
    EXPECT_TRUE(plug->answered);
    EXPECT_TRUE(mgr->timbreRefreshPending);
    EXPECT_FALSE(plug->dataMismatch);
    EXPECT_STREQ(e->status().c_str(), "");
}

TEST_F(SysExDispatch, ProgramDumpWithoutARequestOrOnAnotherChannelChangesNothing) {
    const auto before = values();
    feed(program());  // nobody asked: the global path, outside initialization
    EXPECT_EQ(values(), before);
    EXPECT_FALSE(mgr->replySeen);

    mgr->awaitingPanelDump = true;
    feed(program(0x35));
    EXPECT_EQ(values(), before);
    EXPECT_EQ(e->status(), "Global Channel Mismatch while patch request is on!");
    EXPECT_FALSE(mgr->replySeen);
    EXPECT_FALSE(plug->answered);
    EXPECT_EQ(plug->deviceByte, 0x30);  // a program dump never moves the channel
}

TEST_F(SysExDispatch, DumpsOfTheWrongLengthAreNeverReadAndTheLongOnesRaiseTheMismatch) {
    const auto before = values();
    mgr->awaitingPanelDump = true;
    Bytes shortDump = program();
    shortDump.resize(296);
    shortDump.back() = 0xF7;
    feed(shortDump);
    EXPECT_EQ(values(), before);
    EXPECT_FALSE(plug->dataMismatch);

    Bytes longDump = program();
    longDump.insert(longDump.end() - 1, 0x00);  // 298 bytes
    feed(longDump);
    EXPECT_TRUE(plug->dataMismatch);
    EXPECT_EQ(plug->GetParam(kGlobalClockSource)->Value(), 1.0);
    EXPECT_EQ(plug->GetParam(kFilterCutoff)->Value(), before[kFilterCutoff]);
    EXPECT_TRUE(mgr->timbreRefreshPending);

    // A whole dump later clears the flag again.
    feed(program());
    EXPECT_FALSE(plug->dataMismatch);
}

TEST_F(SysExDispatch, GlobalDumpDuringInitializationTakesOverTheInstrumentsChannel) {
    plug->initialization = true;
    plug->constructionComplete = false;
    mgr->awaitingPanelDump = true;
    feed(global(0x35, 5));
    EXPECT_EQ(e->status(), "Global Channel Mismatch while initialization is on!");
    EXPECT_EQ(plug->GetParam(kGlobalMIDICha)->Value(), 5);
    EXPECT_EQ(plug->deviceByte, 0x35);
    EXPECT_EQ(plug->deviceByteCopy, 0x35);
    EXPECT_FALSE(plug->initialization);
    EXPECT_TRUE(plug->constructionComplete);
    EXPECT_TRUE(plug->localControlOn);
    EXPECT_FALSE(mgr->awaitingPanelDump);
    EXPECT_TRUE(mgr->replySeen);

    // Initialization over: later global dumps are not read.
    plug->setStatusText("");
    feed(global(0x35, 9));
    EXPECT_EQ(plug->GetParam(kGlobalMIDICha)->Value(), 5);
}

TEST_F(SysExDispatch, GlobalDumpTooLongIsNotReadButReported) {
    plug->initialization = true;
    Bytes d = global(0x30, 7);
    d.insert(d.end() - 1, 3, 0x00);  // 238 bytes
    feed(d);
    EXPECT_EQ(plug->GetParam(kGlobalMIDICha)->Value(), 0);
    EXPECT_TRUE(plug->dataMismatch);
    EXPECT_TRUE(plug->initialization);  // a refused dump does not end it
}

TEST_F(SysExDispatch, ParameterChangeValues) {
    IControl* tempo = sysexControl(kArpTempo, 0x30, 0x00);
    IControl* step = sysexControl(kSeq1Step5, 0x40, 0x00);
    IControl* eq = sysexControl(kEQLowGain, 0x21, 0x00);
    IControl* swing = sysexControl(kArpSwing, 0x31, 0x00);
    IControl* plain = sysexControl(kEQHiFreq, 0x22, 0x00);
    plug->GetParam(kEQLowGain)->InitDouble("EQ Low Gain", 12, 0, 24, 1);
    plug->GetParam(kArpSwing)->InitDouble("Swing", 100, 0, 200, 1);
    (void)tempo, (void)step, (void)eq, (void)swing, (void)plain;

    struct Case {
        int lo, v, h, param;
        double want;
    } cases[] = {
        {0x30, 20, 1, kArpTempo, 128},  {0x30, 20, 2, kArpTempo, 256}, {0x30, 120, 0, kArpTempo, 100},
        {0x40, 127, 1, kSeq1Step5, 63}, {0x40, 5, 0, kSeq1Step5, 69},  {0x21, 0, 0, kEQLowGain, 12},
        {0x21, 127, 1, kEQLowGain, 11}, {0x31, 50, 0, kArpSwing, 150}, {0x31, 100, 1, kArpSwing, 72},
        {0x22, 17, 1, kEQHiFreq, 17},
    };
    for (const Case& c : cases) {
        feed(paramChange(c.lo, 0x00, c.v, c.h));
        EXPECT_EQ(plug->GetParam(c.param)->Value(), c.want) << c.lo << " " << c.v << " " << c.h;
    }
    EXPECT_EQ(e->status(), "");
}

TEST_F(SysExDispatch, ParameterChangeMovesItsControlWithoutEchoAndTakesOverTheChannel) {
    IControl* cutoff = sysexControl(kFilterCutoff, 0x14, 0x00);
    mgr->timbreRefreshPending = true;
    feed(paramChange(0x14, 0x00, 77, 0, 0x3B));
    EXPECT_EQ(plug->GetParam(kFilterCutoff)->Value(), 77);
    EXPECT_DOUBLE_EQ(cutoff->GetValue(), 77 / 127.0);
    EXPECT_EQ(plug->deviceByte, 0x3B);
    EXPECT_EQ(plug->GetParam(kGlobalMIDICha)->Value(), 11);
    EXPECT_FALSE(mgr->timbreRefreshPending);
    // Neither a control change nor a program send goes back.
    EXPECT_TRUE(plug->takeSent().empty());
    EXPECT_EQ(mgr->sender->threadJobCode[MIDIMessageManager::kTransferThread], MIDIMessageSender::kJobNone);

    // The status line says so (here for an id without a control, whose
    // value text does not follow).
    feed(paramChange(0x15, 0x00, 1, 0, 0x3C));
    EXPECT_EQ(e->status(), "Global Channel Mismatch when receiving control data!");
    EXPECT_EQ(plug->deviceByte, 0x3C);
}

TEST_F(SysExDispatch, ParameterChangesThatAreNotForNowChangeNothing) {
    sysexControl(kFilterCutoff, 0x14, 0x00);
    const auto before = values();
    feed(paramChange(0x15, 0x00, 77, 0));  // no control for this id
    EXPECT_EQ(values(), before);

    mgr->controlDataBlocked = true;
    feed(paramChange(0x14, 0x00, 77, 0, 0x3B));
    EXPECT_EQ(values(), before);
    EXPECT_EQ(plug->deviceByte, 0x30);
    mgr->controlDataBlocked = false;

    mgr->awaitingPanelDump = true;
    feed(paramChange(0x14, 0x00, 77, 0, 0x3B));
    EXPECT_EQ(values(), before);
    EXPECT_EQ(plug->deviceByte, 0x30);
    mgr->awaitingPanelDump = false;

    // A mode change takes the channel, nothing else.
    feed({0xF0, 0x42, 0x32, 0x58, 0x4E, 0x01, 0x00, 0xF7});
    EXPECT_EQ(plug->deviceByte, 0x32);
    auto after = values();
    after[kGlobalMIDICha] = before[kGlobalMIDICha];
    EXPECT_EQ(after, before);
}

TEST_F(SysExDispatch, SpecialParameterIdsRefreshTheirViews) {
    plug->GetParam(kCommonMode)->InitEnum("Common Mode", 0, 4);
    sysexControl(kCommonMode, 16, 0);
    plug->GetParam(kTimbreSelect)->Set(1);
    feed(paramChange(16, 0, 2, 0));
    EXPECT_EQ(plug->GetParam(kCommonMode)->Value(), 2);
    // Special ids take v as it is, with no value map.
    sysexControl(kArpTempo, 0, 2);
    feed(paramChange(0, 2, 40, 1));
    EXPECT_EQ(plug->GetParam(kArpTempo)->Value(), 40);
}

TEST_F(SysExDispatch, MalformedAndForeignMessagesChangeNothing) {
    sysexControl(kFilterCutoff, 0x14, 0x00);
    mgr->awaitingPanelDump = true;
    plug->initialization = true;
    const auto before = values();
    const std::vector<Bytes> bad = {
        {},
        {0xF0},
        {0xF0, 0x42},
        {0xF0, 0x42, 0x30},
        {0xF0, 0x42, 0x30, 0x58},
        {0xF0, 0x42, 0x30, 0x58, 0x41},
        {0xF0, 0x42, 0x30, 0x58, 0x10, 0xF7},                                // six bytes: always ignored
        {0xF0, 0x41, 0x30, 0x58, 0x41, 0x14, 0x00, 0x10, 0x00, 0xF7},        // another maker
        {0xF0, 0x42, 0x30, 0x57, 0x41, 0x14, 0x00, 0x10, 0x00, 0xF7},        // another model
        {0xF0, 0x42, 0x40, 0x58, 0x41, 0x14, 0x00, 0x10, 0x00, 0xF7},        // not a device byte
        {0xF0, 0x42, 0x35, 0x58, 0x41, 0x14, 0x00, 0x10, 0x00},              // no end byte
        {0xF0, 0x42, 0x35, 0x58, 0x41, 0x14, 0x00, 0x90, 0x00, 0xF7},        // a status byte inside
        {0xF0, 0x42, 0x35, 0x58, 0x41, 0x14, 0x00, 0x10, 0xF7},              // one short
        {0xF0, 0x42, 0x35, 0x58, 0x41, 0x14, 0x00, 0x10, 0x00, 0x00, 0xF7},  // one long
    };
    for (const Bytes& m : bad) {
        mgr->awaitingPanelDump = false;
        feed(m);
    }
    Bytes foreign = program();
    foreign[1] = 0x43;
    mgr->awaitingPanelDump = true;
    feed(foreign);
    feed(program(), false);  // the host's own stream never reaches the panel
    Bytes hundred(100, 0x11);
    hundred[0] = 0xF0;
    hundred[1] = 0x42;
    hundred[2] = 0x30;
    hundred[3] = 0x58;
    hundred.back() = 0xF7;
    feed(hundred);
    EXPECT_EQ(values(), before);
    EXPECT_EQ(plug->deviceByte, 0x30);
    EXPECT_EQ(e->status(), "");
}

TEST_F(SysExDispatch, RunningGarbageNeverCrashesOrMovesTheChannel) {
    sysexControl(kFilterCutoff, 0x14, 0x00);
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i) {
        Bytes m(rng() % 320);
        for (auto& b : m) b = static_cast<uint8_t>(rng() % 256);
        if (!m.empty() && i % 2) m[0] = 0xF0;
        if (m.size() > 3 && i % 3 == 0) {
            m[1] = 0x42;
            m[3] = 0x58;
        }
        const bool awaiting = i % 5 == 0, initializing = i % 7 == 0;
        mgr->awaitingPanelDump = awaiting;
        plug->initialization = initializing;
        // Only a whole control-data message, or a global dump while the
        // editor initializes, may take the instrument's channel.
        const size_t n = m.size();
        const bool mayMove = (n == 10 && m[4] == 0x41 && m[9] == 0xF7) || (n == 8 && m[4] == 0x4E && m[7] == 0xF7) ||
                             (initializing && n >= 230 && !(n >= 290 && awaiting));
        feed(m);
        if (!mayMove) {
            EXPECT_EQ(plug->deviceByte, 0x30) << i;
        }
        plug->deviceByte = 0x30;
    }
}

class LibrarianRouting : public SysExDispatch {
protected:
    void SetUp() override {
        SysExDispatch::SetUp();
        lib = std::make_unique<PatchLibrarian>(plug);
        lib->bankFiles.push_back(new PatchFile());
        lib->selectedBankUpper = 0;
        mgr->patchLibrarian = lib.get();
        plug->patchLibrarian = lib.get();
    }
    void TearDown() override {
        plug->patchLibrarian = nullptr;
        mgr->patchLibrarian = nullptr;
        lib.reset();
    }
    const LibrarianPatch& slot(int i) { return lib->bankFiles[0]->patches.at(i); }

    std::unique_ptr<PatchLibrarian> lib;
};

TEST_F(LibrarianRouting, SingleRequestFillsTheSelectedSlotNotThePanelWhateverItsChannel) {
    const auto before = values();
    lib->selectedSlotUpper = 9;
    plug->SetLibrarianRequestActive(true);
    Bytes d = program(0x3A, "Slot Nine");
    feed(d);
    EXPECT_EQ(values(), before);
    ASSERT_EQ(lib->bankFiles[0]->patches.size(), 128u);
    ASSERT_EQ(slot(9).sysexMessages.size(), 1u);
    EXPECT_EQ(slot(9).sysexMessages[0].data, d);
    EXPECT_EQ(slot(9).name, patchNameFromDump(d.data(), d.size()));
    EXPECT_TRUE(mgr->replySeen);
    EXPECT_TRUE(plug->answered);
    EXPECT_FALSE(mgr->libraryPatchRequest.active);
}

TEST_F(LibrarianRouting, AllProgramsFillSlotsInOrderAndStopAtTheLastSlot) {
    // The transfer under way: the first dump went to the bank reader, which
    // left the librarian in request mode.
    plug->bankDumpSeen = true;
    lib->requestMode = true;
    mgr->libraryPatchRequestAll.active = true;
    lib->selectedSlotUpper = 125;
    for (int i = 0; i < 4; ++i) feed(program(0x30, "Prog " + std::to_string(i)));
    EXPECT_EQ(slot(125).name.substr(0, 6), "Prog 0");
    EXPECT_EQ(slot(126).name.substr(0, 6), "Prog 1");
    EXPECT_EQ(slot(127).name.substr(0, 6), "Prog 2");
    // The slot never goes past 127, and a dump after the last slot
    // overwrites nothing.
    EXPECT_EQ(lib->selectedSlotUpper, 127);
    EXPECT_FALSE(mgr->libraryPatchRequestAll.active);
    EXPECT_FALSE(lib->requestMode);
    EXPECT_EQ(lib->bankFiles[0]->patches.size(), 128u);
}

TEST_F(LibrarianRouting, OnlyAWholeBankDumpGoesToTheBankReader) {
    mgr->libraryPatchRequestAll.active = true;
    plug->bankDumpSeen = false;
    lib->selectedSlotUpper = 40;
    // A single program is no bank: it takes its slot, and nothing is left
    // set that would shut out what the instrument sends next.
    feed(program(0x30, "Single"));
    EXPECT_FALSE(plug->bankDumpSeen || lib->requestMode);
    EXPECT_EQ(slot(40).name.substr(0, 6), "Single");
    EXPECT_EQ(lib->selectedSlotUpper, 41);
    // A bank's dump, taken while the request is armed, fills the slots from
    // the first, and the reader ends.
    mgr->libraryPatchRequestAll.active = true;
    const std::vector<libtest::ProgramData> programs = libtest::randomPrograms(128);
    feed(libtest::packedBank(programs));
    EXPECT_FALSE(plug->bankDumpSeen || lib->requestMode);
    for (int i : {0, 40, 127}) {
        const libtest::Bytes d = libtest::programDump(programs[i]);
        EXPECT_EQ(slot(i).name, patchNameFromDump(d.data(), d.size())) << i;
    }
}

}  // namespace
