// What other programs can cost the toolkit, on a private Xvfb: a paste from
// a hostile clipboard owner (time, bytes and peak resident memory), owning a
// large clipboard while requestors abandon their transfers (resident
// memory), and reading the names of a large drop (time). Prints figures;
// asserts nothing.
//
//   bench_outside_input [--owner-for SECONDS] [--only TEXT]
//     hostile owners go silent after SECONDS (default 10); with --only, just
//     the pastes whose description holds TEXT, so that each peak is its own
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "shim/shim-clipboard.h"
#include "shim/shim-dnd.h"
#include "shim/shim-wnd.h"
#include "support/ScopedEnv.h"
#include "support/x11/HostileSelection.h"
#include "support/x11/XvfbServer.h"

namespace {

using Clock = std::chrono::steady_clock;
using Owner = hvtest::HostileSelectionOwner;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Resident and peak resident memory, in MB.
std::pair<long, long> residentMB() {
    std::ifstream in("/proc/self/status");
    std::string line;
    long rss = 0, hwm = 0;
    while (std::getline(in, line)) {
        if (line.rfind("VmRSS:", 0) == 0) rss = std::atol(line.c_str() + 6) / 1024;
        if (line.rfind("VmHWM:", 0) == 0) hwm = std::atol(line.c_str() + 6) / 1024;
    }
    return {rss, hwm};
}

std::string g_only;

void paste(const char* what, const std::string& display, Owner::Options o) {
    if (std::string(what).find(g_only) == std::string::npos) return;
    Owner owner(display, o);
    if (!owner.owns()) {
        std::printf("%-36s owner did not take the selection\n", what);
        return;
    }
    const auto t = Clock::now();
    OpenClipboard(nullptr);
    HANDLE h = GetClipboardData(CF_TEXT);
    const unsigned error = GetLastError();
    const int got = h ? GlobalSize(h) : 0;
    CloseClipboard();
    std::printf("%-36s %7.2f s  received %10d bytes  owner sent %12llu  result %s (error %u)  peak RSS %ld MB\n", what,
                secondsSince(t), got, (unsigned long long)owner.bytesSent(), h ? "data" : "null", error,
                residentMB().second);
}

void ownLargeText(const std::string& display) {
    const size_t n = size_t(16) << 20;
    HGLOBAL h = GlobalAlloc(0, int(n));
    std::memset(GlobalLock(h), 'a', n);
    GlobalUnlock(h);
    OpenClipboard(nullptr);
    EmptyClipboard();
    SetClipboardData(CF_TEXT, h);
    CloseClipboard();
    const long before = residentMB().first;
    hvtest::AbandoningRequestor requestor(display, "CLIPBOARD", 150);
    const int incr = requestor.incrAnswers(60000);
    std::printf("owning 16 MB of text: RSS %ld MB; after 150 abandoned requests (%d by INCR): RSS %ld MB\n", before,
                incr, residentMB().first);
}

void readDrop(size_t count) {
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) {
        char name[96];
        std::snprintf(name, sizeof name, "/home/musician/Banks/Collection %03zu/bank %06zu.syx", i / 1000, i);
        names.push_back(name);
    }
    HGLOBAL block = SHIM_MakeDropFilesBlock(names, 10, 10);
    const auto t = Clock::now();
    const UINT n = DragQueryFile(block, 0xFFFFFFFF, nullptr, 0);
    size_t bytes = 0;
    for (UINT i = 0; i < n; ++i) {
        char name[4096];
        bytes += DragQueryFile(block, i, name, sizeof name);
    }
    std::printf("reading %zu dropped names (%zu bytes): %.3f s\n", size_t(n), bytes, secondsSince(t));
    GlobalFree(block);
}

}  // namespace

int main(int argc, char** argv) {
    int ownerFor = 10;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--owner-for") == 0) ownerFor = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--only") == 0) g_only = argv[i + 1];
    }
    hvtest::XvfbServer server(1280, 1024);
    if (!server.ok()) {
        std::fprintf(stderr, "no Xvfb:\n%s\n", server.log().c_str());
        return 1;
    }
    hvtest::ScopedEnv env("DISPLAY", server.display());
    if (!platform::appkit::Application::useDisplayIfAvailable()) return 1;

    if (g_only.empty()) {
        readDrop(50000);
        readDrop(100000);
        ownLargeText(server.display());
    }
    const int silent = ownerFor * 1000;
    paste("INCR pieces without end", server.display(), {.kind = Owner::Kind::EndlessIncr, .hostileForMs = silent});
    paste("one byte every 0.9 s", server.display(), {.kind = Owner::Kind::Drip, .hostileForMs = silent});
    paste("TARGETS of 1.5 M junk atoms", server.display(), {.kind = Owner::Kind::JunkTargets});
    paste("one-byte INCR pieces again and again", server.display(),
          {.kind = Owner::Kind::IncrFlood, .hostileForMs = silent});
    paste("a flood of events", server.display(), {.kind = Owner::Kind::EventFlood, .hostileForMs = silent});
    // Off the display before its server goes.
    platform::appkit::Application::setBackend(std::make_unique<platform::appkit::HeadlessBackend>());
    return 0;
}
