#include "support/x11/XdndSource.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <chrono>

namespace hvtest {

namespace {

std::string uriOf(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            uri += char(c);
        else
            uri += {'%', hex[c >> 4], hex[c & 15]};
    }
    return uri;
}

}  // namespace

XdndOutcome dragFilesOnto(XProbe& probe, XWindow target, int x, int y, const std::vector<std::string>& paths,
                          const std::function<void()>& pump, int timeoutMs) {
    XdndOutcome out;
    Display* d = probe.display();
    auto atom = [d](const char* n) { return XInternAtom(d, n, False); };
    const Atom selection = atom("XdndSelection"), uriList = atom("text/uri-list"), copy = atom("XdndActionCopy");
    for (const auto& p : paths) out.listSent += uriOf(p) + "\r\n";

    ::Window source = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, selection, source, CurrentTime);
    int rootX = 0, rootY = 0;
    ::Window child;
    XTranslateCoordinates(d, target, DefaultRootWindow(d), x, y, &rootX, &rootY, &child);
    probe.moveTo(rootX, rootY);

    auto send = [&](const char* type, long l1, long l2, long l3, long l4) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = target;
        ev.xclient.message_type = atom(type);
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = long(source);
        ev.xclient.data.l[1] = l1;
        ev.xclient.data.l[2] = l2;
        ev.xclient.data.l[3] = l3;
        ev.xclient.data.l[4] = l4;
        XSendEvent(d, target, False, NoEventMask, &ev);
        XFlush(d);
    };
    // Serves the list when asked; true once `done` holds.
    auto serveUntil = [&](const std::function<bool()>& done) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < deadline) {
            pump();
            while (XPending(d)) {
                XEvent ev;
                XNextEvent(d, &ev);
                if (ev.type == SelectionRequest && ev.xselectionrequest.selection == selection) {
                    XSelectionRequestEvent& r = ev.xselectionrequest;
                    XEvent reply{};
                    reply.xselection.type = SelectionNotify;
                    reply.xselection.requestor = r.requestor;
                    reply.xselection.selection = r.selection;
                    reply.xselection.target = r.target;
                    reply.xselection.time = r.time;
                    reply.xselection.property = 0;
                    if (r.target == uriList && r.property) {
                        XChangeProperty(d, r.requestor, r.property, uriList, 8, PropModeReplace,
                                        reinterpret_cast<const unsigned char*>(out.listSent.data()),
                                        int(out.listSent.size()));
                        reply.xselection.property = r.property;
                    }
                    XSendEvent(d, r.requestor, False, NoEventMask, &reply);
                    XFlush(d);
                } else if (ev.type == ClientMessage && ev.xclient.message_type == atom("XdndStatus")) {
                    out.statusSeen = true;
                    out.accepted = ev.xclient.data.l[1] & 1;
                } else if (ev.type == ClientMessage && ev.xclient.message_type == atom("XdndFinished")) {
                    out.finished = true;
                    out.dropTaken = ev.xclient.data.l[1] & 1;
                }
            }
            if (done()) return true;
        }
        return done();
    };

    send("XdndEnter", 5L << 24, long(uriList), 0, 0);
    send("XdndPosition", 0, (long(rootX) << 16) | rootY, CurrentTime, long(copy));
    if (serveUntil([&] { return out.statusSeen; })) {
        send("XdndDrop", 0, CurrentTime, 0, 0);
        serveUntil([&] { return out.finished; });
    } else {
        send("XdndLeave", 0, 0, 0, 0);
    }
    XDestroyWindow(d, source);
    XFlush(d);
    return out;
}

}  // namespace hvtest
