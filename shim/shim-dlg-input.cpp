// The window object's input: platform mouse, wheel, key, gesture and drag
// events as window messages, in the order the toolkit sends them.
#include <cmath>
#include <cstring>

#include "platform/appkit/Application.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-dnd.h"
#include "shim/shim-input.h"
#include "shim/shim-kb.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

LPARAM pack(int x, int y) { return (LPARAM)(uint32_t)(((uint32_t)y << 16) | ((uint32_t)x & 0xFFFF)); }

// A live window object that can still take messages.
Shim_vHalvoran_hwnd* liveTarget(HWND h) {
    Shim_vHalvoran_hwnd* w = SHIM_WindowObjectOf(h);
    return w && !w->shimHasBeenDestroyed() && w->m_wndproc ? w : nullptr;
}

void setArrowUnlessCurrent() {
    HCURSOR arrow = SHIM_LoadCursor(IDC_ARROW);
    if (SHIM_GetCursor() != arrow) SHIM_SetCursor(arrow);
}

bool isUp(UINT m) { return m == WM_LBUTTONUP || m == WM_RBUTTONUP || m == WM_MBUTTONUP; }

}  // namespace

SHIM_PointF shimProcessMouseEvent(int msg, View* view, const Event* e) {
    if (!view || !e) return {0, 0};
    POINT virt;
    GetCursorPos(&virt);
    const bool relative = !SHIM_IsCursorVisible();
    if (relative && msg == WM_MOUSEMOVE) {
        // A hidden cursor stays put: the moves walk the virtual position.
        SHIM_SetCursorPos(virt.x + (int)std::trunc(e->deltaX), virt.y - (int)std::trunc(e->deltaY));
        GetCursorPos(&virt);
    }
    if (relative) {
        ScreenToClient(view, &virt);
        return {(double)virt.x, (double)virt.y};
    }
    FPoint p = view->convertFromWindowF({(double)e->location.x, (double)e->location.y});
    return {p.x, p.y};
}

LRESULT SHIM_SendMouseMessage(View* view, UINT m, const Event* e) {
    // A capture held by another toolkit view of the same window takes the call.
    const HWND capture = GetCapture();
    Shim_vHalvoran_hwnd* held = SHIM_WindowObjectOf(capture);
    if (held && held != view && view && held->window() == view->window()) view = held;
    Shim_vHalvoran_hwnd* w = liveTarget(view);
    if (!w || !e) return -1;
    const HWND h = w->handle();
    const SHIM_PointF p = shimProcessMouseEvent((int)m, w, e);
    const bool wheel = m == WM_MOUSEWHEEL || m == WM_MOUSEHWHEEL;
    if (!wheel && !capture) {
        const LPARAM screen = (LPARAM)GetMessagePos();
        const LRESULT hit = w->onShimMessage(WM_NCHITTEST, 0, screen);
        if (!liveTarget(h)) return -1;
        if (hit != HTCLIENT && m >= WM_MOUSEMOVE && m <= WM_MBUTTONDBLCLK)
            return w->onShimMessage(m - WM_MOUSEMOVE + WM_NCMOUSEMOVE, (WPARAM)hit, screen);
    }
    LRESULT result;
    if (wheel) {
        POINT at;
        GetCursorPos(&at);
        result = w->onShimMessage(m, SHIM_WheelParam(m == WM_MOUSEWHEEL ? e->deltaY : e->deltaX), pack(at.x, at.y));
    } else {
        result = w->onShimMessage(m, 0, pack((int)std::floor(p.x), (int)std::floor(p.y)));
    }
    if ((m == WM_MOUSEMOVE || isUp(m)) && !GetCapture()) {
        Shim_vHalvoran_hwnd* still = liveTarget(h);
        if (!still || !still->onShimMessage(WM_SETCURSOR, (WPARAM)h, HTCLIENT | ((LPARAM)m << 16)))
            setArrowUnlessCurrent();
    }
    return result;
}

