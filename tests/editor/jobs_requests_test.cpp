// ctest-labels: tsan
// Request jobs against a simulated instrument on JACK: what the instrument
// receives and when, the channel sweeps, time-outs, cancels at each stage
// and the texts. Long waits run with the jobs' pauses divided, except one
// test that keeps the real times.
#include <gtest/gtest.h>

#include "jobs_fixture.h"

namespace {

using namespace jobstest;

bool isProgramChange(const Bytes& m) { return m.size() == 2 && (m[0] & 0xF0) == 0xC0; }

std::vector<int> deviceBytes(const std::vector<Message>& ms) {
    std::vector<int> out;
    for (const Message& m : ms) out.push_back(m.bytes[2]);
    return out;
}

std::vector<int> sweep(int first = 0x30) {
    std::vector<int> v;
    for (int d = first; d <= 0x3F; ++d) v.push_back(d);
    return v;
}

size_t countOf(const std::vector<Message>& all, bool (*pred)(const Bytes&)) { return only(all, pred).size(); }

TEST(JobsRequests, SilentInstrumentProgramRequestKeepsTheRealTimes) {
    JobsEditor e(1);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    ASSERT_TRUE(e.waitIdle());

    std::vector<Message> req = only(e.sim->received(), isProgramRequest);
    ASSERT_EQ(req.size(), 17u);
    std::vector<int> expected = {0x30};
    for (int d : sweep()) expected.push_back(d);
    EXPECT_EQ(deviceBytes(req), expected);
    // The request, a pause of t, then 30 polls of t before the sweep; the
    // sweep waits t per channel. t = 200 ms. A machine that holds the
    // process only adds to each pause.
    EXPECT_GE(secondsBetween(req[0], req[1]), 6.1);
    EXPECT_GE(secondsBetween(req[1], req[16]) / 15.0, 0.19);
    EXPECT_EQ(e.status(), "CONNECTION TIMED OUT!");
    EXPECT_TRUE(e.sender().failed);
    EXPECT_FALSE(e.plug->processingIndicator);
    EXPECT_FALSE(e.manager().awaitingPanelDump);
}

TEST(JobsRequests, SilentInstrumentDeviceEnquirySweepsAtPollFifteenAndGivesUp) {
    JobsEditor e(10);
    e.sim->setAnswering(false);
    e.plug->GetParam(kLibSyncTimer)->Set(2);  // t = 400 ms, sweep steps 200 ms
    e.plug->deviceByte = 0x33;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobDeviceIdEnquiry));
    ASSERT_TRUE(e.waitIdle());

    std::vector<Message> req = only(e.sim->received(), isGlobalRequest);
    ASSERT_EQ(req.size(), 17u);
    EXPECT_EQ(req[0].bytes[2], 0x33);
    std::vector<int> devices = deviceBytes(req);
    EXPECT_EQ(std::vector<int>(devices.begin() + 1, devices.end()), sweep());
    // 15 polls of t/10 = 40 ms before the sweep, sweep steps of 20 ms.
    EXPECT_GE(secondsBetween(req[0], req[1]), 0.59);
    EXPECT_GE(secondsBetween(req[1], req[16]) / 15.0, 0.019);
    EXPECT_EQ(countOf(e.sim->received(), isProgramRequest), 0u);
    EXPECT_TRUE(shownInOrder(e.statusHistory(), "Connecting to Hardware", "Processing, please wait..."));
    EXPECT_EQ(e.status(), "No response from Hardware");
    EXPECT_TRUE(e.sender().failed);
    EXPECT_EQ(e.plug->deviceByte, 0x33);  // the sweep never changes it
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsRequests, SilentInstrumentArrangementRequestNamesEachChannelAndSkipsTheGlobalData) {
    JobsEditor e(10);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestArrangement, [](MIDIMessageSender& s) { s.toPanel = true; }));
    // While the sweep runs the status names the channel being tried.
    ASSERT_TRUE(
        e.sim->waitFor([](const std::vector<Message>& all) { return only(all, isProgramRequest).size() >= 6; }));
    EXPECT_EQ(e.status().rfind("Please wait, checking DeviceID ", 0), 0u) << e.status();
    EXPECT_TRUE(e.manager().timbreRefreshPending);
    ASSERT_TRUE(e.waitIdle());

    std::vector<Message> req = only(e.sim->received(), isProgramRequest);
    ASSERT_EQ(req.size(), 17u);
    std::vector<int> devices = deviceBytes(req);
    EXPECT_EQ(std::vector<int>(devices.begin() + 1, devices.end()), sweep());
    for (int ch = 1; ch <= 16; ++ch)
        EXPECT_TRUE(shown(e.statusHistory(), "Please wait, checking DeviceID " + std::to_string(ch))) << ch;
    // 25 polls before the sweep, half a pause per channel.
    EXPECT_GE(secondsBetween(req[0], req[1]), 0.49);
    EXPECT_EQ(countOf(e.sim->received(), isGlobalRequest), 0u);
    EXPECT_EQ(e.status(), "CONNECTION TIMED OUT!");
    EXPECT_TRUE(e.sender().failed);
}

