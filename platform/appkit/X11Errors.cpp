#include "platform/appkit/X11Errors.h"

#include <X11/Xlib.h>

#include <mutex>
#include <set>

namespace platform::appkit {

namespace {

std::mutex g_lock;
std::set<Display*> g_ignored;
XErrorHandler g_previous = nullptr;

int handler(Display* d, XErrorEvent* e) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_ignored.count(d)) return 0;
    }
    return g_previous ? g_previous(d, e) : 0;
}

}  // namespace

void ignoreXErrorsOn(Display* d) {
    std::lock_guard<std::mutex> hold(g_lock);
    static bool installed = false;
    if (!installed) {
        g_previous = XSetErrorHandler(handler);
        installed = true;
    }
    g_ignored.insert(d);
}

void stopIgnoringXErrorsOn(Display* d) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_ignored.erase(d);
}

}  // namespace platform::appkit
