#include "shim/shim-input.h"

#include <algorithm>
#include <cmath>

WPARAM SHIM_WheelParam(double delta) {
    double d = std::trunc(delta * 60);
    int32_t v = std::isfinite(d) ? (int32_t)std::clamp(d, -32768.0, 32767.0) : 0;
    return (WPARAM)(uint32_t)(((uint32_t)v & 0xFFFF) << 16);
}

uint64_t SHIM_ZoomGestureArgument(double z) {
    double t = std::trunc(1024 * z + 0.5);
    long a = std::isfinite(t) ? (long)std::clamp(t, -4096.0, 4096.0) : 0;
    // A step too small to show still moves by one.
    if (a == 0) a = z < 0 ? -1 : 1;
    return (uint64_t)std::clamp(1024 + a, 512L, 2048L);
}

uint64_t SHIM_RotateGestureArgument(double degrees) {
    double t = std::trunc(32767 * degrees / 60);
    long a = std::isfinite(t) ? (long)std::clamp(t, -1e6, 1e6) : 0;
    if (a == 0) a = degrees < 0 ? -1 : 1;
    if (a < -32767) return 0;
    return (uint64_t)std::min(a + 32767, 65535L);
}
