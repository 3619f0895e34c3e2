// Program requests: the current program onto the panel or into the
// librarian's slot, one program by slot, and all 128 programs into the
// upper bank.
#include <algorithm>
#include <chrono>
#include <string>

#include "framework/IUnitStructs.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/InstrumentFrame.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

void MIDIMessageSender::selectUpperSlot(int slot) {
    if (plug->patchLibrarian) plug->patchLibrarian->selectedSlotUpper = slot;
    Halvoran* editor = plug;
    editor->onGuiThread([editor, slot] {
        editor->selectLibrarianViewSlot(0, slot, false);
        editor->updatePatchLibrarianView(0);
    });
}

int MIDIMessageSender::activeLibrarianSlot() const { return plug->librarianKeyCursor(); }

void MIDIMessageSender::endLibrarianRequest(bool single, int asked) {
    if (manager) manager->disarmLibrarianRequests();
    plug->librarianRequestEnds(cancelRequested() ? Halvoran::RequestEnd::kCancelled
                               : failed          ? Halvoran::RequestEnd::kTimedOut
                                                 : Halvoran::RequestEnd::kCompleted,
                               single, asked);
}

void MIDIMessageSender::sendPartRequestSysex(bool toPanel) {
    if (!toPanel) plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    // With toPanel the answer goes to the panel, otherwise to the librarian's
    // active slot.
    plug->SetLibrarianRequestActive(!toPanel);

    const int t = plug->getTimerValue();
    sendRequest(plug->deviceByte, kFuncProgramRequest);
    pause(t);
    plug->setStatusText("Data processing, please wait...");
    pollProgramRequest(t);

    if (!toPanel || failed) pause(t);
    plug->DisplayProcessingIndicator(false);
    if (!toPanel) {
        endLibrarianRequest(true);
        return;
    }
    if (manager) manager->disarmLibrarianRequests();
    if (cancelRequested()) {
        plug->setStatusText("Data request CANCELLED!");
    } else if (!failed) {
        plug->setStatusText("Data request completed!");
    }
}

void MIDIMessageSender::sendSinglePatchRequestSysex(bool tempProgram) {
    plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    plug->SetLibrarianRequestActive(true);

    const int t = plug->getTimerValue();
    // A temporary program is the instrument's current one, asked for without
    // a program change.
    if (!tempProgram) {
        plug->SendProgramChangeCommand(activeLibrarianSlot());
        pause(t / 2);
    }
    sendRequest(plug->deviceByte, kFuncProgramRequest);
    plug->setStatusText("Data processing, please wait...");
    pollProgramRequest(t);

    plug->DisplayProcessingIndicator(false);
    endLibrarianRequest(true);
}

void MIDIMessageSender::sendAllPatchRequestSysex() {
    plug->librarianRequestBegins();
    plug->DisplayProcessingIndicator(true);
    failed = false;
    plug->SetLibrarianRequestActive(true);
    if (manager) manager->askPrograms(true);

    const int t = plug->getTimerValue();
    // Bank select LSB 0 on MIDI channel 1, whatever the global channel.
    IMidiMsg bank;
    bank.MakeControlChangeMsg(IMidiMsg::kBankSelectLSB, 0.0, 0);
    plug->SendMidiMsg(&bank);
    pause(t);
    plug->setStatusText("Data processing, please wait...");

    // The programs whose request ended, answered or given up.
    int asked = 0;
    for (int program = 0; program < kBankSlots && !cancelRequested(); ++program) {
        plug->DisplayProcessingIndicator(true);
        selectUpperSlot(program);
        plug->SetLibrarianRequestActive(true);
        // The overlay says the editor is talking to the instrument again, so
        // the status line must no longer say the last program timed out.
        plug->setStatusText("Data processing, please wait...");
        requestProgram(program, t);
        if (!cancelRequested()) asked = program + 1;
        plug->DisplayProcessingIndicator(false);
    }

    plug->DisplayProcessingIndicator(false);
    endLibrarianRequest(false, asked);
    if (manager) manager->askPrograms(false);
    selectUpperSlot(0);
}

bool MIDIMessageSender::requestProgram(int program, int t) {
    if (!manager) return false;
    std::shared_ptr<IMidiPortsSender::Ticket> ticket = manager->askProgram(program);
    bool answered = false;
    {
        IMidiPortsSender::Ticket::Hold hold(ticket);
        fenceOff(t);
        plug->SendProgramChangeCommand(program);
        pause(50);
        if (!cancelRequested()) {
            sendRequest(plug->deviceByte, kFuncProgramRequest);
            answered = awaitProgram(*ticket, t);
        }
    }
    manager->programOver();
    return answered;
}

void MIDIMessageSender::fenceOff(int t) {
    // A fence whose answer was lost takes the answer of the next one, and
    // with a program request between the two, that request would take the
    // next program's answer, and so on for every program after. So no
    // program request goes out until a fence's answer left none unanswered
    // before it: the fences sent meanwhile follow each other, and each answer
    // brings the oldest one closer. An instrument that does not answer them
    // holds the next program back by one wait.
    for (int fences = 0; fences < 4 && !cancelRequested(); ++fences) {
        const int channel = manager->channelToFence(plug->deviceByte & 0x0F);
        if (channel < 0) return;
        const uint64_t answered = manager->fencesAnswered();
        sendRequest(deviceByteFor(channel), kFuncGlobalRequest);
        if (!waitUntil(5 * t, [&] { return manager->fencesAnswered() != answered; })) return;
    }
}

