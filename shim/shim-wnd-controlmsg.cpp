// The message rows of plain platform controls in SendMessage: button
// checks and images, the combo-box messages of both kinds, the trackbar
// messages of a slider, and the selection of a text field being edited.
#include "platform/controls/Slider.h"
#include "shim/shim-gdi.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {

bool ButtonMessage(Button* b, UINT msg, WPARAM wp, LPARAM lp, LRESULT* out) {
    auto* tb = dynamic_cast<Shim_vHalvoran_button*>(b);
    switch (msg) {
        case BM_GETCHECK:
            *out = b->state() == Button::kMixed ? BST_INDETERMINATE : b->state() ? BST_CHECKED : BST_UNCHECKED;
            return true;
        case BM_SETCHECK:
            b->setState((wp & 2) ? Button::kMixed : (wp & 1) ? Button::kOn : Button::kOff);
            *out = 0;
            return true;
        case BM_GETIMAGE:
            if (!tb) return false;
            *out = wp > 1 ? 0 : reinterpret_cast<LRESULT>(tb->getShimGDIImage());
            return true;
        case BM_SETIMAGE: {
            if (!tb) return false;
            *out = 0;
            if (wp > 1) return true;
            *out = reinterpret_cast<LRESULT>(tb->getShimGDIImage());
            auto* obj = reinterpret_cast<HGDIOBJ>(lp);
            platform::CGImageRef image = nullptr;
            if (SHIM_IsValidObject(obj, SHIM_GDIOBJ_BITMAP) && obj->bitmapptr) image = obj->bitmapptr->image;
            tb->setImageRef(image);
            tb->setShimGDIImage(image ? obj : nullptr);
            return true;
        }
        default:
            return false;
    }
}

bool ComboMessage(View* v, UINT msg, WPARAM wp, LPARAM lp, LRESULT* out) {
    HWND h = v;
    auto index = static_cast<int>(static_cast<int32_t>(wp));
    auto* text = reinterpret_cast<const char*>(lp);
    *out = 0;
    switch (msg) {
        case CB_ADDSTRING:
            *out = SHIM_CB_InsertString(h, 0, SHIM_CB_ADD_POSITION, text);
            break;
        case CB_DELETESTRING:
            SHIM_CB_DeleteString(h, 0, index);
            *out = 1;
            break;
        case CB_GETCOUNT:
            *out = SHIM_CB_GetNumItems(h, 0);
            break;
        case CB_GETCURSEL:
            *out = SHIM_CB_GetCurSel(h, 0);
            break;
        case CB_GETLBTEXT:
            *out = SHIM_CB_GetItemText(h, 0, index, reinterpret_cast<char*>(lp), 1024);
            break;
        case CB_INSERTSTRING:
            *out = SHIM_CB_InsertString(h, 0, index, text);
            break;
        case CB_RESETCONTENT:
            SHIM_CB_Empty(h, 0);
            break;
        case CB_FINDSTRING:
        case CB_FINDSTRINGEXACT:
            *out = text ? SHIM_CB_FindString(h, 0, index, text, msg == CB_FINDSTRINGEXACT) : -1;
            break;
        case CB_SETCURSEL:
            if (wp < static_cast<WPARAM>(SHIM_CB_GetNumItems(h, 0))) SHIM_CB_SetCurSel(h, 0, index);
            break;
        case CB_GETITEMDATA:
            *out = SHIM_CB_GetItemData(h, 0, index);
            break;
        case CB_SETITEMDATA:
            SHIM_CB_SetItemData(h, 0, index, lp);
            break;
        default:
            break;
    }
    return true;
}

bool SliderMessage(ct::Slider* s, UINT msg, LPARAM lp, LRESULT* out) {
    switch (msg) {
        case TBM_GETPOS:
            *out = static_cast<LRESULT>(static_cast<long long>(s->doubleValue() + 0.5));
            return true;
        case TBM_SETTIC:
            *out = 1;
            return true;
        case TBM_SETPOS:
            s->setDoubleValue(static_cast<int32_t>(lp));
            *out = 1;
            return true;
        case TBM_SETRANGE:
            s->setMinValue(static_cast<double>(lp & 0xFFFF));
            s->setMaxValue(static_cast<double>((lp >> 16) & 0xFFFF));
            *out = 1;
            return true;
        default:
            *out = 0;
            return true;
    }
}

bool FieldMessage(ct::TextField* f, UINT msg, WPARAM wp, LPARAM lp, LRESULT* out) {
    *out = 0;
    // Being edited: the window's first responder lies inside the field.
    View* fr = f->window() ? f->window()->firstResponder() : nullptr;
    ct::TextView* editor = fr && fr != f && fr->isDescendantOf(f) ? f->currentEditor() : nullptr;
    switch (msg) {
        case EM_GETSEL: {
            ct::TextRange r = editor ? editor->selectedRange() : ct::TextRange{};
            if (auto* s = reinterpret_cast<int32_t*>(wp)) *s = r.location;
            if (auto* e = reinterpret_cast<int32_t*>(lp)) *e = r.location + r.length;
            return true;
        }
        case EM_SETSEL:
            if (editor) editor->setSelectedRange(SHIM_EditSelection(editor->length(), wp, lp));
            return true;
        case 0xF0CC:
            return true;
        default:
            return false;
    }
}

}  // namespace

namespace shimwnd {

bool ControlMessage(View* v, UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    if (auto* b = dynamic_cast<Button*>(v); b && ButtonMessage(b, msg, wp, lp, result)) return true;
    if (msg >= CB_ADDSTRING && msg <= CB_MSGMAX &&
        (dynamic_cast<ct::PopUpButton*>(v) || dynamic_cast<ct::ComboBox*>(v)))
        return ComboMessage(v, msg, wp, lp, result);
    if (auto* s = dynamic_cast<ct::Slider*>(v); s && msg >= TBM_GETPOS && msg <= TBM_SETRANGE)
        return SliderMessage(s, msg, lp, result);
    if (auto* f = dynamic_cast<ct::TextField*>(v)) return FieldMessage(f, msg, wp, lp, result);
    return false;
}

}  // namespace shimwnd
