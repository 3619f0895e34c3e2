// Program send jobs: kJobSendArrangement sends the panel's current program
// as one dump.
#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "shim/shim.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchManager.h"
#include "src/ProgramDump.h"

void MIDIMessageSender::putProgramName(unsigned char* dump, const std::string& name) {
    uint8_t data[kProgramDataSize];
    unpackProgramData(dump, data);
    writeProgramName(name, data);
    packProgramData(data, dump);
}

void MIDIMessageSender::buildArrangementDump(unsigned char* dump) {
    buildProgramDump(UnitDumpParams(*plug), plug->deviceByte, plug->programName().c_str(), dump);
}

void MIDIMessageSender::sendArrangementToDevice(bool toLibrarian) {
    plug->DisplayProcessingIndicator(true);
    // The global data goes first when a push or a recall asked for it, and
    // whenever the instrument does not hold the panel's; one dump at most,
    // since writing it sets the global-sent flag. The push is used up here.
    // A program for the librarian sends nothing to the instrument.
    if (!toLibrarian) {
        if (plug->pushGlobal.exchange(false)) writeGlobalDump();
        if (!plug->globalSent) writeGlobalDump();
    }
    // Cancelled while the instrument took the global data: no program follows.
    if (cancelRequested()) {
        plug->transferBusy = false;
        plug->DisplayProcessingIndicator(false);
        return;
    }

    const int t = plug->getTimerValue();
    unsigned char dump[kProgramDumpSize];
    buildArrangementDump(dump);

    // The program's name is kept for the saved state.
    const std::string name = plug->programName();
    plug->keepProgramName(name.empty() ? "Set Name" : name);
    plug->setLibrarianViewDirty();
    rest(t);

    if (toLibrarian) {
        plug->SetLibrarianRequestActive(true);
        ISysEx sysex(0, dump, kProgramDumpSize);
        plug->ProcessSysEx(&sysex, true);
        rest(t);
        plug->SetLibrarianRequestActive(false);
        plug->SetLibrarianStatusUnsaved(true);
    } else {
        plug->checksumCheckAndSend(dump, kProgramDumpSize);
        rest(t);
        if (plug->GetParam(kTimbreLinker)->Value() == 1.0) {
            plug->pendingTimbreLink = true;
            plug->allNotesOffPaused = false;
        }
    }

    plug->transferBusy = false;
    plug->DisplayProcessingIndicator(false);
}

// ---- Librarian programs to the instrument: one slot
// (kJobSendLibrarianPatch), a whole bank stored program by program
// (kJobStoreAllPatches), and the init program into a slot
// (kJobInitClassicPatch).

