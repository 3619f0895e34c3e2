// What a toolkit window can host besides toolkit controls. Windows of the
// older Mac toolkit and plug-in views made by a bundle's view factory have
// nothing to stand on in Linux: those calls keep their signatures and fail
// (null, nothing done). A GL context of a toolkit view is kept as a record:
// made and dropped with the view's wish for one, bound to the view while it
// paints and current on one thread at a time, as a GL context is.
#pragma once

#include <optional>
#include <vector>

#include "platform/appkit/Controls.h"
#include "shim/shim-dlg.h"
#include "shim/shim-object.h"

// The Audio Unit view information record: the bundle's location, then the
// names of the view classes it offers.
struct AudioUnitCocoaViewInfo {
    const char* mCocoaAUViewBundleLocation;
    const char* mCocoaAUViewClass[1];
};

// ---- hosting windows of the older toolkit (none on Linux)
HWND SHIM_CreateCarbonWindowView(HWND parent, void** carbonWindowOut, const RECT* r, bool compositing);
void* SHIM_GetWindowFromCarbonWindowView(HWND h);
void SHIM_AddCarbonPaneToView(HWND h, void* carbonControl);
void SHIM_CarbonWndHost_SetWantAllKeys(HWND h, bool want);

// ---- plug-in views (no view factory on Linux)
HWND SHIM_GetAudioUnitCocoaView(HWND parent, void* audioUnit, const AudioUnitCocoaViewInfo* info, RECT* r);

// ---- GL contexts of toolkit views
// Only when the wish differs from the present state: a new context record
// for the view, or the view's one dropped (cleared from being current first).
void SHIM_SetViewGL(HWND h, bool want);
bool SHIM_GetViewGL(HWND h);
// Null clears the calling thread's current context and gives false; a
// toolkit view with a context makes it current and gives true.
bool SHIM_SetGLContextToView(HWND h);

// The record behind a view's context, for tests and the painting code.
class SHIM_GLRecord : public SHIM_GLContext {
public:
    explicit SHIM_GLRecord(const std::vector<int>& pixelFormat) : m_pixelformat(pixelFormat) {}
    ~SHIM_GLRecord() override;
    void bindToView(platform::appkit::View* v) override { m_view = v; }
    void makeCurrent() override;
    void update() override { ++m_updates; }
    bool isCurrent() const override;
    void clearCurrent() override;
    // The calling thread's current context, or null.
    static SHIM_GLRecord* current();

    std::vector<int> m_pixelformat;  // the pixel format's attributes
    platform::appkit::View* m_view = nullptr;
    int m_updates = 0;
};

// ---- the text colour of platform buttons
// The colour of the title's text: the control text colour for an empty
// title, none when the title has no colour of its own.
std::optional<platform::appkit::Color> SHIM_ButtonTextColor(const platform::appkit::Button* b);
void SHIM_ButtonSetTextColor(platform::appkit::Button* b, const platform::appkit::Color& c);
