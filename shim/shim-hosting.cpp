#include "shim/shim-hosting.h"

#include "shim/shim-dlg.h"

using platform::appkit::Button;
using platform::appkit::Color;

namespace {
thread_local SHIM_GLRecord* t_current = nullptr;

// The pixel format attribute that lets offline renderers serve.
constexpr int kAllowOfflineRenderers = 96;
}  // namespace

HWND SHIM_CreateCarbonWindowView(HWND, void** carbonWindowOut, const RECT*, bool) {
    if (carbonWindowOut) *carbonWindowOut = nullptr;
    return nullptr;
}

void* SHIM_GetWindowFromCarbonWindowView(HWND) { return nullptr; }

void SHIM_AddCarbonPaneToView(HWND, void*) {}

void SHIM_CarbonWndHost_SetWantAllKeys(HWND, bool) {}

HWND SHIM_GetAudioUnitCocoaView(HWND, void*, const AudioUnitCocoaViewInfo* info, RECT*) {
    // Without a class name no bundle is opened; with one there is still no
    // view factory to ask.
    if (!info || !info->mCocoaAUViewClass[0]) return nullptr;
    return nullptr;
}

SHIM_GLRecord::~SHIM_GLRecord() {
    if (t_current == this) t_current = nullptr;
}

void SHIM_GLRecord::makeCurrent() { t_current = this; }

bool SHIM_GLRecord::isCurrent() const { return t_current == this; }

void SHIM_GLRecord::clearCurrent() {
    if (t_current == this) t_current = nullptr;
}

SHIM_GLRecord* SHIM_GLRecord::current() { return t_current; }

void SHIM_SetViewGL(HWND h, bool want) {
    Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h);
    if (!v || want == (v->glContext() != nullptr)) return;
    if (want) {
        std::vector<int> format;
        if (SHIM_PlatformVersion() >= 0x1050) format.push_back(kAllowOfflineRenderers);
        v->setGLContext(new SHIM_GLRecord(format));
    } else {
        if (v->glContext()->isCurrent()) v->glContext()->clearCurrent();
        v->setGLContext(nullptr);
    }
}

bool SHIM_GetViewGL(HWND h) {
    Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h);
    return v && v->glContext();
}

bool SHIM_SetGLContextToView(HWND h) {
    if (!h) {
        t_current = nullptr;
        return false;
    }
    Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h);
    if (!v || !v->glContext()) return false;
    v->glContext()->makeCurrent();
    return true;
}

std::optional<Color> SHIM_ButtonTextColor(const Button* b) {
    if (!b) return std::nullopt;
    if (b->title().empty()) return Color::controlText();
    return b->titleColor();
}

void SHIM_ButtonSetTextColor(Button* b, const Color& c) {
    if (b) b->setTitleColor(c);
}
