// The panel's part of what other threads do: the render thread and the MIDI
// input thread set parameters and flags, and the GUI thread, where the
// panel's layers are switched, hit-tested and drawn, shows the result.
#include <cstdio>
#include <string>

#include "framework/IControl.h"
#include "framework/IGraphics.h"
#include "src/Halvoran.h"
#include "src/TabSwitchFunctions.h"

namespace {

// Set for the length of an audio callback.
thread_local bool tRendering = false;

}  // namespace

bool Halvoran::onRenderThread() { return tRendering; }

void Halvoran::markRendering(bool rendering) { tRendering = rendering; }

void Halvoran::setParameterLater(int paramIdx, double plainValue) {
    IParam* p = GetParam(paramIdx);
    if (!p) return;
    p->Set(plainValue);
    mShowPending[paramIdx] = true;
    panelWorkLater(kWorkShowParams);
}

void Halvoran::switchTabsLater(bool mainTab) { panelWorkLater(mainTab ? kWorkMainTabs : kWorkTimbreTabs); }

void Halvoran::panelWorkLater(unsigned work) {
    // Only the first request since the last call posts one; the call takes
    // whatever was asked by the time it runs.
    if (mPanelWork.fetch_or(work) != 0) return;
    std::weak_ptr<GuiThreadQueue> gui = mGuiCalls;
    if (std::shared_ptr<GuiThreadQueue> calls = gui.lock()) calls->call([this] { doPanelWork(); });
}

void Halvoran::doPanelWork() {
    // A host may render on the GUI thread: the work is the panel's then too.
    struct NotRendering {
        const bool was = tRendering;
        NotRendering() { tRendering = false; }
        ~NotRendering() { tRendering = was; }
    } notRendering;
    const unsigned work = mPanelWork.exchange(0);
    if (work & kWorkShowParams) {
        for (int i = 0; i < kNumParams; ++i)
            if (mShowPending[i].exchange(false) && graphics)
                graphics->SetParameterFromPlug(i, GetParam(i)->GetNormalized(), true);
    }
    if (work & kWorkPortLoss) noticeLostMIDIPorts();
    if (work & kWorkLatency) {
        char text[64];
        std::snprintf(text, sizeof text, "%dms|%dbfr", mLatencyMs.load(), mLatencyBlock.load());
        setLatencyText(text);
    }
    if (work & kWorkTimbreLink) {
        setParameterFromPlug(kTimbreSelect, 1.0);
        setParameterFromPlug(kTimbreLinker, 1.0);
        refreshTimbreView();
    } else if (work & kWorkTimbreRefresh) {
        refreshTimbreView();
    }
    if (work & kWorkMainTabs)
        TabSwitchFunctions::mainTabSwitch(this, kMainTab, GetParam(kMainTab)->Int(), 0, 0);
    else if (work & kWorkTimbreTabs)
        TabSwitchFunctions::quickTabSwitch(this, kTimbreSelect, selectedTimbre, 0);
}

void Halvoran::refreshTimbreView() {
    BASE_MutexLock lock(GetMutex());
    const std::string status = statusTextControl ? statusTextControl->GetTextString() : "";
    const std::string value = valueTextControl ? valueTextControl->GetTextString() : "";
    OnParamChange(kTimbreSelect);
    setStatusText(status.c_str());
    setValueText(value.c_str());
}
