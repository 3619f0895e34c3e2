// Dragging files out of our windows to other X clients over XDND (version
// 5): existing files as a text/uri-list, promised files through the Direct
// Save extension (XDS: the target names a folder, the files are written
// there). The drag runs until the button is released or Escape is typed.
#include "platform/appkit/X11Services.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <poll.h>

#include <chrono>
#include <cstring>

namespace platform::appkit {

namespace {

constexpr long kXdndVersion = 5;

std::string uriOfPath(const std::string& path) {
    static const char* hex = "0123456789ABCDEF";
    std::string uri = "file://";
    for (unsigned char c : path) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~')
            uri += static_cast<char>(c);
        else
            uri += {'%', hex[c >> 4], hex[c & 15]};
    }
    return uri;
}

class XdndDrag {
public:
    XdndDrag(Display* d, ::Window source, const DragSourceRequest& r, Time time) : d_(d), source_(source), r_(r) {
        time_ = time ? time : CurrentTime;
        auto atom = [d](const char* n) { return XInternAtom(d, n, False); };
        selection_ = atom("XdndSelection");
        enter_ = atom("XdndEnter");
        position_ = atom("XdndPosition");
        status_ = atom("XdndStatus");
        leave_ = atom("XdndLeave");
        drop_ = atom("XdndDrop");
        finished_ = atom("XdndFinished");
        aware_ = atom("XdndAware");
        typeList_ = atom("XdndTypeList");
        uriList_ = atom("text/uri-list");
        directSave_ = atom("XdndDirectSave0");
        textPlain_ = atom("text/plain");
        targets_ = atom("TARGETS");
        promised_ = r.fileNames.empty();
        action_ = atom(promised_ ? "XdndActionDirectSave" : "XdndActionCopy");
        types_ = {promised_ ? directSave_ : uriList_};
        for (const auto& f : r.fileNames) uris_ += uriOfPath(f) + "\r\n";
    }

