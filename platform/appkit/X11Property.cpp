#include "platform/appkit/X11Property.h"

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

}  // namespace platform::appkit
