// Our windows as XDND (version 5) drop targets for lists of files; the
// drag source is X11DragSource.cpp.
#include "platform/appkit/Pasteboard.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/X11Services.h"
// After the toolkit's headers: Xlib defines None.
#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>

#include <unistd.h>

#include <cstring>

namespace platform::appkit {

namespace {

constexpr long kXdndVersion = 5;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// A file URI's path, decoded; empty for anything else or a bad escape.
std::string pathOfFileUri(const std::string& uri) {
    const std::string scheme = "file://";
    if (uri.compare(0, scheme.size(), scheme) != 0) return {};
    size_t start = scheme.size();
    // file://host/path: only this machine's files can be opened.
    size_t slash = uri.find('/', start);
    if (slash == std::string::npos) return {};
    std::string host = uri.substr(start, slash - start);
    if (!host.empty() && host != "localhost") {
        char me[256] = {};
        if (gethostname(me, sizeof me - 1) != 0 || host != me) return {};
    }
    std::string path;
    for (size_t i = slash; i < uri.size(); ++i) {
        if (uri[i] != '%') {
            path += uri[i];
            continue;
        }
        int hi = i + 2 < uri.size() ? hexValue(uri[i + 1]) : -1, lo = hi >= 0 ? hexValue(uri[i + 2]) : -1;
        if (hi < 0 || lo < 0) return {};
        char c = static_cast<char>(hi * 16 + lo);
        if (c == 0) return {};
        path += c;
        i += 2;
    }
    return path;
}

}  // namespace

std::vector<std::string> filesOfUriList(const std::string& list) {
    std::vector<std::string> files;
    size_t pos = 0;
    while (pos < list.size()) {
        size_t end = list.find('\n', pos);
        if (end == std::string::npos) end = list.size();
        std::string line = list.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string path = pathOfFileUri(line);
        if (!path.empty()) files.push_back(path);
    }
    return files;
}

X11DropTarget::X11DropTarget(Display* d, WindowOf lookup) : dpy_(d), lookup_(std::move(lookup)) {
    aware_ = XInternAtom(d, "XdndAware", False);
    enter_ = XInternAtom(d, "XdndEnter", False);
    position_ = XInternAtom(d, "XdndPosition", False);
    status_ = XInternAtom(d, "XdndStatus", False);
    leave_ = XInternAtom(d, "XdndLeave", False);
    drop_ = XInternAtom(d, "XdndDrop", False);
    finished_ = XInternAtom(d, "XdndFinished", False);
    selection_ = XInternAtom(d, "XdndSelection", False);
    typeList_ = XInternAtom(d, "XdndTypeList", False);
    actionCopy_ = XInternAtom(d, "XdndActionCopy", False);
    uriList_ = XInternAtom(d, "text/uri-list", False);
    property_ = XInternAtom(d, "HALVORAN_XDND_DATA", False);
}

void X11DropTarget::announce(::Window w) {
    long version = kXdndVersion;
    XChangeProperty(dpy_, w, aware_, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&version), 1);
}

void X11DropTarget::reset() { drag_ = Drag{}; }

void X11DropTarget::sendStatus(int operation) {
    // Accepted or not, and positions wanted wherever the pointer goes.
    bool ok = operation != kDragOperationNone;
    sendToSource(status_, (ok ? 1 : 0) | 2, 0, ok ? static_cast<long>(actionCopy_) : 0);
}

void X11DropTarget::sendFinished(bool ok) {
    sendToSource(finished_, ok ? 1 : 0, ok ? static_cast<long>(actionCopy_) : 0, 0);
}

void X11DropTarget::sendToSource(Atom type, long l1, long l2, long l4) {
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.display = dpy_;
    ev.xclient.window = drag_.source;
    ev.xclient.message_type = type;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(drag_.target);
    ev.xclient.data.l[1] = l1;
    ev.xclient.data.l[2] = l2;
    ev.xclient.data.l[4] = l4;
    XSendEvent(dpy_, drag_.source, False, NoEventMask, &ev);
    XFlush(dpy_);
}

