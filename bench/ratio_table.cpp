#include "bench/ratio_table.h"

#include <time.h>
#include <x86intrin.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hvbench {

namespace {

double cpuNow() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return (double)t.tv_sec + t.tv_nsec * 1e-9;
}

// Keeps the compiler from moving memory accesses across a call's end.
inline void clobber() { asm volatile("" ::: "memory"); }

// Seconds of CPU per call, over batches of calls long enough that reading
// the clock costs next to nothing.
double sample(const Case& c, double minSeconds) {
    long batch = 1, calls = 0;
    double spent = 0;
    while (c.setup && (spent < minSeconds || calls == 0)) {
        c.setup();
        const double t0 = cpuNow();
        c.run();
        clobber();
        spent += cpuNow() - t0;
        calls++;
    }
    while (spent < minSeconds) {
        const double t0 = cpuNow();
        for (long i = 0; i < batch; i++) {
            c.run();
            clobber();
        }
        const double t = cpuNow() - t0;
        spent += t;
        calls += batch;
        if (t < 1e-3) batch *= 2;
    }
    return spent / calls;
}

struct Spread {
    double median, lo, hi;
};

Spread spreadOf(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double mid = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {mid, v.front(), v.back()};
}

// Times in the unit that keeps the median readable: ns, us, ms or s.
struct TimeUnit {
    double scale;
    const char* name;
};
TimeUnit unitFor(double seconds) {
    static const TimeUnit units[] = {{1e9, "ns"}, {1e6, "us"}, {1e3, "ms"}, {1, "s"}};
    int i = 0;
    while (i < 3 && seconds * units[i].scale >= 1000) i++;
    return units[i];
}
std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, v < 10 ? "%.3f" : v < 100 ? "%.2f" : "%.1f", v);
    return buf;
}

// The filter holds one or more texts separated by '|'.
bool matches(const Group& g, const std::string& filter) {
    for (size_t from = 0;;) {
        const size_t bar = filter.find('|', from);
        const std::string text = filter.substr(from, bar == std::string::npos ? std::string::npos : bar - from);
        if (!text.empty() && g.title.find(text) != std::string::npos) return true;
        if (bar == std::string::npos) return false;
        from = bar + 1;
    }
}
bool chosen(const Group& g, const Options& opt) { return opt.filter.empty() || matches(g, opt.filter); }

// The call, then a spin for a quarter of the time it took. The time stamp
// counter costs a few cycles to read, where the CPU clock costs a system
// call, which would slow short calls by more than a quarter.
std::function<void()> slowedByAQuarter(std::function<void()> run) {
    return [run] {
        const unsigned long long t0 = __rdtsc();
        run();
        const unsigned long long t1 = __rdtsc(), until = t1 + (t1 - t0) / 4;
        while (__rdtsc() < until) {}
    };
}

}  // namespace

Options parseOptions(int& argc, char** argv) {
    Options o;
    int out = 1;
    for (int i = 1; i < argc; i++) {
        const char* a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(a, "--rounds") && hasValue)
            o.rounds = std::max(5, std::atoi(argv[++i]));
        else if (!std::strcmp(a, "--min-time") && hasValue)
            o.minSeconds = std::max(0.001, std::atof(argv[++i]));
        else if (!std::strcmp(a, "--filter") && hasValue)
            o.filter = argv[++i];
        else if (!std::strcmp(a, "--calls") && hasValue)
            o.calls = std::max(1L, std::atol(argv[++i]));
        else if (!std::strcmp(a, "--peers"))
            o.peers = true;
        else if (!std::strcmp(a, "--slow") && hasValue)
            o.slow = argv[++i];
        else
            argv[out++] = argv[i];
    }
    argc = out;
    argv[argc] = nullptr;
    return o;
}

