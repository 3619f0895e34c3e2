// Waitable handles: threads, events, events on a socket pair, files, and the
// shared wait and close calls.
#include "shim/shim-handles.h"
#include "shim/shim.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <thread>
#include <vector>

namespace {

bool inTable(int32_t kind) { return kind >= SHIM_HANDLE_THREAD && kind <= SHIM_HANDLE_PROCESS; }

// ---- threads

// Joins once; later callers find it joined. False when the join fails.
bool joinThread(SHIM_ThreadRecord* t) {
    std::lock_guard<std::mutex> g(t->joinLock);
    if (t->joined) return true;
    if (pthread_join(t->thread, nullptr) != 0) return false;
    t->joined = true;
    return true;
}

DWORD waitThread(SHIM_ThreadRecord* t, DWORD ms) {
    if (t->done.load(std::memory_order_acquire) || ms == INFINITE) return joinThread(t) ? WAIT_OBJECT_0 : WAIT_FAILED;
    if (ms == 0) return WAIT_TIMEOUT;
    // Elapsed time in unsigned ticks stays right across the counter's wrap.
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        if (t->done.load(std::memory_order_acquire)) return joinThread(t) ? WAIT_OBJECT_0 : WAIT_FAILED;
        Sleep(1);
    }
    if (t->done.load(std::memory_order_acquire)) return joinThread(t) ? WAIT_OBJECT_0 : WAIT_FAILED;
    return WAIT_TIMEOUT;
}

void* threadProc(void* p) {
    auto t = static_cast<SHIM_ThreadRecord*>(p);
    void* pool = SHIM_InitAutoRelease();
    t->result = int32_t(t->func ? t->func(t->arg) : 0);
    t->done.store(true, std::memory_order_release);
    CloseHandle(t);
    SHIM_QuitAutoRelease(pool);
    return nullptr;
}

// The last reference to a thread record is gone.
void releaseThread(SHIM_ThreadRecord* t) {
    std::lock_guard<std::mutex> g(t->joinLock);
    if (t->joined) return;
    // The thread itself may drop the last reference: it cannot join itself.
    if (pthread_equal(t->thread, pthread_self()))
        pthread_detach(t->thread);
    else
        pthread_join(t->thread, nullptr);
    t->joined = true;
}

// ---- events

DWORD waitEvent(SHIM_EventRecord* e, DWORD ms) {
    std::unique_lock<std::mutex> lock(e->mutex);
    if (ms == 0) {
        if (!e->signalled) return WAIT_TIMEOUT;
    } else if (ms == INFINITE) {
        e->cond.wait(lock, [e] { return e->signalled; });
    } else {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        if (!e->cond.wait_until(lock, deadline, [e] { return e->signalled; })) return WAIT_TIMEOUT;
    }
    if (!e->manualReset) e->signalled = false;
    return WAIT_OBJECT_0;
}

// ---- sockets

int pollTimeout(DWORD ms) { return ms == INFINITE ? -1 : int(std::min<DWORD>(ms, INT_MAX)); }

// Readable within the time-out; -1 on a poll error.
int waitReadable(pollfd* fds, int n, DWORD ms) {
    for (;;) {
        int r = poll(fds, nfds_t(n), pollTimeout(ms));
        if (r < 0 && errno == EINTR) continue;
        return r;
    }
}

// Reads the pending signal bytes: >0 consumed, 0 when the peer is gone,
// <0 when nothing was there.
ssize_t drain(int fd) {
    char buf[128];
    ssize_t n;
    do n = read(fd, buf, sizeof(buf));
    while (n < 0 && errno == EINTR);
    return n;
}

DWORD waitSocket(int fd, bool autoReset, DWORD ms) {
    if (fd < 0) {
        Sleep(ms == INFINITE ? 1 : int(std::min<DWORD>(ms, INT_MAX)));
        return WAIT_FAILED;
    }
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (waitReadable(&p, 1, ms) <= 0) return WAIT_TIMEOUT;
        if (!autoReset) return WAIT_OBJECT_0;
        ssize_t n = drain(fd);
        if (n > 0) return WAIT_OBJECT_0;
        if (n == 0) return WAIT_FAILED;  // the write end is gone: no signal can come
        // Another waiter took the signal first: wait again.
    }
}

