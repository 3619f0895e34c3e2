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
//
// Every transfer of a type's data, however many requestors ask, is served
// from the one copy the board holds. A read from another owner keeps within
// the paste's bounds; one given up moves to a new requestor window, so that
// what the owner still sends lands on one that is gone.
#include "platform/appkit/X11Pasteboard.h"
#include "platform/appkit/X11Errors.h"
#include "platform/appkit/X11Property.h"

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
    bool waitFor(const std::function<bool(const XEvent&)>& match, XEvent* out, Clock::time_point deadline);
    Time serverTime();
    std::optional<Bytes> convert(Atom selection, Atom target, Paste& paste, size_t limit, PasteFailure over, Atom* type,
                                 int* format);
    std::optional<Bytes> takeProperty(size_t room, size_t* size, Atom* type, int* format);
    std::nullopt_t giveUp(Paste& paste, PasteFailure why);
    Atom atom(const std::string& name);
    Atom selectionOf(const std::string& board) { return board == kGeneralPasteboard ? clipboard_ : atom(board); }
    Board* ownedBoard(const std::string& name);

    Display* dpy_;
    ::Window win_ = 0;
    ::Window reader_ = 0;  // the requestor of our reads
    Atom clipboard_, targets_, timestamp_, multiple_, incr_, utf8_, text_, property_, stampProperty_;
    size_t piece_;
    std::mutex lock_;
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
    reader_ = inputOnlyWindow(dpy_);
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
    XDestroyWindow(dpy_, reader_);
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
    for (int n = 0; n < kDrainBatch && (XEventsQueued(dpy_, QueuedAlready) > 0 || XPending(dpy_) > 0); ++n) {
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

// Handles events until one matches, the owner's patience runs out or the
// deadline passes. The deadline is looked at before every event, so no
// flood of them, matching or not, holds a paste beyond it.
bool X11Pasteboards::waitFor(const std::function<bool(const XEvent&)>& match, XEvent* out, Clock::time_point deadline) {
    deadline = std::min(deadline, Clock::now() + kOwnerPatience);
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return false;
        // What is queued first; the connection is read only when that is done.
        if (XEventsQueued(dpy_, QueuedAlready) > 0 || XPending(dpy_) > 0) {
            XNextEvent(dpy_, out);
            if (match(*out)) return true;
            handle(*out);
            continue;
        }
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
        &ev, Clock::time_point::max());
    return got ? ev.xproperty.time : CurrentTime;
}

// Takes the answer off the reader window, with its size as the server counts
// it; nothing when that is more than `room`.
std::optional<Bytes> X11Pasteboards::takeProperty(size_t room, size_t* size, Atom* type, int* format) {
    const long words = long(std::min<size_t>(room / 4 + 1, 0x1FFFFFFF));
    X11Property p(dpy_, reader_, property_, words, AnyPropertyType, true);
    *size = p.found() ? p.bytes() : 0;
    if (!p.found()) return std::nullopt;
    // Xlib hands 32-bit items as longs.
    const size_t unit = p.format() == 8 ? 1 : p.format() == 16 ? sizeof(short) : sizeof(long);
    std::optional<Bytes> out;
    if (*size <= room) out.emplace(p.data(), p.data() + p.count() * unit);
    *type = p.type();
    *format = p.format();
    return out;
}

// A read given up: a new reader window takes over, so that whatever the
// owner still sends goes to one that is gone.
std::nullopt_t X11Pasteboards::giveUp(Paste& paste, PasteFailure why) {
    paste.failure = why;
    XDestroyWindow(dpy_, reader_);
    reader_ = inputOnlyWindow(dpy_);
    XFlush(dpy_);
    return std::nullopt;
}

// The selection converted to a target, within the paste's deadline and at
// most `limit` bytes as the server counts them (`over` says why it stopped).
std::optional<Bytes> X11Pasteboards::convert(Atom selection, Atom target, Paste& paste, size_t limit, PasteFailure over,
                                             Atom* type, int* format) {
    if (paste.failure != PasteFailure::NoFailure || XGetSelectionOwner(dpy_, selection) == 0) return std::nullopt;
    XDeleteProperty(dpy_, reader_, property_);
    XConvertSelection(dpy_, selection, target, property_, reader_, CurrentTime);
    XEvent ev;
    const ::Window reader = reader_;
    bool answered = waitFor(
        [&](const XEvent& e) {
            return e.type == SelectionNotify && e.xselection.requestor == reader &&
                   e.xselection.selection == selection && e.xselection.target == target;
        },
        &ev, paste.deadline);
    if (!answered) return giveUp(paste, PasteFailure::TimedOut);
    if (!ev.xselection.property) return std::nullopt;
    size_t size = 0;
    auto data = takeProperty(limit, &size, type, format);
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
        bool more = waitFor(
            [&](const XEvent& e) {
                return e.type == PropertyNotify && e.xproperty.window == reader && e.xproperty.atom == property_ &&
                       e.xproperty.state == PropertyNewValue;
            },
            &ev, paste.deadline);
        if (!more) return giveUp(paste, PasteFailure::TimedOut);
        auto piece = takeProperty(limit - received, &size, type, format);
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
    Locked hold(*this);
    if (Board* b = ownedBoard(board)) return b->types;
    Atom type = 0;
    int format = 0;
    auto raw =
        convert(selectionOf(board), targets_, paste, kPasteTypesLimit * 4, PasteFailure::TooManyTypes, &type, &format);
    std::vector<std::string> out;
    if (!raw || format != 32) return out;
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
    Locked hold(*this);
    if (Board* b = ownedBoard(board)) {
        auto it = b->data.find(type);
        return it == b->data.end() ? std::nullopt : std::optional<Bytes>(*it->second);
    }
    Atom selection = selectionOf(board), got = 0;
    int format = 0;
    if (type != kPasteboardTypeString)
        return convert(selection, atom(type), paste, kPasteSizeLimit, PasteFailure::TooLarge, &got, &format);
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
