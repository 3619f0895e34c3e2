// Ratio tables from interleaved rounds. The machine the benchmarks run on is
// shared, and one run's noise can decide a ratio: so every case of a group is
// timed once per round, ours and its peers in turn (the order reversing from
// round to round), and the table gives the median over the rounds of each
// case's time per unit and of each ratio ours / peer, with the lowest and
// highest round beside it. Time is the process's CPU time, so that time the
// core gave to other programs is not counted.
//
// Options (taken out of argv): --rounds N (7, at least 5), --min-time S (time
// per case per round, 0.05), --filter TEXT (only the groups whose title holds
// TEXT, or one of several separated by '|'). For perf and callgrind: --calls N runs our case of each chosen group
// N times, untimed, and prints nothing; --peers runs the peers instead.
// --slow TEXT makes our case of the groups whose title holds TEXT (as
// --filter) take a quarter longer, to show that its targets catch such a
// slowdown (bench_raster and bench_surfaces: on both register widths).
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace hvbench {

// What a peer's check found, once before the timing: how far the peer's
// output lies from ours, and how far it may for the two to have done the
// same work.
struct Agreement {
    double found = 0;
    double tolerance = 0;
    std::string measure;  // what found and tolerance count
};

struct Case {
    std::string name;
    double units = 1;           // units of work per call (pixels, files, ...)
    std::function<void()> run;  // one call
    double target = 0;          // for a peer: the highest ratio ours / peer that meets the goal (0: none)
    double timeTarget = 0;      // the longest time per unit, in seconds, that meets the goal (0: none)
    // Brings back the state one call starts from, untimed, before each call
    // (each call is then timed on its own).
    std::function<void()> setup = nullptr;
    // For a peer: runs ours and this peer once from the same state and
    // compares their outputs. Null for a floor that does other work (a
    // plain copy or read of the same bytes): its ratio only bounds ours.
    std::function<Agreement()> check = nullptr;
};

struct Group {
    std::string title;
    std::string unit;         // what a case's units count, e.g. "px" or "call"
    std::vector<Case> cases;  // ours first, then its peers
    // Ratios of the time per unit rather than per call: for peers that are
    // our own work at other sizes, to show a cost that grows with the size.
    bool ratioPerUnit = false;
    std::string note = {};  // printed under the rows: what the targets hold ours to
};

struct Options {
    int rounds = 7;
    double minSeconds = 0.05;
    std::string filter;
    long calls = 0;
    bool peers = false;
    std::string slow;
};

Options parseOptions(int& argc, char** argv);

// Runs the chosen groups and prints the table under the heading, each
// group's checks under its rows. Returns the number of figures that miss
// their targets and of checks that found more than their tolerance.
int runTable(const char* heading, const std::vector<Group>& groups, const Options& opt);

}  // namespace hvbench
