#include <cstring>

#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;

namespace shimwnd {

View* AsView(HWND h) { return Responder::isLive(h) ? dynamic_cast<View*>(h) : nullptr; }

Window* AsWindow(HWND h) { return Responder::isLive(h) ? dynamic_cast<Window*>(h) : nullptr; }

bool IsContentView(const View* v) { return v && v->window() && v->window()->contentView() == v; }

View* ContentOf(HWND h) {
    if (Window* w = AsWindow(h)) return w->contentView();
    return AsView(h);
}

HWND WindowOf(HWND h) {
    View* v = AsView(h);
    if (IsContentView(v)) return v->window();
    return h;
}

View* ScrollRedirect(View* v) {
    if (!v) return nullptr;
    View* clip = v->superview();
    if (clip && dynamic_cast<ClipView*>(clip) && dynamic_cast<ScrollView*>(clip->superview())) return clip->superview();
    return v;
}

View* DocumentOf(View* v) {
    if (auto* s = dynamic_cast<ScrollView*>(v)) return s->documentView();
    if (auto* c = dynamic_cast<ClipView*>(v)) return c->documentView();
    return nullptr;
}

size_t Utf8Cut(const char* text, size_t max) {
    size_t n = strnlen(text, max + 1);
    if (n <= max) return n;
    n = max;
    // Step back over continuation bytes to the start of the cut character.
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace shimwnd

SHIM_Object* SHIM_ObjectOf(HWND h) { return Responder::isLive(h) ? dynamic_cast<SHIM_Object*>(h) : nullptr; }

bool SHIM_Answers(HWND h, uint64_t sel) {
    SHIM_Object* o = SHIM_ObjectOf(h);
    return o && (o->shimAnswers() & sel) == sel;
}
