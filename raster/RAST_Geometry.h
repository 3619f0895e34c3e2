// Coordinates of the figure operations: the range they draw in and safe
// conversions from floating point.
#pragma once

#include <cmath>
#include <cstdint>
#include <climits>

namespace rast_detail {

// Floating-point coordinates and radii beyond +-2^30 pixels, or not numbers
// at all, make a figure draw nothing: no bitmap comes near them, and past
// them the conversions to int would be undefined.
constexpr double kCoordLimit = 1073741824.0;

inline bool coordOK(double v) { return v >= -kCoordLimit && v <= kCoordLimit; }
template <class... T>
inline bool coordsOK(T... v) {
    return (coordOK((double)v) && ...);
}

// Truncation toward zero, held to the int range; NaN gives 0.
inline int truncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= (double)INT_MAX) return INT_MAX;
    if (v <= (double)INT_MIN) return INT_MIN;
    return (int)v;
}
inline int64_t truncToInt64(double v) {
    if (!(v == v)) return 0;
    if (v >= 9.2e18) return (int64_t)9.2e18;
    if (v <= -9.2e18) return (int64_t)-9.2e18;
    return (int64_t)v;
}
inline int clampToInt(int64_t v) { return v > INT_MAX ? INT_MAX : v < INT_MIN ? INT_MIN : (int)v; }

}  // namespace rast_detail