TEST(JobsRequests, NoOutputPortStillPollsAndTimesOut) {
    JobsEditor e(20);
    e.plug->midiOutReady = false;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = false; }));
    ASSERT_TRUE(waitUntil([&] { return e.status() == "Set MIDI I/O First!"; }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "CONNECTION TIMED OUT! No program stored");
    EXPECT_TRUE(e.sim->received().empty());
}

TEST(JobsRequests, CancelDuringThePollsOfAProgramRequest) {
    JobsEditor e(4);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return !all.empty(); }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request CANCELLED!");
    EXPECT_TRUE(e.sender().failed);
    EXPECT_EQ(countOf(e.sim->received(), isProgramRequest), 1u);
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsRequests, CancelDuringTheSweepStopsIt) {
    JobsEditor e(20);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return only(all, isProgramRequest).size() >= 4; }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request CANCELLED!");
    EXPECT_LT(countOf(e.sim->received(), isProgramRequest), 17u);
}

TEST(JobsRequests, CancelDuringTheProgramPhaseOfAnArrangementRequest) {
    JobsEditor e(10);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestArrangement, [](MIDIMessageSender& s) { s.toPanel = true; }));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return !all.empty(); }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request CANCELLED!");
    EXPECT_EQ(countOf(e.sim->received(), isGlobalRequest), 0u);
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsRequests, SingleLibrarianRequestChangesProgramFirstAndCancels) {
    JobsEditor e(4);
    e.sim->setAnswering(false);
    e.plug->patchLibrarian->selectedSlotUpper = 9;
    ASSERT_TRUE(
        e.start(MIDIMessageSender::kJobRequestSinglePatch, [](MIDIMessageSender& s) { s.tempProgram = false; }));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return only(all, isProgramRequest).size() == 1; }));
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> all = e.sim->received();
    ASSERT_GE(all.size(), 2u);
    EXPECT_EQ(all[0].bytes, (Bytes{0xC0, 9}));
    EXPECT_TRUE(isProgramRequest(all[1].bytes));
    EXPECT_EQ(e.status(), "Data request CANCELLED! No program stored");
    EXPECT_FALSE(e.plug->processingIndicator);

    // A temporary program is asked for without a program change.
    e.sim->clearReceived();
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestSinglePatch, [](MIDIMessageSender& s) { s.tempProgram = true; }));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return !all.empty(); }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(countOf(e.sim->received(), isProgramChange), 0u);
    EXPECT_EQ(e.status(), "Data request CANCELLED! No program stored");
}