    // The whole drag; events that are not its own go to `others`.
    void run(const std::function<void(XEvent&)>& others) {
        XChangeProperty(d_, source_, typeList_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(types_.data()), static_cast<int>(types_.size()));
        if (promised_) {
            // The name proposed to the target; the writer picks its own.
            std::string name = "untitled." + (r_.promisedTypes.empty() ? std::string("dat") : r_.promisedTypes[0]);
            XChangeProperty(d_, source_, directSave_, textPlain_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
        }
        XSetSelectionOwner(d_, selection_, source_, time_);
        XGrabPointer(d_, source_, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync, 0, 0,
                     CurrentTime);
        XGrabKeyboard(d_, source_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
        XFlush(d_);
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        if (XQueryPointer(d_, DefaultRootWindow(d_), &root, &child, &rx, &ry, &wx, &wy, &mask)) moveTo(rx, ry);
        bool dragging = true, cancelled = false;
        while (dragging) {
            XEvent ev;
            XNextEvent(d_, &ev);
            if (ownEvent(ev)) continue;
            if (ev.type == MotionNotify) {
                time_ = ev.xmotion.time;
                moveTo(ev.xmotion.x_root, ev.xmotion.y_root);
            } else if (ev.type == ButtonRelease) {
                time_ = ev.xbutton.time;
                dragging = false;
            } else if (ev.type == KeyPress && XLookupKeysym(&ev.xkey, 0) == XK_Escape) {
                cancelled = true;
                dragging = false;
            } else if (ev.type != KeyPress && ev.type != KeyRelease && ev.type != ButtonPress) {
                others(ev);
            }
        }
        XUngrabPointer(d_, CurrentTime);
        XUngrabKeyboard(d_, CurrentTime);
        // Released while the target still weighs the last position: its
        // answer decides. A target that never answers is given a while.
        if (target_ && !cancelled && awaitingStatus_) serveWhile([&] { return awaitingStatus_; }, others, 2);
        if (target_ && !cancelled && accepted_ && !awaitingStatus_) {
            send(drop_, 0, static_cast<long>(time_), 0);
            // The target asks for the files and says when it is done.
            serveWhile([&] { return !finishedSeen_; }, others, 10);
        } else if (target_) {
            send(leave_, 0, 0, 0);
        }
        XDeleteProperty(d_, source_, typeList_);
        XDeleteProperty(d_, source_, directSave_);
        if (XGetSelectionOwner(d_, selection_) == source_) XSetSelectionOwner(d_, selection_, 0, time_);
        XFlush(d_);
    }

private:
    void serveWhile(const std::function<bool()>& pending, const std::function<void(XEvent&)>& others, int seconds) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        while (pending() && std::chrono::steady_clock::now() < deadline) {
            if (!XPending(d_)) {
                pollfd p{ConnectionNumber(d_), POLLIN, 0};
                poll(&p, 1, 50);
                continue;
            }
            XEvent ev;
            XNextEvent(d_, &ev);
            if (!ownEvent(ev)) others(ev);
        }
    }

    // The window under a root point that takes XDND drops, and its version.
    std::pair<::Window, long> awareAt(int x, int y) {
        ::Window root = DefaultRootWindow(d_), w = root, child = 0;
        int wx = 0, wy = 0;
        for (int depth = 0; depth < 32; ++depth) {
            if (w != root) {
                Atom type = 0;
                int format = 0;
                unsigned long n = 0, after = 0;
                unsigned char* data = nullptr;
                long version = -1;
                if (XGetWindowProperty(d_, w, aware_, 0, 1, False, XA_ATOM, &type, &format, &n, &after, &data) ==
                        Success &&
                    data && n == 1)
                    version = *reinterpret_cast<long*>(data);
                if (data) XFree(data);
                if (version >= 3) return {w, std::min(version, kXdndVersion)};
            }
            if (!XTranslateCoordinates(d_, root, w, x, y, &wx, &wy, &child) || !child) return {0, 0};
            w = child;
        }
        return {0, 0};
    }

    void send(Atom type, long l1, long l2, long l3, long l4 = 0) {
        XEvent ev{};
        ev.xclient.type = ClientMessage;
        ev.xclient.window = target_;
        ev.xclient.message_type = type;
        ev.xclient.format = 32;
        ev.xclient.data.l[0] = static_cast<long>(source_);
        ev.xclient.data.l[1] = l1;
        ev.xclient.data.l[2] = l2;
        ev.xclient.data.l[3] = l3;
        ev.xclient.data.l[4] = l4;
        XSendEvent(d_, target_, False, NoEventMask, &ev);
        XFlush(d_);
    }

    void sendPosition() {
        havePending_ = false;
        awaitingStatus_ = true;
        send(position_, 0, (static_cast<long>(at_.x) << 16) | (at_.y & 0xFFFF), static_cast<long>(time_),
             static_cast<long>(action_));
    }

    void moveTo(int x, int y) {
        at_ = {x, y};
        auto [w, version] = awareAt(x, y);
        if (w != target_) {
            if (target_) send(leave_, 0, 0, 0);
            target_ = w;
            accepted_ = awaitingStatus_ = false;
            if (target_) send(enter_, version << 24, types_.empty() ? 0 : static_cast<long>(types_[0]), 0);
        }
        if (!target_) return;
        // One position at a time: the next waits for the answer to this one.
        if (awaitingStatus_)
            havePending_ = true;
        else
            sendPosition();
    }

    // The drag's own messages and the requests for its data.
    bool ownEvent(XEvent& ev) {
        if (ev.type == ClientMessage && ev.xclient.window == source_) {
            const auto from = static_cast<::Window>(ev.xclient.data.l[0]);
            if (ev.xclient.message_type == status_ && from == target_) {
                awaitingStatus_ = false;
                accepted_ = ev.xclient.data.l[1] & 1;
                if (havePending_) sendPosition();
                return true;
            }
            if (ev.xclient.message_type == finished_ && from == target_) {
                finishedSeen_ = true;
                return true;
            }
            return false;
        }
        if (ev.type == SelectionRequest && ev.xselectionrequest.selection == selection_) {
            answer(ev.xselectionrequest);
            return true;
        }
        return false;
    }

    void answer(const XSelectionRequestEvent& q) {
        XEvent reply{};
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = q.requestor;
        reply.xselection.selection = q.selection;
        reply.xselection.target = q.target;
        reply.xselection.time = q.time;
        reply.xselection.property = 0;
        const Atom property = q.property ? q.property : q.target;
        if (q.target == targets_) {
            std::vector<Atom> offered = {targets_, types_[0]};
            XChangeProperty(d_, q.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(offered.data()), static_cast<int>(offered.size()));
            reply.xselection.property = property;
        } else if (q.target == uriList_ && !promised_) {
            XChangeProperty(d_, q.requestor, property, uriList_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(uris_.data()), static_cast<int>(uris_.size()));
            reply.xselection.property = property;
        } else if (q.target == directSave_ && promised_) {
            // The target put the place it wants on our window: write there.
            const char* result = saveWhereAsked() ? "S" : "F";
            XChangeProperty(d_, q.requestor, property, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(result), 1);
            reply.xselection.property = property;
        }
        XSendEvent(d_, q.requestor, False, NoEventMask, &reply);
        XFlush(d_);
    }

    bool saveWhereAsked() {
        Atom type = 0;
        int format = 0;
        unsigned long n = 0, after = 0;
        unsigned char* data = nullptr;
        std::string uri;
        if (XGetWindowProperty(d_, source_, directSave_, 0, 4096, False, AnyPropertyType, &type, &format, &n, &after,
                               &data) == Success &&
            data && format == 8)
            uri.assign(reinterpret_cast<char*>(data), n);
        if (data) XFree(data);
        std::vector<std::string> paths = filesOfUriList(uri);
        if (paths.empty() || !r_.writePromisedFiles) return false;
        const std::string& path = paths.front();
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == 0 ? "/" : path.substr(0, slash);
        return !r_.writePromisedFiles(folder).empty();
    }

    Display* d_;
    ::Window source_;
    const DragSourceRequest& r_;
    Time time_;
    bool promised_ = false;
    std::vector<Atom> types_;
    std::string uris_;
    ::Window target_ = 0;
    Point at_;
    bool accepted_ = false, awaitingStatus_ = false, havePending_ = false, finishedSeen_ = false;
    Atom selection_, enter_, position_, status_, leave_, drop_, finished_, aware_, typeList_, uriList_, directSave_,
        textPlain_, targets_, action_;
};

}  // namespace

bool runX11Drag(Display* d, ::Window source, const DragSourceRequest& r, unsigned long time,
                const std::function<void(XEvent&)>& others) {
    if (!source || (r.fileNames.empty() && (r.promisedTypes.empty() || !r.writePromisedFiles))) return false;
    XdndDrag drag(d, source, r, time);
    drag.run(others);
    return true;
}

}  // namespace platform::appkit
