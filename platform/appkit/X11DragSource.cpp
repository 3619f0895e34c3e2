// Dragging files out of our windows to other X clients over XDND (version
// 5): existing files as a text/uri-list, promised files through the Direct
// Save extension (XDS: the target names a folder, the files are written
// there). The drag runs until the button is released or Escape is typed, or
// until the grab is lost; what follows the release is bounded in time, so
// no target, silent or hostile, holds the GUI beyond that.
#include "platform/appkit/X11Services.h"
// After the toolkit's headers: Xlib defines None.
#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>

namespace platform::appkit {

namespace {

using Clock = std::chrono::steady_clock;

constexpr long kXdndVersion = 5;
// After the release, all the target may take: to answer the last position,
// to ask for the data and to say it is done.
constexpr auto kTargetPatience = std::chrono::seconds(2);
// How long a grab held elsewhere is waited for.
constexpr auto kGrabPatience = std::chrono::milliseconds(500);
// How often a drag looks whether a button is still held: one whose release
// went to another client (the grab lost) ends.
constexpr auto kGrabCheck = std::chrono::milliseconds(250);

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

    // The whole drag; other windows' events that are not input go to the
    // program. False when it could not start: the list is too large for a
    // property, or another client holds the pointer or the keyboard.
    bool run(X11Tracking& t) {
        const long maxRequest = XExtendedMaxRequestSize(d_) ? XExtendedMaxRequestSize(d_) : XMaxRequestSize(d_);
        if (uris_.size() > size_t(maxRequest) * 4 - 64) return false;
        XChangeProperty(d_, source_, typeList_, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(types_.data()), static_cast<int>(types_.size()));
        if (promised_) {
            // The name proposed to the target; the writer picks its own.
            std::string name = "untitled." + (r_.promisedTypes.empty() ? std::string("dat") : r_.promisedTypes[0]);
            XChangeProperty(d_, source_, directSave_, textPlain_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(name.data()), static_cast<int>(name.size()));
        }
        XSetSelectionOwner(d_, selection_, source_, time_);
        if (!grab()) {
            tidyUp();
            return false;
        }
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        if (XQueryPointer(d_, DefaultRootWindow(d_), &root, &child, &rx, &ry, &wx, &wy, &mask)) moveTo(rx, ry);
        bool cancelled = false;
        X11TrackOptions options;
        // Looked at between events too, so a flood cannot hide a lost grab.
        auto nextCheck = Clock::now() + kGrabCheck;
        options.stop = [&] {
            if (Clock::now() < nextCheck) return false;
            nextCheck = Clock::now() + kGrabCheck;
            return cancelled = grabLost();
        };
        options.pollMs = static_cast<int>(kGrabCheck.count());
        // Ended otherwise than by its events, the program is quitting: no drop.
        const bool released = t.track(
            [&](XEvent& ev) {
                if (ownEvent(ev)) return true;
                if (ev.type == MotionNotify) {
                    time_ = ev.xmotion.time;
                    moveTo(ev.xmotion.x_root, ev.xmotion.y_root);
                } else if (ev.type == ButtonRelease) {
                    time_ = ev.xbutton.time;
                    return false;
                } else if (ev.type == KeyPress && XLookupKeysym(&ev.xkey, 0) == XK_Escape) {
                    cancelled = true;
                    return false;
                } else if (ev.type != KeyPress && ev.type != KeyRelease && ev.type != ButtonPress) {
                    t.dispatch(ev);
                }
                return !options.stop();
            },
            options);
        cancelled = cancelled || !released;
        XUngrabPointer(d_, CurrentTime);
        XUngrabKeyboard(d_, CurrentTime);
        const auto deadline = Clock::now() + kTargetPatience;
        // Released while the target still weighs the last position: its
        // answer decides.
        if (target_ && !cancelled && awaitingStatus_)
            serveUntil(
                t, [&] { return !awaitingStatus_; }, deadline);
        if (target_ && !cancelled && accepted_ && !awaitingStatus_) {
            send(drop_, 0, static_cast<long>(time_), 0);
            dropSent_ = true;
            // The target asks for the files and says when it is done; once
            // it has them, its word is not waited for.
            serveUntil(
                t, [&] { return finishedSeen_ || delivered_; }, deadline);
        } else if (target_) {
            send(leave_, 0, 0, 0);
        }
        tidyUp();
        return true;
    }

private:
    // The pointer and the keyboard, both or neither. A window manager may
    // still hold them a moment for the press that started the drag: that is
    // waited out, within a bound; any other holder ends the drag.
    bool grab() {
        const auto until = Clock::now() + kGrabPatience;
        int pointer = AlreadyGrabbed, keyboard = AlreadyGrabbed;
        for (;;) {
            if (pointer != GrabSuccess)
                pointer = XGrabPointer(d_, source_, False, ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                                       GrabModeAsync, 0, 0, CurrentTime);
            if (pointer == GrabSuccess && keyboard != GrabSuccess)
                keyboard = XGrabKeyboard(d_, source_, False, GrabModeAsync, GrabModeAsync, CurrentTime);
            if (pointer == GrabSuccess && keyboard == GrabSuccess) return true;
            const int failed = pointer != GrabSuccess ? pointer : keyboard;
            if ((failed != AlreadyGrabbed && failed != GrabFrozen) || Clock::now() >= until) break;
            poll(nullptr, 0, 10);
        }
        XUngrabPointer(d_, CurrentTime);
        XUngrabKeyboard(d_, CurrentTime);
        return false;
    }

