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
// arrive.
//
// Every transfer of a type's data, however many requestors ask, is served
// from the one copy the board holds. A read from another owner goes over a
// connection of its own, read an event at a time, and keeps within the
// paste's bounds whatever the owner sends and however fast: a round trip is
// made only once no event waits, so none brings a flood in, and a read
// given up closes the connection, with all the owner still sends.
#include "platform/appkit/X11Pasteboard.h"
#include "platform/appkit/X11Errors.h"
#include "platform/appkit/X11Property.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <fcntl.h>
#include <xcb/xcb.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

namespace platform::appkit {

namespace {

using Clock = std::chrono::steady_clock;
// How long a read waits for another owner's next answer.
constexpr auto kOwnerPatience = std::chrono::seconds(1);
// An INCR transfer whose requestor stopped reading is dropped after this,
// and beyond this many the one idle longest makes way.
constexpr auto kStaleTransfer = std::chrono::seconds(5);
constexpr size_t kMaxTransfers = 64;
// Events handled at a time by whoever holds the lock.
constexpr int kDrainBatch = 1024;

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

// Characters beyond Latin-1, and broken sequences, become "?". With a null
// out it only counts.
size_t utf8ToLatin1(const uint8_t* in, size_t size, Bytes* out) {
    size_t n = 0;
    for (size_t i = 0; i < size; ++n) {
        uint8_t c = in[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra >= 0 && i + size_t(extra) < size;
        for (int k = 1; ok && k <= extra; ++k) {
            ok = (in[i + size_t(k)] & 0xC0) == 0x80;
            cp = (cp << 6) | (in[i + size_t(k)] & 0x3F);
        }
        if (out) out->push_back(ok && cp < 0x100 ? uint8_t(cp) : uint8_t('?'));
        i += ok ? size_t(extra) + 1 : 1;
    }
    return n;
}

// Where a piece of UTF-8 that may end at `end` does end: not inside a
// character, so that each piece converts as the whole would.
size_t pieceEnd(const Bytes& text, size_t start, size_t end) {
    for (int k = 0; k < 3 && end > start + 1 && end < text.size() && (text[end] & 0xC0) == 0x80; ++k) --end;
    return end;
}

// One reader of other owners' selections, on a connection of its own.
class SelectionRead {
public:
    SelectionRead(const char* display, ::Window root, Atom property) : property_(property) {
        c_ = xcb_connect(display, nullptr);
        if (xcb_connection_has_error(c_)) return;
        win_ = xcb_generate_id(c_);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(c_, 0, win_, xcb_window_t(root), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                          XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(c_);
    }
    ~SelectionRead() { xcb_disconnect(c_); }
    SelectionRead(const SelectionRead&) = delete;
    SelectionRead& operator=(const SelectionRead&) = delete;

    bool ok() const { return win_ != 0 && !xcb_connection_has_error(c_); }

    bool owned(Atom selection) {
        auto* r = xcb_get_selection_owner_reply(c_, xcb_get_selection_owner(c_, xcb_atom_t(selection)), nullptr);
        const bool owned = r && r->owner != 0;
        free(r);
        return owned;
    }

    void ask(Atom selection, Atom target) {
        xcb_delete_property(c_, win_, xcb_atom_t(property_));
        xcb_convert_selection(c_, win_, xcb_atom_t(selection), xcb_atom_t(target), xcb_atom_t(property_),
                              XCB_CURRENT_TIME);
        xcb_flush(c_);
    }

    // The owner's answer: true once it came, `*property` then names where
    // the data is (0: refused).
    bool answer(Atom selection, Atom target, Atom* property, Clock::time_point deadline) {
        return wait(
            [&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7F) != XCB_SELECTION_NOTIFY) return false;
                auto* n = reinterpret_cast<const xcb_selection_notify_event_t*>(e);
                if (n->requestor != win_ || n->selection != selection || n->target != target) return false;
                *property = n->property;
                return true;
            },
            deadline);
    }

    // An INCR piece is there: true once the owner put the next one.
    bool nextPiece(Clock::time_point deadline) {
        return wait(
            [&](const xcb_generic_event_t* e) {
                if ((e->response_type & 0x7F) != XCB_PROPERTY_NOTIFY) return false;
                auto* n = reinterpret_cast<const xcb_property_notify_event_t*>(e);
                return n->window == win_ && n->atom == property_ && n->state == XCB_PROPERTY_NEW_VALUE;
            },
            deadline);
    }

    // Takes the answer off our window, with its size as the server counts
    // it; nothing when that is more than `room`, or when it is not there.
    // Items of 32 bits come as longs, as Xlib hands them.
    std::optional<Bytes> take(size_t room, size_t* size, Atom* type, int* format) {
        const uint32_t longs = uint32_t(std::min<size_t>(room / 4 + 1, 0x1FFFFFFF));
        auto* r = xcb_get_property_reply(
            c_, xcb_get_property(c_, 1, win_, xcb_atom_t(property_), XCB_GET_PROPERTY_TYPE_ANY, 0, longs), nullptr);
        *size = 0;
        if (!r || !r->type) {
            free(r);
            return std::nullopt;
        }
        *size = size_t(xcb_get_property_value_length(r)) + r->bytes_after;
        *type = r->type;
        *format = r->format;
        std::optional<Bytes> out;
        const auto* data = static_cast<const uint8_t*>(xcb_get_property_value(r));
        if (*size <= room && r->format == 32) {
            std::vector<long> items(r->value_len);
            for (size_t i = 0; i < items.size(); ++i) {
                uint32_t item = 0;
                std::memcpy(&item, data + 4 * i, 4);
                items[i] = long(item);
            }
            out.emplace(reinterpret_cast<const uint8_t*>(items.data()),
                        reinterpret_cast<const uint8_t*>(items.data() + items.size()));
        } else if (*size <= room) {
            out.emplace(data, data + xcb_get_property_value_length(r));
        }
        free(r);
        return out;
    }

private:
    // Events, each looked at alone and freed at once, until `match` took
    // one and no other waits behind it, the owner's patience runs out or
    // the deadline passes, whichever comes first; the time is looked at
    // before every event.
    template <class Match>
    bool wait(const Match& match, Clock::time_point deadline) {
        deadline = std::min(deadline, Clock::now() + kOwnerPatience);
        bool matched = false;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0 || xcb_connection_has_error(c_)) return false;
            if (xcb_generic_event_t* e = xcb_poll_for_event(c_)) {
                matched = match(e) || matched;
                free(e);
                continue;
            }
            if (matched) return true;
            pollfd p{xcb_get_file_descriptor(c_), POLLIN, 0};
            poll(&p, 1, int(left));
        }
    }

