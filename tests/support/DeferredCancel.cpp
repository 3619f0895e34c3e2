// libjack stops a closing client's threads by asynchronous cancellation. One
// that lands while the thread is inside an allocator (libc's, or a
// sanitizer's) or the ThreadSanitizer runtime unwinds out of it with their
// locks held, and the whole test program hangs at its next allocation. So
// the test programs make every cancellation deferred: the notification thread
// then stops in its blocking read, a cancellation point. The process thread
// waits on a futex through syscall(), which is none, so futex waits are made
// in short slices with a look for a pending cancel between them.
//
// No <unistd.h> or <pthread.h> here: they declare these two functions as not
// throwing, and a cancellation unwinds through syscall().
#include "support/DeferredCancel.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <ctime>
#include <dlfcn.h>
#include <linux/futex.h>
#include <sys/syscall.h>

extern "C" void pthread_testcancel();

namespace {

template <class Fn>
Fn nextSymbol(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

using SyscallFn = long (*)(long, ...);

long cancellableFutexWait(SyscallFn real, const long a[6]) {
    constexpr long kSliceNs = 20'000'000;
    const auto* limit = reinterpret_cast<const timespec*>(a[3]);
    long leftNs = limit ? limit->tv_sec * 1'000'000'000L + limit->tv_nsec : -1;
    for (;;) {
        pthread_testcancel();
        const long sliceNs = leftNs < 0 ? kSliceNs : std::min(leftNs, kSliceNs);
        timespec slice{sliceNs / 1'000'000'000L, sliceNs % 1'000'000'000L};
        const long r = real(SYS_futex, a[0], a[1], a[2], &slice, a[4], a[5]);
        if (r == 0 || errno != ETIMEDOUT) return r;
        if (leftNs >= 0 && (leftNs -= sliceNs) <= 0) return r;
    }
}

}  // namespace

extern "C" int pthread_setcanceltype(int, int* old) {
    constexpr int kDeferred = 0;  // PTHREAD_CANCEL_DEFERRED
    static const auto real = nextSymbol<int (*)(int, int*)>("pthread_setcanceltype");
    return real(kDeferred, old);
}

// Six arguments are read whatever the caller passed, as the kernel reads
// six registers; the last of them lies in the caller's frame, which
// AddressSanitizer must not take for an overrun when the caller passed fewer
// (a static's guard waits with four).
extern "C" __attribute__((no_sanitize("address"))) long syscall(long number, ...) {
    // Not a static's guard: that waits through this very function.
    static std::atomic<SyscallFn> found{nullptr};
    SyscallFn real = found.load(std::memory_order_acquire);
    if (!real) found.store(real = nextSymbol<SyscallFn>("syscall"), std::memory_order_release);
    va_list args;
    va_start(args, number);
    long a[6];
    for (long& arg : a) arg = va_arg(args, long);
    va_end(args);
    // A relative wait; the other operations pass through as they are.
    if (number == SYS_futex && (a[1] & FUTEX_CMD_MASK) == FUTEX_WAIT) return cancellableFutexWait(real, a);
    return real(number, a[0], a[1], a[2], a[3], a[4], a[5]);
}

void hvtest::useDeferredCancel() {}