namespace {

// Data bytes whose top bit a field carries, as places in the sequence of
// packing bits (bit j of the packing byte of group g is place 7g + j).
constexpr int kTopBitFields[] = {16, 19, 31, 32, 36, 38, 39, 78, 81, 90, 91, 146, 147, 199};
// The packing bytes the correction looks at: groups 2..6, 11..13, 20, 21,
// 28 and 29.
constexpr int kCorrectedGroups[] = {2, 3, 4, 5, 6, 11, 12, 13, 20, 21, 28, 29};

constexpr int groupPos(int group) { return 5 + 8 * group; }

// One exact-value rule: the byte at pos turns from `from` into `to`, when
// the byte at condPos holds condValue (no condition for -1); the byte at
// setPos then takes setValue (none for -1).
struct ValueRule {
    int pos;
    uint8_t from, to;
    int condPos = -1;
    uint8_t condValue = 0;
    int setPos = -1;
    uint8_t setValue = 0;
};

const ValueRule kClass1[] = {
    {21, 0x10, 0x24, 29, 0x01},
    {21, 0x10, 0x04, 29, 0x00},
    {21, 0x00, 0x20, 29, 0x01},
    {37, 0x20, 0x08},
    {37, 0x40, 0x10},
    {37, 0x60, 0x18},
    {45, 0x08, 0x02},
    {45, 0x20, 0x08},
    {45, 0x40, 0x10},
    {45, 0x60, 0x18},
    {45, 0x68, 0x1A},
    {93, 0x08, 0x02},
    {93, 0x40, 0x10},
    {93, 0x48, 0x12},
    {109, 0x04, 0x01, -1, 0, 101, 0x00},
    {109, 0x06, 0x01, -1, 0, 101, 0x40},
    {165, 0x00, 0x40},
    {173, 0x02, 0x00},
    {173, 0x04, 0x01},
    {229, 0x20, 0x08},
};

const ValueRule kClass4[] = {
    {21, 0x08, 0x04},
    {21, 0x40, 0x20},
    {21, 0x48, 0x24},
    {37, 0x10, 0x08},
    {37, 0x20, 0x10},
    {37, 0x30, 0x18},
    {45, 0x04, 0x02},
    {45, 0x10, 0x08},
    {45, 0x20, 0x10},
    {45, 0x24, 0x12},
    {45, 0x30, 0x18},
    {93, 0x04, 0x02},
    {93, 0x20, 0x10},
    {93, 0x24, 0x12},
    {109, 0x02, 0x01, -1, 0, 101, 0x00},
    {109, 0x03, 0x01, -1, 0, 101, 0x40},
    {165, 0x00, 0x40},
    {173, 0x01, 0x00},
    {173, 0x02, 0x01},
    {229, 0x10, 0x08},
};

// Applies a class's rules; each position takes the first rule that matches
// its value as it was before any rule of that position.
void applyRules(uint8_t* dump, const ValueRule* rules, size_t count) {
    for (size_t i = 0; i < count;) {
        const int pos = rules[i].pos;
        const uint8_t before = dump[pos];
        bool done = false;
        for (; i < count && rules[i].pos == pos; ++i) {
            const ValueRule& r = rules[i];
            if (done || before != r.from || (r.condPos >= 0 && dump[r.condPos] != r.condValue)) continue;
            dump[pos] = r.to;
            if (r.setPos >= 0) dump[r.setPos] = r.setValue;
            done = true;
        }
    }
}

bool isTopBitField(int place) {
    for (int f : kTopBitFields)
        if (f == place) return true;
    return false;
}

// The displacement rule: a packing byte whose set bits all stand d places
// after a field's top bit is taken; each of its bits goes back d places
// when the byte it lands in is taken too, and stays otherwise.
void moveBack(uint8_t* dump, int d) {
    bool taken[37] = {};
    uint8_t out[37] = {};
    for (int g : kCorrectedGroups) {
        const uint8_t v = dump[groupPos(g)];
        bool all = true;
        for (int j = 0; j < 7; ++j)
            if ((v >> j & 1) && !isTopBitField(7 * g + j - d)) all = false;
        taken[g] = all;
        out[g] = all ? 0 : v;
    }
    for (int g : kCorrectedGroups) {
        if (!taken[g]) continue;
        const uint8_t v = dump[groupPos(g)];
        for (int j = 0; j < 7; ++j) {
            if (!(v >> j & 1)) continue;
            const int place = 7 * g + j - d;
            if (taken[place / 7])
                out[place / 7] |= static_cast<uint8_t>(1u << (place % 7));
            else
                out[g] |= static_cast<uint8_t>(1u << j);
        }
    }
    for (int g : kCorrectedGroups) dump[groupPos(g)] = out[g];
}

// Librarian programs stored from slots whose number is not a multiple of 7
// carry their top bits displaced along the packing bits; this puts them back.
void correctSlot(uint8_t* dump, int slot) {
    const int r = slot % 7;
    if (slot <= 0 || r == 0) return;
    const uint8_t at29 = dump[29];
    if (r == 1) {
        applyRules(dump, kClass1, std::size(kClass1));
    } else if (r == 4) {
        applyRules(dump, kClass4, std::size(kClass4));
    } else {
        moveBack(dump, 2 * r % 7);
        if (dump[165] == 0x00) dump[165] = 0x40;
        if (r == 2 || r == 3 || r == 6) {
            if (dump[229] == 0x00) dump[229] = 0x08;
            const uint8_t displaced = r == 2 ? 0x01 : r == 3 ? 0x04 : 0x02;
            if (dump[237] == displaced) dump[237] = 0x00;
        }
        if ((r == 3 || r == 6) && at29 == 0x00) dump[21] = 0x00;
    }
    if (r != 4) dump[29] = dump[53] = 0x00;
}

// The slot's source timbre over its target timbre, the other timbre, the
// name and the common block from the panel. Source and target are 1 or 2;
// no source leaves both timbres as the slot holds them.
void transferTimbre(Halvoran* plug, uint8_t* dump, int source, int target) {
    uint8_t data[kProgramDataSize];
    unpackProgramData(dump, data);
    UnitDumpParams panel(*plug);
    // The arpeggiator's length and steps stay the slot's.
    const uint8_t length = data[14], steps = data[15];
    writeProgramFields(panel, data, kSectionCommon);
    writeProgramName(plug->programName().c_str(), data);
    data[14] = length;
    data[15] = steps;
    if (source == 1 || source == 2) {
        const int from = source == 1 ? kTimbre1Data : kTimbre2Data;
        const int to = target == 1 ? kTimbre1Data : kTimbre2Data;
        if (from != to) std::memmove(data + to, data + from, kTimbreDataSize);
        writeProgramFields(panel, data, target == 1 ? kSectionTimbre2 : kSectionTimbre1);
    }
    packProgramData(data, dump);
}

// Which of the two switches is on: 1, 2, or 0 for neither.
int timbreChoice(Halvoran* plug, int first) {
    if (plug->GetParam(first)->Value() == 1.0) return 1;
    if (plug->GetParam(first + 1)->Value() == 1.0) return 2;
    return 0;
}

// The store's last word when slot (from 0) holds no program: the slot as the
// view numbers it, and how many programs were written before it.
std::string storeStoppedText(int slot) {
    const std::string written = slot == 0 ? "no program" : slot == 1 ? "1 program" : std::to_string(slot) + " programs";
    return "Stopped at empty slot " + std::to_string(slot + 1) + ": " + written + " written";
}

}  // namespace

