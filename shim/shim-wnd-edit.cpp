// The edit views' selection and scrolling messages: the multi-line edit
// view's own handler, and the selection range EM_SETSEL asks for.
#include <algorithm>
#include <utility>

#include "shim/shim-gdi.h"
#include "shim/shim-wnd-classes.h"

using namespace platform;
namespace ct = platform::controls;

ct::TextRange SHIM_EditSelection(int length, WPARAM startParam, LPARAM endParam) {
    int start = static_cast<int>(static_cast<int32_t>(startParam));
    int end = static_cast<int>(static_cast<int32_t>(endParam));
    if (end == -1) end = length;
    if (start == -1) start = end = 0;
    if (static_cast<unsigned>(start) > static_cast<unsigned>(length)) start = length;
    if (end > length) end = length;
    // An end before the start selects between the two, never a negative length.
    if (end < start) {
        end = std::max(end, 0);
        std::swap(start, end);
    }
    return {start, end - start};
}

LRESULT Shim_vHalvoran_textview::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_SETFONT: {
            auto* f = reinterpret_cast<HGDIOBJ>(wp);
            if (SHIM_IsValidObject(f, SHIM_GDIOBJ_FONT) && f->fontobj)
                setFont({CTFontCopyPostScriptName(f->fontobj), CTFontGetSize(f->fontobj)});
            break;
        }
        case EM_GETSEL: {
            ct::TextRange r = selectedRange();
            if (auto* s = reinterpret_cast<int32_t*>(wp)) *s = r.location;
            if (auto* e = reinterpret_cast<int32_t*>(lp)) *e = r.location + r.length;
            break;
        }
        case EM_SETSEL:
            setSelectedRange(SHIM_EditSelection(length(), wp, lp));
            break;
        case EM_SCROLL:
            if (wp == SB_TOP)
                scrollRangeToVisible({0, 0});
            else if (wp == SB_BOTTOM)
                scrollRangeToVisible({length(), 0});
            break;
        default:
            break;
    }
    return 0;
}
