#pragma once
// A bare editor for the core's tests: the plug-in object with its parameter
// defaults, a UI configuration manager for the bindings, the MIDI manager,
// the panel's text lines, and its short MIDI sends recorded instead of going
// to a port. Controls are made here and bound as the panel build binds them.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "src/ControlAction.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "src/UIConfigManager.h"
#include "support/JackServer.h"
#include "support/TempDataDir.h"

namespace coretest {

using Msg = std::array<int, 3>;

class RecordingPlug : public Halvoran {
public:
    // The workers may still send through this class: they stop before its
    // members go, not only in the base's destructor.
    ~RecordingPlug() override {
        delete midiManager;
        midiManager = nullptr;
    }
    bool SendMidiMsg(IMidiMsg* m) override {
        std::lock_guard<std::mutex> lock(mutex);
        sent.push_back({m->mStatus, m->mData1, m->mData2});
        return true;
    }
    void setBlock(int n) { SetBlockSize(n); }
    void setRate(double r) { SetSampleRate(r); }
    std::vector<Msg> takeSent() {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<Msg> out;
        out.swap(sent);
        return out;
    }

private:
    std::mutex mutex;
    std::vector<Msg> sent;
};

// A control that only remembers what it was given.
class ProbeControl : public IControl {
public:
    ProbeControl(IUnitBase* plug, int paramIdx) : IControl(plug, IRECT(0, 0, 10, 10), paramIdx) {}
};

class BareEditor {
public:
    explicit BareEditor(bool withManager = true) {
        hvtest::JackServer::shared();
        plug = std::make_unique<RecordingPlug>();
        plug->initParameterDefaults();
        plug->uiConfigManager = new UIConfigManager();
        plug->uiConfigManager->plug = plug.get();
        if (withManager) plug->midiManager = new MIDIMessageManager(plug.get(), nullptr, nullptr, nullptr);
        plug->statusTextControl = text(kControlDisplayName);
        plug->valueTextControl = text(kControlDisplayValue);
        plug->midiTextControl = text(kControlDisplayCC);
        plug->latencyTextControl = text(kControlDisplayMIDIOutDelay);
        plug->timbreTextControl = text(kControlDisplayTimbre);
        plug->constructionComplete = true;
        plug->midiOutReady = true;
    }
    ~BareEditor() {
        plug.reset();
        controls.clear();
    }

    // A control bound to paramIdx with a binding of `kind`.
    ControlAction* bind(int paramIdx, int kind, IControl** made = nullptr) {
        auto c = std::make_unique<ProbeControl>(plug.get(), paramIdx);
        ControlAction* a = plug->uiConfigManager->bindControl(paramIdx, kind, c.get());
        if (made) *made = c.get();
        controls.push_back(std::move(c));
        return a;
    }
    ITextControl* text(int paramIdx) {
        IText style;
        auto c = std::make_unique<ITextControl>(plug.get(), IRECT(0, 0, 100, 10), &style, "");
        ITextControl* t = c.get();
        plug->uiConfigManager->bindControl(paramIdx, ControlAction::kNone, t);
        controls.push_back(std::move(c));
        return t;
    }
    std::string status() const { return plug->statusTextControl->GetTextString(); }
    std::string midiText() const { return plug->midiTextControl->GetTextString(); }

    hvtest::TempDataDir dataDir;
    std::unique_ptr<RecordingPlug> plug;
    std::vector<std::unique_ptr<IControl>> controls;
};

// A suite on a fresh bare editor per test, with its MIDI manager at hand.
class BareEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        e = std::make_unique<BareEditor>();
        plug = e->plug.get();
        mgr = plug->midiManager;
    }

    std::unique_ptr<BareEditor> e;
    RecordingPlug* plug = nullptr;
    MIDIMessageManager* mgr = nullptr;
};

}  // namespace coretest