    xcb_connection_t* c_;
    xcb_window_t win_ = 0;
    Atom property_;
};

class X11Pasteboards : public PasteboardStore {
public:
    explicit X11Pasteboards(Display* d);
    ~X11Pasteboards() override;

    std::vector<std::string> types(const std::string& board, Paste& paste) override;
    void declare(const std::string& board, const std::vector<std::string>& types) override;
    bool set(const std::string& board, const std::string& type, Bytes bytes) override;
    std::optional<Bytes> get(const std::string& board, const std::string& type, Paste& paste) override;

private:
    using Shared = std::shared_ptr<const Bytes>;
    struct Board {
        Atom selection = 0;
        bool owned = false;
        Time since = CurrentTime;
        std::vector<std::string> types;
        std::map<std::string, Shared> data;
    };
    // An answer too large for one request, sent a piece each time the
    // requestor deletes the property, from the board's own copy (as Latin-1
    // for STRING, converted a piece at a time).
    struct Transfer {
        ::Window requestor;
        Atom property;
        Atom type;
        Shared bytes;
        bool latin1;
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
    Shared bytesFor(const Board& b, Atom target, Atom* type, bool* latin1);
    void send(::Window requestor, Atom property, Atom type, Shared bytes, bool latin1);
    void sendNextPiece(::Window requestor, Atom property);
    void endTransfer(std::vector<Transfer>::iterator it);
    void dropUnstoredTransfers();
    void expireWaits();
    Time serverTime();
    std::optional<Bytes> convert(Atom selection, Atom target, Paste& paste, size_t limit, PasteFailure over, Atom* type,
                                 int* format);
    std::nullopt_t giveUp(Paste& paste, PasteFailure why);
    Atom atom(const std::string& name);
    Atom selectionOf(const std::string& board) { return board == kGeneralPasteboard ? clipboard_ : atom(board); }
    Board* ownedBoard(const std::string& name);

