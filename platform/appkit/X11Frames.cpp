// The model's headers first: Xlib's macros would hide names in them.
#include "platform/appkit/Window.h"
// clang-format off
#include "platform/appkit/X11Frames.h"
#include "platform/appkit/X11Property.h"
// clang-format on

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <poll.h>

#include <algorithm>
#include <chrono>

namespace platform::appkit {

namespace {

double rootHeight(Display* d) { return DisplayHeight(d, DefaultScreen(d)); }

int clampDimension(double v) { return static_cast<int>(std::clamp(v, 1.0, 32767.0)); }

}  // namespace

bool x11WindowManagerRunning(Display* d) {
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    auto read = [&](::Window w) -> ::Window {
        const std::vector<long> v = X11Property(d, w, check, 1, XA_WINDOW).longs();
        return v.size() == 1 ? static_cast<::Window>(v[0]) : 0;
    };
    // A manager that ended leaves the root's property naming a window that is gone.
    ::Window wm = read(DefaultRootWindow(d));
    return wm != 0 && read(wm) == wm;
}

XPoint x11RootPosition(Display* d, const FRect& f) {
    double y = rootHeight(d) - (f.y + f.height);
    return {static_cast<short>(std::clamp(f.x, -32768.0, 32767.0)),
            static_cast<short>(std::clamp(y, -32768.0, 32767.0))};
}

void x11SetSizeHints(Display* d, ::Window w, bool resizable, FSize min, FSize max, const FRect& frame) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    // The program places its windows, and a position names the content's
    // corner, not the frame a window manager adds around it.
    hints->flags = PMinSize | PMaxSize | USPosition | PPosition | PWinGravity;
    hints->win_gravity = StaticGravity;
    if (resizable) {
        hints->min_width = clampDimension(min.width);
        hints->min_height = clampDimension(min.height);
        hints->max_width = std::max(clampDimension(max.width), hints->min_width);
        hints->max_height = std::max(clampDimension(max.height), hints->min_height);
    } else {
        hints->min_width = hints->max_width = clampDimension(frame.width);
        hints->min_height = hints->max_height = clampDimension(frame.height);
    }
    XPoint p = x11RootPosition(d, frame);
    hints->x = p.x;
    hints->y = p.y;
    XSetWMNormalHints(d, w, hints);
    XFree(hints);
}

void x11SetFrame(Display* d, ::Window w, const FRect& f) {
    XPoint p = x11RootPosition(d, f);
    XMoveResizeWindow(d, w, p.x, p.y, static_cast<unsigned>(clampDimension(f.width)),
                      static_cast<unsigned>(clampDimension(f.height)));
    XFlush(d);
}

bool x11ManagerSupports(Display* d, const char* name) {
    Atom a = XInternAtom(d, name, False);
    for (long s : X11Property(d, DefaultRootWindow(d), XInternAtom(d, "_NET_SUPPORTED", False), 1024, XA_ATOM).longs())
        if (static_cast<Atom>(s) == a) return true;
    return false;
}

std::optional<X11FrameExtents> x11FrameExtents(Display* d, ::Window w, std::chrono::milliseconds patience) {
    auto read = [&]() -> std::optional<X11FrameExtents> {
        auto v = X11Property(d, w, XInternAtom(d, "_NET_FRAME_EXTENTS", False), 1024, XA_CARDINAL).longs();
        if (v.size() != 4) return std::nullopt;
        return X11FrameExtents{v[0], v[1], v[2], v[3]};
    };
    if (auto e = read()) return e;
    if (!x11WindowManagerRunning(d) || !x11ManagerSupports(d, "_NET_REQUEST_FRAME_EXTENTS")) return std::nullopt;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
    ev.xclient.format = 32;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    XFlush(d);
    // The manager answers at once; one that does not costs a blink.
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (std::chrono::steady_clock::now() < deadline) {
        if (auto e = read()) return e;
        poll(nullptr, 0, 2);
    }
    return std::nullopt;
}

