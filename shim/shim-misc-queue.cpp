// The posted-message queue: PostMessage and timer requests from any thread,
// delivered on the main thread at each tick of the application delegate.
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/appkit/Responder.h"
#include "platform/appkit/RunLoop.h"
#include "shim/shim-misc-internal.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

constexpr int kQueueCap = 1024;
constexpr UINT kKillInterval = 0xFFFFFFFFu;

// A posted message, or a timer request (window, interval, id, callback).
struct PMQRec {
    HWND hwnd;
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    PMQRec* next;
    uint8_t kind;  // 0 message, 1 timer request
};

std::recursive_mutex& QueueMutex() {
    static auto* m_pmq_mutex = new std::recursive_mutex;
    return *m_pmq_mutex;
}
PMQRec* m_pmq = nullptr;
PMQRec* m_pmq_tail = nullptr;
int m_pmq_size = 0;
PMQRec* m_pmq_empty = nullptr;
std::atomic<bool> m_pmq_started{false};
std::thread::id m_pmq_mainthread;

void Append(PMQRec* r) {
    r->next = nullptr;
    if (m_pmq_tail)
        m_pmq_tail->next = r;
    else
        m_pmq = r;
    m_pmq_tail = r;
    ++m_pmq_size;
}

PMQRec* TakeRecord() {
    PMQRec* r = m_pmq_empty;
    if (r)
        m_pmq_empty = r->next;
    else
        r = new PMQRec{};
    return r;
}

// Whether a window still takes posted messages: live and not destroyed.
// Asked under the registry's lock, so the answer holds while the queue's
// lock is held (a window clears its records under that lock as it goes).
bool TakesPosts(HWND h) {
    bool ok = false;
    Responder::withLive(h, [&](Responder* r) {
        auto* o = dynamic_cast<SHIM_Object*>(r);
        ok = o && (o->shimAnswers() & SHIM_SEL_CANPOST) && o->shimCanPostMessage();
    });
    return ok;
}

// Whether a timer request may still act on a window: live, and not
// destroyed when it is a toolkit object that can tell.
bool Usable(HWND h) {
    bool ok = false;
    Responder::withLive(h, [&](Responder* r) {
        auto* o = dynamic_cast<SHIM_Object*>(r);
        ok = !o || !(o->shimAnswers() & SHIM_SEL_DESTROYED) || !o->shimHasBeenDestroyed();
    });
    return ok;
}

class ShimPostingDelegate : public PostingDelegate {
public:
    int shimPostMessage(Responder* h, unsigned msg, uintptr_t wp, intptr_t lp) override {
        return SHIM_Internal_PostMessage(h, msg, wp, lp);
    }
    void shimPostMessageClearQ(Responder* h) override { SHIM_Internal_PMQ_ClearAllMessages(h); }
    void shimPostMessageTick() override { SHIM_MessageQueue_Flush(); }
};

PostingDelegate* Posting() { return dynamic_cast<PostingDelegate*>(Application::delegate()); }

}  // namespace

bool shimmisc::QueueStarted() { return m_pmq_started.load(); }

bool shimmisc::OnQueueThread() { return std::this_thread::get_id() == m_pmq_mainthread; }

PostingDelegate* SHIM_GetPostingDelegate() {
    static ShimPostingDelegate delegate;
    return &delegate;
}

void SHIM_Internal_PostMessage_Init() {
    PostingDelegate* d = Posting();
    if (m_pmq_started.load() || !d) return;
    m_pmq_mainthread = std::this_thread::get_id();
    QueueMutex();
    static std::unique_ptr<RepeatingTimer> m_pmq_timer;
    m_pmq_timer = std::make_unique<RepeatingTimer>(
        50,
        [] {
            if (PostingDelegate* p = Posting()) p->shimPostMessageTick();
        },
        RunLoop::current());
    m_pmq_started = true;
}

BOOL SHIM_Internal_PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!h || !m_pmq_started.load()) return 0;
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    if (!m_pmq_empty && m_pmq_size >= kQueueCap) return 0;
    if (!TakesPosts(h)) return 0;
    PMQRec* r = TakeRecord();
    *r = PMQRec{h, msg, wp, lp, nullptr, 0};
    Append(r);
    return 1;
}

bool SHIM_pmq_settimer(HWND h, UINT_PTR id, UINT ms, TIMERPROC callback) {
    if (!h || !m_pmq_started.load()) return false;
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    if (!Usable(h)) return false;
    for (PMQRec* r = m_pmq; r; r = r->next)
        if (r->kind == 1 && r->hwnd == h && r->wp == id) {
            r->msg = ms;
            r->lp = reinterpret_cast<LPARAM>(callback);
            return true;
        }
    PMQRec* r = TakeRecord();
    *r = PMQRec{h, ms, id, reinterpret_cast<LPARAM>(callback), nullptr, 1};
    Append(r);
    return true;
}

BOOL PostMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    PostingDelegate* d = Posting();
    return d ? d->shimPostMessage(h, msg, wp, lp) : 0;
}

void SHIM_MessageQueue_Clear(HWND h) {
    if (PostingDelegate* d = Posting()) d->shimPostMessageClearQ(h);
}

void SHIM_Internal_PMQ_ClearAllMessages(HWND h) {
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    PMQRec* kept = nullptr;
    PMQRec** keptTail = &kept;
    PMQRec* last = nullptr;
    for (PMQRec* r = m_pmq; r;) {
        PMQRec* next = r->next;
        if (!h || r->hwnd == h) {
            r->next = m_pmq_empty;
            m_pmq_empty = r;
            --m_pmq_size;
        } else {
            *keptTail = r;
            keptTail = &r->next;
            last = r;
        }
        r = next;
    }
    *keptTail = nullptr;
    m_pmq = kept;
    m_pmq_tail = last;
}

void SHIM_MessageQueue_Flush() {
    PMQRec* batch;
    {
        std::lock_guard<std::recursive_mutex> lock(QueueMutex());
        batch = m_pmq;
        m_pmq = m_pmq_tail = nullptr;
    }
    int delivered = 0;
    PMQRec* last = nullptr;
    for (PMQRec* r = batch; r; r = r->next) {
        ++delivered;
        last = r;
        // An earlier record may have destroyed the window: ask before each.
        if (!(r->kind == 0 ? TakesPosts(r->hwnd) : Usable(r->hwnd))) continue;
        if (r->kind == 0)
            SendMessage(r->hwnd, r->msg, r->wp, r->lp);
        else if (r->msg == kKillInterval)
            KillTimer(r->hwnd, r->wp);
        else
            SetTimer(r->hwnd, r->wp, r->msg, reinterpret_cast<TIMERPROC>(r->lp));
    }
    if (!batch) return;
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    m_pmq_size -= delivered;
    last->next = m_pmq_empty;
    m_pmq_empty = batch;
}

int SHIM_MessageQueue_Size() {
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    return m_pmq_size;
}

int SHIM_MessageQueue_FreeCount() {
    std::lock_guard<std::recursive_mutex> lock(QueueMutex());
    int n = 0;
    for (PMQRec* r = m_pmq_empty; r; r = r->next) ++n;
    return n;
}