int runTable(const char* heading, const std::vector<Group>& groups, const Options& opt) {
    if (opt.calls > 0) {
        for (const Group& g : groups) {
            if (!chosen(g, opt)) continue;
            for (size_t c = opt.peers ? 1 : 0; c < (opt.peers ? g.cases.size() : 1); c++)
                for (long i = 0; i < opt.calls; i++) {
                    if (g.cases[c].setup) g.cases[c].setup();
                    g.cases[c].run();
                    clobber();
                }
        }
        return 0;
    }

    std::printf("%s\n%d interleaved rounds of at least %.3f s of CPU per case; median [lowest - highest round]\n\n",
                heading, opt.rounds, opt.minSeconds);
    std::printf("%-44s %-28s %-30s %-21s %s\n", "case", "", "time per unit", "ours / peer", "target");
    int misses = 0;
    for (const Group& chosenGroup : groups) {
        if (!chosen(chosenGroup, opt) || chosenGroup.cases.empty()) continue;
        Group g = chosenGroup;
        if (!opt.slow.empty() && matches(g, opt.slow)) g.cases[0].run = slowedByAQuarter(g.cases[0].run);
        const size_t n = g.cases.size();
        std::vector<std::string> checks;
        for (const Case& c : g.cases) {
            if (!c.check) continue;
            const Agreement a = c.check();
            const bool agrees = a.found <= a.tolerance;
            misses += !agrees;
            checks.push_back("  checked against " + c.name + ": " + num(a.found) + " (tolerance " + num(a.tolerance) +
                             ") " + a.measure + (agrees ? "" : "  DISAGREES"));
        }
        for (const Case& c : g.cases) {  // warm caches and first-time allocations
            if (c.setup) c.setup();
            c.run();
        }
        std::vector<std::vector<double>> perUnit(n), ratio(n);
        for (int r = 0; r < opt.rounds; r++) {
            std::vector<double> t(n);
            for (size_t k = 0; k < n; k++) {
                const size_t c = r % 2 ? n - 1 - k : k;
                t[c] = sample(g.cases[c], opt.minSeconds);
            }
            for (size_t c = 0; c < n; c++) {
                perUnit[c].push_back(t[c] / g.cases[c].units);
                if (c) ratio[c].push_back(g.ratioPerUnit ? perUnit[0].back() / perUnit[c].back() : t[0] / t[c]);
            }
        }
        for (size_t c = 0; c < n; c++) {
            const Case& cs = g.cases[c];
            const Spread s = spreadOf(perUnit[c]);
            const TimeUnit u = unitFor(s.median);
            const std::string time = num(s.median * u.scale) + " " + u.name + "/" + g.unit,
                              range = "[" + num(s.lo * u.scale) + " - " + num(s.hi * u.scale) + "]";
            std::printf("%-44s %-28s %-12s %-17s", c ? "" : g.title.c_str(), cs.name.c_str(), time.c_str(),
                        range.c_str());
            std::string target;
            bool met = true;
            if (c) {
                const Spread q = spreadOf(ratio[c]);
                std::printf(" %5.2fx [%.2f - %.2f] ", q.median, q.lo, q.hi);
                if (cs.target > 0) {
                    met = q.median <= cs.target;
                    char buf[32];
                    std::snprintf(buf, sizeof buf, "<= %.2fx", cs.target);
                    target = buf;
                }
            } else {
                std::printf(" %-21s", "");
            }
            if (cs.timeTarget > 0) {
                met = met && s.median <= cs.timeTarget;
                const TimeUnit tu = unitFor(cs.timeTarget);
                target +=
                    (target.empty() ? "<= " : ", <= ") + num(cs.timeTarget * tu.scale) + " " + tu.name + "/" + g.unit;
            }
            if (!target.empty()) {
                misses += !met;
                std::printf(" %s %s", target.c_str(), met ? "met" : "MISSED");
            }
            std::printf("\n");
        }
        if (!g.note.empty()) std::printf("  %s\n", g.note.c_str());
        for (const std::string& line : checks) std::printf("%s\n", line.c_str());
    }
    return misses;
}

}  // namespace hvbench
