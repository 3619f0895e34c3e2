// ctest-labels: tsan
// The MIDI manager's job runner (the start rule, a job per thread, workers
// stopped before the job object goes), the SysEx frame, and the plug-in's
// incoming entry points and librarian helpers.
#include "core_component.h"
#include "core_fixture.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using coretest::BareEditor;
using coretest::Bytes;
using namespace std::chrono_literals;

bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 10s) {
    return hvtest::waitUntil(done, static_cast<int>(limit.count()), 2);
}

TEST(CoreJobThreads, AStartOnARunningThreadIsDroppedWithoutWritingAnything) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    ASSERT_TRUE(m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement));
    bool argsWritten = false;
    EXPECT_FALSE(m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                            [&](MIDIMessageSender&) { argsWritten = true; }));
    EXPECT_FALSE(argsWritten);
    EXPECT_EQ(m.sender->jobCode, MIDIMessageSender::kJobSendArrangement);
    ASSERT_TRUE(waitUntil([&] { return !m.isRunning(MIDIMessageManager::kTransferThread); }));
    // Once it has ended the thread takes the next start.
    EXPECT_TRUE(m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobNone));
}

TEST(CoreJobThreads, CodesWithoutAJobReturnAtOnce) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    for (uint32_t code : {10u, 14u, 200u}) {
        ASSERT_TRUE(m.startJob(MIDIMessageManager::kClockControlThread, code));
        EXPECT_TRUE(waitUntil([&] { return !m.isRunning(MIDIMessageManager::kClockControlThread); })) << code;
    }
}

TEST(CoreJobThreads, EachThreadRunsItsOwnJobWhenStartsMeet) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    // The program send takes two transfer pauses; a clock start written
    // right after it must not take its place.
    ASSERT_TRUE(m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement));
    ASSERT_TRUE(m.startJob(MIDIMessageManager::kClockControlThread, MIDIMessageSender::kJobStartClock));
    EXPECT_EQ(m.sender->jobCode, MIDIMessageSender::kJobStartClock);
    ASSERT_TRUE(waitUntil([&] { return e.plug->processingIndicator.load(); }));
    EXPECT_TRUE(m.isRunning(MIDIMessageManager::kTransferThread));
    ASSERT_TRUE(waitUntil([&] { return !m.isRunning(MIDIMessageManager::kTransferThread); }));
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(CoreJobThreads, StartsFromManyThreadsRunOneJobAtATime) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    std::atomic<int> started{0};
    std::vector<std::thread> starters;
    for (int i = 0; i < 8; ++i)
        starters.emplace_back([&] {
            for (int k = 0; k < 20; ++k)
                if (m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement)) ++started;
        });
    for (std::thread& t : starters) t.join();
    EXPECT_EQ(started, 1);
}

// The running jobs are cut short, not waited out, and joined before the
// sender goes (the sanitizers see a job left running).
TEST(CoreJobThreads, TheManagerEndsRunningJobsBeforeItGoes) {
    BareEditor e;
    auto* m = e.plug->midiManager;
    MIDIMessageSender::resetContinuousClock(false);
    ASSERT_TRUE(m->startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement));
    ASSERT_TRUE(m->startJob(MIDIMessageManager::kContinuousClockThread, MIDIMessageSender::kJobContinuousClock));
    ASSERT_TRUE(m->startJob(MIDIMessageManager::kClockControlThread, MIDIMessageSender::kJobStartClock));
    delete m;
    e.plug->midiManager = nullptr;
    EXPECT_FALSE(MIDIMessageSender::_clockRunning);
}

TEST(CoreJobThreads, SingleLibrarianRequestArmsEvenWhenItsStartIsDropped) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    ASSERT_TRUE(m.startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobSendArrangement));
    m.libraryPatchRequestAll.active = true;
    m.replySeen = true;
    m.libraryPatchRequest.patch.name = "old";
    m.sendSinglePatchRequestSysexFromLibrarian(true);
    EXPECT_FALSE(m.libraryPatchRequestAll.active);
    EXPECT_TRUE(m.libraryPatchRequest.active);
    EXPECT_EQ(m.libraryPatchRequest.patch.name, "");
    EXPECT_FALSE(m.replySeen);
}