namespace {

void focusUnlessKey(Shim_vHalvoran_hwnd* v) {
    if (v->window() && Application::keyWindow() != v->window()) SetFocus(v->handle());
}

// The first click in a window that was not key: the view and its
// superview hear of it before the click itself.
void firstClick(Shim_vHalvoran_hwnd* v, const Event& e) {
    if (!v->window() || e.button != MouseButton::Left || !e.activatesWindow) return;
    View* sup = v->superview();
    v->onShimMessage(WM_MOUSEACTIVATE, 0, 0);
    if (SHIM_Answers(sup, SHIM_SEL_MESSAGE)) SHIM_ObjectOf(sup)->onShimMessage(WM_MOUSEACTIVATE, 0, 0);
}

}  // namespace

void Shim_vHalvoran_hwnd::mouseDown(const Event& e) {
    if (e.button == MouseButton::Left) {
        SHIM_FinishDragDrop();
        m_isfakerightmouse = 0;
        if (!m_enabled) return;
        firstClick(this, e);
        if ((e.modifierFlags() & kControlKeyMask) && IsRightClickEmulateEnabled()) {
            focusUnlessKey(this);
            SHIM_SendMouseMessage(this, e.clickCount < 2 ? WM_RBUTTONDOWN : WM_RBUTTONDBLCLK, &e);
            if (e.clickCount <= 1 && SHIM_WindowObjectOf(handle())) m_isfakerightmouse = 1;
            return;
        }
        SHIM_SendMouseMessage(this, e.clickCount < 2 ? WM_LBUTTONDOWN : WM_LBUTTONDBLCLK, &e);
        return;
    }
    // Right and other buttons reach the window even while it is disabled.
    if (e.button == MouseButton::Right) m_isfakerightmouse = 0;
    focusUnlessKey(this);
    const bool right = e.button == MouseButton::Right;
    const UINT down = right ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    SHIM_SendMouseMessage(this, e.clickCount < 2 ? down : down + 2, &e);
}

void Shim_vHalvoran_hwnd::mouseUp(const Event& e) {
    if (!m_enabled) return;
    if (e.button == MouseButton::Left && !m_isfakerightmouse) {
        SHIM_SendMouseMessage(this, WM_LBUTTONUP, &e);
    } else if (e.button == MouseButton::Left || e.button == MouseButton::Right) {
        m_isfakerightmouse = 0;
        SHIM_SendMouseMessage(this, WM_RBUTTONUP, &e);
    } else {
        SHIM_SendMouseMessage(this, WM_MBUTTONUP, &e);
    }
}

void Shim_vHalvoran_hwnd::mouseDragged(const Event& e) {
    if (!m_enabled) return;
    SHIM_SendMouseMessage(this, WM_MOUSEMOVE, &e);
    HCURSOR last = SHIM_GetLastSetCursor();
    if (last && SHIM_GetCursor() != last) SHIM_SetCursor(last);
}

void Shim_vHalvoran_hwnd::mouseMoved(const Event& e) {
    // The window system already hands moves to the view under the pointer,
    // in whichever window that is; a capture holder gets them in its stead,
    // in its own window's coordinates, and alone.
    if (!m_enabled) return;
    HWND capture = GetCapture();
    Shim_vHalvoran_hwnd* held = SHIM_WindowObjectOf(capture);
    if (held && held != this && window() && held->window() && held->window() != window()) {
        Event moved = e;
        FPoint screen = window()->convertToScreen({(double)e.location.x, (double)e.location.y});
        FPoint there = held->window()->convertFromScreen(screen);
        moved.location = {(int)std::floor(there.x), (int)std::floor(there.y)};
        SHIM_SendMouseMessage(held, WM_MOUSEMOVE, &moved);
        return;
    }
    if (!capture || capture == handle() || held) SHIM_SendMouseMessage(this, WM_MOUSEMOVE, &e);
}

