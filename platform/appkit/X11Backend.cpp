#include "platform/appkit/X11Backend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/TextEditing.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/X11Errors.h"
#include "platform/appkit/X11Frames.h"
#include "platform/appkit/X11Input.h"
#include "platform/appkit/X11Pasteboard.h"
#include "platform/appkit/X11Property.h"
#include "platform/appkit/X11Services.h"
#include "platform/appkit/X11Text.h"
#include "platform/coretext/CTLine.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <poll.h>
#include <spawn.h>
#include <sys/select.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <map>
#include <thread>
#include <utility>
#include <vector>

// Xlib's None would hide our enumerators of the same name.
constexpr long kXNone = None;
#undef None

extern char** environ;

namespace platform::appkit {

namespace {

constexpr int kDoubleClickMs = 400, kDoubleClickSlop = 4;

// Presses that count as one click more: the same button again soon and
// close by, after a click (a press dragged away starts no double click).
class ClickCounter {
public:
    int press(Time time, unsigned button, Point p) {
        const bool again = !dragged_ && button == button_ && time - time_ <= static_cast<Time>(kDoubleClickMs) &&
                           std::abs(p.x - at_.x) <= kDoubleClickSlop && std::abs(p.y - at_.y) <= kDoubleClickSlop;
        count_ = again ? count_ + 1 : 1;
        time_ = time;
        button_ = button;
        at_ = p;
        dragged_ = false;
        return count_;
    }
    // The pointer moved with the button held.
    void dragTo(Point p) {
        if (std::abs(p.x - at_.x) > kDoubleClickSlop || std::abs(p.y - at_.y) > kDoubleClickSlop) dragged_ = true;
    }
    int count() const { return count_; }

private:
    Time time_ = 0;
    unsigned button_ = 0;
    Point at_;
    bool dragged_ = false;
    int count_ = 0;
};

class X11Backend;

class X11Peer : public WindowPeer {
public:
    X11Peer(X11Backend& be, Window& w);
    ~X11Peer() override;
    void show() override;
    void hide() override;
    void present(const Rect& area) override;
    void setFrame(const FRect& f) override { x11SetFrame(dpy_, xwin_, f); }
    void setTitle(const std::string& t) override {
        x11SetTitle(dpy_, xwin_, t);
        XFlush(dpy_);
    }
    void setOwner(Window* owner) override;
    void setModal(bool modal) override {
        x11SetModalState(dpy_, xwin_, frameState_.shown, modal);
        XFlush(dpy_);
    }
    void setStyle(unsigned style) override {
        x11SetStyle(dpy_, xwin_, style);
        XFlush(dpy_);
    }
    void setSizeLimits(bool resizable, FSize min, FSize max) override {
        x11SetSizeHints(dpy_, xwin_, resizable, min, max, win_.frame());
    }
    // Our windows stand as the model orders them (levels, children).
    void orderFront() override;
    void makeKey() override;
    void miniaturize() override { x11Iconify(dpy_, xwin_); }
    void setAlpha(double alpha) override { x11SetOpacity(dpy_, xwin_, alpha); }
    void setIgnoresMouse(bool ignore) override {
        x11SetInputPassThrough(dpy_, xwin_, ignore);
        x11SetTakesFocus(dpy_, xwin_, !ignore);
    }
    ::Window xwindow() const { return xwin_; }
    Window& window() { return win_; }
    X11FrameState& frameState() { return frameState_; }
    // After a focus event: whether something outside (a window manager
    // answering a press or a key, another program) made the window key.
    void focusHandled(bool wasKey);
    // Whether a press made the window key. A manager that focuses on a press
    // does so before it passes the press on, or after: the window was not
    // key at the press, or was made key from outside no earlier than the
    // press went down (server times). Only its first press can.
    bool pressActivates(Time pressed, int clickCount);

private:
    X11Backend& be_;
    Window& win_;
    ::Window xwin_ = 0;
    GC gc_ = nullptr;
    X11FrameState frameState_;
    Display* dpy_;
    Time keyFromOutsideAt_ = 0;  // the server's time then, until the next press
};

class X11Backend : public Backend, public X11Tracking {
public:
    explicit X11Backend(Display* d);
    ~X11Backend() override;