bool MIDIMessageSender::awaitProgram(const IMidiPortsSender::Ticket& ticket, int t) {
    // The time for the answer runs from when the request left: a MIDI system
    // that holds it meanwhile does not use it up. One that holds it longer
    // than the polls and the sweep would take gives the program up.
    if (!waitUntil(51 * t, [&] { return ticket.settled() || manager->programAnswered(); })) {
        if (cancelRequested()) return false;
        plug->setStatusText("CONNECTION TIMED OUT!");
        failed = true;
        return false;
    }
    for (int k = 1; k <= 35; ++k) {
        if (manager->programAnswered()) return true;
        pause(t);
        if (cancelRequested()) return false;
        if (k == 30 && sweepChannels(kFuncProgramRequest, t, false)) return false;
        if (k == 35 && !manager->programAnswered()) {
            plug->setStatusText("CONNECTION TIMED OUT!");
            failed = true;
            return false;
        }
    }
    return true;
}

// ---- The programs of a request-all, and their answers

std::shared_ptr<IMidiPortsSender::Ticket> MIDIMessageManager::askProgram(int slot) {
    std::lock_guard<std::mutex> lock(mRequestLock);
    const uint64_t id = ++mAskedCount;
    MIDIMessageSender* jobs = sender;
    IMidiPortsSender::Ticket::Hooks hooks;
    hooks.leaving = [this, id](const IMidiPortsSender::Message& m) {
        // The requests that are answered with a dump: a program's, or a
        // fence's global data.
        if (m.size() != kRequestSize) return;
        const bool program = isInstrumentFrame(m.data(), m.size(), kFuncProgramRequest);
        if (!program && !isInstrumentFrame(m.data(), m.size(), kFuncGlobalRequest)) return;
        std::lock_guard<std::mutex> guard(mRequestLock);
        mUnanswered.push_back(Unanswered{id, m[2] & 0x0F, !program});
    };
    hooks.settled = [jobs] { jobs->wakePauses(); };
    mAskedTicket = IMidiPortsSender::Ticket::make(std::move(hooks));
    AskedProgram asked;
    asked.id = id;
    asked.slot = slot;
    mAsked.push_back(asked);
    mAskedAnswered = false;
    return mAskedTicket;
}

int MIDIMessageManager::channelToFence(int heldChannel) {
    std::lock_guard<std::mutex> lock(mRequestLock);
    const int channel = mAnswerChannel >= 0 ? mAnswerChannel : heldChannel;
    for (const Unanswered& u : mUnanswered)
        if (!u.fence && u.channel == channel) return channel;
    return -1;
}

bool MIDIMessageManager::programAnswered() { return mAskedAnswered.load(); }

uint64_t MIDIMessageManager::fencesAnswered() const { return mFencesAnswered.load(); }

void MIDIMessageManager::programOver() {
    std::shared_ptr<IMidiPortsSender::Ticket> ticket;
    {
        std::lock_guard<std::mutex> lock(mRequestLock);
        ticket = std::move(mAskedTicket);
        if (AskedProgram* asked = askedProgram(mAskedCount)) asked->open = false;
    }
    // Nothing of it leaves from now on.
    if (ticket) ticket->withdraw();
}

void MIDIMessageManager::askPrograms(bool on) {
    std::lock_guard<std::mutex> lock(mRequestLock);
    mAskingPrograms = on;
    mAsked.clear();
    mUnanswered.clear();
    mAskedAnswered = false;
    mAnswerChannel = -1;
}

MIDIMessageManager::AskedProgram* MIDIMessageManager::askedProgram(uint64_t id) {
    for (AskedProgram& asked : mAsked)
        if (asked.id == id) return &asked;
    return nullptr;
}

bool MIDIMessageManager::takeAskedProgram(const uint8_t* data, int size, std::function<void()>& work) {
    if (!mAskingPrograms) return false;
    const bool program = size == kProgramDumpSize && isInstrumentFrame(data, kProgramDumpSize, kFuncProgramDump);
    const bool global = size == kGlobalDumpSize && isInstrumentFrame(data, kGlobalDumpSize, kFuncGlobalDump);
    const int channel = data[2] & 0x0F;
    auto oldest = std::find_if(mUnanswered.begin(), mUnanswered.end(), [&](const Unanswered& u) {
        return u.channel == channel && (program ? !u.fence : global && u.fence);
    });
    // Nothing asked for on its channel left before it: it answers none.
    if (oldest == mUnanswered.end()) return !isBankDumpHeader(data, static_cast<size_t>(size));
    if (oldest->fence) {
        // What left before the fence on its channel is not answered any more.
        mUnanswered.erase(
            std::remove_if(mUnanswered.begin(), oldest + 1, [&](const Unanswered& u) { return u.channel == channel; }),
            oldest + 1);
        ++mFencesAnswered;
        mFenceWake = true;
    } else {
        AskedProgram* asked = askedProgram(oldest->asked);
        mUnanswered.erase(oldest);
        if (asked && asked->open && !asked->answered) {
            asked->answered = true;
            LibrarianPatch taken;
            taken.sysexMessages.emplace_back();
            taken.sysexMessages.back().data.assign(data, data + size);
            taken.name = patchNameFromDump(data, static_cast<size_t>(size));
            Halvoran* editor = plug;
            work = [editor, taken = std::move(taken), slot = asked->slot] {
                editor->storeReceivedProgram(taken, slot, true);
            };
            replySeen = true;
            mAskedAnswered = true;
            mAnswerChannel = channel;
        }
        // Else the late answer of a program given up, or a second one.
    }
    std::erase_if(mAsked, [&](const AskedProgram& a) {
        return !a.open && std::none_of(mUnanswered.begin(), mUnanswered.end(),
                                       [&](const Unanswered& u) { return u.asked == a.id; });
    });
    return true;
}
