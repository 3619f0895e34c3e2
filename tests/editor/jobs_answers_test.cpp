// ctest-labels: tsan
// Requests that the simulated instrument answers over JACK: onto the panel,
// a device enquiry that finds the instrument on another channel, and
// programs into the librarian, one slot or the whole upper bank.
#include <gtest/gtest.h>

#include "jobs_fixture.h"

namespace {

using namespace jobstest;

// A name as the twelve name bytes carry it: blanks after it.
std::string padded(std::string name) {
    name.resize(12, ' ');
    return name;
}

// The panel's program name without the blanks after it.
std::string panelName(Halvoran& plug) {
    std::string name = plug.GetParam(kPatchName)->GetDisplayText(0);
    return name.substr(0, name.find_last_not_of(' ') + 1);
}

TEST(JobsAnswers, ProgramRequestAnsweredOntoThePanel) {
    JobsEditor e(4);
    e.sim->setName("Answered");
    ASSERT_TRUE(e.manager().startJob(MIDIMessageManager::kTransferThread, MIDIMessageSender::kJobRequestPart,
                                     [&](MIDIMessageSender& s) {
                                         e.manager().awaitingPanelDump = true;
                                         s.toPanel = true;
                                     }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request completed!");
    EXPECT_FALSE(e.sender().failed);
    EXPECT_EQ(only(e.sim->received(), isProgramRequest).size(), 1u);
    EXPECT_EQ(panelName(*e.plug), "Answered");
}

TEST(JobsAnswers, DeviceEnquiryTakesOverTheInstrumentsChannel) {
    // Sweep steps of 50 ms: the answer to 0x35 normally arrives before the
    // next channel is tried.
    JobsEditor e(2, 5);
    e.plug->initialization = true;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobDeviceIdEnquiry));
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> req = only(e.sim->received(), isGlobalRequest);
    // The request on the held channel, then the sweep up to the instrument's,
    // where it stops (a late answer on a loaded machine may let one more go).
    ASSERT_GE(req.size(), 7u);
    EXPECT_EQ(req[0].bytes[2], 0x30);
    for (size_t i = 1; i < req.size(); ++i) EXPECT_EQ(req[i].bytes[2], 0x30 + i - 1) << i;
    EXPECT_LE(req.size(), 8u);
    EXPECT_EQ(e.plug->deviceByte, 0x35);
    EXPECT_EQ(e.plug->GetParam(kGlobalMIDICha)->Int(), 5);
    EXPECT_TRUE(shownInOrder(e.statusHistory(), "Global Channel Mismatch while initialization is on!",
                             "Plug-in is ready to go!"));
    EXPECT_EQ(e.status(), "Plug-in is ready to go!");
}

TEST(JobsAnswers, SingleRequestFillsTheSelectedSlot) {
    JobsEditor e(4);
    e.sim->setProgram(12, JobsEditor::programDump("Slot Twelve", 0x2A));
    e.plug->patchLibrarian->selectedSlotUpper = 12;
    e.manager().sendSinglePatchRequestSysexFromLibrarian(false);
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Program \"Slot Twelve\" received to slot 13");
    const LibrarianPatch& p = e.bank->patches[12];
    ASSERT_EQ(p.sysexMessages.size(), 1u);
    ASSERT_EQ(p.sysexMessages[0].data.size(), 297u);
    EXPECT_EQ(p.sysexMessages[0].data[100], 0x2A);
    EXPECT_EQ(p.name, padded("Slot Twelve"));
    EXPECT_FALSE(e.manager().libraryPatchRequest.active);
}

