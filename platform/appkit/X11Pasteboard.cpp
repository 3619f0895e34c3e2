// Pasteboards as X selections. The general pasteboard is CLIPBOARD, any other
// pasteboard the selection whose atom is its name. Text is offered as
// UTF8_STRING, TEXT and STRING; every other type as the target of the same
// name; TARGETS lists them all. Data larger than the server's request size
// goes by the INCR protocol, both ways.
//
// On X11 the contents live only while the owning process runs: declaring
// types makes this process the selection's owner, and a hidden window of its
// own answers every request for it. Once the process exits (or another
// program takes the selection) the contents are gone.
//
// The connection is our own and a thread of ours answers requests, so other
// programs are served while the main thread is busy. All use of the
// connection is under one lock; whoever holds it handles the events that
// arrive, so a read that waits for another owner still serves requests.
#include "platform/appkit/X11Pasteboard.h"
#include "platform/appkit/X11Errors.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace platform::appkit {

namespace {

using Clock = std::chrono::steady_clock;
// How long a read waits for another owner's next answer.
constexpr auto kOwnerPatience = std::chrono::seconds(1);
// An INCR transfer whose requestor stopped reading is dropped after this.
constexpr auto kStaleTransfer = std::chrono::seconds(5);

Bytes latin1ToUtf8(const Bytes& in) {
    Bytes out;
    for (uint8_t c : in) {
        if (c < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(uint8_t(0xC0 | (c >> 6)));
            out.push_back(uint8_t(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

// Characters beyond Latin-1, and broken sequences, become "?".
Bytes utf8ToLatin1(const Bytes& in) {
    Bytes out;
    for (size_t i = 0; i < in.size();) {
        uint8_t c = in[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra >= 0 && i + size_t(extra) < in.size();
        for (int k = 1; ok && k <= extra; ++k) {
            ok = (in[i + size_t(k)] & 0xC0) == 0x80;
            cp = (cp << 6) | (in[i + size_t(k)] & 0x3F);
        }
        out.push_back(ok && cp < 0x100 ? uint8_t(cp) : uint8_t('?'));
        i += ok ? size_t(extra) + 1 : 1;
    }
    return out;
}

class X11Pasteboards : public PasteboardStore {
public:
    explicit X11Pasteboards(Display* d);
    ~X11Pasteboards() override;

    std::vector<std::string> types(const std::string& board) override;
    void declare(const std::string& board, const std::vector<std::string>& types) override;
    bool set(const std::string& board, const std::string& type, Bytes bytes) override;
    std::optional<Bytes> get(const std::string& board, const std::string& type) override;

private:
    struct Board {
        Atom selection = 0;
        bool owned = false;
        Time since = CurrentTime;
        std::vector<std::string> types;
        std::map<std::string, Bytes> data;
    };
    // An answer too large for one request, sent a piece each time the
    // requestor deletes the property.
    struct Transfer {
        ::Window requestor;
        Atom property;
        Atom type;
        Bytes bytes;
        size_t offset = 0;
        Clock::time_point last;
    };
    // Holds the lock; on release, handles what arrived meanwhile, so that
    // the serving thread, which only wakes for new input, misses nothing.
    class Locked {
    public:
        explicit Locked(X11Pasteboards& p) : p_(p), hold_(p.lock_) { p_.drain(); }
        ~Locked() { p_.drain(); }

    private:
        X11Pasteboards& p_;
        std::lock_guard<std::mutex> hold_;
    };

    void serve();
    void drain();
    void handle(XEvent& ev);
    // Answers a request; one for a declared type whose data the main thread
    // has not set yet waits (until asked, or at most the patience).
    void answer(const XSelectionRequestEvent& r, Clock::time_point asked, bool mayWait = true);
    void retryWaiting(Atom selection);
    bool awaitsData(const Board& b, Atom target);
    std::optional<Bytes> bytesFor(const Board& b, Atom target, Atom* type);
    void send(::Window requestor, Atom property, Atom type, Bytes bytes);
    void sendNextPiece(::Window requestor, Atom property);
    void expireWaits();
    bool waitFor(const std::function<bool(const XEvent&)>& match, XEvent* out);
    Time serverTime();
    std::optional<Bytes> convert(Atom selection, Atom target, Atom* type, int* format);
    std::optional<Bytes> takeProperty(Atom* type, int* format);
    Atom atom(const std::string& name);
    Atom selectionOf(const std::string& board) { return board == kGeneralPasteboard ? clipboard_ : atom(board); }
    Board* ownedBoard(const std::string& name);

    Display* dpy_;
    ::Window win_ = 0;
    Atom clipboard_, targets_, timestamp_, multiple_, incr_, utf8_, text_, property_, stampProperty_;
    size_t piece_;
    std::mutex lock_;
    std::map<std::string, Board> boards_;
    std::vector<Transfer> transfers_;
    std::vector<std::pair<XSelectionRequestEvent, Clock::time_point>> waiting_;
    std::map<std::string, Atom> atoms_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

X11Pasteboards::X11Pasteboards(Display* d) : dpy_(d) {
    // A requestor window may vanish while it is being answered.
    ignoreXErrorsOn(dpy_);
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    win_ =
        XCreateWindow(dpy_, DefaultRootWindow(dpy_), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &a);
    clipboard_ = atom("CLIPBOARD");
    targets_ = atom("TARGETS");
    timestamp_ = atom("TIMESTAMP");
    multiple_ = atom("MULTIPLE");
    incr_ = atom("INCR");
    utf8_ = atom("UTF8_STRING");
    text_ = atom("TEXT");
    property_ = atom("HV_PASTEBOARD_DATA");
    stampProperty_ = atom("HV_PASTEBOARD_TIME");
    // The largest property one request carries, less the request's header.
    piece_ = size_t(XMaxRequestSize(dpy_)) * 4 - 64;
    XFlush(dpy_);
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) wake_[0] = wake_[1] = -1;
    thread_ = std::thread([this] { serve(); });
}

X11Pasteboards::~X11Pasteboards() {
    stop_ = true;
    if (wake_[1] >= 0) (void)!write(wake_[1], "", 1);
    thread_.join();
    XDestroyWindow(dpy_, win_);
    XCloseDisplay(dpy_);
    stopIgnoringXErrorsOn(dpy_);
    for (int fd : wake_)
        if (fd >= 0) close(fd);
}

Atom X11Pasteboards::atom(const std::string& name) {
    auto it = atoms_.find(name);
    if (it != atoms_.end()) return it->second;
    return atoms_[name] = XInternAtom(dpy_, name.c_str(), False);
}

void X11Pasteboards::serve() {
    while (!stop_) {
        pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        poll(fds, wake_[0] >= 0 ? 2 : 1, 250);
        if (stop_) break;
        Locked hold(*this);
        expireWaits();
    }
}

void X11Pasteboards::drain() {
    while (XPending(dpy_) > 0) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        handle(ev);
    }
}

void X11Pasteboards::handle(XEvent& ev) {
    switch (ev.type) {
        case SelectionRequest:
            answer(ev.xselectionrequest, Clock::now());
            break;
        case SelectionClear:
            // Another program took the selection: what we held is no longer on it.
            for (auto& [name, b] : boards_) {
                if (b.selection != ev.xselectionclear.selection) continue;
                // A loss from before we took the selection again is old news.
                if (b.since != CurrentTime && ev.xselectionclear.time < b.since) continue;
                b.owned = false;
                b.types.clear();
                b.data.clear();
                retryWaiting(b.selection);
            }
            break;
        case PropertyNotify:
            if (ev.xproperty.state == PropertyDelete) sendNextPiece(ev.xproperty.window, ev.xproperty.atom);
            break;
        default:
            break;
    }
}

void X11Pasteboards::answer(const XSelectionRequestEvent& r, Clock::time_point asked, bool mayWait) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = dpy_;
    reply.requestor = r.requestor;
    reply.selection = r.selection;
    reply.target = r.target;
    reply.time = r.time;
    reply.property = 0;
    // Old clients name no property: the target's name serves.
    const Atom property = r.property ? r.property : r.target;
    const Board* b = nullptr;
    for (auto& [name, board] : boards_)
        if (board.owned && board.selection == r.selection) b = &board;
    if (b && (r.time == CurrentTime || b->since == CurrentTime || r.time >= b->since)) {
        if (r.target == targets_) {
            std::vector<long> list = {long(targets_), long(timestamp_)};
            for (const auto& t : b->types) {
                if (t == kPasteboardTypeString)
                    list.insert(list.end(), {long(utf8_), long(text_), long(XA_STRING)});
                else
                    list.push_back(long(atom(t)));
            }
            XChangeProperty(dpy_, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
            reply.property = property;
        } else if (r.target == timestamp_) {
            long t = long(b->since);
            XChangeProperty(dpy_, r.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&t), 1);
            reply.property = property;
        } else if (Atom type = 0; r.target != multiple_) {
            if (auto bytes = bytesFor(*b, r.target, &type)) {
                send(r.requestor, property, type, std::move(*bytes));
                reply.property = property;
            } else if (mayWait && awaitsData(*b, r.target)) {
                waiting_.emplace_back(r, asked);
                return;
            }
        }
    }
    XSendEvent(dpy_, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
    XFlush(dpy_);
}

bool X11Pasteboards::awaitsData(const Board& b, Atom target) {
    std::string type;
    if (target == utf8_ || target == text_ || target == XA_STRING) {
        type = kPasteboardTypeString;
    } else if (char* name = XGetAtomName(dpy_, target)) {
        type = name;
        XFree(name);
    }
    return !b.data.count(type) && std::find(b.types.begin(), b.types.end(), type) != b.types.end();
}

void X11Pasteboards::retryWaiting(Atom selection) {
    auto all = std::move(waiting_);
    waiting_.clear();
    for (auto& [r, asked] : all) {
        if (r.selection == selection)
            answer(r, asked);
        else
            waiting_.emplace_back(r, asked);
    }
}

std::optional<Bytes> X11Pasteboards::bytesFor(const Board& b, Atom target, Atom* type) {
    if (target == utf8_ || target == text_ || target == XA_STRING) {
        auto it = b.data.find(kPasteboardTypeString);
        if (it == b.data.end()) return std::nullopt;
        *type = target == XA_STRING ? XA_STRING : utf8_;
        return target == XA_STRING ? utf8ToLatin1(it->second) : it->second;
    }
    char* name = XGetAtomName(dpy_, target);
    if (!name) return std::nullopt;
    auto it = b.data.find(name);
    XFree(name);
    if (it == b.data.end()) return std::nullopt;
    *type = target;
    return it->second;
}

void X11Pasteboards::send(::Window requestor, Atom property, Atom type, Bytes bytes) {
    if (bytes.size() <= piece_) {
        XChangeProperty(dpy_, requestor, property, type, 8, PropModeReplace, bytes.data(), int(bytes.size()));
        return;
    }
    XSelectInput(dpy_, requestor, PropertyChangeMask);
    long size = long(bytes.size());
    XChangeProperty(dpy_, requestor, property, incr_, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size), 1);
    transfers_.push_back(Transfer{requestor, property, type, std::move(bytes), 0, Clock::now()});
}

// The requestor took the last piece: the next one, and after the last an
// empty one that ends the transfer.
void X11Pasteboards::sendNextPiece(::Window requestor, Atom property) {
    auto it = std::find_if(transfers_.begin(), transfers_.end(),
                           [&](const Transfer& t) { return t.requestor == requestor && t.property == property; });
    if (it == transfers_.end()) return;
    size_t n = std::min(piece_, it->bytes.size() - it->offset);
    XChangeProperty(dpy_, requestor, property, it->type, 8, PropModeReplace, it->bytes.data() + it->offset, int(n));
    it->offset += n;
    it->last = Clock::now();
    if (n == 0) {
        transfers_.erase(it);
        bool more = std::any_of(transfers_.begin(), transfers_.end(),
                                [&](const Transfer& t) { return t.requestor == requestor; });
        if (!more && requestor != win_) XSelectInput(dpy_, requestor, NoEventMask);
    }
    XFlush(dpy_);
}

void X11Pasteboards::expireWaits() {
    auto now = Clock::now();
    std::erase_if(transfers_, [&](const Transfer& t) { return now - t.last > kStaleTransfer; });
    auto all = std::move(waiting_);
    waiting_.clear();
    for (auto& [r, asked] : all) answer(r, asked, now - asked < kOwnerPatience);
}

// Handles events until one matches or the owner's patience runs out.
bool X11Pasteboards::waitFor(const std::function<bool(const XEvent&)>& match, XEvent* out) {
    const auto deadline = Clock::now() + kOwnerPatience;
    for (;;) {
        while (XPending(dpy_) > 0) {
            XNextEvent(dpy_, out);
            if (match(*out)) return true;
            handle(*out);
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        pollfd p{ConnectionNumber(dpy_), POLLIN, 0};
        poll(&p, 1, int(left));
    }
}

// The server's time now, for taking a selection (a zero-length append to a
// property of ours comes back with it).
Time X11Pasteboards::serverTime() {
    XChangeProperty(dpy_, win_, stampProperty_, XA_STRING, 8, PropModeAppend, nullptr, 0);
    XEvent ev;
    bool got = waitFor(
        [&](const XEvent& e) {
            return e.type == PropertyNotify && e.xproperty.window == win_ && e.xproperty.atom == stampProperty_;
        },
        &ev);
    return got ? ev.xproperty.time : CurrentTime;
}

std::optional<Bytes> X11Pasteboards::takeProperty(Atom* type, int* format) {
    Atom t = 0;
    int f = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, win_, property_, 0, 0x1FFFFFFF, True, AnyPropertyType, &t, &f, &n, &after, &data) !=
            Success ||
        !t) {
        if (data) XFree(data);
        return std::nullopt;
    }
    // Xlib hands 32-bit items as longs.
    size_t unit = f == 8 ? 1 : f == 16 ? sizeof(short) : sizeof(long);
    Bytes out(data, data + n * unit);
    XFree(data);
    *type = t;
    *format = f;
    return out;
}

std::optional<Bytes> X11Pasteboards::convert(Atom selection, Atom target, Atom* type, int* format) {
    if (XGetSelectionOwner(dpy_, selection) == 0) return std::nullopt;
    XDeleteProperty(dpy_, win_, property_);
    XConvertSelection(dpy_, selection, target, property_, win_, CurrentTime);
    XEvent ev;
    bool answered = waitFor(
        [&](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == win_ && e.xselection.selection == selection &&
                   e.xselection.target == target;
        },
        &ev);
    if (!answered || !ev.xselection.property) return std::nullopt;
    auto data = takeProperty(type, format);
    if (!data || *type != incr_) return data;
    // INCR: each deletion asks for the next piece; an empty piece ends it.
    Bytes all;
    for (;;) {
        bool more = waitFor(
            [&](const XEvent& e) {
                return e.type == PropertyNotify && e.xproperty.window == win_ && e.xproperty.atom == property_ &&
                       e.xproperty.state == PropertyNewValue;
            },
            &ev);
        if (!more) return std::nullopt;
        auto piece = takeProperty(type, format);
        if (!piece) return std::nullopt;
        if (piece->empty()) return all;
        all.insert(all.end(), piece->begin(), piece->end());
    }
}

X11Pasteboards::Board* X11Pasteboards::ownedBoard(const std::string& name) {
    auto it = boards_.find(name);
    return it != boards_.end() && it->second.owned ? &it->second : nullptr;
}

std::vector<std::string> X11Pasteboards::types(const std::string& board) {
    Locked hold(*this);
    if (Board* b = ownedBoard(board)) return b->types;
    Atom type = 0;
    int format = 0;
    auto raw = convert(selectionOf(board), targets_, &type, &format);
    std::vector<std::string> out;
    if (!raw || format != 32) return out;
    static const std::set<std::string> kNotData = {"TARGETS", "TIMESTAMP",        "MULTIPLE",        "SAVE_TARGETS",
                                                   "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY", "COMPOUND_TEXT"};
    for (size_t i = 0; i + sizeof(long) <= raw->size(); i += sizeof(long)) {
        long a = 0;
        std::memcpy(&a, raw->data() + i, sizeof a);
        std::string t;
        if (Atom(a) == utf8_ || Atom(a) == text_ || Atom(a) == XA_STRING) {
            t = kPasteboardTypeString;
        } else if (char* name = a ? XGetAtomName(dpy_, Atom(a)) : nullptr) {
            t = name;
            XFree(name);
        }
        if (!t.empty() && !kNotData.count(t) && std::find(out.begin(), out.end(), t) == out.end()) out.push_back(t);
    }
    return out;
}

void X11Pasteboards::declare(const std::string& board, const std::vector<std::string>& types) {
    Locked hold(*this);
    Board& b = boards_[board];
    b.selection = selectionOf(board);
    b.types.clear();
    for (const auto& t : types)
        if (std::find(b.types.begin(), b.types.end(), t) == b.types.end()) b.types.push_back(t);
    b.data.clear();
    b.since = serverTime();
    XSetSelectionOwner(dpy_, b.selection, win_, b.since);
    b.owned = XGetSelectionOwner(dpy_, b.selection) == win_;
    retryWaiting(b.selection);
}

bool X11Pasteboards::set(const std::string& board, const std::string& type, Bytes bytes) {
    Locked hold(*this);
    Board* b = ownedBoard(board);
    if (!b || std::find(b->types.begin(), b->types.end(), type) == b->types.end()) return false;
    b->data[type] = std::move(bytes);
    retryWaiting(b->selection);
    return true;
}

std::optional<Bytes> X11Pasteboards::get(const std::string& board, const std::string& type) {
    Locked hold(*this);
    if (Board* b = ownedBoard(board)) {
        auto it = b->data.find(type);
        return it == b->data.end() ? std::nullopt : std::optional<Bytes>(it->second);
    }
    Atom selection = selectionOf(board), got = 0;
    int format = 0;
    if (type != kPasteboardTypeString) return convert(selection, atom(type), &got, &format);
    if (auto utf8 = convert(selection, utf8_, &got, &format); utf8 && format == 8)
        return got == XA_STRING ? latin1ToUtf8(*utf8) : *utf8;
    if (auto latin1 = convert(selection, XA_STRING, &got, &format); latin1 && format == 8) return latin1ToUtf8(*latin1);
    return std::nullopt;
}

}  // namespace

std::unique_ptr<PasteboardStore> createX11Pasteboards(const char* display) {
    Display* d = XOpenDisplay(display);
    if (!d) return nullptr;
    return std::make_unique<X11Pasteboards>(d);
}

}  // namespace platform::appkit