    Display* dpy_;
    ::Window win_ = 0;
    Atom clipboard_, targets_, timestamp_, multiple_, incr_, utf8_, text_, property_, stampProperty_;
    size_t piece_;
    // Lock order: readLock_, then lock_; lock_ is never held while a read
    // waits for another owner, so the serving thread serves meanwhile.
    std::mutex readLock_;
    std::unique_ptr<SelectionRead> read_;  // under readLock_; made when a read needs it
    std::mutex lock_;                      // dpy_ and all below
    std::map<std::string, Board> boards_;
    std::vector<Transfer> transfers_;
    std::vector<std::pair<XSelectionRequestEvent, Clock::time_point>> waiting_;
    std::map<std::string, Atom> atoms_;
    int wake_[2] = {-1, -1};
    std::atomic<bool> stop_{false};
    // Events queued that no drain took yet: the serving thread does not
    // wait. Written under lock_, read by the serving thread without it.
    std::atomic<bool> backlog_{false};
    std::thread thread_;
};

::Window inputOnlyWindow(Display* d) {
    XSetWindowAttributes a{};
    a.event_mask = PropertyChangeMask;
    return XCreateWindow(d, DefaultRootWindow(d), -10, -10, 1, 1, 0, 0, InputOnly, CopyFromParent, CWEventMask, &a);
}

X11Pasteboards::X11Pasteboards(Display* d) : dpy_(d) {
    // A requestor window may vanish while it is being answered.
    ignoreXErrorsOn(dpy_);
    win_ = inputOnlyWindow(dpy_);
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
    read_.reset();
    XDestroyWindow(dpy_, win_);
    XSync(dpy_, False);
    // Before the display goes: a later connection may get the same address.
    stopIgnoringXErrorsOn(dpy_);
    XCloseDisplay(dpy_);
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
        poll(fds, wake_[0] >= 0 ? 2 : 1, backlog_ ? 0 : 250);
        if (stop_) break;
        Locked hold(*this);
        expireWaits();
    }
}

// A batch at a time, so that a flood of events to our windows holds no
// caller; what is left the serving thread takes up at once.
void X11Pasteboards::drain() {
    for (int n = 0; n < kDrainBatch && XPending(dpy_) > 0; ++n) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        handle(ev);
    }
    backlog_ = XEventsQueued(dpy_, QueuedAlready) > 0;
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
            dropUnstoredTransfers();
            break;
        case PropertyNotify:
            if (ev.xproperty.state == PropertyDelete) sendNextPiece(ev.xproperty.window, ev.xproperty.atom);
            break;
        default:
            break;
    }
}

void X11Pasteboards::answer(const XSelectionRequestEvent& r, Clock::time_point asked, bool mayWait) {
    Atom answered = 0;
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
            answered = property;
        } else if (r.target == timestamp_) {
            long t = long(b->since);
            XChangeProperty(dpy_, r.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&t), 1);
            answered = property;
        } else if (Atom type = 0; r.target != multiple_) {
            bool latin1 = false;
            if (Shared bytes = bytesFor(*b, r.target, &type, &latin1)) {
                send(r.requestor, property, type, std::move(bytes), latin1);
                answered = property;
            } else if (mayWait && awaitsData(*b, r.target)) {
                waiting_.emplace_back(r, asked);
                return;
            }
        }
    }
    x11AnswerSelectionRequest(dpy_, r, answered);
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

X11Pasteboards::Shared X11Pasteboards::bytesFor(const Board& b, Atom target, Atom* type, bool* latin1) {
    if (target == utf8_ || target == text_ || target == XA_STRING) {
        auto it = b.data.find(kPasteboardTypeString);
        if (it == b.data.end()) return nullptr;
        *type = target == XA_STRING ? XA_STRING : utf8_;
        *latin1 = target == XA_STRING;
        return it->second;
    }
    char* name = XGetAtomName(dpy_, target);
    if (!name) return nullptr;
    auto it = b.data.find(name);
    XFree(name);
    if (it == b.data.end()) return nullptr;
    *type = target;
    *latin1 = false;
    return it->second;
}

void X11Pasteboards::send(::Window requestor, Atom property, Atom type, Shared bytes, bool latin1) {
    const size_t size = latin1 ? utf8ToLatin1(bytes->data(), bytes->size(), nullptr) : bytes->size();
    if (size <= piece_) {
        Bytes converted;
        if (latin1) utf8ToLatin1(bytes->data(), bytes->size(), &converted);
        const Bytes& out = latin1 ? converted : *bytes;
        XChangeProperty(dpy_, requestor, property, type, 8, PropModeReplace, out.data(), int(out.size()));
        return;
    }
    if (transfers_.size() >= kMaxTransfers)
        endTransfer(std::min_element(transfers_.begin(), transfers_.end(),
                                     [](const Transfer& a, const Transfer& b) { return a.last < b.last; }));
    XSelectInput(dpy_, requestor, PropertyChangeMask);
    long announced = long(size);
    XChangeProperty(dpy_, requestor, property, incr_, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&announced),
                    1);
    transfers_.push_back(Transfer{requestor, property, type, std::move(bytes), latin1, 0, Clock::now()});
}

