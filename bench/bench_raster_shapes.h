// The raster figures' benchmark groups, run by bench_raster after the core's;
// wide: their targets on 256-bit rows, else on 128-bit ones.
#pragma once

#include <vector>

#include "bench/ratio_table.h"

std::vector<hvbench::Group> rasterShapeGroups(bool wide);