int readFdOf(SHIM_HandleRecord* r, bool* autoReset) {
    *autoReset = false;
    if (r->kind == SHIM_HANDLE_SOCKET) return static_cast<SHIM_SocketRecord*>(r)->fd;
    if (r->kind == SHIM_HANDLE_SOCKETEVENT) {
        auto e = static_cast<SHIM_SocketEventRecord*>(r);
        *autoReset = e->autoReset;
        return e->readFd;
    }
    return -1;
}

bool readableNow(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) > 0;
}

SHIM_FileRecord* fileOf(HANDLE h) {
    auto f = SHIM_HandleAs<SHIM_FileRecord>(h, SHIM_HANDLE_FILE);
    return f && f->stream ? f : nullptr;
}

}  // namespace

// ---- creation

HANDLE CreateEvent(void*, BOOL manualReset, BOOL initialState, const char*) {
    auto e = new SHIM_EventRecord;
    e->kind = SHIM_HANDLE_EVENT;
    e->refs = 1;
    e->manualReset = manualReset != 0;
    e->signalled = initialState != 0;
    return e;
}

HANDLE CreateEventAsSocket(void*, BOOL manualReset, BOOL initialState, const char*) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
    fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
    auto e = new SHIM_SocketEventRecord;
    e->kind = SHIM_HANDLE_SOCKETEVENT;
    e->refs = 1;
    e->readFd = fds[0];
    e->writeFd = fds[1];
    e->autoReset = !manualReset;
    if (initialState) {
        char zero = 0;
        if (write(e->writeFd, &zero, 1) != 1) {
            CloseHandle(e);
            return nullptr;
        }
    }
    return e;
}

HANDLE SHIM_MakeFileHandle(FILE* stream) {
    auto f = new SHIM_FileRecord;
    f->kind = SHIM_HANDLE_FILE;
    f->refs = 1;
    f->stream = stream;
    return f;
}

HANDLE CreateFile(const char*, DWORD, DWORD, void*, DWORD, DWORD, HANDLE) { return nullptr; }

HANDLE CreateThread(void*, unsigned, LPTHREAD_START_ROUTINE func, void* arg, DWORD, SHIM_THREADID* threadId) {
    SHIM_EnsureMultithreadedCocoa();
    auto t = new SHIM_ThreadRecord;
    t->kind = SHIM_HANDLE_THREAD;
    t->refs = 2;  // the creator's and the running thread's
    t->func = func;
    t->arg = arg;
    if (pthread_create(&t->thread, nullptr, threadProc, t) != 0) {
        // No thread: nothing could ever be joined or drop its reference.
        delete t;
        return nullptr;
    }
    if (threadId) *threadId = SHIM_THREADID(t->thread);
    return t;
}

SHIM_THREADID GetCurrentThreadId() { return SHIM_THREADID(pthread_self()); }

BOOL SetThreadPriority(HANDLE h, int priority) {
    auto t = SHIM_HandleAs<SHIM_ThreadRecord>(h, SHIM_HANDLE_THREAD);
    if (!t || t->done.load(std::memory_order_acquire)) return FALSE;
    int policy;
    sched_param param;
    if (pthread_getschedparam(t->thread, &policy, &param) != 0) return FALSE;
    param.sched_priority = std::clamp(priority + 31, sched_get_priority_min(policy), sched_get_priority_max(policy));
    return pthread_setschedparam(t->thread, policy, &param) == 0 ? TRUE : FALSE;
}

// ---- platform threads

namespace {
struct AutoreleasePool {};

// Carries a function and its argument onto a detached thread.
struct Shim_vHalvoran_thread {
    LPTHREAD_START_ROUTINE func;
    void* arg;
    void bla() {
        if (func) func(arg);
    }
};

void* runDetached(void* p) {
    auto body = static_cast<Shim_vHalvoran_thread*>(p);
    body->bla();
    delete body;
    return nullptr;
}

bool startDetached(LPTHREAD_START_ROUTINE func, void* arg) {
    auto body = new Shim_vHalvoran_thread{func, arg};
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t th;
    bool ok = pthread_create(&th, &attr, runDetached, body) == 0;
    pthread_attr_destroy(&attr);
    if (!ok) delete body;
    return ok;
}
}  // namespace

