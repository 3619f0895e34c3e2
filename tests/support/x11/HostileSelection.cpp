#include "support/x11/HostileSelection.h"

#include "platform/appkit/X11Errors.h"
#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <optional>

namespace hvtest {

namespace {

using Clock = std::chrono::steady_clock;

// Atoms from here up name nothing on a fresh server.
constexpr long kJunkAtom = 0x1F000000;

struct Transfer {
    ::Window requestor;
    Atom property;
    Atom type;
    std::optional<Clock::time_point> due;  // a drip's next byte
    bool flooded = false;                  // an event flood's, or an INCR flood's once the announcement is taken
};

// The next event, or false once the deadline has passed.
bool nextEvent(Display* d, Clock::time_point deadline, XEvent* ev) {
    while (XPending(d) == 0) {
        if (Clock::now() >= deadline) return false;
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        poll(&p, 1, 20);
    }
    XNextEvent(d, ev);
    return true;
}

}  // namespace

HostileSelectionOwner::HostileSelectionOwner(const std::string& display, const Options& options)
    : options_(options),
      silentFrom_(options.hostileForMs > 0 ? Clock::now() + std::chrono::milliseconds(options.hostileForMs)
                                           : Clock::time_point::max()),
      thread_([this, display] { serve(display); }) {}

bool HostileSelectionOwner::stillHostile() const { return Clock::now() < silentFrom_; }

HostileSelectionOwner::~HostileSelectionOwner() {
    stop_ = true;
    thread_.join();
}

bool HostileSelectionOwner::owns() {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (state_ == 0 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return state_ == 1;
}

void HostileSelectionOwner::serve(const std::string& display) {
    Display* d = XOpenDisplay(display.c_str());
    if (!d) {
        state_ = -1;
        return;
    }
    platform::appkit::ignoreXErrorsOn(d);
    auto atom = [d](const char* n) { return XInternAtom(d, n, False); };
    const Atom selection = atom(options_.selection.c_str()), targets = atom("TARGETS"), incr = atom("INCR"),
               utf8 = atom("UTF8_STRING");
    ::Window win = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
    XSetSelectionOwner(d, selection, win, CurrentTime);
    state_ = XGetSelectionOwner(d, selection) == win ? 1 : -1;
    const std::vector<unsigned char> piece(options_.pieceBytes, 'x');
    auto hostile = [&] { return stillHostile(); };
    const bool flood = options_.kind == Kind::IncrFlood || options_.kind == Kind::EventFlood;
    auto write = [&](const Transfer& t, const unsigned char* bytes, size_t n) {
        XChangeProperty(d, t.requestor, t.property, t.type, 8, PropModeReplace, bytes, int(n));
        sent_ += n;
    };
    std::vector<Transfer> transfers;
    while (!stop_ && state_ == 1) {
        pollfd p{ConnectionNumber(d), POLLIN, 0};
        const bool flooding =
            hostile() && std::any_of(transfers.begin(), transfers.end(), [](const Transfer& t) { return t.flooded; });
        poll(&p, 1, flooding ? 0 : 20);
        while (XPending(d) > 0) {
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == SelectionRequest && hostile()) {
                const XSelectionRequestEvent& r = ev.xselectionrequest;
                const Atom property = r.property ? r.property : r.target;
                if (r.target == targets && options_.kind == Kind::JunkTargets) {
                    std::vector<long> list(options_.junkTargets);
                    for (size_t i = 0; i < list.size(); ++i) list[i] = kJunkAtom + long(i);
                    XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
                } else if (r.target == targets) {
                    long list[] = {long(targets), long(utf8), long(XA_STRING)};
                    XChangeProperty(d, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                                    reinterpret_cast<unsigned char*>(list), 3);
                } else if (options_.kind == Kind::JunkTargets) {
                    write(Transfer{r.requestor, property, r.target, {}}, piece.data(), 4);
                } else if (options_.kind == Kind::EventFlood) {
                    transfers.push_back(Transfer{r.requestor, property, r.target, {}, true});
                    continue;  // never answered
                } else {
                    XSelectInput(d, r.requestor, PropertyChangeMask);
                    long size = long(options_.pieceBytes);
                    XChangeProperty(d, r.requestor, property, incr, 32, PropModeReplace,
                                    reinterpret_cast<unsigned char*>(&size), 1);
                    transfers.push_back(Transfer{r.requestor, property, r.target, {}});
                }
                platform::appkit::x11AnswerSelectionRequest(d, r, property);
            } else if (ev.type == PropertyNotify && ev.xproperty.state == PropertyDelete && hostile()) {
                for (Transfer& t : transfers) {
                    if (t.requestor != ev.xproperty.window || t.property != ev.xproperty.atom) continue;
                    if (flood)
                        t.flooded = true;
                    else if (options_.kind == Kind::Drip)
                        t.due = Clock::now() + std::chrono::milliseconds(options_.dripMs);
                    else
                        write(t, piece.data(), piece.size());
                }
            } else if (ev.type == SelectionClear) {
                state_ = -1;
            }
        }
        for (Transfer& t : transfers) {
            if (!t.due || Clock::now() < *t.due || !hostile()) continue;
            t.due.reset();
            write(t, piece.data(), 1);
        }
        // A flood goes on whatever the requestor does, until the owner goes silent.
        for (int n = 0; flooding && n < 256; ++n) {
            for (const Transfer& t : transfers) {
                if (!t.flooded) continue;
                if (options_.kind == Kind::IncrFlood) {
                    write(t, piece.data(), 1);
                    continue;
                }
                XEvent m{};
                m.xclient.type = ClientMessage;
                m.xclient.window = t.requestor;
                m.xclient.message_type = t.property;
                m.xclient.format = 32;
                XSendEvent(d, t.requestor, False, NoEventMask, &m);
            }
        }
        XFlush(d);
    }
    XDestroyWindow(d, win);
    XSync(d, False);
    platform::appkit::stopIgnoringXErrorsOn(d);
    XCloseDisplay(d);
}

AbandoningRequestor::AbandoningRequestor(const std::string& display, const std::string& selection, int count) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_) return;
    platform::appkit::ignoreXErrorsOn(dpy_);
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    window_ =
        XCreateWindow(dpy_, DefaultRootWindow(dpy_), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &a);
    const Atom sel = XInternAtom(dpy_, selection.c_str(), False), utf8 = XInternAtom(dpy_, "UTF8_STRING", False);
    for (int i = 0; i < count; ++i) {
        const std::string name = "HV_ABANDONED_" + std::to_string(i);
        properties_.push_back(XInternAtom(dpy_, name.c_str(), False));
        XConvertSelection(dpy_, sel, utf8, properties_.back(), window_, CurrentTime);
    }
    answered_.assign(properties_.size(), 0);
    XFlush(dpy_);
}