// The requestor took the last piece: the next one, and after the last an
// empty one that ends the transfer.
void X11Pasteboards::sendNextPiece(::Window requestor, Atom property) {
    auto it = std::find_if(transfers_.begin(), transfers_.end(),
                           [&](const Transfer& t) { return t.requestor == requestor && t.property == property; });
    if (it == transfers_.end()) return;
    const Bytes& all = *it->bytes;
    size_t end = std::min(all.size(), it->offset + piece_);
    if (it->latin1) {
        end = pieceEnd(all, it->offset, end);
        Bytes piece;
        utf8ToLatin1(all.data() + it->offset, end - it->offset, &piece);
        XChangeProperty(dpy_, requestor, property, it->type, 8, PropModeReplace, piece.data(), int(piece.size()));
    } else {
        XChangeProperty(dpy_, requestor, property, it->type, 8, PropModeReplace, all.data() + it->offset,
                        int(end - it->offset));
    }
    const bool last = end == it->offset;
    it->offset = end;
    it->last = Clock::now();
    if (last) endTransfer(it);
    XFlush(dpy_);
}

void X11Pasteboards::endTransfer(std::vector<Transfer>::iterator it) {
    const ::Window requestor = it->requestor;
    transfers_.erase(it);
    bool more =
        std::any_of(transfers_.begin(), transfers_.end(), [&](const Transfer& t) { return t.requestor == requestor; });
    if (!more && requestor != win_) XSelectInput(dpy_, requestor, NoEventMask);
}

// A transfer of contents the boards no longer hold is let go with them.
void X11Pasteboards::dropUnstoredTransfers() {
    for (size_t i = transfers_.size(); i-- > 0;) {
        bool stored = false;
        for (const auto& [name, b] : boards_)
            for (const auto& [type, bytes] : b.data) stored = stored || bytes == transfers_[i].bytes;
        if (!stored) endTransfer(transfers_.begin() + ptrdiff_t(i));
    }
}

void X11Pasteboards::expireWaits() {
    auto now = Clock::now();
    for (size_t i = transfers_.size(); i-- > 0;)
        if (now - transfers_[i].last > kStaleTransfer) endTransfer(transfers_.begin() + ptrdiff_t(i));
    auto all = std::move(waiting_);
    waiting_.clear();
    for (auto& [r, asked] : all) answer(r, asked, now - asked < kOwnerPatience);
}

// The server's time now, for taking a selection (a zero-length append to a
// property of ours comes back with it); what else arrives meanwhile is
// handled, and the wait is bounded as a read is.
Time X11Pasteboards::serverTime() {
    return x11ServerTime(dpy_, win_, stampProperty_,
                         std::chrono::duration_cast<std::chrono::milliseconds>(kOwnerPatience),
                         [this](XEvent& ev) { handle(ev); });
}

// A read given up takes its connection with it, and all the owner still
// sends there.
std::nullopt_t X11Pasteboards::giveUp(Paste& paste, PasteFailure why) {
    paste.failure = why;
    read_.reset();
    return std::nullopt;
}

// The selection converted to a target, within the paste's deadline and at
// most `limit` bytes as the server counts them (`over` says why it
// stopped). Holds readLock_, not lock_.
std::optional<Bytes> X11Pasteboards::convert(Atom selection, Atom target, Paste& paste, size_t limit, PasteFailure over,
                                             Atom* type, int* format) {
    if (paste.failure != PasteFailure::NoFailure) return std::nullopt;
    if (!read_) read_ = std::make_unique<SelectionRead>(XDisplayString(dpy_), DefaultRootWindow(dpy_), property_);
    if (!read_->ok()) return giveUp(paste, PasteFailure::TimedOut);
    if (!read_->owned(selection)) return std::nullopt;
    read_->ask(selection, target);
    Atom property = 0;
    if (!read_->answer(selection, target, &property, paste.deadline)) return giveUp(paste, PasteFailure::TimedOut);
    if (!property) return std::nullopt;
    size_t size = 0;
    auto data = read_->take(limit, &size, type, format);
    if (size > limit) return giveUp(paste, over);
    if (!data || *type != incr_) return data;
    // INCR: each deletion asks for the next piece; an empty piece ends it.
    // The size it announces is the least it will send.
    size_t announced = 0;
    if (*format == 32 && data->size() >= sizeof(long)) {
        long n = 0;
        std::memcpy(&n, data->data(), sizeof n);
        announced = n > 0 ? size_t(n) : 0;
    }
    if (announced > limit) return giveUp(paste, over);
    Bytes all;
    all.reserve(announced);
    size_t received = 0;
    for (;;) {
        if (!read_->nextPiece(paste.deadline)) return giveUp(paste, PasteFailure::TimedOut);
        auto piece = read_->take(limit - received, &size, type, format);
        if (size > limit - received) return giveUp(paste, over);
        // A notice of a value taken already: an owner that writes again
        // before the last piece was taken sends more notices than pieces.
        if (!piece) continue;
        if (piece->empty()) return all;
        received += size;
        all.insert(all.end(), piece->begin(), piece->end());
    }
}