TEST(JobsRequests, AllProgramsRequestCancelledAfterTheThirdProgram) {
    JobsEditor e(20);
    e.sim->setAnswering(false);
    e.manager().libraryPatchRequestAll.active = true;  // as the menu arms it
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return only(all, isProgramChange).size() >= 3; }));
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> all = e.sim->received();
    ASSERT_FALSE(all.empty());
    // Bank select LSB 0 on channel 1 before anything else.
    EXPECT_EQ(all[0].bytes, (Bytes{0xB0, 32, 0}));
    std::vector<Message> pcs = only(all, isProgramChange);
    ASSERT_GE(pcs.size(), 3u);
    EXPECT_LE(pcs.size(), 4u);
    for (size_t i = 0; i < pcs.size(); ++i) EXPECT_EQ(pcs[i].bytes[1], i);
    // Nothing arrived: the cancel is said and the bank is not marked edited.
    EXPECT_EQ(e.status(), "Data request CANCELLED! No program stored");
    EXPECT_FALSE(shown(e.statusHistory(), "Program received to slot(s)"));
    EXPECT_FALSE(shown(e.statusHistory(), "Data request completed!"));
    EXPECT_EQ(e.plug->GetParam(kBankEditUnsaved)->Value(), 0.0);
    // A program that timed out is not still reported while the next one is
    // asked for.
    EXPECT_TRUE(shownInOrder(e.statusHistory(), "CONNECTION TIMED OUT!", "Data processing, please wait..."));
    EXPECT_EQ(e.plug->patchLibrarian->selectedSlotUpper, 0);
    EXPECT_FALSE(e.manager().libraryPatchRequest.active);
    EXPECT_FALSE(e.manager().libraryPatchRequestAll.active);
    EXPECT_FALSE(e.plug->processingIndicator);
}

TEST(JobsRequests, AllProgramsRequestCancelledAfterProgramsArrivedKeepsThem) {
    JobsEditor e(20);
    e.manager().libraryPatchRequestAll.active = true;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return only(all, isProgramChange).size() >= 3; }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_GE(e.sim->programRequestsAnswered(), 2);
    // The slots that were filled make the bank edited; the last word is the
    // cancel, with what it kept.
    EXPECT_EQ(e.plug->GetParam(kBankEditUnsaved)->Value(), 1.0);
    EXPECT_EQ(e.status().rfind("Data request CANCELLED! ", 0), 0u) << e.status();
    EXPECT_FALSE(shown(e.statusHistory(), "Data request completed!"));
}

TEST(JobsRequests, DeviceEnquiryCancelEndsWithoutACancelText) {
    JobsEditor e(10);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobDeviceIdEnquiry));
    ASSERT_TRUE(e.cancelWhen([](const std::vector<Message>& all) { return !all.empty(); }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Plug-in is ready to go!");
    EXPECT_FALSE(shown(e.statusHistory(), "Data request CANCELLED!"));
    EXPECT_FALSE(e.sender().failed);
    EXPECT_EQ(countOf(e.sim->received(), isGlobalRequest), 1u);
}

TEST(JobsRequests, ASecondStartWhileARequestRunsIsDropped) {
    JobsEditor e(20);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    EXPECT_FALSE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = false; }));
    EXPECT_TRUE(e.sender().toPanel);
    e.cancel();
    ASSERT_TRUE(e.waitIdle());
}

}  // namespace

namespace {

using namespace jobstest;

TEST(JobsRequests, AClockStartDuringATransferRunsBesideIt) {
    JobsEditor e(20);
    e.sim->setAnswering(false);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestPart, [](MIDIMessageSender& s) { s.toPanel = true; }));
    e.plug->clockStartStopEnabled = true;
    ASSERT_TRUE(e.manager().startJob(MIDIMessageManager::kClockControlThread, MIDIMessageSender::kJobStartClock));
    ASSERT_TRUE(e.sim->waitFor([](const std::vector<Message>& all) {
        return !only(all, [](const Bytes& m) { return m == Bytes{0xFA}; }).empty();
    }));
    EXPECT_TRUE(e.transferRunning());
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "CONNECTION TIMED OUT!");
}

}  // namespace
