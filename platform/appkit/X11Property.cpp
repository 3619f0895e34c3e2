#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>
#include <poll.h>

namespace platform::appkit {

X11Property::X11Property(Display* d, ::Window w, Atom property, long longs, Atom type, bool remove) : asked_(type) {
    if (XGetWindowProperty(d, w, property, 0, longs, remove ? True : False, type, &type_, &format_, &count_, &after_,
                           &data_) != Success) {
        data_ = nullptr;
        type_ = 0;
        format_ = 0;
        count_ = after_ = 0;
    }
}

X11Property::~X11Property() {
    if (data_) XFree(data_);
}

std::vector<long> X11Property::longs() const {
    if (!found() || format_ != 32) return {};
    const long* items = reinterpret_cast<const long*>(data_);
    return std::vector<long>(items, items + count_);
}

std::string X11Property::text() const {
    if (!found() || format_ != 8) return {};
    return std::string(reinterpret_cast<const char*>(data_), count_);
}

void x11AnswerSelectionRequest(Display* d, const XSelectionRequestEvent& r, Atom property) {
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.display = d;
    reply.xselection.requestor = r.requestor;
    reply.xselection.selection = r.selection;
    reply.xselection.target = r.target;
    reply.xselection.time = r.time;
    reply.xselection.property = property;
    XSendEvent(d, r.requestor, False, NoEventMask, &reply);
    XFlush(d);
}

namespace {

struct Stamp {
    ::Window window;
    Atom property;
};

Bool isStamp(Display*, XEvent* e, XPointer stamp) {
    const Stamp& s = *reinterpret_cast<const Stamp*>(stamp);
    return e->type == PropertyNotify && e->xproperty.window == s.window && e->xproperty.atom == s.property;
}

}  // namespace

Time x11ServerTime(Display* d, ::Window w, Atom property, std::chrono::milliseconds patience,
                   const std::function<void(XEvent&)>& others) {
    XChangeProperty(d, w, property, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XFlush(d);
    Stamp stamp{w, property};
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        XEvent ev;
        // The deadline is looked at after every event, so a flood cannot
        // stretch it.
        const bool got = others ? XPending(d) > 0 : XCheckIfEvent(d, &ev, isStamp, reinterpret_cast<XPointer>(&stamp));
        if (got) {
            if (others) XNextEvent(d, &ev);
            if (isStamp(d, &ev, reinterpret_cast<XPointer>(&stamp))) return ev.xproperty.time;
            others(ev);
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return CurrentTime;
        if (!got) {
            pollfd p{ConnectionNumber(d), POLLIN, 0};
            poll(&p, 1, int(left));
        }
    }
}

}  // namespace platform::appkit
