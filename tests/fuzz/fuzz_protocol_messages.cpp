// Any bytes as MIDI from the instrument through the editor's entry points
// for SysEx and short messages, in any request state: no crash, no read past
// a message, the device byte stays a device byte and the librarian's slot a
// slot. The program and global dump parsers also take the whole input as
// one message.
#include <cstdlib>
#include <memory>
#include <vector>

#include "../editor/protocol_bindings.h"
#include "framework/IControl.h"
#include "src/ControlAction.h"
#include "src/GlobalDump.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/PatchLibrarian.h"
#include "src/ProgramDump.h"
#include "src/UIConfigManager.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

class Probe : public IControl {
public:
    Probe(IUnitBase* plug, int paramIdx) : IControl(plug, IRECT(0, 0, 10, 10), paramIdx) {}
};

// An editor without ports or panel, with a few controls bound for incoming
// MIDI. Made once and kept: the editor's objects live as long as the run.
struct Bench {
    Halvoran plug;
    PatchLibrarian* librarian;
    std::vector<std::unique_ptr<Probe>> controls;

    Bench() {
        for (int i = 0; i < kNumParams; ++i) plug.GetParam(i)->InitDouble("", 0, 0, 127, 1);
        plug.GetParam(kArpTempo)->InitDouble("", 100, 0, 280, 1);
        plug.GetParam(kArpSwing)->InitDouble("", 100, 0, 200, 1);
        plug.GetParam(kTimbreSelect)->InitEnum("", 0, 2);
        plug.GetParam(kGlobalMIDICha)->InitEnum("", 0, 16);
        plug.GetParam(kPatchName)->InitText();
        plug.GetParam(kPatchName)->SetDisplayText(0, "-- INIT --");
        plug.uiConfigManager = new UIConfigManager();
        plug.uiConfigManager->plug = &plug;
        librarian = new PatchLibrarian(&plug);
        librarian->bankFiles.push_back(new PatchFile());
        plug.patchLibrarian = librarian;
        plug.midiManager = new MIDIMessageManager(&plug, nullptr, librarian, nullptr);
        plug.constructionComplete = true;

        cc(kFilterCutoff, 1, 74, 0);
        cc(kDelayFxTime, 0, 12, 1);
        cc(kDelayFxSyncNote, 0, 13, 0);
        cc(kGlobalLocalOn, 1, 86, 0);
        cc(kOsc1DWGSWave, 1, 15, 2);
        cc(kOsc1Waveform, 1, 77, 0);
        nrpn(kVPatchSrc1, 1, 4, 0, 0);
        nrpn(kArpType, 0, 0, 7, 1);
        sysex(kFilterCutoff + 1, 0x14, 0x00);
        sysex(kCommonMode, 16, 0);
        sysex(kArpTempo, 0x30, 0);
        sysex(kSeq1Step1, 0x40, 0);
        sysex(kEQLowGain, 0x21, 0);
    }

    Probe* bind(int paramIdx, int kind, ControlAction** action) {
        controls.push_back(std::make_unique<Probe>(&plug, paramIdx));
        *action = plug.uiConfigManager->bindControl(paramIdx, kind, controls.back().get());
        return controls.back().get();
    }
    void cc(int paramIdx, int key, int number, int type) {
        ControlAction* a = nullptr;
        Probe* c = bind(paramIdx, ControlAction::kCC, &a);
        hvproto::registerCC(*plug.uiConfigManager, a, c, key, number, type);
    }
    void nrpn(int paramIdx, int key, int msb, int lsb, int type) {
        ControlAction* a = nullptr;
        Probe* c = bind(paramIdx, ControlAction::kMsbLsb, &a);
        hvproto::registerNRPN(*plug.uiConfigManager, a, c, key, msb, lsb, type);
    }
    void sysex(int paramIdx, int lo, int hi) {
        ControlAction* a = nullptr;
        Probe* c = bind(paramIdx, ControlAction::kSysEx, &a);
        hvproto::registerParameterChange(*plug.uiConfigManager, c, lo, hi);
    }

    // The request state from one byte.
    void setState(uint8_t s) {
        MIDIMessageManager* m = plug.midiManager;
        m->awaitingPanelDump = s & 0x01;
        plug.initialization = s & 0x02;
        // Arming empties a request, as the editor's own arming does.
        m->libraryPatchRequest.empty();
        m->libraryPatchRequestAll.empty();
        m->libraryPatchRequest.active = s & 0x04;
        m->libraryPatchRequestAll.active = s & 0x08;
        plug.bankDumpSeen = s & 0x10;
        librarian->requestMode = s & 0x20;
        m->controlDataBlocked = s & 0x40;
        plug.deviceByte = 0x30 | (s >> 4);
        plug.GetParam(kCommonMode)->Set(s & 0x80 ? 1 : 0);
        // Program changes would start the request job on its thread: they
        // arrive on a channel the part lock refuses.
        plug.GetParam(kGlobalMIDICha)->Set(15);
        plug.GetParam(kPartLock)->Set(1);
        plug.GetParam(kPartLock + 1)->Set(1);
        plug.GetParam(kControlLibrary)->Set(0);
        librarian->selectedSlotUpper = s & 0x7F;
    }

    void check() {
        require((plug.deviceByte & 0xF0) == 0x30);
        require(librarian->selectedSlotUpper >= 0 && librarian->selectedSlotUpper < kBankSlots);
        require(librarian->bankFiles[0]->patches.size() <= static_cast<size_t>(kBankSlots));
    }
};

void deliverShort(Bench& b, uint8_t status, uint8_t d1, uint8_t d2) {
    if ((status & 0xF0) == 0xC0 && (status & 0x0F) == 15) status = 0xC0;  // keep program changes refused
    IMidiMsg m(0, status, d1, d2);
    b.plug.ProcessMidiMsg(&m, true);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Bench* bench = new Bench();
    Bench& b = *bench;
    if (size == 0) return 0;

    // The whole input as one dump.
    {
        UnitDumpParams params(b.plug);
        parseProgramDump(data, static_cast<int>(size), params);
        parseGlobalDump(data, static_cast<int>(size), params);
    }

    b.setState(data[0]);
    // The rest as a MIDI stream: SysEx runs from F0 to F7 (or up to the next
    // status byte, as a truncated message), short messages take their data
    // bytes, with running status.
    size_t i = 1;
    uint8_t running = 0;
    while (i < size) {
        const uint8_t byte = data[i];
        if (byte == 0xF0) {
            size_t end = i + 1;
            while (end < size && data[end] < 0x80) ++end;
            if (end < size && data[end] == 0xF7) ++end;
            std::vector<uint8_t> m(data + i, data + end);  // its own buffer: any read past it is caught
            ISysEx s(0, m.data(), static_cast<int>(m.size()));
            b.plug.ProcessSysEx(&s, true);
            i = end;
            running = 0;
            continue;
        }
        if (byte >= 0x80) {
            running = byte < 0xF0 ? byte : 0;
            ++i;
            if (!running) continue;
        } else if (!running) {
            ++i;  // a stray data byte
            continue;
        }
        const int need = (running & 0xF0) == 0xC0 || (running & 0xF0) == 0xD0 ? 1 : 2;
        uint8_t d[2] = {0, 0};
        int got = 0;
        while (got < need && i < size && data[i] < 0x80) d[got++] = data[i++];
        if (got < need) continue;
        deliverShort(b, running, d[0], d[1]);
    }
    b.check();
    return 0;
}
