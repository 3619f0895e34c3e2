// A peer for a case's 128-bit rows: the same case on 256-bit rows, timed in
// the same rounds. Where a peer library's time swings with the machine's
// load, or our own time alone from run to run, the ratio to our own wider
// rows holds still and says what the narrower registers cost.
#pragma once

#include <functional>

#include "bench/ratio_table.h"
#include "raster/RAST_CombineRows.h"

namespace hvbench {

// A target by register width: wide(on 256-bit rows, on 128-bit rows).
struct Width {
    bool wide;
    double operator()(double w256, double w128) const { return wide ? w256 : w128; }
};

// Holds a group's 128-bit rows to that peer alone (wide: the 256-bit
// table, left as it is).
inline Group heldToWideRows(Group g, bool wide, double target,
                            const char* note =
                                "128-bit: held to its own 256-bit rows, as its peer's time swings with the "
                                "load") {
    if (wide) return g;
    for (Case& c : g.cases) c.target = c.timeTarget = 0;
    const Case& ours = g.cases[0];
    auto run = [ours = ours.run] {
        rast_rows::useWideRegisters(true);
        ours();
        rast_rows::useWideRegisters(false);
    };
    g.cases.push_back({"ours on 256-bit rows", ours.units, run, target});
    g.note = note;
    return g;
}

}  // namespace hvbench
