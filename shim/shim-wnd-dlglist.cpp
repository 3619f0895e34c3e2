// Dialogs generated from lists of records, and the queries layout code
// asks of controls.
#include <cstring>

#include "platform/appkit/Window.h"
#include "shim/shim-appearance.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;

namespace {

int Int(const void* w) { return static_cast<int>(reinterpret_cast<intptr_t>(w)); }
const char* StringOf(const void* w) { return static_cast<const char*>(w); }

}  // namespace

int SHIM_GetDefaultButtonID(HWND h, bool onlyIfEnabled) {
    View* v = shimwnd::AsView(h);
    Window* w = v ? v->window() : nullptr;
    auto* b = w ? dynamic_cast<Control*>(w->defaultButton()) : nullptr;
    if (!b || !Responder::isLive(b)) return 0;
    if (onlyIfEnabled && !b->isEnabled()) return 0;
    return b->tag();
}

void SHIM_GenerateDialogFromList(const SHIM_DialogListRec* list, int count) {
    for (int i = 0; list && i < count; ++i) {
        const void* const* w = list[i].w;
        const char* kind = StringOf(w[0]);
        auto is = [&](const char* name) { return kind && std::strcmp(kind, name) == 0; };
        int x = Int(w[4]), y = Int(w[5]), cw = Int(w[6]), ch = Int(w[7]);
        if (is("__SHIM_BUTTON")) {
            SHIM_MakeButton(Int(w[1]), StringOf(w[2]), Int(w[3]), x, y, cw, ch, Int(w[8]));
        } else if (is("__SHIM_EDIT")) {
            SHIM_MakeEditField(Int(w[3]), x, y, cw, ch, Int(w[8]));
        } else if (is("__SHIM_COMBO")) {
            SHIM_MakeCombo(Int(w[3]), x, y, cw, ch, Int(w[8]));
        } else if (is("__SHIM_LISTBOX")) {
            SHIM_MakeControl("", Int(w[3]), "SysListView32_LB", Int(w[8]), x, y, cw, ch, 0);
        } else if (is("__SHIM_GROUP")) {
            SHIM_MakeGroupBox(StringOf(w[2]), Int(w[3]), x, y, cw, ch, Int(w[8]));
        } else if (is("__SHIM_CHECKBOX")) {
            SHIM_MakeControl(StringOf(w[2]), Int(w[3]), "Button", Int(w[8]) | BS_AUTOCHECKBOX, x, y, cw, ch, 0);
        } else if (is("__SHIM_LABEL")) {
            SHIM_MakeLabel(Int(w[1]), StringOf(w[2]), Int(w[3]), x, y, cw, ch, Int(w[8]));
        } else {
            const char* className = StringOf(w[2]);
            if (!className || !*className) continue;
            SHIM_MakeControl(kind, Int(w[1]), className, Int(w[3]), x, y, cw, ch, Int(w[8]));
        }
    }
}

void SHIM_GetDesiredControlSize(HWND h, RECT* r) {
    auto* c = Responder::isLive(h) ? dynamic_cast<Control*>(h) : nullptr;
    if (!c || !r) return;
    FRect old = c->frameF();
    c->sizeToFit();
    FRect fitted = c->frameF();
    c->setFrameF(old);
    *r = {0, 0, static_cast<int>(fitted.width), static_cast<int>(fitted.height)};
}

BOOL SHIM_IsGroupBox(HWND h) { return Responder::isLive(h) && dynamic_cast<Shim_vHalvoran_box*>(h) ? TRUE : FALSE; }

BOOL SHIM_IsButton(HWND h) { return Responder::isLive(h) && dynamic_cast<Shim_vHalvoran_button*>(h) ? TRUE : FALSE; }

BOOL SHIM_IsStaticText(HWND h) {
    return Responder::isLive(h) && dynamic_cast<platform::appkit::TextField*>(h) ? TRUE : FALSE;
}