TEST(JobsAnswers, AllProgramsRequestFillsTheUpperBankInOrder) {
    JobsEditor e(5);  // polls of 40 ms leave a loaded machine time to answer
    for (int i = 0; i < 128; ++i)
        e.sim->setProgram(i, JobsEditor::programDump("Prog " + std::to_string(i), static_cast<uint8_t>(i)));
    e.manager().libraryPatchRequestAll.active = true;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestAllPatches));
    ASSERT_TRUE(e.waitIdle(300s));
    EXPECT_EQ(e.status(), "128 programs received into Test Bank.syx");
    for (int i = 0; i < 128; ++i) {
        const LibrarianPatch& p = e.bank->patches[i];
        ASSERT_EQ(p.sysexMessages.size(), 1u) << i;
        EXPECT_EQ(p.sysexMessages[0].data[100], i) << i;
        EXPECT_EQ(p.name, padded("Prog " + std::to_string(i))) << i;
    }
    EXPECT_EQ(e.plug->patchLibrarian->selectedSlotUpper, 0);
}

TEST(JobsAnswers, InitProgramIntoTheSelectedSlot) {
    JobsEditor e(4);
    e.plug->patchLibrarian->selectedSlotUpper = 3;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobInitClassicPatch, [](MIDIMessageSender& s) { s.initArg = false; }));
    ASSERT_TRUE(e.waitIdle());
    const LibrarianPatch& p = e.bank->patches[3];
    ASSERT_EQ(p.sysexMessages.size(), 1u);
    ASSERT_EQ(p.sysexMessages[0].data.size(), 297u);
    EXPECT_EQ(p.sysexMessages[0].data[2], 0x30);
    EXPECT_TRUE(e.sim->received().empty());
    EXPECT_EQ(e.status(), "Program received to slot(s)");
}

TEST(JobsAnswers, ArrangementRequestTakesProgramThenGlobalData) {
    JobsEditor e(4);
    e.sim->setName("Arranged");
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestArrangement, [&](MIDIMessageSender& s) {
        e.manager().awaitingPanelDump = true;
        s.toPanel = true;
    }));
    ASSERT_TRUE(e.waitIdle());
    std::vector<Message> all = e.sim->received();
    std::vector<Message> programReq = only(all, [](const Bytes& m) { return isRequest(m, 0x10); });
    std::vector<Message> globalReq = only(all, [](const Bytes& m) { return isRequest(m, 0x0E); });
    ASSERT_EQ(programReq.size(), 1u);
    ASSERT_EQ(globalReq.size(), 1u);
    EXPECT_LT(programReq[0].arrived, globalReq[0].arrived);
    EXPECT_TRUE(shownInOrder(e.statusHistory(), "Please wait! 95% received..", "Data request completed!"));
    EXPECT_EQ(panelName(*e.plug), "Arranged");
}

TEST(JobsAnswers, ArrangementRequestCancelledInTheGlobalPhase) {
    JobsEditor e(4);
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobRequestArrangement, [&](MIDIMessageSender& s) {
        e.manager().awaitingPanelDump = true;
        s.toPanel = true;
    }));
    // The program is answered; the global data comes too late.
    ASSERT_TRUE(waitUntil([&] { return e.sim->programRequestsAnswered() >= 1; }));
    e.sim->setReplyDelay(3000ms);
    ASSERT_TRUE(e.sim->waitFor([](const std::vector<Message>& all) {
        return !only(all, [](const Bytes& m) { return isRequest(m, 0x0E); }).empty();
    }));
    e.cancel();
    ASSERT_TRUE(e.waitIdle());
    EXPECT_EQ(e.status(), "Data request CANCELLED!");
}

TEST(JobsAnswers, LibrarianProgramAppliedToThePanelWhenNotStored) {
    JobsEditor e(4);
    e.fillSlot(0, JobsEditor::programDump("From Slot"));
    e.plug->storeAfterSend = false;
    ASSERT_TRUE(e.start(MIDIMessageSender::kJobSendLibrarianPatch, [&](MIDIMessageSender& s) {
        s.libraryPatch = &e.bank->patches[0];
        s.intArg2 = 0;
    }));
    ASSERT_TRUE(e.waitIdle());
    EXPECT_FALSE(shown(e.statusHistory(), "CONNECTION TIMED OUT!"));
    EXPECT_EQ(panelName(*e.plug), "From Slot");
    EXPECT_FALSE(e.manager().awaitingPanelDump);
}

}  // namespace