AbandoningRequestor::~AbandoningRequestor() {
    if (!dpy_) return;
    XDestroyWindow(dpy_, window_);
    XSync(dpy_, False);
    platform::appkit::stopIgnoringXErrorsOn(dpy_);
    XCloseDisplay(dpy_);
}

int AbandoningRequestor::incrAnswers(int timeoutMs) {
    if (!dpy_) return 0;
    const Atom incr = XInternAtom(dpy_, "INCR", False);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pending = [&] {
        for (int a : answered_)
            if (!a) return true;
        return false;
    };
    XEvent ev;
    while (pending() && nextEvent(dpy_, deadline, &ev)) {
        if (ev.type != SelectionNotify) continue;
        for (size_t i = 0; i < properties_.size(); ++i) {
            if (properties_[i] != ev.xselection.property || answered_[i]) continue;
            Atom type = 0;
            int format = 0;
            unsigned long n = 0, after = 0;
            unsigned char* data = nullptr;
            XGetWindowProperty(dpy_, window_, properties_[i], 0, 1, False, AnyPropertyType, &type, &format, &n, &after,
                               &data);
            if (data) XFree(data);
            answered_[i] = type == incr ? 2 : 1;
        }
    }
    int n = 0;
    for (int a : answered_) n += a == 2;
    return n;
}

std::vector<bool> AbandoningRequestor::resume(const std::vector<int>& requests, int timeoutMs) {
    std::vector<bool> sent(requests.size(), false);
    if (!dpy_ || requests.empty()) return sent;
    // What came before (the INCR announcements among it) is not a next piece.
    XSync(dpy_, False);
    while (XPending(dpy_) > 0) {
        XEvent old;
        XNextEvent(dpy_, &old);
    }
    for (int i : requests) XDeleteProperty(dpy_, window_, properties_[size_t(i)]);
    XFlush(dpy_);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    XEvent ev;
    while (!sent.back() && nextEvent(dpy_, deadline, &ev)) {
        if (ev.type != PropertyNotify || ev.xproperty.state != PropertyNewValue) continue;
        for (size_t k = 0; k < requests.size(); ++k)
            if (properties_[size_t(requests[k])] == ev.xproperty.atom) sent[k] = true;
    }
    return sent;
}

}  // namespace hvtest