    const char* name() const override { return "x11"; }
    std::unique_ptr<WindowPeer> createPeer(Window& w) override { return std::make_unique<X11Peer>(*this, w); }
    void processEvents(int timeoutMs) override;
    void waitForEvents(int timeoutMs, int wakeFd) override;
    bool dispatchNextEvent(int timeoutMs) override;
    std::vector<Screen> screens() override { return x11Screens(dpy_); }
    MenuChoice popUpMenu(Window* w, const Menu& menu, Point at) override;
    void restack(const std::vector<Window*>& frontToBack) override;
    void setMenuBar(Menu* m) override;
    std::optional<std::string> runTextEntry(Window* w, const TextEntryRequest& r) override;
    bool openURL(const std::string& url) override;
    int runAlert(Window* w, const AlertRequest& r) override;
    CursorSystem& cursors() override { return cursors_; }
    const KeyboardLayout* keyboardLayout() override { return &layout_; }
    bool beginDrag(const DragSourceRequest& r) override;
    PasteboardStore& pasteboards() override {
        if (!pasteboards_) pasteboards_ = createX11Pasteboards(DisplayString(dpy_));
        return pasteboards_ ? *pasteboards_ : Backend::pasteboards();
    }
    X11CursorSystem& x11Cursors() { return cursors_; }
    X11DropTarget& dropTarget() { return dnd_; }
    X11InputMethod& input() { return *input_; }

    Display* display() const { return dpy_; }
    Visual* visual() const { return visual_; }
    int depth() const { return depth_; }
    Atom wmDelete() const { return wmDelete_; }
    void registerPeer(::Window x, X11Peer* p) { peers_[x] = p; }
    // The time of the user's last press or key, for the window manager's
    // judgement of focus requests.
    Time userTime() const { return userTime_; }
    X11FocusRequest& focusRequest() { return focusRequest_; }
    // The server's time now; 0 when the server does not answer in time.
    Time serverTime();
    void unregisterPeer(::Window x) { peers_.erase(x); }

    bool track(const std::function<bool(XEvent&)>& handle, const X11TrackOptions& options) override;
    void dispatch(XEvent& ev) override;

private:
    // A modal loop of ours that takes the events. The events of a pass go
    // to the innermost, one at a time: while it handles one (and whatever
    // that runs meanwhile), and once it has ended, the rest wait in the
    // queue.
    struct Tracker {
        const std::function<bool(XEvent&)>* handle;
        bool busy = false;
        bool ended = false;
    };
    bool eventsWait() const { return !trackers_.empty() && (trackers_.back()->busy || trackers_.back()->ended); }
    void deliver(XEvent& ev);
    bool waitForEvent(int timeoutMs);
    Point rootPosition(Window* w, Point p);