FRect x11ConstrainedFrame(Display* d, ::Window w, const FRect& f) {
    auto e = x11FrameExtents(d, w);
    auto screens = x11Screens(d);
    if (!e || screens.empty()) return f;
    const FRect& area = screens.front().visibleFrame;
    FRect out = f;
    double frameTop = f.y + f.height + static_cast<double>(e->top);
    if (frameTop > area.y + area.height) out.y -= frameTop - (area.y + area.height);
    if (f.x - static_cast<double>(e->left) < area.x) out.x = area.x + static_cast<double>(e->left);
    return out;
}

void x11SetStyle(Display* d, ::Window w, unsigned style) {
    // The Motif hints every desktop's manager reads: flags, functions, decorations.
    enum : long { kFunctions = 1, kDecorations = 2 };
    enum : long { kFuncResize = 2, kFuncMove = 4, kFuncMinimize = 8, kFuncMaximize = 16, kFuncClose = 32 };
    enum : long { kDecBorder = 2, kDecResize = 4, kDecTitle = 8, kDecMenu = 16, kDecMinimize = 32, kDecMaximize = 64 };
    long hints[5] = {kFunctions | kDecorations, kFuncMove, 0, 0, 0};
    if (style & kStyleTitled) {
        hints[2] = kDecBorder | kDecTitle | kDecMenu;
        if (style & kStyleResizable) {
            hints[1] |= kFuncResize | kFuncMaximize;
            hints[2] |= kDecResize | kDecMaximize;
        }
        if (style & kStyleMiniaturizable) {
            hints[1] |= kFuncMinimize;
            hints[2] |= kDecMinimize;
        }
        if (style & kStyleClosable) hints[1] |= kFuncClose;
    }
    Atom motif = XInternAtom(d, "_MOTIF_WM_HINTS", False);
    XChangeProperty(d, w, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(hints), 5);
}

void x11Raise(Display* d, ::Window w) {
    XRaiseWindow(d, w);
    XFlush(d);
}

namespace {

void activate(Display* d, ::Window w, Time userTime, X11FocusRequest* latest) {
    const bool manager = x11WindowManagerRunning(d) && x11ManagerSupports(d, "_NET_ACTIVE_WINDOW");
    // Whatever the manager does on the message comes after it.
    if (latest) latest->serial = NextRequest(d);
    if (manager) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = w;
        ev.xclient.message_type = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = 1;  // from an application
        ev.xclient.data.l[1] = static_cast<long>(userTime);
        XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
    } else {
        XSetInputFocus(d, w, RevertToParent, CurrentTime);
    }
    XFlush(d);
}

// Whether a focus event tells of a change of the key window. Grabs (a
// pop-up menu taking the keyboard) and moves between our own subwindows do
// not; nor does one X reported before the program's latest request, which
// moves the focus again (serials are unsigned and may wrap).
bool changesKey(const XFocusChangeEvent& e, const X11FocusRequest& latest) {
    if (e.mode == NotifyGrab || e.mode == NotifyUngrab) return false;
    if (e.detail == NotifyInferior || e.detail == NotifyPointer) return false;
    return !latest.serial || static_cast<long>(e.serial - latest.serial) >= 0;
}

// Whether one of our windows took the focus after the latest request, by
// an event still waiting in the queue.
bool focusTakenSince(Display* d, const X11FocusRequest& latest) {
    struct Scan {
        const X11FocusRequest& latest;
        bool taken = false;
    } scan{latest};
    XEvent ev;
    XCheckIfEvent(
        d, &ev,
        [](Display*, XEvent* e, XPointer arg) -> Bool {
            auto* s = reinterpret_cast<Scan*>(arg);
            if (e->type == FocusIn && changesKey(e->xfocus, s->latest)) s->taken = true;
            return False;  // looks, takes nothing
        },
        reinterpret_cast<XPointer>(&scan));
    return scan.taken;
}

