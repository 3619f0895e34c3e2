#include "support/x11/XdndTarget.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>
#include <thread>

namespace hvtest {

namespace {
Atom atom(Display* d, const char* n) { return XInternAtom(d, n, False); }
}  // namespace

XdndTarget::XdndTarget(const std::string& display, int x, int y, int width, int height, std::string saveFolder,
                       Manner manner)
    : saveFolder_(std::move(saveFolder)), manner_(manner) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_) return;
    XSetWindowAttributes a{};
    a.override_redirect = True;  // where it is put, with or without a window manager
    a.background_pixel = 0x208040;
    win_ = XCreateWindow(dpy_, DefaultRootWindow(dpy_), x, y, unsigned(width), unsigned(height), 0, CopyFromParent,
                         InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &a);
    long version = 5;
    XChangeProperty(dpy_, win_, atom(dpy_, "XdndAware"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&version), 1);
    XMapRaised(dpy_, win_);
    XSync(dpy_, False);
}

XdndTarget::~XdndTarget() {
    if (!dpy_) return;
    XDestroyWindow(dpy_, win_);
    XCloseDisplay(dpy_);
}

bool XdndTarget::serveUntil(const std::function<bool()>& done, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        if (!XPending(dpy_)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        XEvent ev;
        XNextEvent(dpy_, &ev);
        handle(&ev);
    }
    return done();
}

void XdndTarget::ask() {
    // Promised files (the source's type list names Direct Save) go into the
    // folder; others are asked for as a list.
    const Atom directSave = atom(dpy_, "XdndDirectSave0");
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    bool promised = false;
    if (XGetWindowProperty(dpy_, source_, atom(dpy_, "XdndTypeList"), 0, 64, False, XA_ATOM, &type, &format, &n, &after,
                           &data) == Success &&
        data)
        for (unsigned long i = 0; i < n; ++i) promised = promised || reinterpret_cast<Atom*>(data)[i] == directSave;
    if (data) XFree(data);
    if (promised) {
        std::string where = "file://" + saveFolder_ + "/untitled";
        XChangeProperty(dpy_, source_, directSave, atom(dpy_, "text/plain"), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(where.data()), int(where.size()));
    }
    XConvertSelection(dpy_, atom(dpy_, "XdndSelection"), promised ? directSave : atom(dpy_, "text/uri-list"),
                      atom(dpy_, "HV_TEST_DROP"), win_, CurrentTime);
    XFlush(dpy_);
}

void XdndTarget::handle(const void* event) {
    const XEvent& ev = *static_cast<const XEvent*>(event);
    auto reply = [&](const char* type, long l1, long l2, long l4) {
        XEvent m{};
        m.xclient.type = ClientMessage;
        m.xclient.window = source_;
        m.xclient.message_type = atom(dpy_, type);
        m.xclient.format = 32;
        m.xclient.data.l[0] = long(win_);
        m.xclient.data.l[1] = l1;
        m.xclient.data.l[2] = l2;
        m.xclient.data.l[4] = l4;
        XSendEvent(dpy_, source_, False, NoEventMask, &m);
        XFlush(dpy_);
    };
    const Atom directSave = atom(dpy_, "XdndDirectSave0");
    if (ev.type == ClientMessage) {
        const XClientMessageEvent& c = ev.xclient;
        source_ = XWindow(c.data.l[0]);
        if (char* name = XGetAtomName(dpy_, c.message_type)) {
            last = name;
            XFree(name);
        }
        if (c.message_type == atom(dpy_, "XdndPosition")) {
            ++positions;
            if (manner_ != Manner::Silent) reply("XdndStatus", 1 | 2, 0, c.data.l[4]);
        } else if (c.message_type == atom(dpy_, "XdndDrop")) {
            dropSeen = true;
            if (manner_ == Manner::Answers) ask();
        }
    } else if (ev.type == SelectionNotify && ev.xselection.requestor == win_) {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        std::string got;
        if (ev.xselection.property &&
            XGetWindowProperty(dpy_, win_, ev.xselection.property, 0, 1 << 16, True, AnyPropertyType, &type, &format,
                               &n, &after, &data) == Success &&
            data)
            got.assign(reinterpret_cast<char*>(data), n);
        if (data) XFree(data);
        if (ev.xselection.target == directSave) {
            saveAnswer = got;
        } else {
            for (size_t pos = 0; pos < got.size();) {
                size_t end = got.find("\r\n", pos);
                if (end == std::string::npos) end = got.size();
                files.push_back(got.substr(pos, end - pos));
                pos = end + 2;
            }
        }
        dropped = true;
        reply("XdndFinished", 1, long(atom(dpy_, "XdndActionCopy")), 0);
    }
}

}  // namespace hvtest