X11Pasteboards::Board* X11Pasteboards::ownedBoard(const std::string& name) {
    auto it = boards_.find(name);
    return it != boards_.end() && it->second.owned ? &it->second : nullptr;
}

std::vector<std::string> X11Pasteboards::types(const std::string& board, Paste& paste) {
    Atom selection = 0;
    {
        Locked hold(*this);
        if (Board* b = ownedBoard(board)) return b->types;
        selection = selectionOf(board);
    }
    std::lock_guard<std::mutex> reading(readLock_);
    Atom type = 0;
    int format = 0;
    auto raw = convert(selection, targets_, paste, kPasteTypesLimit * 4, PasteFailure::TooManyTypes, &type, &format);
    std::vector<std::string> out;
    if (!raw || format != 32) return out;
    Locked hold(*this);
    std::vector<Atom> atoms(raw->size() / sizeof(long));
    std::memcpy(atoms.data(), raw->data(), atoms.size() * sizeof(long));
    // One round trip for all the names; atoms that name nothing stay null.
    std::vector<char*> names(atoms.size(), nullptr);
    if (!atoms.empty()) XGetAtomNames(dpy_, atoms.data(), int(atoms.size()), names.data());
    static const std::set<std::string> kNotData = {"TARGETS", "TIMESTAMP",        "MULTIPLE",        "SAVE_TARGETS",
                                                   "DELETE",  "INSERT_SELECTION", "INSERT_PROPERTY", "COMPOUND_TEXT"};
    for (size_t i = 0; i < atoms.size(); ++i) {
        std::string t;
        if (atoms[i] == utf8_ || atoms[i] == text_ || atoms[i] == XA_STRING)
            t = kPasteboardTypeString;
        else if (names[i])
            t = names[i];
        if (names[i]) XFree(names[i]);
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
    dropUnstoredTransfers();
    b.since = serverTime();
    XSetSelectionOwner(dpy_, b.selection, win_, b.since);
    b.owned = XGetSelectionOwner(dpy_, b.selection) == win_;
    retryWaiting(b.selection);
}

bool X11Pasteboards::set(const std::string& board, const std::string& type, Bytes bytes) {
    Locked hold(*this);
    Board* b = ownedBoard(board);
    if (!b || std::find(b->types.begin(), b->types.end(), type) == b->types.end()) return false;
    b->data[type] = std::make_shared<const Bytes>(std::move(bytes));
    dropUnstoredTransfers();
    retryWaiting(b->selection);
    return true;
}

std::optional<Bytes> X11Pasteboards::get(const std::string& board, const std::string& type, Paste& paste) {
    Atom selection = 0, target = 0, got = 0;
    {
        Locked hold(*this);
        if (Board* b = ownedBoard(board)) {
            auto it = b->data.find(type);
            return it == b->data.end() ? std::nullopt : std::optional<Bytes>(*it->second);
        }
        selection = selectionOf(board);
        target = type == kPasteboardTypeString ? utf8_ : atom(type);
    }
    std::lock_guard<std::mutex> reading(readLock_);
    int format = 0;
    if (type != kPasteboardTypeString)
        return convert(selection, target, paste, kPasteSizeLimit, PasteFailure::TooLarge, &got, &format);
    if (auto utf8 = convert(selection, utf8_, paste, kPasteSizeLimit, PasteFailure::TooLarge, &got, &format);
        utf8 && format == 8)
        return got == XA_STRING ? latin1ToUtf8(*utf8) : *utf8;
    if (auto latin1 = convert(selection, XA_STRING, paste, kPasteSizeLimit, PasteFailure::TooLarge, &got, &format);
        latin1 && format == 8)
        return latin1ToUtf8(*latin1);
    return std::nullopt;
}

}  // namespace

std::unique_ptr<PasteboardStore> createX11Pasteboards(const char* display) {
    Display* d = XOpenDisplay(display);
    if (!d) return nullptr;
    return std::make_unique<X11Pasteboards>(d);
}

}  // namespace platform::appkit