    Display* dpy_;
    int screen_;
    Visual* visual_;
    int depth_;
    Atom wmDelete_;
    std::unique_ptr<X11Text> text_;
    std::unique_ptr<X11InputMethod> input_;
    std::map<::Window, X11Peer*> peers_;
    X11CursorSystem cursors_;
    X11KeyboardLayout layout_;
    X11DropTarget dnd_;
    std::unique_ptr<PasteboardStore> pasteboards_;  // selections, on a connection of their own
    std::unique_ptr<X11MenuBar> menuBar_;
    Time userTime_ = 0;
    X11FocusRequest focusRequest_;  // the latest, for any of our windows
    ::Window clock_ = 0;            // a property change on it tells the server's time
    Atom clockProperty_ = 0;
    ClickCounter clicks_;
    std::vector<Tracker*> trackers_;  // innermost last
    // Where (on the root) the press being handled went down, until its
    // release is handled or a menu takes it.
    std::optional<Point> heldPressRoot_;
};

// ---------------------------------------------------------------------------

X11Peer::X11Peer(X11Backend& be, Window& w) : be_(be), win_(w), dpy_(be.display()) {
    Display* d = be.display();
    XSetWindowAttributes a{};
    a.background_pixel = 0;
    a.border_pixel = 0;
    a.colormap = XCreateColormap(d, DefaultRootWindow(d), be.visual(), AllocNone);
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                   KeyReleaseMask | LeaveWindowMask | StructureNotifyMask | FocusChangeMask;
    Size s = w.size();
    FRect f = w.frame();
    XPoint at = x11RootPosition(d, f);
    xwin_ = XCreateWindow(d, DefaultRootWindow(d), at.x, at.y, s.width, s.height, 0, be.depth(), InputOutput,
                          be.visual(), CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
    x11SetTitle(d, xwin_, w.title());
    x11SetIdentity(d, xwin_);
    setOwner(w.parentWindow() ? w.parentWindow() : w.ownerWindow());
    x11SetSizeHints(d, xwin_, w.isResizable(), w.minSize(), w.maxSize(), f);
    x11SetStyle(d, xwin_, w.styleMask());
    Atom del = be.wmDelete();
    XSetWMProtocols(d, xwin_, &del, 1);
    gc_ = XCreateGC(d, xwin_, 0, nullptr);
    be_.registerPeer(xwin_, this);
    be_.x11Cursors().addWindow(xwin_);
    be_.dropTarget().announce(xwin_);
}

X11Peer::~X11Peer() {
    be_.input().forget(xwin_);
    be_.x11Cursors().removeWindow(xwin_);
    be_.unregisterPeer(xwin_);
    XFreeGC(be_.display(), gc_);
    XDestroyWindow(be_.display(), xwin_);
    XFlush(be_.display());
}

void X11Peer::setOwner(Window* over) {
    auto* op = over ? dynamic_cast<X11Peer*>(over->peer()) : nullptr;
    const X11WindowType type = win_.ownerWindow()    ? X11WindowType::Dialog
                               : win_.parentWindow() ? X11WindowType::Utility
                                                     : X11WindowType::Normal;
    x11SetOwner(dpy_, xwin_, op ? op->xwindow() : 0, type);
    XFlush(dpy_);
}

void X11Peer::makeKey() { x11MakeKey(dpy_, xwin_, frameState_, be_.userTime(), &be_.focusRequest()); }

void X11Peer::orderFront() { be_.restack(Application::orderedWindows()); }

void X11Peer::focusHandled(bool wasKey) {
    if (!win_.isKeyWindow())
        keyFromOutsideAt_ = 0;
    else if (!wasKey)
        keyFromOutsideAt_ = be_.serverTime();
}

bool X11Peer::pressActivates(Time pressed, int clickCount) {
    const Time keyedAt = std::exchange(keyFromOutsideAt_, 0);
    if (clickCount > 1) return false;
    return !win_.isKeyWindow() || (keyedAt != 0 && static_cast<int32_t>(pressed - keyedAt) <= 0);
}

void X11Peer::show() {
    if (!frameState_.everShown && (win_.styleMask() & kStyleTitled)) {
        FRect f = x11ConstrainedFrame(dpy_, xwin_, win_.frame());
        if (!(f == win_.frame())) {
            win_.setFrame(f, false);
            setSizeLimits(win_.isResizable(), win_.minSize(), win_.maxSize());
        }
    }
    frameState_.everShown = frameState_.shown = true;
    XMapRaised(be_.display(), xwin_);
    XFlush(be_.display());
    present({0, 0, win_.size().width, win_.size().height});
}

void X11Peer::hide() {
    x11Unmapped(frameState_);
    XUnmapWindow(be_.display(), xwin_);
    XFlush(be_.display());
}

void X11Peer::present(const Rect& area) {
    Size s = win_.size();
    Rect a = area.intersection({0, 0, s.width, s.height});
    if (a.isEmpty()) return;
    // The backing store already holds 0x00RRGGBB words: show them in place.
    auto* data = reinterpret_cast<char*>(const_cast<uint32_t*>(win_.pixels().data()));
    XImage* img =
        XCreateImage(be_.display(), be_.visual(), be_.depth(), ZPixmap, 0, data, s.width, s.height, 32, s.width * 4);
    if (!img) return;
    img->byte_order = LSBFirst;
    XPutImage(be_.display(), xwin_, gc_, img, a.x, a.y, a.x, a.y, a.width, a.height);
    img->data = nullptr;  // not ours to free
    XDestroyImage(img);
    XFlush(be_.display());
}

// ---------------------------------------------------------------------------

X11Backend::X11Backend(Display* d)
    : dpy_(d), screen_(DefaultScreen(d)), cursors_(d), layout_(d), dnd_(d, [this](::Window x) {
          auto it = peers_.find(x);
          return it == peers_.end() ? nullptr : &it->second->window();
      }) {
    XVisualInfo vi{};
    if (XMatchVisualInfo(d, screen_, 24, TrueColor, &vi)) {
        visual_ = vi.visual;
        depth_ = 24;
    } else {
        visual_ = DefaultVisual(d, screen_);
        depth_ = DefaultDepth(d, screen_);
    }
    wmDelete_ = XInternAtom(d, "WM_DELETE_WINDOW", False);
    text_ = std::make_unique<X11Text>(d, visual_, depth_);
    input_ = std::make_unique<X11InputMethod>(d);
}

X11Backend::~X11Backend() {
    menuBar_.reset();
    input_.reset();  // the input method lives on the connection
    XCloseDisplay(dpy_);
}

Time X11Backend::serverTime() {
    if (!clock_) {
        XSetWindowAttributes a{};
        a.event_mask = PropertyChangeMask;
        clock_ = XCreateWindow(dpy_, DefaultRootWindow(dpy_), -1, -1, 1, 1, 0, CopyFromParent, InputOnly,
                               CopyFromParent, CWEventMask, &a);
        clockProperty_ = XInternAtom(dpy_, "HALVORAN_CLOCK", False);
    }
    // Asked in the middle of an event's dispatch: the others wait their turn.
    return x11ServerTime(dpy_, clock_, clockProperty_, std::chrono::milliseconds(250));
}

bool X11Backend::waitForEvent(int timeoutMs) {
    XFlush(dpy_);
    if (XPending(dpy_) > 0) return true;
    if (timeoutMs <= 0) return false;
    int fd = ConnectionNumber(dpy_);
    fd_set set;
    FD_ZERO(&set);
    FD_SET(fd, &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    select(fd + 1, &set, nullptr, nullptr, &tv);
    return XPending(dpy_) > 0;
}

void X11Backend::waitForEvents(int timeoutMs, int wakeFd) {
    XFlush(dpy_);
    // Events that must wait wake no one.
    const bool events = !eventsWait();
    if (events && XPending(dpy_) > 0) return;
    pollfd fds[2] = {{wakeFd, POLLIN, 0}, {ConnectionNumber(dpy_), POLLIN, 0}};
    poll(fds, events ? 2 : wakeFd >= 0 ? 1 : 0, timeoutMs);
}

bool X11Backend::dispatchNextEvent(int timeoutMs) {
    if (eventsWait() || !waitForEvent(timeoutMs)) return false;
    XEvent ev;
    XNextEvent(dpy_, &ev);
    deliver(ev);
    return true;
}

void X11Backend::processEvents(int timeoutMs) {
    if (eventsWait() || !waitForEvent(timeoutMs)) return;
    while (!eventsWait() && XPending(dpy_) > 0) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        deliver(ev);
    }
}

void X11Backend::deliver(XEvent& ev) {
    // Closing a window that quits the program ends the modal loops first,
    // whichever holds the events.
    if (ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete_)
        if (auto it = peers_.find(ev.xany.window); it != peers_.end() && it->second->window().quitsOnClose())
            RunLoop::requestQuit();
    if (trackers_.empty()) {
        dispatch(ev);
        return;
    }
    Tracker& t = *trackers_.back();
    t.busy = true;
    t.ended = !(*t.handle)(ev);
    t.busy = false;
}

bool X11Backend::track(const std::function<bool(XEvent&)>& handle, const X11TrackOptions& o) {
    Tracker t{&handle};
    trackers_.push_back(&t);
    RunLoop::main().track([&] { return t.ended || (o.stop && o.stop()) || (o.owner && !Responder::isLive(o.owner)); },
                          o.until, o.pollMs, o.afterWork);
    trackers_.pop_back();
    return t.ended;
}

void X11Backend::dispatch(XEvent& ev) {
    if (ev.type == ButtonPress || ev.type == ButtonRelease || ev.type == KeyPress || ev.type == KeyRelease)
        userTime_ = ev.xbutton.time;  // the same place in key events
    if (input_->filter(ev)) return;
    if ((ev.type == ButtonPress || ev.type == ButtonRelease) && ev.xbutton.button <= 3)
        heldPressRoot_ =
            ev.type == ButtonPress ? std::optional<Point>(Point{ev.xbutton.x_root, ev.xbutton.y_root}) : std::nullopt;
    if (dnd_.handle(ev) || refreshKeymap(ev) || (menuBar_ && menuBar_->handle(ev))) return;
    auto it = peers_.find(ev.xany.window);
    if (it == peers_.end()) return;
    X11Peer* peer = it->second;
    Window& w = peer->window();
    const bool wasKey = w.isKeyWindow();
    if (x11HandleFrameEvent(dpy_, ev, w, peer->frameState(), focusRequest_)) {
        // Its handlers may have closed the window.
        if (ev.type != FocusIn && ev.type != FocusOut) return;
        if (auto again = peers_.find(ev.xany.window); again != peers_.end()) again->second->focusHandled(wasKey);
        return;
    }
    switch (ev.type) {
        case Expose:
            peer->present({ev.xexpose.x, ev.xexpose.y, ev.xexpose.width, ev.xexpose.height});
            break;
        case ClientMessage:
            if (static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete_) w.userClosed();
            break;
        case ButtonPress: {
            auto& b = ev.xbutton;
            Point p{b.x, b.y};
            if (b.button >= 4 && b.button <= 7) {
                Event e = Event::wheel(p, b.button == 4 ? 1.0f : b.button == 5 ? -1.0f : 0.0f);
                if (b.button >= 6) e.deltaX = b.button == 6 ? 1.0f : -1.0f;
                e.modifiers = modifiersOfXState(b.state);
                e.timestamp = b.time / 1000.0;
                w.sendEvent(e);
                break;
            }
            if (b.button > 3) break;
            const int clickCount = clicks_.press(b.time, b.button, p);
            MouseButton mb = b.button == 1   ? MouseButton::Left
                             : b.button == 3 ? MouseButton::Right
                                             : MouseButton::Middle;
            Event e = Event::mouse(EventType::MouseDown, p, mb, clickCount);
            e.activatesWindow = peer->pressActivates(b.time, clickCount);
            e.modifiers = modifiersOfXState(b.state);
            e.timestamp = b.time / 1000.0;
            w.sendEvent(e);
            break;
        }
        case ButtonRelease: {
            auto& b = ev.xbutton;
            if (b.button > 3) break;
            MouseButton mb = b.button == 1   ? MouseButton::Left
                             : b.button == 3 ? MouseButton::Right
                                             : MouseButton::Middle;
            Event e = Event::mouse(EventType::MouseUp, {b.x, b.y}, mb, clicks_.count());
            e.modifiers = modifiersOfXState(b.state);
            e.timestamp = b.time / 1000.0;
            w.sendEvent(e);
            break;
        }
        case MotionNotify: {
            auto& m = ev.xmotion;
            bool left = m.state & Button1Mask, right = m.state & Button3Mask;
            if (left || right) clicks_.dragTo({m.x, m.y});
            Event e;
            e.type = (left || right) ? EventType::MouseDragged : EventType::MouseMoved;
            e.location = {m.x, m.y};
            e.leftDown = left;
            e.rightDown = right;
            e.button = left ? MouseButton::Left : right ? MouseButton::Right : MouseButton::None;
            e.modifiers = modifiersOfXState(m.state);
            e.timestamp = m.time / 1000.0;
            Point delta = cursors_.motionDelta(m.x_root, m.y_root);
            e.deltaX = static_cast<float>(delta.x);
            e.deltaY = static_cast<float>(delta.y);
            w.sendEvent(e);
            break;
        }
        case LeaveNotify: {
            Event e;
            e.type = EventType::MouseExited;
            e.location = {ev.xcrossing.x, ev.xcrossing.y};
            w.sendEvent(e);
            break;
        }
        case KeyPress:
        case KeyRelease: {
            for (const Event& e : x11KeyEvents(dpy_, ev.xkey, input_->lookup(ev.xkey)))
                if (e.key != Key::None || e.keyCode >= 0) w.sendEvent(e);
            break;
        }
        default:
            break;
    }
}

void X11Backend::restack(const std::vector<Window*>& frontToBack) {
    std::vector<::Window> order;
    // A window not yet shown has no place to take: its map raises it.
    for (Window* w : frontToBack)
        if (auto* peer = dynamic_cast<X11Peer*>(w->peer()); peer && peer->frameState().shown)
            order.push_back(peer->xwindow());
    x11Restack(dpy_, order);
}

void X11Backend::setMenuBar(Menu* m) {
    if (!menuBar_ && m)
        menuBar_ = std::make_unique<X11MenuBar>(dpy_, visual_, depth_, *text_, [this](const Menu& menu, Point root) {
            return popUpMenu(nullptr, menu, root);
        });
    if (menuBar_) menuBar_->setMenu(m);
}

Point X11Backend::rootPosition(Window* w, Point p) {
    auto* peer = w ? dynamic_cast<X11Peer*>(w->peer()) : nullptr;
    if (!peer) return p;
    int rx = 0, ry = 0;
    ::Window child;
    XTranslateCoordinates(dpy_, peer->xwindow(), DefaultRootWindow(dpy_), p.x, p.y, &rx, &ry, &child);
    return {rx, ry};
}

MenuChoice X11Backend::popUpMenu(Window* w, const Menu& menu, Point at) {
    if (menu.items.empty() || RunLoop::main().inTrackingWork()) return {};
    if (w) w->endMouseCapture();
    std::optional<Point> pressedAt = std::exchange(heldPressRoot_, std::nullopt);
    return runX11PopUpMenu(*this, dpy_, visual_, depth_, *text_, menu, w, rootPosition(w, at), pressedAt);
}

// --- text entry ----------------------------------------------------------------

// The text entry: a one-line field over the window, holding the keyboard
// and the pointer until Return (or a click elsewhere) keeps the text or
// Escape drops it. It edits as the toolkit's fields do.
std::optional<std::string> X11Backend::runTextEntry(Window* w, const TextEntryRequest& req) {
    if (RunLoop::main().inTrackingWork()) return std::nullopt;
    if (w) w->endMouseCapture();
    const Point at = rootPosition(w, {req.frame.x, req.frame.y});
    const Rect r{at.x, at.y, std::max(req.frame.width, 120), std::max(req.frame.height, kMenuItemH)};
    ::Window win = x11MakePopup(dpy_, visual_, depth_, r);
    GC gc = XCreateGC(dpy_, win, 0, nullptr);
    constexpr unsigned long kField = 0xFFFFFF, kSelected = 0x2F6FCF, kSelectedText = 0xFFFFFF;
    constexpr int kInset = 4;
    const int room = r.width - 2 * kInset;
    XRectangle clip{kInset - 1, 0, static_cast<unsigned short>(room + 2), static_cast<unsigned short>(r.height)};
    XSetClipRectangles(dpy_, gc, 0, 0, &clip, 1, Unsorted);

    TextEditing edit;
    edit.setSingleLine(true);
    edit.setFilter(req.filter);
    edit.setMaxLength(req.maxLength);
    edit.setText(CTDecodeUTF8Lenient(req.initialText));
    // Where each caret position stands, for the text as it is.
    std::vector<int> xs;
    std::u32string laidOut = U"\x1";
    auto offsets = [&]() -> const std::vector<int>& {
        if (laidOut != edit.text()) {
            laidOut = edit.text();
            xs.assign(laidOut.size() + 1, 0);
            for (size_t i = 1; i <= laidOut.size(); ++i) xs[i] = text_->width(CTEncodeUTF8(laidOut.substr(0, i)));
        }
        return xs;
    };
    int scroll = 0;  // how far the text stands left of the field, to show the caret
    auto indexAt = [&](int x) {
        const std::vector<int>& o = offsets();
        const int want = x - kInset + scroll;
        int best = 0;
        for (int i = 1; i < static_cast<int>(o.size()); ++i)
            if (std::abs(o[static_cast<size_t>(i)] - want) < std::abs(o[static_cast<size_t>(best)] - want)) best = i;
        return best;
    };
    const int ascent = text_->ascent(), base = (r.height + ascent) / 2 - 1;
    auto draw = [&] {
        const std::vector<int>& o = offsets();
        const int caret = o[static_cast<size_t>(edit.caret())];
        scroll = std::clamp(scroll, std::max(0, caret - room + 1), caret);
        scroll = std::min(scroll, std::max(0, o.back() - room + 1));
        XSetForeground(dpy_, gc, kField);
        XFillRectangle(dpy_, win, gc, 0, 0, r.width, r.height);
        const TextRange sel = edit.selection();
        const std::u32string& t = edit.text();
        auto part = [&](int from, int to, bool selected) {
            if (from >= to) return;
            const int x = kInset - scroll + o[static_cast<size_t>(from)];
            const unsigned long bg = selected ? kSelected : kField;
            if (selected) {
                XSetForeground(dpy_, gc, bg);
                XFillRectangle(dpy_, win, gc, x, base - ascent,
                               o[static_cast<size_t>(to)] - o[static_cast<size_t>(from)], ascent + text_->descent());
            }
            text_->draw(win, gc, x, base,
                        CTEncodeUTF8(t.substr(static_cast<size_t>(from), static_cast<size_t>(to - from))),
                        selected ? kSelectedText : kMenuFg, bg);
        };
        part(0, sel.location, false);
        part(sel.location, sel.end(), true);
        part(sel.end(), edit.length(), false);
        if (sel.length == 0) {
            XSetForeground(dpy_, gc, kMenuFg);
            const int cx = kInset - scroll + caret;
            XDrawLine(dpy_, win, gc, cx, base - ascent, cx, base + 2);
        }
    };
    XGrabKeyboard(dpy_, win, True, GrabModeAsync, GrabModeAsync, CurrentTime);
    XGrabPointer(dpy_, win, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync, GrabModeAsync,
                 kXNone, kXNone, CurrentTime);
    std::optional<std::string> result;
    unsigned endingPress = 0;
    ClickCounter clicks;
    auto handle = [&](XEvent& ev) {
        // Dead keys and compose sequences end in whole characters; a key
        // remapped meanwhile types what it is bound to now.
        if (refreshKeymap(ev) || input_->filter(ev)) return true;
        // Keys come to the entry whichever of our windows has them (a
        // window manager may keep the keyboard from its grab); other
        // windows are painted, their input waits.
        if (ev.xany.window != win && ev.type != KeyPress) {
            if (ev.type == Expose) dispatch(ev);
            return true;
        }
        switch (ev.type) {
            case Expose:
                if (ev.xexpose.count == 0) draw();
                return true;
            case ButtonPress: {
                const XButtonEvent& b = ev.xbutton;
                if (!r.contains({b.x_root, b.y_root})) {
                    // A click elsewhere ends editing and keeps what was typed.
                    result = CTEncodeUTF8(edit.text());
                    endingPress = b.button;
                    return false;
                }
                if (b.button != Button1) return true;
                const int at = indexAt(b.x), count = clicks.press(b.time, b.button, {b.x, b.y});
                if (count >= 3)
                    edit.selectAll();
                else if (count == 2)
                    edit.select(edit.wordAt(at));
                else
                    edit.moveCaret(at, b.state & ShiftMask);
                draw();
                return true;
            }
            case MotionNotify:
                if (ev.xmotion.state & Button1Mask) {
                    clicks.dragTo({ev.xmotion.x, ev.xmotion.y});
                    edit.moveCaret(indexAt(ev.xmotion.x), true);
                    draw();
                }
                return true;
            case KeyPress:
                for (const Event& k : x11KeyEvents(dpy_, ev.xkey, input_->lookup(ev.xkey))) {
                    if (k.key == Key::Escape) return false;
                    if (k.key == Key::Return) {
                        result = CTEncodeUTF8(edit.text());
                        return false;
                    }
                    edit.key(k);
                }
                draw();
                return true;
            default:
                return true;
        }
    };
    X11TrackOptions options;
    options.owner = w;
    track(handle, options);
    if (endingPress)
        x11AwaitRelease(*this, dpy_, endingPress, [&](XEvent& e) {
            if (e.xany.window == win)
                draw();
            else
                dispatch(e);
        });
    XUngrabKeyboard(dpy_, CurrentTime);
    XUngrabPointer(dpy_, CurrentTime);
    XFreeGC(dpy_, gc);
    input_->forget(win);
    XDestroyWindow(dpy_, win);
    XFlush(dpy_);
    return result;
}

bool X11Backend::beginDrag(const DragSourceRequest& r) {
    auto* peer = r.window ? dynamic_cast<X11Peer*>(r.window->peer()) : nullptr;
    if (!peer || RunLoop::main().inTrackingWork()) return false;
    r.window->endMouseCapture();
    return runX11Drag(*this, dpy_, peer->xwindow(), r, userTime_);
}

int X11Backend::runAlert(Window* w, const AlertRequest& r) {
    // Asked from a timer or posted work while a menu or the like is open, or
    // once the program is quitting: answered as Escape answers it.
    if (RunLoop::main().inTrackingWork() || RunLoop::quitRequested()) return r.cancelButton;
    if (w) w->endMouseCapture();
    // An alert with no window named belongs to the one the user works in.
    if (!w) w = Application::keyWindow();
    auto* peer = w ? dynamic_cast<X11Peer*>(w->peer()) : nullptr;
    const int chosen = runX11Alert(*this, dpy_, visual_, depth_, *text_, peer ? peer->xwindow() : 0, userTime_, r);
    // None: the program was asked to quit meanwhile.
    return chosen >= 0 ? chosen : r.cancelButton;
}

bool X11Backend::openURL(const std::string& url) {
    pid_t pid = 0;
    const char* argv[] = {"xdg-open", url.c_str(), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
    // Reap it in the background so no zombie stays behind.
    std::thread([pid] { waitpid(pid, nullptr, 0); }).detach();
    return true;
}

}  // namespace

std::unique_ptr<Backend> createX11Backend() {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return nullptr;
    installX11ErrorHandlers();
    return std::make_unique<X11Backend>(d);
}

}  // namespace platform::appkit
