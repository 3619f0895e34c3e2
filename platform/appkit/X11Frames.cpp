// The model's headers first: Xlib's macros would hide names in them.
#include "platform/appkit/Window.h"
// clang-format off
#include "platform/appkit/X11Frames.h"
// clang-format on

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

namespace platform::appkit {

namespace {

double rootHeight(Display* d) { return DisplayHeight(d, DefaultScreen(d)); }

int clampDimension(double v) { return static_cast<int>(std::clamp(v, 1.0, 32767.0)); }

}  // namespace

bool x11WindowManagerRunning(Display* d) {
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    auto read = [&](::Window w) -> ::Window {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        ::Window out = 0;
        if (XGetWindowProperty(d, w, check, 0, 1, False, XA_WINDOW, &type, &format, &n, &after, &data) == Success &&
            data && format == 32 && n == 1)
            out = static_cast<::Window>(*reinterpret_cast<unsigned long*>(data));
        if (data) XFree(data);
        return out;
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

void x11SetSizeHints(Display* d, ::Window w, bool resizable, FSize min, FSize max, FSize current,
                     const FRect* position) {
    XSizeHints* hints = XAllocSizeHints();
    if (!hints) return;
    hints->flags = PMinSize | PMaxSize;
    if (resizable) {
        hints->min_width = clampDimension(min.width);
        hints->min_height = clampDimension(min.height);
        hints->max_width = std::max(clampDimension(max.width), hints->min_width);
        hints->max_height = std::max(clampDimension(max.height), hints->min_height);
    } else {
        hints->min_width = hints->max_width = clampDimension(current.width);
        hints->min_height = hints->max_height = clampDimension(current.height);
    }
    if (position) {
        XPoint p = x11RootPosition(d, *position);
        hints->flags |= USPosition | PPosition;
        hints->x = p.x;
        hints->y = p.y;
    }
    XSetWMNormalHints(d, w, hints);
    XFree(hints);
}

void x11SetFrame(Display* d, ::Window w, const FRect& f) {
    XPoint p = x11RootPosition(d, f);
    XMoveResizeWindow(d, w, p.x, p.y, static_cast<unsigned>(clampDimension(f.width)),
                      static_cast<unsigned>(clampDimension(f.height)));
    XFlush(d);
}

void x11Raise(Display* d, ::Window w) {
    XRaiseWindow(d, w);
    XFlush(d);
}

void x11MakeKey(Display* d, ::Window w, X11FrameState& s) {
    // Focusing a window that is not viewable is an error on X: wait for the map.
    if (!s.mapped) {
        s.wantFocus = true;
        return;
    }
    XSetInputFocus(d, w, RevertToParent, CurrentTime);
    XFlush(d);
}

void x11Iconify(Display* d, ::Window w) {
    XIconifyWindow(d, w, DefaultScreen(d));
    XFlush(d);
}

void x11Unmapped(X11FrameState& s) { s.mapped = s.shown = false; }

bool x11HandleFrameEvent(Display* d, XEvent& ev, Window& w, X11FrameState& s) {
    switch (ev.type) {
        case ConfigureNotify: {
            const XConfigureEvent& c = ev.xconfigure;
            // Under a reparenting window manager the event's position is in
            // its frame's coordinates; ask where the window is on the root.
            int rx = c.x, ry = c.y;
            ::Window child;
            if (!c.send_event) XTranslateCoordinates(d, c.window, DefaultRootWindow(d), 0, 0, &rx, &ry, &child);
            w.windowSystemDidSetFrame({static_cast<double>(rx), rootHeight(d) - ry - c.height,
                                       static_cast<double>(c.width), static_cast<double>(c.height)});
            return true;
        }
        case MapNotify:
            s.mapped = true;
            if (s.wantFocus) {
                s.wantFocus = false;
                XSetInputFocus(d, ev.xmap.window, RevertToParent, CurrentTime);
            }
            return true;
        case UnmapNotify:
            s.mapped = false;
            return true;
        case FocusIn:
        case FocusOut:
            // Grabs (a pop-up menu taking the keyboard) and moves between our
            // own subwindows do not change which window is key.
            if (ev.xfocus.mode == NotifyGrab || ev.xfocus.mode == NotifyUngrab) return true;
            if (ev.xfocus.detail == NotifyInferior || ev.xfocus.detail == NotifyPointer) return true;
            w.windowSystemDidFocus(ev.type == FocusIn);
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
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(d, RootWindow(d, n), workArea, 0, 4, False, XA_CARDINAL, &type, &format, &count, &after,
                               &data) == Success &&
            data && format == 32 && count >= 4) {
            auto* v = reinterpret_cast<long*>(data);
            s.visibleFrame = {static_cast<double>(v[0]), height - static_cast<double>(v[1] + v[3]),
                              static_cast<double>(v[2]), static_cast<double>(v[3])};
        }
        if (data) XFree(data);
    }
    return {s};
}

}  // namespace platform::appkit
