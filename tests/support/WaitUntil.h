#pragma once
// Waiting for a state instead of sleeping a fixed time: the predicate is
// checked at once and then every few milliseconds until it holds or the
// deadline passes. Tests assert on the result; no test asserts a time.
#include <chrono>
#include <thread>

namespace hvtest {

// True as soon as pred() holds; false when it still does not at the deadline
// (pred() is checked once more then, so a late state is not missed).
template <class Pred>
bool waitUntil(Pred&& pred, int timeoutMs = 5000, int pollMs = 5) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        if (pred()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
    }
    return pred();
}

}  // namespace hvtest