void SHIM_EnsureMultithreadedCocoa() {
    // One thread that exits at once switches the process to threaded mode.
    static std::once_flag once;
    std::call_once(once, [] { startDetached(nullptr, nullptr); });
}

HANDLE CreateThreadNS(void*, unsigned, LPTHREAD_START_ROUTINE func, void* arg, DWORD, SHIM_THREADID* threadId) {
    startDetached(func, arg);
    if (threadId) *threadId = 0;
    return nullptr;
}

void* SHIM_InitAutoRelease() { return new AutoreleasePool; }

void SHIM_QuitAutoRelease(void* pool) { delete static_cast<AutoreleasePool*>(pool); }

// ---- waiting, signalling, closing

DWORD WaitForSingleObject(HANDLE h, DWORD ms) {
    auto r = static_cast<SHIM_HandleRecord*>(h);
    if (!r || !inTable(r->kind)) return WAIT_FAILED;
    switch (r->kind) {
        case SHIM_HANDLE_THREAD:
            return waitThread(static_cast<SHIM_ThreadRecord*>(r), ms);
        case SHIM_HANDLE_EVENT:
            return waitEvent(static_cast<SHIM_EventRecord*>(r), ms);
        case SHIM_HANDLE_SOCKET:
        case SHIM_HANDLE_SOCKETEVENT: {
            bool autoReset;
            int fd = readFdOf(r, &autoReset);
            return waitSocket(fd, autoReset, ms);
        }
        case SHIM_HANDLE_PROCESS: {
            auto p = static_cast<SHIM_ProcessRecord*>(r);
            return p->task ? SHIM_WaitForNSTask(p->task, ms) : WAIT_FAILED;
        }
        default:  // files
            return WAIT_FAILED;
    }
}

DWORD WaitForAnySocketObject(int count, HANDLE* handles, DWORD ms) {
    if (count < 1 || !handles) return WAIT_TIMEOUT;
    std::vector<pollfd> fds;
    std::vector<int> slot(size_t(count), -1);  // handle index -> pollfd index
    for (int i = 0; i < count; i++) {
        auto r = static_cast<SHIM_HandleRecord*>(handles[i]);
        if (!r) continue;
        bool autoReset;
        int fd = readFdOf(r, &autoReset);
        if (fd < 0) continue;
        slot[size_t(i)] = int(fds.size());
        fds.push_back(pollfd{fd, POLLIN, 0});
    }
    if (fds.empty()) return WAIT_TIMEOUT;
    for (;;) {
        for (auto& p : fds) p.revents = 0;
        if (waitReadable(fds.data(), int(fds.size()), ms) <= 0) return WAIT_TIMEOUT;
        for (int i = 0; i < count; i++) {
            int s = slot[size_t(i)];
            if (s < 0 || !fds[size_t(s)].revents) continue;
            bool autoReset;
            readFdOf(static_cast<SHIM_HandleRecord*>(handles[i]), &autoReset);
            if (autoReset) {
                ssize_t n = drain(fds[size_t(s)].fd);
                if (n == 0) return WAIT_FAILED;
                if (n < 0) break;  // taken by another waiter: wait again
            }
            return DWORD(i);
        }
    }
}

BOOL SetEvent(HANDLE h) {
    if (auto e = SHIM_HandleAs<SHIM_EventRecord>(h, SHIM_HANDLE_EVENT)) {
        std::lock_guard<std::mutex> g(e->mutex);
        if (!e->signalled) {
            e->signalled = true;
            if (e->manualReset)
                e->cond.notify_all();
            else
                e->cond.notify_one();
        }
        return TRUE;
    }
    if (auto s = SHIM_HandleAs<SHIM_SocketEventRecord>(h, SHIM_HANDLE_SOCKETEVENT)) {
        if (s->writeFd < 0 || readableNow(s->readFd)) return TRUE;
        char zero = 0;
        ssize_t n;
        do n = write(s->writeFd, &zero, 1);
        while (n < 0 && errno == EINTR);
        return TRUE;
    }
    return FALSE;
}