void MIDIMessageSender::sendPatchToDeviceFromLibrarian(LibrarianPatch* patch, int, int slot) {
    plug->DisplayProcessingIndicator(true);
    IMidiMsg notesOff;
    notesOff.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 0.0, plug->globalMIDIChannel());
    plug->sendMidiMsgAndLog(&notesOff);
    pause(50);

    // Only a whole program dump is sent; anything else in a slot is refused
    // rather than read past its end.
    if (!patch || patch->sysexMessages.empty() ||
        static_cast<int>(patch->sysexMessages.front().data.size()) != kProgramDumpSize) {
        failed = true;
        plug->DisplayProcessingIndicator(false);
        return;
    }
    std::vector<unsigned char> work = patch->sysexMessages.front().data;

    correctSlot(work.data(), slot);
    const int target = timbreChoice(plug, kLoadToTimbre1);
    if (target != 0) transferTimbre(plug, work.data(), timbreChoice(plug, kReadFromTimbre1), target);
    if (plug->GetParam(kOverrideTempo)->Value() == 1.0) {
        const int bpm = plug->GetParam(kArpTempo)->Int() + 20;
        work[40] = static_cast<unsigned char>((bpm >> 8) & 0x7F);
        work[41] = static_cast<unsigned char>(bpm & 0x7F);
        if (work[37] == 0x00 || work[37] == 0x10)
            work[37] = static_cast<unsigned char>((work[37] & 0x10) | ((bpm & 0x80) ? 0x08 : 0x00));
    }
    work[2] = static_cast<unsigned char>(plug->deviceByte & 0x7F);
    plug->SendMidiSysex2(work);

    const int t = plug->getTimerValue();
    if (plug->storeAfterSend) {
        // The dump sent is written, cancelled or not.
        pace(t);
        std::vector<unsigned char> write = writeRequestBody(plug->deviceByte, slot);
        plug->checksumCheckAndSend(write.data(), static_cast<int>(write.size()));
        pause(1800);
        plug->storeAfterSend = false;
    } else {
        // The panel takes the program as if the instrument had sent it.
        plug->SetLibrarianRequestActive(false);
        ISysEx sysex(0, work.data(), kProgramDumpSize);
        plug->ProcessSysEx(&sysex, true);
        if (manager) manager->awaitingPanelDump = false;
        for (int k = 0; k < 20 && !plug->answered && !cancelRequested(); ++k) pause(t);
        if (!plug->answered && !cancelRequested()) plug->setStatusText("CONNECTION TIMED OUT!");
    }
    plug->DisplayProcessingIndicator(false);
}

