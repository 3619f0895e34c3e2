// The raster figures' benchmark groups, run by bench_raster after the core's.
#pragma once

#include <vector>

#include "bench/ratio_table.h"

std::vector<hvbench::Group> rasterShapeGroups();