namespace {
DragInfo infoAt(Display* d, ::Window target, Point root, const std::vector<std::string>& files) {
    DragInfo info;
    info.fileNames = files;
    int x = 0, y = 0;
    ::Window child;
    XTranslateCoordinates(d, DefaultRootWindow(d), target, root.x, root.y, &x, &y, &child);
    info.location = {x, y};
    info.screenLocation = {static_cast<double>(root.x),
                           static_cast<double>(DisplayHeight(d, DefaultScreen(d)) - root.y)};
    return info;
}
}  // namespace

void X11DropTarget::deliverPosition() {
    drag_.positionPending = false;
    Window* w = lookup_(drag_.target);
    int op = kDragOperationNone;
    if (w && !drag_.files.empty()) {
        DragInfo info = infoAt(dpy_, drag_.target, drag_.root, drag_.files);
        op = w->dragEvent(drag_.entered ? DragPhase::Updated : DragPhase::Entered, info);
        drag_.entered = true;
    }
    sendStatus(op);
}

void X11DropTarget::deliverDrop() {
    drag_.dropPending = false;
    Window* w = lookup_(drag_.target);
    bool ok = false;
    if (w && !drag_.files.empty())
        ok = w->dragEvent(DragPhase::Drop, infoAt(dpy_, drag_.target, drag_.root, drag_.files)) != kDragOperationNone;
    sendFinished(ok);
    reset();
}

bool X11DropTarget::handle(const XEvent& ev) {
    if (ev.type == SelectionNotify) {
        const XSelectionEvent& s = ev.xselection;
        if (s.selection != selection_ || s.requestor != drag_.target || !drag_.source) return false;
        if (s.property != 0) {
            // Bounded as a paste is; a list cut short would end in a cut
            // name, another path, so a longer one is refused whole.
            X11Property list(dpy_, drag_.target, property_, long(kPasteSizeLimit / 4), AnyPropertyType, true);
            if (list.after() == 0)
                drag_.files = filesOfUriList(list.text());
            else
                XDeleteProperty(dpy_, drag_.target, property_);
        }
        drag_.haveData = true;
        if (drag_.positionPending) deliverPosition();
        if (drag_.dropPending) deliverDrop();
        return true;
    }
    if (ev.type != ClientMessage) return false;
    const XClientMessageEvent& c = ev.xclient;
    auto source = static_cast<::Window>(c.data.l[0]);
    if (c.message_type == enter_) {
        if (drag_.entered)
            if (Window* w = lookup_(drag_.target)) w->dragEvent(DragPhase::Exited, DragInfo{});
        reset();
        drag_.source = source;
        drag_.target = c.window;
        std::vector<Atom> types;
        if (c.data.l[1] & 1) {
            for (long t : X11Property(dpy_, source, typeList_, 1024, XA_ATOM).longs())
                types.push_back(static_cast<Atom>(t));
        } else {
            for (int i = 2; i < 5; ++i)
                if (c.data.l[i]) types.push_back(static_cast<Atom>(c.data.l[i]));
        }
        for (Atom t : types) drag_.uris = drag_.uris || t == uriList_;
        if (drag_.uris)
            XConvertSelection(dpy_, selection_, uriList_, property_, drag_.target, CurrentTime);
        else
            drag_.haveData = true;
        XFlush(dpy_);
        return true;
    }
    if (source != drag_.source || c.window != drag_.target) {
        // A drag we do not follow is refused, but answered.
        if (c.message_type != position_ && c.message_type != drop_) return c.message_type == leave_;
        Drag ours = drag_;
        drag_.source = source;
        drag_.target = c.window;
        if (c.message_type == position_)
            sendStatus(kDragOperationNone);
        else
            sendFinished(false);
        drag_ = ours;
        return true;
    }
    if (c.message_type == position_) {
        drag_.root = {static_cast<int>((c.data.l[2] >> 16) & 0xFFFF), static_cast<int>(c.data.l[2] & 0xFFFF)};
        drag_.time = static_cast<unsigned long>(c.data.l[3]);
        drag_.positionPending = true;
        if (drag_.haveData) deliverPosition();  // else when the list arrives
        return true;
    }
    if (c.message_type == leave_) {
        if (drag_.entered)
            if (Window* w = lookup_(drag_.target)) w->dragEvent(DragPhase::Exited, DragInfo{});
        reset();
        return true;
    }
    if (c.message_type == drop_) {
        drag_.dropPending = true;
        if (drag_.haveData) deliverDrop();
        return true;
    }
    return false;
}

}  // namespace platform::appkit
