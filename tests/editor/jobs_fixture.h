#pragma once
// An editor for the transfer jobs' tests: the plug-in object with its
// parameter defaults, the MIDI manager, a librarian with one bank, the
// panel's status and value lines, and its MIDI ports joined to a simulated
// instrument on JACK. The jobs' pauses can be shortened by a divisor.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "framework/IControl.h"
#include "src/ControlAction.h"
#include "platform/appkit/RunLoop.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/UIConfigManager.h"
#include "support/JackServer.h"
#include "support/SimInstrument.h"
#include "support/SysExFrame.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"

namespace jobstest {

using namespace std::chrono_literals;
using Bytes = hvtest::SimInstrument::Bytes;
using Message = hvtest::SimInstrument::Message;

inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 60s) {
    return hvtest::waitUntil(done, static_cast<int>(limit.count()), 2);
}

// Seconds between two arrivals.
inline double secondsBetween(const Message& a, const Message& b) {
    return std::chrono::duration<double>(b.arrived - a.arrived).count();
}

using hvtest::isRequest;
inline bool isProgramRequest(const Bytes& m) { return isRequest(m, 0x10); }
inline bool isGlobalRequest(const Bytes& m) { return isRequest(m, 0x0E); }

// What arrived that matches, in order.
inline std::vector<Message> only(const std::vector<Message>& all, const std::function<bool(const Bytes&)>& pred) {
    std::vector<Message> out;
    for (const Message& m : all)
        if (pred(m.bytes)) out.push_back(m);
    return out;
}

// A panel line that keeps every text it was given.
class RecordingText : public ITextControl {
public:
    using ITextControl::ITextControl;
    void SetDirty(bool pushParamToPlug) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            history_.push_back(GetTextString());
        }
        ITextControl::SetDirty(pushParamToPlug);
    }
    std::vector<std::string> history() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return history_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        history_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> history_;
};

// Whether `texts` holds `a` and, later, `b`.
inline bool shownInOrder(const std::vector<std::string>& texts, const std::string& a, const std::string& b) {
    auto first = std::find(texts.begin(), texts.end(), a);
    return first != texts.end() && std::find(first, texts.end(), b) != texts.end();
}

inline bool shown(const std::vector<std::string>& texts, const std::string& a) {
    return std::find(texts.begin(), texts.end(), a) != texts.end();
}

class JobsEditor {
public:
    // pacingDivisor divides every pause of the jobs (1: the real times).
    explicit JobsEditor(int pacingDivisor = 1, int instrumentChannel = 0) {
        hvtest::JackServer::shared();
        sim = std::make_unique<hvtest::SimInstrument>(instrumentChannel, "hvjobs");
        MIDIMessageSender::pacingDivisor = pacingDivisor;
        plug = std::make_unique<Halvoran>();
        plug->initParameterDefaults();
        plug->uiConfigManager = new UIConfigManager();
        plug->uiConfigManager->plug = plug.get();
        plug->patchLibrarian = new PatchLibrarian(plug.get());
        bank = new PatchFile();
        bank->fileName = "Test Bank.syx";
        bank->patches.resize(kBankSlots);
        plug->patchLibrarian->bankFiles.push_back(bank);
        plug->patchLibrarian->selectedBankUpper = 0;
        plug->midiManager = new MIDIMessageManager(plug.get(), nullptr, plug->patchLibrarian, nullptr);
        statusLine = static_cast<RecordingText*>(text(kControlDisplayName));
        plug->statusTextControl = statusLine;
        plug->valueTextControl = text(kControlDisplayValue);
        plug->constructionComplete = true;
        connect();
    }
    ~JobsEditor() {
        if (plug && plug->midiManager) {
            cancel();
            waitIdle();
        }
        plug.reset();
        controls.clear();
        MIDIMessageSender::pacingDivisor = 1;
    }