void MIDIMessageSender::storeAllPatchesToDeviceFromLibrarian(int lowerPane, int) {
    plug->DisplayProcessingIndicator(true);
    // Whichever way the store ends, the overlay goes, so incoming MIDI is
    // never left blocked behind it.
    struct HideOverlay {
        Halvoran* plug;
        ~HideOverlay() { plug->DisplayProcessingIndicator(false); }
    } hideOverlay{plug};

    unsigned char dump[kProgramDumpSize];
    std::memcpy(dump, initProgramDump, kProgramDumpSize);
    IMidiMsg notesOff;
    notesOff.MakeControlChangeMsg(IMidiMsg::kAllNotesOff, 0.0, plug->globalMIDIChannel());
    plug->sendMidiMsgAndLog(&notesOff);
    pause(50);

    PatchLibrarian* librarian = plug->patchLibrarian;
    if (!librarian) return;
    const std::vector<LibrarianPatch>& programs = programsToStore;

    for (int i = 0; i < kBankSlots && !cancelRequested(); ++i) {
        if (manager) manager->disarmLibrarianRequests();
        // A slot without a whole program dump ends the store there, and the
        // last word says so, with what reached the instrument before it.
        if (i >= static_cast<int>(programs.size()) || programs[i].sysexMessages.empty() ||
            programs[i].sysexMessages.front().data.size() != static_cast<size_t>(kProgramDumpSize)) {
            plug->setStatusText(storeStoppedText(i).c_str());
            librarian->selectedSlotUpper = 0;
            return;
        }
        plug->SendProgramChangeCommand(i);
        pause(75);
        // Cancelled before its dump went: the program is not begun.
        if (cancelRequested()) break;
        std::memcpy(dump, programs[i].sysexMessages.front().data.data(), kProgramDumpSize);
        dump[2] = static_cast<unsigned char>(plug->deviceByte & 0x7F);

        plug->DisplayProcessingIndicator(false);
        plug->DisplayProcessingIndicator(true);
        (lowerPane == 0 ? librarian->selectedSlotUpper : librarian->selectedSlotLower) = i;
        plug->selectLibrarianViewSlot(lowerPane == 0 ? 0 : 1, i, false);
        plug->setLibrarianViewDirty();

        plug->checksumCheckAndSend(dump, kProgramDumpSize);
        // A dump that went is written, cancelled or not.
        pace(500);
        std::vector<unsigned char> write = writeRequestBody(plug->deviceByte, i);
        plug->checksumCheckAndSend(write.data(), static_cast<int>(write.size()));
        pause(1800);
        const std::string progress = "Please wait! Writing.. " + std::to_string(i * 100 / 127) + "%";
        plug->setStatusText(progress.c_str());
    }
    plug->setStatusText(cancelRequested() ? "Data write cancelled!" : "Data write completed!");
    librarian->selectedSlotUpper = 0;
}

void MIDIMessageSender::initClassicPatch(bool onlyDuringParameterChange) {
    plug->DisplayProcessingIndicator(true);
    unsigned char dump[kProgramDumpSize];
    std::memcpy(dump, initProgramDump, kProgramDumpSize);
    dump[2] = static_cast<unsigned char>(plug->deviceByte & 0x7F);
    if (onlyDuringParameterChange && !plug->paramChangeInProgress) {
        plug->DisplayProcessingIndicator(false);
        return;
    }
    plug->SetLibrarianRequestActive(true);
    plug->answered = false;
    ISysEx sysex(0, dump, kProgramDumpSize);
    plug->ProcessSysEx(&sysex, true);
    pause(100);
    plug->SetLibrarianStatusUnsaved(true);
    plug->DisplayProcessingIndicator(false);
}