TEST(CoreFrame, BodiesAndHeadersOfTheInstrumentsSysEx) {
    EXPECT_EQ(MIDIMessageSender::requestBody(0x3F, MIDIMessageSender::kFuncProgramRequest),
              (std::vector<unsigned char>{0x42, 0x3F, 0x58, 0x10}));
    EXPECT_EQ(MIDIMessageSender::writeRequestBody(0x30, 127),
              (std::vector<unsigned char>{0x42, 0x30, 0x58, 0x11, 0x00, 0x7F}));
    EXPECT_EQ(MIDIMessageSender::deviceByteFor(15), 0x3F);
    unsigned char dump[8] = {};
    MIDIMessageSender::putFrameHeader(dump, 0x35, MIDIMessageSender::kFuncGlobalDump);
    dump[7] = 0xF7;
    EXPECT_EQ(Bytes(dump, dump + 5), (Bytes{0xF0, 0x42, 0x35, 0x58, 0x51}));
    EXPECT_EQ(MIDIMessageSender::frameFunction(dump, 8), 0x51);
    EXPECT_EQ(MIDIMessageSender::frameFunction(dump, 5), -1);  // too short
    dump[1] = 0x41;
    EXPECT_EQ(MIDIMessageSender::frameFunction(dump, 8), -1);  // another maker
    dump[1] = 0x42;
    dump[2] = 0x45;
    EXPECT_EQ(MIDIMessageSender::frameFunction(dump, 8), -1);  // no device byte
    EXPECT_EQ(MIDIMessageSender::frameFunction(nullptr, 8), -1);
}

TEST(CoreIncoming, ShortMessagesWaitWhileTransfersRunOrAPanelDumpIsAwaited) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    IMidiMsg cc(0, 0xB0, 7, 100);
    auto reaches = [&](IMidiMsg* msg, bool fromDevice = true) {
        m.fromHost = 1;
        e.plug->ProcessMidiMsg(msg, fromDevice);
        return m.fromHost == 0;
    };
    EXPECT_TRUE(reaches(&cc));
    for (std::atomic<bool>* gate : {&e.plug->transferBusy, &e.plug->processingIndicator, &e.plug->bankDumpSeen,
                                    &m.awaitingPanelDump, &e.plug->deviceInputSwitch}) {
        *gate = true;
        EXPECT_FALSE(reaches(&cc));
        *gate = false;
    }
    IMidiMsg clock(0, 0xF8, 0, 0);
    EXPECT_FALSE(reaches(&clock));
}

TEST(CoreIncoming, SysExIsFilteredBySourceAndTheReplyIsNoted) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    const unsigned char bytes[] = {0xF0, 0x42, 0x30, 0x58, 0x4E, 0x01, 0x00, 0xF7};
    ISysEx msg(0, bytes, sizeof bytes);
    m.replySeen = true;
    e.plug->hwInputFilter[Halvoran::kFilterSysEx] = true;
    e.plug->ProcessSysEx(&msg, true);
    EXPECT_FALSE(e.plug->answered);
    e.plug->ProcessSysEx(&msg, false);  // from the host: its own filter
    EXPECT_TRUE(e.plug->answered);
    e.plug->answered = false;
    e.plug->hwInputFilter[Halvoran::kFilterSysEx] = false;
    e.plug->transferBusy = true;
    e.plug->ProcessSysEx(&msg, true);
    EXPECT_FALSE(e.plug->answered);
}

TEST(CoreIncoming, LibrarianRequestAndProgressFlags) {
    BareEditor e;
    MIDIMessageManager& m = *e.plug->midiManager;
    e.plug->answered = true;
    m.replySeen = true;
    e.plug->SetLibrarianRequestActive(true);
    EXPECT_TRUE(m.libraryPatchRequest.active);
    EXPECT_FALSE(m.awaitingPanelDump);
    EXPECT_FALSE(e.plug->answered);
    EXPECT_FALSE(m.replySeen);
    e.plug->SetLibrarianRequestActive(false);
    EXPECT_FALSE(m.libraryPatchRequest.active);
    EXPECT_TRUE(m.awaitingPanelDump);

    e.plug->transferBusy = true;
    e.plug->DisplayProcessingIndicator(true);
    EXPECT_TRUE(e.plug->processingIndicator);
    EXPECT_FALSE(e.plug->transferBusy);
    e.plug->DisplayProcessingIndicator(false);
    EXPECT_FALSE(e.plug->processingIndicator);
    EXPECT_FALSE(m.awaitingPanelDump);

    e.plug->SetLibrarianRequestActive(true);
    e.plug->SetLibrarianStatusUnsaved(false);
    EXPECT_TRUE(m.libraryPatchRequest.active);
    e.plug->SetLibrarianStatusUnsaved(true);
    EXPECT_FALSE(m.libraryPatchRequest.active);
    EXPECT_EQ(e.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_EQ(e.plug->GetParam(kDiscardBankData)->Value(), 0.0);
    EXPECT_EQ(e.status(), "Program received to slot(s)");
}

TEST(CoreIncoming, TransferPauseFollowsTheSyncTimer) {
    BareEditor e;
    const int expected[] = {200, 300, 400, 500};
    for (int i = 0; i < 4; ++i) {
        e.plug->GetParam(kLibSyncTimer)->Set(i);
        EXPECT_EQ(e.plug->getTimerValue(), expected[i]);
    }
}

}  // namespace
