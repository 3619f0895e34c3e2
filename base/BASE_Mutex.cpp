#include "base/BASE_Mutex.h"

void BASE_Mutex::Enter() {
    // Only this thread can have stored its own id, so the check needs no lock.
    if (IsOwnedByCurrentThread()) {
        count_.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    mutex_.lock();
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    count_.store(1, std::memory_order_relaxed);
}

bool BASE_Mutex::TryEnter() {
    if (IsOwnedByCurrentThread()) {
        count_.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (!mutex_.try_lock()) return false;
    owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    count_.store(1, std::memory_order_relaxed);
    return true;
}

void BASE_Mutex::Leave() {
    if (!IsOwnedByCurrentThread()) return;
    if (count_.fetch_sub(1, std::memory_order_relaxed) > 1) return;
    owner_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
}