bool Shim_vHalvoran_hwnd::becomeFirstResponder() {
    if (!m_enabled) return false;
    // Only a view that had not the focus becomes the first responder.
    if (liveTarget(handle())) onShimMessage(WM_MOUSEACTIVATE, 0, 0);
    return true;
}

void Shim_vHalvoran_hwnd::scrollWheel(const Event& e) {
    if (!m_enabled) return;
    // A delta that is not a number counts as a turn.
    if (!(e.deltaY == 0)) SHIM_SendMouseMessage(this, WM_MOUSEWHEEL, &e);
    if (!(e.deltaX == 0) && SHIM_WindowObjectOf(handle())) SHIM_SendMouseMessage(this, WM_MOUSEHWHEEL, &e);
}

namespace {
bool sendKey(Shim_vHalvoran_hwnd* v, UINT msg, const Event& e) {
    if (!liveTarget(v->handle())) return false;
    // A disabled view that still is the first responder takes keys in
    // silence: nothing reaches its procedure, and nothing else acts on them.
    if (!v->isEnabled()) return true;
    int flags = 0;
    const int code = SHIM_MacKeyToWindowsKey(&e, &flags);
    // 69 says "not mine": the key goes on to the next responder.
    return v->onShimMessage(msg, (WPARAM)code, flags) != 69;
}
}  // namespace

bool Shim_vHalvoran_hwnd::keyDown(const Event& e) { return sendKey(this, WM_KEYDOWN, e); }
bool Shim_vHalvoran_hwnd::keyUp(const Event& e) { return sendKey(this, WM_KEYUP, e); }

void Shim_vHalvoran_hwnd::gesture(const Event& e) {
    if (!m_enabled) return;
    GESTUREINFO gi{};
    gi.cbSize = sizeof gi;
    gi.hwndTarget = handle();
    FPoint at = window() ? window()->convertToScreen({(double)e.location.x, (double)e.location.y})
                         : FPoint{(double)e.location.x, (double)e.location.y};
    auto place = [&gi](double x, double y) {
        gi.ptsLocation.x = (int16_t)x;
        gi.ptsLocation.y = (int16_t)y;
    };
    place(at.x, at.y);
    uint64_t endArg = 0;
    if (e.type == EventType::Magnify) {
        gi.dwID = GID_ZOOM;
        gi.ullArguments = 1024;
        endArg = SHIM_ZoomGestureArgument(e.magnification);
    } else if (e.type == EventType::Rotate) {
        gi.dwID = GID_ROTATE;
        endArg = SHIM_RotateGestureArgument(e.rotation);
    } else {
        gi.dwID = GID_PAN;
    }
    gi.dwFlags = GF_BEGIN;
    SendMessage(handle(), WM_GESTURE, 0, (LPARAM)&gi);
    if (!liveTarget(handle())) return;
    if (e.type == EventType::Swipe) {
        const FRect b = boundsF();
        if (e.deltaX < 0)
            at.x -= b.width;
        else if (e.deltaX > 0)
            at.x += b.width;
        else if (e.deltaY < 0)
            at.y += b.height;
        else if (e.deltaY > 0)
            at.y -= b.height;
        place(at.x, at.y);
    }
    gi.dwFlags = GF_END;
    gi.ullArguments = endArg;
    SendMessage(handle(), WM_GESTURE, (WPARAM)endArg, (LPARAM)&gi);
}

// ---- drops

