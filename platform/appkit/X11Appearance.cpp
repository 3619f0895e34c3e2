#include <X11/Xatom.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/shape.h>

#include "platform/appkit/X11Frames.h"

namespace platform::appkit {

void x11SetOpacity(Display* d, ::Window w, double alpha) {
    Atom opacity = XInternAtom(d, "_NET_WM_WINDOW_OPACITY", False);
    if (alpha >= 1.0) {
        XDeleteProperty(d, w, opacity);
    } else {
        unsigned long value = static_cast<unsigned long>(std::max(alpha, 0.0) * 0xFFFFFFFFu);
        XChangeProperty(d, w, opacity, XA_CARDINAL, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&value), 1);
    }
    XFlush(d);
}

void x11SetInputPassThrough(Display* d, ::Window w, bool through) {
    int event = 0, error = 0;
    if (!XFixesQueryExtension(d, &event, &error)) return;
    XserverRegion none = through ? XFixesCreateRegion(d, nullptr, 0) : 0;
    XFixesSetWindowShapeRegion(d, w, ShapeInput, 0, 0, none);
    if (none) XFixesDestroyRegion(d, none);
    XFlush(d);
}

namespace {

// Asked as a pager asks (the source the manager honours for this request).
void requestRestack(Display* d, ::Window w, ::Window sibling, int detail) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(d, "_NET_RESTACK_WINDOW", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = 2;
    ev.xclient.data.l[1] = static_cast<long>(sibling);
    ev.xclient.data.l[2] = detail;
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

}  // namespace

void x11Restack(Display* d, const std::vector<::Window>& frontToBack) {
    if (frontToBack.empty()) return;
    if (x11WindowManagerRunning(d)) {
        // The manager stacks its frames. A manager may merge the raise
        // requests of one window, which would reorder a run of them: each
        // window goes directly below the one before it instead.
        if (x11ManagerSupports(d, "_NET_RESTACK_WINDOW")) {
            requestRestack(d, frontToBack.front(), 0, Above);
            for (size_t i = 1; i < frontToBack.size(); ++i)
                requestRestack(d, frontToBack[i], frontToBack[i - 1], Below);
        } else {
            for (auto it = frontToBack.rbegin(); it != frontToBack.rend(); ++it) XRaiseWindow(d, *it);
        }
    } else {
        // The front one above every other program's windows, ours below it in turn.
        XRaiseWindow(d, frontToBack.front());
        std::vector<::Window> order(frontToBack);
        XRestackWindows(d, order.data(), static_cast<int>(order.size()));
    }
    XFlush(d);
}

}  // namespace platform::appkit
