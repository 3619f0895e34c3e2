#include "raster/RAST_Circle.h"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <vector>

#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Geometry.h"
#include "raster/RAST_Glyph.h"
#include "raster/RAST_Line.h"

using rast_detail::truncToInt;
using rast_detail::truncToInt64;

namespace {

// Outlines of the small radii, rows from the top, 0xFF full coverage.
// clang-format off
const unsigned char kPlainMasks[] = {
    // R = 1.5
    0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0xFF, 0x00,
    // R = 2.0
    0x00, 0x00, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0x00, 0x00,
    // R = 2.5
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0x00, 0x00,
    // R = 3.0
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0x00, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    // R = 3.5
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    // R = 4.0
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF,
    0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
    0x00, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0x00,
    0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00,
};
const unsigned char kAAMasks[] = {
    // R = 1.5
    0x4F, 0xFF, 0xFF, 0x4F,
    0xFF, 0x0F, 0x0F, 0xFF,
    0xFF, 0x0F, 0x0F, 0xFF,
    0x4F, 0xFF, 0xFF, 0x4F,
    // R = 2.0
    0x0F, 0xBF, 0xFF, 0xBF, 0x0F,
    0xBF, 0xD1, 0x4F, 0xD1, 0xBF,
    0xFF, 0x4F, 0x00, 0x4F, 0xFF,
    0xBF, 0xD1, 0x4F, 0xD1, 0xBF,
    0x0F, 0xBF, 0xFF, 0xBF, 0x0F,
    // R = 2.5
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F,
    0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xFF, 0x4F, 0x00, 0x00, 0x4F, 0xFF,
    0xBF, 0xD1, 0x4F, 0x4F, 0xD1, 0xBF,
    0x0F, 0xBF, 0xFF, 0xFF, 0xBF, 0x0F,
    // R = 3.0
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00,
    0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
    0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF,
    0xFF, 0x30, 0x00, 0x00, 0x00, 0x30, 0xFF,
    0xFF, 0x70, 0x00, 0x00, 0x00, 0x70, 0xFF,
    0x8F, 0xFF, 0x61, 0x40, 0x61, 0xFF, 0x8F,
    0x00, 0x8F, 0xFF, 0xFF, 0xFF, 0x8F, 0x00,
    // R = 3.5
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xFF, 0x40, 0x00, 0x00, 0x00, 0x00, 0x40, 0xFF,
    0xDE, 0xB0, 0x00, 0x00, 0x00, 0x00, 0xB0, 0xDE,
    0x4F, 0xFF, 0xB0, 0x40, 0x40, 0xB0, 0xFF, 0x4F,
    0x00, 0x4F, 0xDE, 0xFF, 0xFF, 0xDE, 0x4F, 0x00,
    // R = 4.0
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00,
    0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0, 0x1F,
    0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0,
    0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF,
    0xFF, 0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x30, 0xFF,
    0xFF, 0x4F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0xFF,
    0xB0, 0xD1, 0x0F, 0x00, 0x00, 0x00, 0x0F, 0xD1, 0xB0,
    0x1F, 0xF0, 0xD1, 0x4F, 0x40, 0x4F, 0xD1, 0xF0, 0x1F,
    0x00, 0x1F, 0xB0, 0xFF, 0xFF, 0xFF, 0xB0, 0x1F, 0x00,
};

// clang-format on

constexpr float kMaskRadii[6] = {1.5f, 2.0f, 2.5f, 3.0f, 3.5f, 4.0f};
constexpr int kMaskOffsets[6] = {0, 16, 41, 77, 126, 190};

constexpr float kPi = 3.1415927f;
constexpr double kTwoPi = 6.2831854820251465, kHalfPi = 1.5707963705062866;

// The midpoint circle of radius R draws, at step x, the largest y with
// y (y - 1) < R^2 - x^2 + 1: where the walk can start anew.
int64_t midpointY(int64_t R, int64_t x) {
    const int64_t K = R * R - x * x + 1;
    if (K <= 0) return 0;
    int64_t y = (int64_t)std::sqrt((double)K) + 1;
    while (y > 0 && y * (y - 1) >= K) y--;
    while ((y + 1) * y < K) y++;
    return y;
}

// Calls fn(a, b) for each run a..b of steps x >= 1 at which a column xc +- x
// or a row yc +- x meets the clip, in order, while fn returns true: steps
// outside them draw nothing, and a huge circle is walked only where it shows.
template <class Fn>
void visibleSteps(int64_t xc, int64_t yc, const RECT& clip, bool doclip, Fn fn) {
    constexpr int64_t kAll = INT64_MAX / 4;
    if (!doclip) {
        fn((int64_t)1, kAll);
        return;
    }
    const int64_t left = clip.left, top = clip.top, right = clip.right, bottom = clip.bottom;
    std::pair<int64_t, int64_t> runs[4] = {{xc - (right - 1), xc - left},
                                           {left - xc, right - 1 - xc},
                                           {yc - (bottom - 1), yc - top},
                                           {top - yc, bottom - 1 - yc}};
    for (auto& r : runs) r.first = std::max<int64_t>(r.first, 1);
    std::sort(std::begin(runs), std::end(runs));
    int64_t a = 0, b = -1;
    for (const auto& r : runs) {
        if (r.first > r.second) continue;
        if (r.first <= b + 1) {
            b = std::max(b, r.second);
            continue;
        }
        if (a <= b && !fn(a, b)) return;
        a = r.first, b = r.second;
    }
    if (a <= b) fn(a, b);
}

}  // namespace