HGLOBAL Shim_vHalvoran_hwnd::shimExtendedDragOp(const DragInfo& d, bool wantBlock, bool* done) {
    if (done) *done = false;
    std::vector<std::string> names;
    const char* prefix = "";
    if (!d.fileNames.empty()) {
        names = d.fileNames;
    } else if (!d.promisedTypes.empty()) {
        if (wantBlock) {
            names = d.promisedTypes;
            prefix = "tmp.";
        } else {
            if (!SHIM_DDrop_getDroppedFileTargetPath || !d.writePromisedFiles) return nullptr;
            const std::string type = d.promisedTypes[0].substr(0, 255);
            const char* dir = SHIM_DDrop_getDroppedFileTargetPath(type.c_str());
            std::string folder = dir && *dir ? dir : "/tmp/";
            std::string join = folder.back() == '/' ? folder : folder + "/";
            for (const auto& n : d.writePromisedFiles(folder)) names.push_back(join + n);
        }
    } else {
        return nullptr;
    }
    const FPoint at = convertFromWindowF({(double)d.location.x, (double)d.location.y});
    HGLOBAL block = SHIM_MakeDropFilesBlock(names, (int)std::lround(at.x), (int)std::lround(at.y), prefix);
    if (!block || wantBlock) return block;
    onShimMessage(WM_DROPFILES, (WPARAM)block, 0);
    // The receiver reads the block while it handles the message; it is ours.
    GlobalFree(block);
    if (done) *done = true;
    return nullptr;
}

int Shim_vHalvoran_hwnd::draggingEntered(const DragInfo& d) {
    if (!m_supports_ddrop) return kDragOperationNone;
    if (SHIM_DDrop_onDragEnter) {
        HGLOBAL block = shimExtendedDragOp(d, true, nullptr);
        SHIM_DDrop_onDragEnter(block, (int)std::lround(d.screenLocation.x), (int)std::lround(d.screenLocation.y));
        GlobalFree(block);
    }
    return kDragOperationGeneric;
}

int Shim_vHalvoran_hwnd::draggingUpdated(const DragInfo& d) {
    if (!m_supports_ddrop) return kDragOperationNone;
    if (SHIM_DDrop_onDragOver)
        SHIM_DDrop_onDragOver((int)std::lround(d.screenLocation.x), (int)std::lround(d.screenLocation.y));
    return kDragOperationGeneric;
}

void Shim_vHalvoran_hwnd::draggingExited(const DragInfo&) {
    if (m_supports_ddrop && SHIM_DDrop_onDragLeave) SHIM_DDrop_onDragLeave();
}

bool Shim_vHalvoran_hwnd::performDragOperation(const DragInfo& d) {
    if (!m_supports_ddrop) return false;
    if (SHIM_DDrop_onDragLeave) SHIM_DDrop_onDragLeave();
    const HWND self = handle();
    // A drag from this very window keeps its content from being redrawn meanwhile.
    HWND content = window() ? shimwnd::H(window()->contentView()) : nullptr;
    const bool fromHere = d.source && window() && d.source->window() == window() && content;
    if (fromHere) SetProp(content, "SHIM_DisableWindowRepre", (void*)1);
    bool taken = false;
    View* hit = window() ? window()->contentView()->hitTest(d.location) : nullptr;
    bool inside = false;
    for (View* v = hit; v; v = v->superview())
        if (v == this) inside = true;
    for (View* v = inside ? hit : nullptr; v && v != this && !taken; v = v->superview())
        if (Shim_vHalvoran_hwnd* t = liveTarget(v)) t->shimExtendedDragOp(d, false, &taken);
    if (!taken && liveTarget(self)) shimExtendedDragOp(d, false, &taken);
    if (fromHere && Responder::isLive(content)) RemoveProp(content, "SHIM_DisableWindowRepre");
    return taken;
}

// ---- accessibility: the platform offers no accessibility clients here, so
// the least the toolkit keeps is the question it asks its procedure.

void* Shim_vHalvoran_hwnd::shimAccessibilityObject() {
    if (!liveTarget(handle())) return nullptr;
    void* object = nullptr;
    onShimMessage(WM_GETOBJECT, 0x1001, (LPARAM)&object);
    return object;
}

bool Shim_vHalvoran_hwnd::shimAccessibilityIgnored() {
    return subviews().empty() && shimAccessibilityObject() != nullptr;
}