// Where the window stands on the root and its size, as the server has them
// now: a manager's frame puts a real event's position in its own
// coordinates, and one of its own events may tell a place already left.
void reportFrame(Display* d, ::Window x, Window& w) {
    ::Window root = 0, child = 0;
    int gx = 0, gy = 0, rx = 0, ry = 0;
    unsigned width = 0, height = 0, border = 0, depth = 0;
    if (!XGetGeometry(d, x, &root, &gx, &gy, &width, &height, &border, &depth) ||
        !XTranslateCoordinates(d, x, root, 0, 0, &rx, &ry, &child))
        return;
    w.windowSystemDidSetFrame({static_cast<double>(rx), rootHeight(d) - ry - height, static_cast<double>(width),
                               static_cast<double>(height)});
}

}  // namespace

void x11MakeKey(Display* d, ::Window w, X11FrameState& s, Time userTime, X11FocusRequest* latest) {
    // Focusing a window that is not viewable is an error on X: wait for the map.
    if (!s.mapped) {
        // What X tells of the focus until then and is older than the wish
        // does not count: the wish goes to the server as a request that does
        // nothing, so that what comes after it carries its serial or a later one.
        if (latest) {
            latest->serial = NextRequest(d);
            XNoOp(d);
            XFlush(d);
        }
        s.wantFocus = true;
        s.wantFocusTime = userTime;
        return;
    }
    activate(d, w, userTime, latest);
}

void x11Iconify(Display* d, ::Window w) {
    XIconifyWindow(d, w, DefaultScreen(d));
    XFlush(d);
}

void x11Unmapped(X11FrameState& s) { s.mapped = s.shown = false; }

bool x11HandleFrameEvent(Display* d, XEvent& ev, Window& w, X11FrameState& s, X11FocusRequest& latest) {
    switch (ev.type) {
        case ConfigureNotify:
            // Only the latest of those waiting counts; while a manager takes
            // a window in, the places it reports are passing ones (the map
            // tells the settled one).
            while (XCheckTypedWindowEvent(d, ev.xconfigure.window, ConfigureNotify, &ev)) {}
            if (s.mapped) reportFrame(d, ev.xconfigure.window, w);
            return true;
        case MapNotify:
            s.mapped = true;
            reportFrame(d, ev.xmap.window, w);
            // Another window made key meanwhile (its map came first) keeps
            // the focus: a late request would raise this one over it.
            if (s.wantFocus && !w.isKeyWindow()) s.wantFocus = false;
            if (s.wantFocus) {
                s.wantFocus = false;
                // A manager may have given it the focus on the map already,
                // or the user another of our windows since the program asked
                // (the events wait behind this one, the answer's round trip
                // queues them): a request now would take it back.
                ::Window focus = 0;
                int revert = 0;
                XGetInputFocus(d, &focus, &revert);
                if (focus != ev.xmap.window && !focusTakenSince(d, latest))
                    activate(d, ev.xmap.window, s.wantFocusTime, &latest);
            }
            return true;
        case UnmapNotify:
            s.mapped = false;
            return true;
        case FocusIn:
        case FocusOut:
            if (changesKey(ev.xfocus, latest)) w.windowSystemDidFocus(ev.type == FocusIn);
            return true;
        default:
            return false;
    }
}

std::vector<Screen> x11Screens(Display* d) {
    int n = DefaultScreen(d);
    double width = DisplayWidth(d, n), height = DisplayHeight(d, n);
    Screen s{{0, 0, width, height}, {0, 0, width, height}};
    Atom workArea = XInternAtom(d, "_NET_WORKAREA", True);
    if (workArea != 0) {
        const std::vector<long> v = X11Property(d, RootWindow(d, n), workArea, 4, XA_CARDINAL).longs();
        if (v.size() >= 4)
            s.visibleFrame = {static_cast<double>(v[0]), height - static_cast<double>(v[1] + v[3]),
                              static_cast<double>(v[2]), static_cast<double>(v[3])};
    }
    return {s};
}

}  // namespace platform::appkit