namespace {

// The runs of an opaque copy store the colour word: the same bytes as the
// clobber, and as the copy at full weight.
template <class C>
bool storesColourAt(int ia) {
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsClobberNoClamp>) return true;
    if constexpr (std::is_same_v<C, _RAST_CombinePixelsCopyNoClamp>) return ia == 256;
    return false;
}

}  // namespace

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedPt(const Target& t, int64_t x, int64_t y, int ia) {
    if (t.doclip && (x < t.clip.left || x >= t.clip.right || y < t.clip.top || y >= t.clip.bottom)) return;
    C::doPix((unsigned char*)(t.bits + y * t.span + x), t.r, t.g, t.b, t.a, ia);
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedHorzLine(const Target& t, int64_t y, int64_t x1, int64_t x2, int ia) {
    if (t.doclip) {
        if (y < t.clip.top || y >= t.clip.bottom) return;
        x1 = std::max<int64_t>(x1, t.clip.left), x2 = std::min<int64_t>(x2, t.clip.right - 1);
    }
    unsigned int* p = t.bits + y * t.span;
    if (storesColourAt<C>(ia)) {
        for (int64_t x = x1; x <= x2; x++) p[x] = t.word;
        return;
    }
    for (int64_t x = x1; x <= x2; x++) C::doPix((unsigned char*)(p + x), t.r, t.g, t.b, t.a, ia);
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedVertLine(const Target& t, int64_t x, int64_t y1, int64_t y2, int ia) {
    if (t.doclip) {
        if (x < t.clip.left || x >= t.clip.right) return;
        y1 = std::max<int64_t>(y1, t.clip.top), y2 = std::min<int64_t>(y2, t.clip.bottom - 1);
    }
    if (storesColourAt<C>(ia)) {
        for (int64_t y = y1; y <= y2; y++) t.bits[y * t.span + x] = t.word;
        return;
    }
    for (int64_t y = y1; y <= y2; y++) C::doPix((unsigned char*)(t.bits + y * t.span + x), t.r, t.g, t.b, t.a, ia);
}

namespace {

// The eight runs of a disc at step x, out to y along the step's columns and
// rows, each pixel once.
template <class D, class T>
void discRuns(const T& t, int64_t xc, int64_t yc, int64_t x, int64_t y, int ia) {
    D::DrawClippedVertLine(t, xc - x, yc - y, yc - x - 1, ia);
    D::DrawClippedVertLine(t, xc - x, yc + x + 1, yc + y, ia);
    D::DrawClippedHorzLine(t, yc - x, xc - y, xc - x, ia);
    D::DrawClippedHorzLine(t, yc - x, xc + x, xc + y, ia);
    D::DrawClippedHorzLine(t, yc + x, xc - y, xc - x, ia);
    D::DrawClippedHorzLine(t, yc + x, xc + x, xc + y, ia);
    D::DrawClippedVertLine(t, xc + x, yc - y, yc - x - 1, ia);
    D::DrawClippedVertLine(t, xc + x, yc + x + 1, yc + y, ia);
}

}  // namespace

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedCircle(const Target& t, float cx, float cy, float r, int ia, bool filled) {
    using D = _RAST_CircleDrawer<C>;
    const int64_t xc = truncToInt64(cx + 0.5), yc = truncToInt64(cy + 0.5), R = truncToInt64(r + 0.5);
    if (filled) {
        DrawClippedVertLine(t, xc, yc - R, yc - 1, ia);
        DrawClippedVertLine(t, xc, yc + 1, yc + R, ia);
        DrawClippedHorzLine(t, yc, xc - R, xc + R, ia);
    } else {
        DrawClippedPt(t, xc, yc - R, ia);
        DrawClippedPt(t, xc + R, yc, ia);
        DrawClippedPt(t, xc, yc + R, ia);
        DrawClippedPt(t, xc - R, yc, ia);
    }
    if (R < 2) return;
    visibleSteps(xc, yc, t.clip, t.doclip, [&](int64_t from, int64_t to) {
        // The walk's state before step from, as the walk from 0 would hold it.
        int64_t x = from - 1, y = x ? midpointY(R, x) : R;
        if (x && !(x + 1 < y)) return false;
        int64_t err = x * x + 2 * x + y * y - y - R * R;
        for (;;) {
            if (err >= 0) y--, err -= 2 * y;
            x++;
            if (filled) {
                discRuns<D>(t, xc, yc, x, y, ia);
            } else {
                DrawClippedPt(t, xc - x, yc - y, ia);
                DrawClippedPt(t, xc - x, yc + y, ia);
                DrawClippedPt(t, xc + x, yc - y, ia);
                DrawClippedPt(t, xc + x, yc + y, ia);
                if (x != y) {
                    DrawClippedPt(t, xc - y, yc - x, ia);
                    DrawClippedPt(t, xc - y, yc + x, ia);
                    DrawClippedPt(t, xc + y, yc - x, ia);
                    DrawClippedPt(t, xc + y, yc + x, ia);
                }
            }
            err += 2 * x + 1;
            if (!(x + 1 < y)) return false;
            if (x >= to) return true;
        }
    });
}

template <class C>
void _RAST_CircleDrawer<C>::DrawClippedCircleAA(const Target& t, float cx, float cy, float r, int ia, bool filled) {
    using D = _RAST_CircleDrawer<C>;
    const int64_t xc = truncToInt64(cx + 0.5), yc = truncToInt64(cy + 0.5), R = truncToInt64(r);
    const int fa = truncToInt(((double)r - std::floor(r)) * ia);
    DrawClippedPt(t, xc, yc - R - 1, fa);
    DrawClippedPt(t, xc, yc + R + 1, fa);
    DrawClippedPt(t, xc - R - 1, yc, fa);
    DrawClippedPt(t, xc + R + 1, yc, fa);
    if (filled) {
        DrawClippedVertLine(t, xc, yc - R, yc - 1, ia);
        DrawClippedVertLine(t, xc, yc + 1, yc + R, ia);
        DrawClippedHorzLine(t, yc, xc - R, xc + R, ia);
    } else {
        DrawClippedPt(t, xc, yc - R, ia - fa);
        DrawClippedPt(t, xc + R, yc, ia - fa);
        DrawClippedPt(t, xc, yc + R, ia - fa);
        DrawClippedPt(t, xc - R, yc, ia - fa);
    }
    const float rr = r * r;
    // The exact height of the circle over step x, and the step where the walk
    // turns (the root is not a number past the circle: 0 steps).
    auto height = [rr](int64_t x) { return std::sqrt((double)rr - (double)(x * x)); };
    auto turn = [](double yd) { return truncToInt64(yd + 0.5); };
    if (turn(height(1)) < 1) return;
    visibleSteps(xc, yc, t.clip, t.doclip, [&](int64_t from, int64_t to) {
        int64_t x = from;
        double yd = height(x);
        int64_t n = turn(yd);
        if (x > 1 && !(x - 1 < n)) return false;
        for (;;) {
            const int64_t yi = (int64_t)yd;
            const int f = truncToInt((yd - std::floor(yd)) * ia);
            DrawClippedPt(t, xc - x, yc - yi - 1, f);
            DrawClippedPt(t, xc - x, yc + yi + 1, f);
            DrawClippedPt(t, xc + x, yc - yi - 1, f);
            DrawClippedPt(t, xc + x, yc + yi + 1, f);
            if (x != n) {
                DrawClippedPt(t, xc - yi - 1, yc - x, f);
                DrawClippedPt(t, xc + yi + 1, yc - x, f);
                DrawClippedPt(t, xc - yi - 1, yc + x, f);
                DrawClippedPt(t, xc + yi + 1, yc + x, f);
            }
            if (filled) {
                discRuns<D>(t, xc, yc, x, yi, ia);
            } else {
                DrawClippedPt(t, xc - yi, yc - x, ia - f);
                DrawClippedPt(t, xc + yi, yc - x, ia - f);
                DrawClippedPt(t, xc - x, yc + yi, ia - f);
                DrawClippedPt(t, xc + x, yc + yi, ia - f);
                if (x != n) {
                    DrawClippedPt(t, xc - x, yc - yi, ia - f);
                    DrawClippedPt(t, xc + x, yc - yi, ia - f);
                    DrawClippedPt(t, xc - yi, yc + x, ia - f);
                    DrawClippedPt(t, xc + yi, yc + x, ia - f);
                }
            }
            yd = height(x + 1);
            const int64_t next = turn(yd);
            if (!(x < next)) return false;
            x++, n = next;
            if (x > to) return true;
        }
    });
}

void __DrawCircleClipped(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, int ia, bool aa,
                         bool filled, int mode, const RECT* clip, bool doclip) {
    rast_detail::Surface s(dest);
    if (s.empty() || !clip || !rast_detail::coordsOK(cx, cy, r)) return;
    // The clip never reaches past the bitmap, and a figure said to lie
    // inside is taken at its word only when it does.
    const RECT c{std::max<int32_t>(clip->left, 0), std::max<int32_t>(clip->top, 0),
                 std::min<int32_t>(clip->right, s.width), std::min<int32_t>(clip->bottom, s.height)};
    if (c.left >= c.right || c.top >= c.bottom) return;
    if (!doclip) {
        const double reach = std::fabs((double)r) + 3;
        doclip = !(cx - reach >= 0 && cy - reach >= 0 && cx + reach < s.width && cy + reach < s.height);
    }
    rast_detail::figureCombiner(mode, ia, !aa, !aa, [&]<class C>() {
        const typename _RAST_CircleDrawer<C>::Target t{s.bits,
                                                       s.span,
                                                       c,
                                                       doclip,
                                                       (int)RAST_PixelRed(colour),
                                                       (int)RAST_PixelGreen(colour),
                                                       (int)RAST_PixelBlue(colour),
                                                       (int)RAST_PixelAlpha(colour),
                                                       colour};
        if (aa)
            _RAST_CircleDrawer<C>::DrawClippedCircleAA(t, cx, cy, r, ia, filled);
        else
            _RAST_CircleDrawer<C>::DrawClippedCircle(t, cx, cy, r, ia, filled);
    });
}

namespace {

// The whole circle or disc, in computed form.
void wholeCircle(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, float alpha, int mode, bool aa,
                 bool filled) {
    rast_detail::Surface s(dest);
    if (s.empty()) return;
    if (s.flipped) cy = (float)(s.height - 1) - cy;
    const int ia = RAST_AlphaToInt(alpha);
    if (!ia || r < 0) return;
    const RECT clip{0, 0, s.width, s.height};
    const bool doclip = !(cx - r - 2 >= 0 && cy - r - 2 >= 0 && cx + r + 2 < s.width && cy + r + 2 < s.height);
    __DrawCircleClipped(dest, cx, cy, r, colour, ia, aa, filled, mode, &clip, doclip);
}

}  // namespace

void RAST_Circle(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, float alpha, int mode, bool aa) {
    if (!dest || !rast_detail::coordsOK(cx, cy, r)) return;
    for (int i = 0; i < 6; i++) {
        if (r != kMaskRadii[i]) continue;
        const float R = kMaskRadii[i];
        const int side = (int)(2 * R) + 1;
        RAST_DrawGlyph(dest, (int)(cx - R), (int)(cy - R), colour, (aa ? kAAMasks : kPlainMasks) + kMaskOffsets[i],
                       side, side, alpha, mode);
        return;
    }
    wholeCircle(dest, cx, cy, r, colour, alpha, mode, aa, false);
}

void RAST_FillCircle(RAST_IBitmap* dest, float cx, float cy, float r, unsigned int colour, float alpha, int mode,
                     bool aa) {
    if (!dest || !rast_detail::coordsOK(cx, cy, r)) return;
    wholeCircle(dest, cx, cy, r, colour, alpha, mode, aa, true);
}

void RAST_Arc(RAST_IBitmap* dest, float cx, float cy, float r, float minAngle, float maxAngle, unsigned int colour,
              float alpha, int mode, bool aa) {
    if (!dest || !rast_detail::coordsOK(cx, cy, r) || !std::isfinite(minAngle) || !std::isfinite(maxAngle)) return;
    if (r < 0) return;
    const int H_ = dest->getHeight();
    const bool flipped = dest->isFlipped();
    const float cyd = flipped ? (float)(H_ - 1) - cy : cy;
    const float a1 = flipped ? kPi - minAngle : minAngle, a2 = flipped ? kPi - maxAngle : maxAngle;
    float hi = std::max(a1, a2), lo = std::min(a1, a2);
    if (hi - lo >= 6.2831855f) return RAST_Circle(dest, cx, cy, r, colour, alpha, mode, aa);
    if (hi >= 6.2831855f) {
        const float t = (float)std::fmod((double)hi, kTwoPi);
        lo = lo - (hi - t), hi = t;
    } else if (lo <= -6.2831855f) {
        const float t = (float)std::fmod((double)lo, kTwoPi);
        hi = hi - (lo - t), lo = t;
    }
    const int ia = RAST_AlphaToInt(alpha);
    if (!ia) return;
    const int w = dest->getWidth(), h = H_;
    const double L = lo + kTwoPi, H = hi + kTwoPi;
    if (!(H > L)) return;
    auto px = [&](double a) { return truncToInt64(std::sin(a) * r + cx + 0.5); };
    auto py = [&](double a) { return truncToInt64(cyd - std::cos(a) * r + 0.5); };
    int64_t x0 = px(L), y0 = py(L);
    double q = L - std::fmod(L, kHalfPi);
    // Each quarter turn the arc crosses is the circle clipped to the box of
    // that quarter's chord; a span below 2 pi crosses at most five.
    for (int quarter = 0; quarter < 6; quarter++) {
        q += kHalfPi;
        const double e = std::min(H, q);
        const int64_t x1 = px(e), y1 = py(e);
        // An end on the centre's column or row is left to one quarter only.
        const int64_t xr = std::max(x0, x1) + ((float)std::max(x0, x1) == cx ? 0 : 1);
        const int64_t yb = std::max(y0, y1) + ((float)std::max(y0, y1) == cyd ? 0 : 1);
        using rast_detail::clampToInt;
        const RECT clip{clampToInt(std::max<int64_t>(std::min(x0, x1), 0)),
                        clampToInt(std::max<int64_t>(std::min(y0, y1), 0)), clampToInt(std::min<int64_t>(xr, w)),
                        clampToInt(std::min<int64_t>(yb, h))};
        __DrawCircleClipped(dest, cx, cyd, r, colour, ia, aa, false, mode, &clip, true);
        x0 = x1, y0 = y1;
        if (!(H > e)) break;
    }
}

void RAST_RoundRect(RAST_IBitmap* dest, float x, float y, float w, float h, int cornerradius, unsigned int colour,
                    float alpha, int mode, bool aa) {
    if (!rast_detail::coordsOK(x, y, w, h)) return;
    if (cornerradius > 0) {
        float c = (float)cornerradius;
        if (c > w * 0.5) c = (float)(w * 0.5);
        if (c > h * 0.5) c = (float)(h * 0.5);
        c = std::floor(c);
        if (c >= 2.0f) {
            const float X1 = x + c, X2 = x + w - c, Y1 = y + c, Y2 = y + h - c;
            auto line = [&](float x1, float y1, float x2, float y2) {
                RAST_Line(dest, truncToInt(x1), truncToInt(y1), truncToInt(x2), truncToInt(y2), colour, alpha, mode,
                          aa);
            };
            // The bottom edge starts a pixel further left than the top, the
            // left edge a pixel higher than the right.
            line(X1, y, X2, y);
            line(X1 - 1, y + h, X2, y + h);
            line(x + w, Y1, x + w, Y2);
            line(x, Y1 - 1, x, Y2);
            RAST_Arc(dest, X1, Y1, c, -1.5707964f, 0, colour, alpha, mode, aa);
            RAST_Arc(dest, X2, Y1, c, 0, 1.5707964f, colour, alpha, mode, aa);
            RAST_Arc(dest, X2, Y2, c, 1.5707964f, kPi, colour, alpha, mode, aa);
            RAST_Arc(dest, X1, Y2, c, kPi, 4.712389f, colour, alpha, mode, aa);
            return;
        }
    }
    RAST_DrawRect(dest, truncToInt(x), truncToInt(y), truncToInt(w), truncToInt(h), colour, alpha, mode);
}
