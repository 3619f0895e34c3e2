#include "platform/appkit/X11Errors.h"

#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <set>
#include <string>
#include <tuple>

namespace platform::appkit {

namespace {

std::mutex g_lock;  // guards all below
std::set<Display*> g_ignored;
std::set<std::tuple<int, int, int>> g_reported;  // request, minor request, error
unsigned long g_failed = 0;

std::string requestName(Display* d, int major, int minor) {
    if (major >= 128) return "extension request " + std::to_string(major) + "." + std::to_string(minor);
    char name[128] = {};
    XGetErrorDatabaseText(d, "XRequest", std::to_string(major).c_str(), "", name, sizeof name);
    return *name ? std::string(name) : "request " + std::to_string(major);
}

int reportOnce(Display* d, XErrorEvent* e) {
    {
        std::lock_guard<std::mutex> hold(g_lock);
        if (g_ignored.count(d)) return 0;
        ++g_failed;
        if (!g_reported.insert({e->request_code, e->minor_code, e->error_code}).second) return 0;
    }
    char text[160] = {};
    XGetErrorText(d, e->error_code, text, sizeof text);
    std::fprintf(stderr, "X11: %s failed: %s (resource 0x%lx); going on (reported once)\n",
                 requestName(d, e->request_code, e->minor_code).c_str(), text, e->resourceid);
    return 0;
}

int connectionLost(Display* d) {
    // Nothing more can be shown; nothing is written on the way out.
    const char* name = d ? DisplayString(d) : "";
    std::fprintf(stderr, "X11: the connection to the display %s was lost; quitting\n", name ? name : "");
    std::fflush(stderr);
    _exit(1);
}

}  // namespace

void installX11ErrorHandlers() {
    static std::once_flag once;
    std::call_once(once, [] {
        XSetErrorHandler(reportOnce);
        XSetIOErrorHandler(connectionLost);
    });
}

void ignoreXErrorsOn(Display* d) {
    installX11ErrorHandlers();
    std::lock_guard<std::mutex> hold(g_lock);
    g_ignored.insert(d);
}

void stopIgnoringXErrorsOn(Display* d) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_ignored.erase(d);
}

unsigned long x11FailedRequestCount() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_failed;
}

}  // namespace platform::appkit