BOOL ResetEvent(HANDLE h) {
    if (auto e = SHIM_HandleAs<SHIM_EventRecord>(h, SHIM_HANDLE_EVENT)) {
        // Under the mutex: a waiter reads the flag under it too.
        std::lock_guard<std::mutex> g(e->mutex);
        e->signalled = false;
        return TRUE;
    }
    if (auto s = SHIM_HandleAs<SHIM_SocketEventRecord>(h, SHIM_HANDLE_SOCKETEVENT)) {
        if (s->readFd >= 0) drain(s->readFd);
        return TRUE;
    }
    return FALSE;
}

BOOL CloseHandle(HANDLE h) {
    auto r = static_cast<SHIM_HandleRecord*>(h);
    if (!r || !inTable(r->kind)) return FALSE;
    if (r->refs.fetch_sub(1, std::memory_order_acq_rel) > 1) return TRUE;
    switch (r->kind) {
        case SHIM_HANDLE_THREAD: {
            auto t = static_cast<SHIM_ThreadRecord*>(r);
            releaseThread(t);
            delete t;
            break;
        }
        case SHIM_HANDLE_EVENT:
            delete static_cast<SHIM_EventRecord*>(r);
            break;
        case SHIM_HANDLE_FILE: {
            auto f = static_cast<SHIM_FileRecord*>(r);
            if (f->stream) fclose(f->stream);
            delete f;
            break;
        }
        case SHIM_HANDLE_SOCKET:
            return FALSE;  // the record belongs to whoever made it
        case SHIM_HANDLE_SOCKETEVENT: {
            auto s = static_cast<SHIM_SocketEventRecord*>(r);
            if (s->readFd >= 0) close(s->readFd);
            if (s->writeFd >= 0) close(s->writeFd);
            delete s;
            break;
        }
        case SHIM_HANDLE_PROCESS: {
            auto p = static_cast<SHIM_ProcessRecord*>(r);
            SHIM_ReleaseNSTask(p->task);
            delete p;
            break;
        }
    }
    return TRUE;
}

// ---- files: 32-bit positions

DWORD SetFilePointer(HANDLE h, int pos, DWORD* high) {
    SHIM_FileRecord* f = fileOf(h);
    if (!f || (high && *high != 0) || fseek(f->stream, pos, SEEK_SET) != 0) {
        if (high) *high = DWORD(-1);
        return DWORD(-1);
    }
    return DWORD(ftell(f->stream));
}

DWORD GetFilePointer(HANDLE h, DWORD* high) {
    SHIM_FileRecord* f = fileOf(h);
    long pos = f ? ftell(f->stream) : -1;
    if (high) *high = pos < 0 ? DWORD(-1) : 0;
    return DWORD(pos);
}

DWORD GetFileSize(HANDLE h, DWORD* high) {
    SHIM_FileRecord* f = fileOf(h);
    long size = -1;
    if (f) {
        long old = ftell(f->stream);
        if (old >= 0 && fseek(f->stream, 0, SEEK_END) == 0) {
            size = ftell(f->stream);
            fseek(f->stream, old, SEEK_SET);
        }
    }
    if (high) *high = size < 0 ? DWORD(-1) : 0;
    return DWORD(size);
}

namespace {
// Moves up to n bytes with fread or fwrite; TRUE when any moved.
template <class Buf, class Move>
BOOL transfer(HANDLE h, Buf buf, DWORD n, DWORD* done, Move move) {
    SHIM_FileRecord* f = fileOf(h);
    if (!f || !buf || n == 0) return FALSE;
    size_t moved = move(buf, 1, n, f->stream);
    if (done) *done = DWORD(moved);
    return moved != 0 ? TRUE : FALSE;
}
}  // namespace

BOOL WriteFile(HANDLE h, const void* buf, DWORD n, DWORD* done, void*) { return transfer(h, buf, n, done, fwrite); }

BOOL ReadFile(HANDLE h, void* buf, DWORD n, DWORD* done, void*) { return transfer(h, buf, n, done, fread); }