    void tidyUp() {
        XDeleteProperty(d_, source_, typeList_);
        XDeleteProperty(d_, source_, directSave_);
        // Now, not at the last event's time: a release queued before the
        // drag took the selection is older than that, and would be ignored.
        if (XGetSelectionOwner(d_, selection_) == source_) XSetSelectionOwner(d_, selection_, 0, CurrentTime);
        XFlush(d_);
    }

    // No button is held and no event waits that could be the release: it
    // went elsewhere. (A release sent to us comes before the query's reply.)
    bool grabLost() {
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned mask = 0;
        constexpr unsigned kButtons = Button1Mask | Button2Mask | Button3Mask | Button4Mask | Button5Mask;
        if (XQueryPointer(d_, DefaultRootWindow(d_), &root, &child, &rx, &ry, &wx, &wy, &mask) && (mask & kButtons))
            return false;
        return XEventsQueued(d_, QueuedAlready) == 0;
    }

    // Serves until done() holds or the deadline passes.
    void serveUntil(X11Tracking& t, const std::function<bool()>& done, Clock::time_point deadline) {
        X11TrackOptions options;
        options.stop = done;
        options.until = deadline;
        if (done()) return;
        t.track(
            [&](XEvent& ev) {
                if (!ownEvent(ev)) t.dispatch(ev);
                return !done();
            },
            options);
    }

    // The window under a root point that takes XDND drops, and its version.
    std::pair<::Window, long> awareAt(int x, int y) {
        ::Window root = DefaultRootWindow(d_), w = root, child = 0;
        int wx = 0, wy = 0;
        for (int depth = 0; depth < 32; ++depth) {
            if (w != root) {
                const std::vector<long> aware = X11Property(d_, w, aware_, 1, XA_ATOM).longs();
                const long version = aware.size() == 1 ? aware[0] : -1;
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
            if (target_) {
                send(leave_, 0, 0, 0);
                left_.push_back(target_);
            }
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
                // One from before our drop ends an earlier drag that did not wait for it.
                finishedSeen_ = finishedSeen_ || dropSent_;
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
        Atom answered = 0;
        const Atom property = q.property ? q.property : q.target;
        if (q.target == targets_) {
            std::vector<Atom> offered = {targets_, types_[0]};
            XChangeProperty(d_, q.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(offered.data()), static_cast<int>(offered.size()));
            answered = property;
        } else if (q.target == uriList_ && !promised_) {
            XChangeProperty(d_, q.requestor, property, uriList_, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(uris_.data()), static_cast<int>(uris_.size()));
            answered = property;
            delivered_ = delivered_ || droppedOnAsks(q.requestor);
        } else if (q.target == directSave_ && promised_) {
            // The target put the place it wants on our window: write there,
            // once however often it asks.
            if (!saved_) saved_ = saveWhereAsked() ? "S" : "F";
            XChangeProperty(d_, q.requestor, property, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(saved_), 1);
            answered = property;
            delivered_ = delivered_ || droppedOnAsks(q.requestor);
        }
        x11AnswerSelectionRequest(d_, q, answered);
    }

    // A request after the drop is the drop's, unless it comes from a window
    // the drag passed over: that one asked on entering and is answered late.
    bool droppedOnAsks(::Window requestor) const {
        return dropSent_ && (requestor == target_ || std::find(left_.begin(), left_.end(), requestor) == left_.end());
    }

    bool saveWhereAsked() {
        std::vector<std::string> paths = filesOfUriList(X11Property(d_, source_, directSave_, 4096).text());
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
    // Targets may ask for the data while the drag passes over them; only
    // what is asked after the drop is the drop's.
    bool dropSent_ = false, delivered_ = false;
    std::vector<::Window> left_;   // the targets the drag passed over
    const char* saved_ = nullptr;  // the answer to the Direct Save, once given
    Atom selection_, enter_, position_, status_, leave_, drop_, finished_, aware_, typeList_, uriList_, directSave_,
        textPlain_, targets_, action_;
};

}  // namespace

bool runX11Drag(X11Tracking& t, Display* d, ::Window source, const DragSourceRequest& r, unsigned long time) {
    if (!source || (r.fileNames.empty() && (r.promisedTypes.empty() || !r.writePromisedFiles))) return false;
    XdndDrag drag(d, source, r, time);
    return drag.run(t);
}

}  // namespace platform::appkit
