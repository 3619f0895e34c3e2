#pragma once
// A recursive mutex that records its owner thread and nesting count. The
// owning thread may enter again; the lock is given up on the matching Leave.
// lock/unlock/try_lock let std::lock_guard and std::unique_lock hold it.
#include <atomic>
#include <mutex>
#include <thread>

class BASE_Mutex {
public:
    BASE_Mutex() = default;
    BASE_Mutex(const BASE_Mutex&) = delete;
    BASE_Mutex& operator=(const BASE_Mutex&) = delete;

    void Enter();
    bool TryEnter();
    // A Leave from a thread that does not hold the mutex is ignored.
    void Leave();

    bool IsOwnedByCurrentThread() const { return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
    // The owner's nesting depth; 0 when nobody holds it.
    int GetNestCount() const { return count_.load(std::memory_order_relaxed); }

    void lock() { Enter(); }
    bool try_lock() { return TryEnter(); }
    void unlock() { Leave(); }

private:
    std::mutex mutex_;
    std::atomic<std::thread::id> owner_{};
    std::atomic<int> count_{0};
};

// Holds a BASE_Mutex for the life of a scope; a null mutex holds nothing.
class BASE_MutexLock {
public:
    explicit BASE_MutexLock(BASE_Mutex* m) : m_(m) {
        if (m_) m_->Enter();
    }
    explicit BASE_MutexLock(BASE_Mutex& m) : BASE_MutexLock(&m) {}
    ~BASE_MutexLock() {
        if (m_) m_->Leave();
    }
    BASE_MutexLock(const BASE_MutexLock&) = delete;
    BASE_MutexLock& operator=(const BASE_MutexLock&) = delete;

private:
    BASE_Mutex* m_;
};
