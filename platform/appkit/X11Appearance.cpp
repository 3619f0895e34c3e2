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

void x11Restack(Display* d, const std::vector<::Window>& frontToBack) {
    if (frontToBack.empty()) return;
    if (x11WindowManagerRunning(d)) {
        // The manager stacks its frames: each request is a raise it carries
        // out, back to front, so the front one ends above everything.
        for (auto it = frontToBack.rbegin(); it != frontToBack.rend(); ++it) XRaiseWindow(d, *it);
    } else {
        // The front one above every other program's windows, ours below it in turn.
        XRaiseWindow(d, frontToBack.front());
        std::vector<::Window> order(frontToBack);
        XRestackWindows(d, order.data(), static_cast<int>(order.size()));
    }
    XFlush(d);
}

}  // namespace platform::appkit
