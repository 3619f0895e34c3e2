// halvoran-host, for now: a smoke run of the libraries that are built so far.
// It exercises the shared containers and the toolkit's clock, sleep, events
// and threads, prints what it did, and exits non-zero when something is off.
#include "base/BASE_AssocArray.h"
#include "base/BASE_HeapBuf.h"
#include "base/BASE_Mutex.h"
#include "base/BASE_PtrList.h"
#include "base/BASE_String.h"
#include "shim/shim.h"

#include <cstdio>
#include <string>

namespace {

int g_failures = 0;

void check(bool ok, const char* what) {
    std::printf("  %-58s %s\n", what, ok ? "ok" : "FAILED");
    if (!ok)
        g_failures++;
}

struct Counter {
    BASE_Mutex mutex;
    long value = 0;
};

DWORD countUp(void* p) {
    auto c = static_cast<Counter*>(p);
    for (int i = 0; i < 100000; i++) {
        BASE_MutexLock outer(c->mutex);
        BASE_MutexLock inner(c->mutex); // nesting on the owner thread
        c->value++;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::printf("halvoran-host (smoke run): the editor's host is not built yet.\n");

    std::printf("base containers:\n");
    BASE_HeapBuf buf(4096);
    buf.Resize(10000);
    std::printf("  a 10000-byte buffer of granularity 4096 holds %d bytes\n", buf.GetAllocSize());
    check(buf.GetAllocSize() == 12192, "buffer allocation follows the growth rule");

    BASE_PtrList<BASE_String> names;
    for (const char* n : {"Patches", "Converted Banks", "settings"})
        names.Add(new BASE_String(n));
    BASE_String joined;
    for (int i = 0; i < names.GetSize(); i++)
        joined.AppendFormatted(0, "%s%s", i ? ", " : "", names.Get(i)->Get());
    std::printf("  pointer list of %d strings: %s\n", names.GetSize(), joined.Get());
    names.Empty(true);
    check(names.GetSize() == 0, "pointer list emptied with disposal");

    BASE_StringKeyedArray<int> sizes(false);
    sizes.Insert("normal", 100);
    sizes.Insert("small", 75);
    sizes.Insert("Large", 125);
    std::string order;
    const char* key;
    for (int i = 0; int* v = sizes.Enumerate(i, &key); i++)
        order += std::string(i ? " " : "") + key + "=" + std::to_string(*v);
    std::printf("  keyed array in key order: %s\n", order.c_str());
    check(sizes.Get("LARGE", -1) == 125, "case-insensitive lookup");

    std::printf("toolkit base services:\n");
    DWORD t0 = GetTickCount();
    Sleep(0);
    Sleep(50);
    DWORD slept = GetTickCount() - t0;
    std::printf("  Sleep(0) then Sleep(50): %u ms on GetTickCount\n", slept);
    check(slept >= 50, "the tick count advanced by the sleep");

    HANDLE ev = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    DWORD before = WaitForSingleObject(ev, 20);
    SetEvent(ev);
    DWORD after = WaitForSingleObject(ev, 0);
    std::printf("  auto-reset event: wait %u before SetEvent, %u after\n", before, after);
    check(before == WAIT_TIMEOUT && after == WAIT_OBJECT_0, "event wait results");
    CloseHandle(ev);

    Counter counter;
    HANDLE threads[4];
    for (HANDLE& t : threads)
        t = CreateThread(nullptr, 0, countUp, &counter, 0, nullptr);
    for (HANDLE t : threads) {
        WaitForSingleObject(t, INFINITE);
        CloseHandle(t);
    }
    std::printf("  4 threads counted to %ld under the recursive mutex\n", counter.value);
    check(counter.value == 400000, "threads joined with every count kept");

    std::printf("%s\n", g_failures ? "smoke run FAILED" : "smoke run passed");
    return g_failures ? 1 : 0;
}