    MIDIMessageManager& manager() { return *plug->midiManager; }
    MIDIMessageSender& sender() { return *plug->midiManager->sender; }
    bool transferRunning() { return manager().isRunning(MIDIMessageManager::kTransferThread); }
    // Waits for the transfer job to end and joins its thread, then lets the
    // GUI thread take what the job and the MIDI input handed it, so what
    // they wrote is settled before the test reads it.
    bool waitIdle(std::chrono::milliseconds limit = 120s) {
        const bool ended = manager().waitForEnd(MIDIMessageManager::kTransferThread, static_cast<int>(limit.count()));
        platform::appkit::RunLoop::main().runOnce();
        return ended;
    }
    bool start(uint32_t code, const std::function<void(MIDIMessageSender&)>& args = {}) {
        return manager().startJob(MIDIMessageManager::kTransferThread, code, args);
    }
    std::string status() const { return plug->statusTextControl->GetTextString(); }
    // Every status text shown so far, in order.
    std::vector<std::string> statusHistory() const { return statusLine->history(); }
    std::string valueText() const { return plug->valueTextControl->GetTextString(); }
    // The overlay's Cancel button, as the panel presses it.
    void cancel() { plug->SetParameterFromGUI(kCancelDataRequest, 1.0); }
    // Cancels once pred holds for what the instrument received.
    bool cancelWhen(const std::function<bool(const std::vector<Message>&)>& pred) {
        if (!sim->waitFor(pred, 60s)) return false;
        cancel();
        return true;
    }
    // A program dump for a librarian slot, named, with the device byte 0x30.
    static Bytes programDump(const std::string& name, uint8_t fill = 0x11) {
        Bytes d(kProgramDumpSize, fill);
        d[0] = 0xF0;
        d[1] = 0x42;
        d[2] = 0x30;
        d[3] = 0x58;
        d[4] = 0x40;
        for (int g = 0; g < 37; ++g) d[5 + 8 * g] = 0x00;
        for (size_t i = 0; i < 12; ++i) {
            int n = static_cast<int>(i);
            d[6 + 8 * (n / 7) + n % 7] = i < name.size() ? static_cast<uint8_t>(name[i]) : 0x20;
        }
        d[kProgramDumpSize - 1] = 0xF7;
        return d;
    }
    void fillSlot(int slot, const Bytes& dump, const std::string& name = "") {
        LibrarianPatch p;
        p.name = name;
        PatchSysexMessage m;
        m.data = dump;
        p.sysexMessages.push_back(m);
        bank->patches[slot] = p;
    }

    hvtest::TempDataDir dataDir;
    std::unique_ptr<hvtest::SimInstrument> sim;
    std::unique_ptr<Halvoran> plug;
    PatchFile* bank = nullptr;  // owned by the librarian
    RecordingText* statusLine = nullptr;
    std::vector<std::unique_ptr<IControl>> controls;

private:
    ITextControl* text(int paramIdx) {
        IText style;
        auto c = std::make_unique<RecordingText>(plug.get(), IRECT(0, 0, 100, 10), &style, "");
        ITextControl* t = c.get();
        plug->uiConfigManager->bindControl(paramIdx, ControlAction::kNone, t);
        controls.push_back(std::move(c));
        return t;
    }
    static int portIndex(const std::vector<std::string>& names, const std::string& port) {
        for (size_t i = 1; i < names.size(); ++i)
            if (names[i] == port) return static_cast<int>(i);
        return 0;
    }
    void connect() {
        // The port lists are made once, when first asked: the instrument
        // exists before the plug-in does. Lists that came too late for the
        // first answer are asked afresh, as a port menu does.
        int in = portIndex(plug->getExternalMIDIInNames(), sim->outPort());
        int out = portIndex(plug->getExternalMIDIOutNames(), sim->inPort());
        hvtest::waitUntil(
            [&] {
                if (!in) in = portIndex(plug->refreshExternalMIDIInNames(), sim->outPort());
                if (!out) out = portIndex(plug->refreshExternalMIDIOutNames(), sim->inPort());
                return in != 0 && out != 0;
            },
            60000, 50);
        ASSERT_NE(in, 0) << sim->outPort();
        ASSERT_NE(out, 0) << sim->inPort();
        int inIdx = in, outIdx = out;
        plug->setExternalMIDIIn(inIdx, sim->outPort().c_str());
        plug->setExternalMIDIOut(outIdx, sim->inPort().c_str());
        plug->midiOutReady = plug->isExternalMIDIOutOpen();
        plug->midiInOutSet = true;
        ASSERT_TRUE(plug->midiOutReady);
        ASSERT_TRUE(sim->waitConnected());
    }
};

}  // namespace jobstest
