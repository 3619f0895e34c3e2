#include "raster/RAST_RotatedBlit.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <utility>

#include "raster/RAST_Bilinear.h"
#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Combine.h"
#include "raster/RAST_CombineRows.h"
#include "raster/RAST_Geometry.h"

namespace {

// The stepping routine's walk over the destination: each row's positions
// that fall inside the clip are sampled into runs of whole words, and each
// run goes to the combiner's row at once (the pixels outside are left as
// they are).
using RunSink = void (*)(const void* ctx, unsigned char* d, const unsigned int* px, int n);

struct Walk {
    const unsigned char* src;
    ptrdiff_t span;
    int left, top, right, bottom;  // usable columns and rows, inclusive
    bool bilinear;
    bool registers;  // whether interior pixels may go through the register form

    const unsigned int* row(int y) const { return (const unsigned int*)(src + (ptrdiff_t)y * span); }

    // Positions (16.16) truncate toward zero, so -65535..-1 address column
    // or row 0.
    bool inside(int32_t s, int32_t t) const {
        const int x = s / 65536, y = t / 65536;
        return x >= left && x <= right && y >= top && y <= bottom;
    }
    // The pixels i in [first, end) of a row of w from (s, t) by (ds, dt)
    // whose positions lie in [sFrom, sTo] x [tFrom, tTo]; false, and none,
    // where a position of the row would leave the 32-bit range.
    static bool range(int32_t s, int32_t t, int32_t ds, int32_t dt, int w, int64_t sFrom, int64_t sTo, int64_t tFrom,
                      int64_t tTo, int& first, int& end) {
        int64_t lo = 0, hi = w;  // [lo, hi)
        bool fits = true;
        auto keep = [&](int64_t p, int64_t d, int64_t from, int64_t to) {  // from <= p + i d <= to
            const int64_t last = p + (w - 1) * d;
            if (last < INT32_MIN || last > INT32_MAX) {
                fits = false, hi = 0;
                return;
            }
            if (d == 0) {
                if (p < from || p > to) hi = 0;
                return;
            }
            auto floorDiv = [](int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); };
            auto ceilDiv = [&](int64_t a, int64_t b) { return -floorDiv(-a, b); };
            const int64_t a = d > 0 ? ceilDiv(from - p, d) : ceilDiv(to - p, d);
            const int64_t b = d > 0 ? floorDiv(to - p, d) : floorDiv(from - p, d);
            lo = std::max(lo, a), hi = std::min(hi, b + 1);
        };
        keep(s, ds, sFrom, sTo);
        keep(t, dt, tFrom, tTo);
        first = (int)std::min<int64_t>(lo, w), end = (int)std::max<int64_t>(hi, first);
        return fits;
    }
    // The pixels whose positions are inside the clip (see inside).
    bool insideRange(int32_t s, int32_t t, int32_t ds, int32_t dt, int w, int& first, int& end) const {
        auto from = [](int edge) { return edge ? (int64_t)edge * 65536 : -65535; };
        return range(s, t, ds, dt, w, from(left), (int64_t)right * 65536 + 65535, from(top),
                     (int64_t)bottom * 65536 + 65535, first, end);
    }
    // The pixels whose positions are interior with non-negative columns and
    // rows, as the register form takes them.
    void interiorRange(int32_t s, int32_t t, int32_t ds, int32_t dt, int w, int& first, int& end) const {
        range(s, t, ds, dt, w, (int64_t)left * 65536, (int64_t)right * 65536 - 1, (int64_t)top * 65536,
              (int64_t)bottom * 65536 - 1, first, end);
    }
    // The sample at position (s, t), false outside the clip.
    bool sample(int32_t s, int32_t t, unsigned int& p) const {
        if (!inside(s, t)) return false;
        const int x = s / 65536, y = t / 65536;
        if (!bilinear)
            p = row(y)[x];
        else
            p = rast_bilinear::Sample(row(y), row(y < bottom ? y + 1 : y), x, (unsigned)s & 0xFFFFu,
                                      (unsigned)t & 0xFFFFu, x == right, y == bottom);
        return true;
    }
};

constexpr int kRun = 256;  // pixels a run holds at most

#if defined(__SSE2__)
// The register form takes interior pixels a batch at a time: their taps by
// byte offset from the source's pixel (0, 0), and their fractions.
struct Batch {
    alignas(32) int32_t off[8], fx[8], fy[8];
};

// A batch of four on 128-bit registers.
struct NarrowBatch {
    static constexpr int N = 4;
    static void run(const Walk& k, const Batch& b, unsigned int* out) {
        const __m128i fx = _mm_load_si128(reinterpret_cast<const __m128i*>(b.fx));
        const __m128i fy = _mm_load_si128(reinterpret_cast<const __m128i*>(b.fy));
        const rast_bilinear::OffsetTaps taps{k.src, b.off, k.span};
        const __m128i down = rast_bilinear::DownPairsY(fx, fy);
        // Row fractions of 0 are rare on a turned row: four without one
        // take the shorter sum.
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(fy, _mm_setzero_si128())) == 0) {
            // 16-bit lanes: 32768 - fy wraps within the low half.
            const __m128i across =
                _mm_xor_si128(_mm_or_si128(_mm_sub_epi16(_mm_set1_epi32(32768), fy), _mm_slli_epi32(fy, 16)),
                              _mm_set1_epi32((int)0x80000000u));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out), rast_bilinear::Bilerp4<false, true>(taps, across, down));
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                             rast_bilinear::Bilerp4<false>(taps, rast_bilinear::AcrossPairs(fy), down));
        }
    }
};

#if defined(RAST_BILINEAR_AVX2)
// Eight fractions, stored as 128-bit halves: a 256-bit load across both
// could not take them from the stores and would wait for both.
__attribute__((target("avx2"))) inline __m256i halves(const int32_t* p) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(p))),
                                   _mm_load_si128(reinterpret_cast<const __m128i*>(p + 4)), 1);
}

// A batch of eight on 256-bit registers: a call into code built for AVX2.
struct WideBatch {
    static constexpr int N = 8;
    __attribute__((target("avx2"), noinline)) static void run(const Walk& k, const Batch& b, unsigned int* out) {
        const __m256i fx = halves(b.fx), fy = halves(b.fy);
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(out),
            rast_bilinear::Bilerp8Avx2(rast_bilinear::OffsetTaps{k.src, b.off, k.span},
                                       rast_bilinear::AcrossPairsAvx2(fx), rast_bilinear::DownPairsAvx2(fx, fy)));
    }
};
#endif

// Interior bilinear pixels [0, n) from (us, ut) by (ds, dt), every one of
// them interior (Walk::interiorRange), B::N at a time; returns the pixels
// done. A position's column and row, both below 32768, sit in the two
// halves of a lane, so that one multiply-add makes the tap's offset.
template <class B>
int interiorRun(const Walk& k, uint32_t us, uint32_t ut, uint32_t ds, uint32_t dt, unsigned int* out, int n) {
    const __m128i steps = _mm_setr_epi32(0, (int)ds, (int)(2 * ds), (int)(3 * ds));
    const __m128i stept = _mm_setr_epi32(0, (int)dt, (int)(2 * dt), (int)(3 * dt));
    const __m128i fourS = _mm_set1_epi32((int)(4 * ds)), fourT = _mm_set1_epi32((int)(4 * dt));
    const __m128i rowCol = _mm_set1_epi32((int)(((uint32_t)k.span << 16) | 4u));
    const __m128i low = _mm_set1_epi32(0xFFFF), high = _mm_set1_epi32((int)0xFFFF0000u);
    __m128i s = _mm_add_epi32(_mm_set1_epi32((int)us), steps), t = _mm_add_epi32(_mm_set1_epi32((int)ut), stept);
    Batch b;
    int i = 0;
    for (; i + B::N <= n; i += B::N) {
        for (int q = 0; q < B::N; q += 4, s = _mm_add_epi32(s, fourS), t = _mm_add_epi32(t, fourT)) {
            const __m128i rc = _mm_or_si128(_mm_and_si128(t, high), _mm_srli_epi32(s, 16));
            _mm_store_si128(reinterpret_cast<__m128i*>(b.off + q), _mm_madd_epi16(rc, rowCol));
            _mm_store_si128(reinterpret_cast<__m128i*>(b.fx + q), _mm_and_si128(s, low));
            _mm_store_si128(reinterpret_cast<__m128i*>(b.fy + q), _mm_and_si128(t, low));
        }
        B::run(k, b, out + i);
    }
    return i;
}

// Interior pixels through the register form.
int interior(const Walk& k, uint32_t us, uint32_t ut, uint32_t ds, uint32_t dt, unsigned int* out, int n) {
    int done = 0;
#if defined(RAST_BILINEAR_AVX2)
    if (rast_rows::wideRegisters()) done = interiorRun<WideBatch>(k, us, ut, ds, dt, out, n);
#endif
    return done + interiorRun<NarrowBatch>(k, us + (uint32_t)done * ds, ut + (uint32_t)done * dt, ds, dt, out + done,
                                           n - done);
}
#else
int interior(const Walk&, uint32_t, uint32_t, uint32_t, uint32_t, unsigned int*, int) { return 0; }
#endif

// The bytes [first, last) of rows r0..r1 of p, span apart, from byte from to
// byte to of each row.
using Bytes = std::pair<uintptr_t, uintptr_t>;
Bytes rowBytes(const unsigned char* p, ptrdiff_t span, int r0, int r1, ptrdiff_t from, ptrdiff_t to) {
    const ptrdiff_t a = (ptrdiff_t)r0 * span, b = (ptrdiff_t)r1 * span;
    return {(uintptr_t)(p + std::min(a, b) + from), (uintptr_t)(p + std::max(a, b) + to)};
}
bool overlap(Bytes x, Bytes y) { return x.first < y.second && y.first < x.second; }

// The stepping routine with the combiner's rows behind sink.
void walkRows(unsigned char* dest, const unsigned char* src, int w, int h, int srcx, int srcy, int dsdx, int dtdx,
              int dsdy, int dtdy, int d2s, int d2t, int clipLeft, int clipTop, int clipRight, int clipBottom,
              int srcspan, int destspan, int filter, RunSink sink, const void* ctx) {
    // An empty clip would send the edge rules outside the source.
    if (w < 1 || h < 1 || clipLeft >= clipRight || clipTop >= clipBottom) return;
    const bool bilinear = filter == RAST_MODE_FILTER_BILINEAR;
    // The register form takes 16.16 positions of non-negative columns and
    // rows below 32768, and a span that fits 16 bits.
    const bool registers = bilinear && clipLeft >= 0 && clipTop >= 0 && clipRight <= 32768 && clipBottom <= 32768 &&
                           srcspan >= -32768 && srcspan <= 32767;
    const Walk k{src, srcspan, clipLeft, clipTop, clipRight - 1, clipBottom - 1, bilinear, registers};
    // A destination that shares memory with the source sees each pixel
    // written before the next is sampled, as one pixel at a time would.
    const bool shared =
        overlap(rowBytes(dest, destspan, 0, h - 1, 0, (ptrdiff_t)w * 4),
                rowBytes(src, srcspan, clipTop, clipBottom - 1, (ptrdiff_t)clipLeft * 4, (ptrdiff_t)clipRight * 4));
    const int most = shared ? 1 : kRun;
    unsigned int run[kRun];
    // Positions step in 32-bit arithmetic, wrapping as the fixed point does.
    uint32_t rowS = (uint32_t)srcx, rowT = (uint32_t)srcy, ds = (uint32_t)dsdx, dt = (uint32_t)dtdx;
    for (int j = 0; j < h; j++, dest += destspan) {
        uint32_t us = rowS, ut = rowT;
        // The row's interior pixels, [first, end), go through the register
        // form; the pixels around them one by one.
        int first = 0, end = 0;
        if (k.registers && !shared) k.interiorRange((int32_t)us, (int32_t)ut, (int32_t)ds, (int32_t)dt, w, first, end);
        // Pixels outside the clip are left as they are: the row's positions
        // inside it are one range, unless the row wraps.
        int i = 0, stop = w;
        if (k.insideRange((int32_t)us, (int32_t)ut, (int32_t)ds, (int32_t)dt, w, i, stop))
            us += (uint32_t)i * ds, ut += (uint32_t)i * dt;
        else
            i = 0, stop = w;
        while (i < stop) {
            while (i < stop && !k.inside((int32_t)us, (int32_t)ut)) i++, us += ds, ut += dt;
            const int start = i;
            int n = 0;
            while (i < stop && n < most) {
                if (i >= first && i < end) {
                    const int done = interior(k, us, ut, ds, dt, run + n, std::min(end - i, kRun - n));
                    n += done, i += done, us += (uint32_t)done * ds, ut += (uint32_t)done * dt;
                    if (i == stop || n == kRun) break;
                }
                if (!k.sample((int32_t)us, (int32_t)ut, run[n])) break;
                n++, i++, us += ds, ut += dt;
            }
            if (n) sink(ctx, dest + (ptrdiff_t)start * 4, run, n);
        }
        ds += (uint32_t)d2s, dt += (uint32_t)d2t;
        rowS += (uint32_t)dsdy, rowT += (uint32_t)dtdy;
    }
}

}  // namespace

void _RAST_Template_Blit3::deltaBlit(unsigned char* dest, const unsigned char* src, int w, int h, int srcx, int srcy,
                                     int dsdx, int dtdx, int dsdy, int dtdy, int d2s, int d2t, int clipLeft,
                                     int clipTop, int clipRight, int clipBottom, int srcspan, int destspan, int alpha,
                                     int filter, RAST_CombineFn combiner) {
    if (!combiner) return;
    const struct Ctx {
        RAST_CombineFn combiner;
        int alpha;
    } ctx{combiner, alpha};
    auto each = [](const void* c, unsigned char* d, const unsigned int* px, int n) {
        const Ctx& x = *(const Ctx*)c;
        for (int i = 0; i < n; i++, d += 4)
            x.combiner(d, (int)RAST_PixelRed(px[i]), (int)RAST_PixelGreen(px[i]), (int)RAST_PixelBlue(px[i]),
                       (int)RAST_PixelAlpha(px[i]), x.alpha);
    };
    walkRows(dest, src, w, h, srcx, srcy, dsdx, dtdx, dsdy, dtdy, d2s, d2t, clipLeft, clipTop, clipRight, clipBottom,
             srcspan, destspan, filter, each, &ctx);
}

namespace {

// A run through the combiner's row at the integer opacity *alpha.
template <class C>
void combineRun(const void* alpha, unsigned char* d, const unsigned int* px, int n) {
    rast_rows::combineArea<C>({d, (const unsigned char*)px, n, 1, 0, 0}, *(const int*)alpha);
}

bool finite(std::initializer_list<double> v) {
    for (double d : v)
        if (!std::isfinite(d)) return false;
    return true;
}

// What both warps hand to the stepping routine, before the destination is
// clipped: the destination rectangle (not mirrored), the start position,
// the deltas and the clip rectangle in source pixels.
struct Warp {
    int64_t x, y, w, h;
    float sx, sy;
    double dsdx, dtdx, dsdy, dtdy, d2s, d2t;
    double clip[4];
};

// The source rectangle, or with clipToSrc false the whole source bitmap.
void sourceClip(Warp& wp, RAST_IBitmap* src, bool clipToSrc, float srcx, float srcy, float srcw, float srch) {
    const double W = src->getWidth(), H = src->getHeight();
    if (clipToSrc) {
        wp.clip[0] = std::max<double>(srcx, 0), wp.clip[1] = std::max<double>(srcy, 0);
        wp.clip[2] = std::min<double>(srcx + srcw, W), wp.clip[3] = std::min<double>(srcy + srch, H);
    } else {
        wp.clip[0] = 0, wp.clip[1] = 0, wp.clip[2] = W, wp.clip[3] = H;
    }
}

void runWarp(RAST_IBitmap* dest, RAST_IBitmap* src, Warp wp, float alpha, int mode) {
    if (wp.x < 0) {
        wp.sx -= (float)((double)wp.x * wp.dsdx);
        wp.sy -= (float)((double)wp.x * wp.dtdx);
        wp.w += wp.x, wp.x = 0;
    }
    if (wp.y < 0) {
        wp.sx -= (float)((double)wp.y * wp.dsdy);
        wp.sy -= (float)((double)wp.y * wp.dtdy);
        wp.h += wp.y, wp.y = 0;
    }
    rast_detail::Surface d(dest), s(src);
    if (d.empty() || s.empty()) return;
    wp.w = std::min<int64_t>(wp.w, d.width - wp.x);
    wp.h = std::min<int64_t>(wp.h, d.height - wp.y);
    if (wp.w < 1 || wp.h < 1) return;

    const int ia = RAST_AlphaToInt(alpha);
    RunSink rows = nullptr;
    if (!ia || !RAST_DispatchCombiner(mode, ia, [&]<class C>() { rows = &combineRun<C>; })) return;

    // 16.16 positions and deltas; a warp that leaves the 32-bit range at its
    // very start draws nothing.
    const double fixed[8] = {wp.sx * 65536.0,   wp.sy * 65536.0,   wp.dsdx * 65536.0, wp.dtdx * 65536.0,
                             wp.dsdy * 65536.0, wp.dtdy * 65536.0, wp.d2s * 65536.0,  wp.d2t * 65536.0};
    int f[8];
    for (int i = 0; i < 8; i++) {
        if (!(fixed[i] > (double)INT_MIN - 1 && fixed[i] < (double)INT_MAX + 1)) return;
        f[i] = (int)fixed[i];
    }
    // The clip rectangle held inside the source, whole pixels toward zero.
    auto clipTo = [](double v, int size) { return (int)std::clamp(v, 0.0, (double)size); };
    const int cl = clipTo(wp.clip[0], s.width), ct = clipTo(wp.clip[1], s.height);
    const int cr = clipTo(wp.clip[2], s.width), cb = clipTo(wp.clip[3], s.height);
    walkRows(d.at((int)wp.x, (int)wp.y), s.at(0, 0), (int)wp.w, (int)wp.h, f[0], f[1], f[2], f[3], f[4], f[5], f[6],
             f[7], cl, ct, cr, cb, (int)s.stride(), (int)d.stride(), mode & RAST_MODE_FILTER_MASK, rows, &ia);
}

}  // namespace

void RAST_RotatedBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                      float srcy, float srcw, float srch, float angle, bool clipToSrc, float alpha, int mode,
                      float xoff, float yoff) {
    if (!dest || !src || !dstw || !dsth || !finite({srcx, srcy, srcw, srch, angle, alpha, xoff, yoff})) return;
    Warp wp;
    sourceClip(wp, src, clipToSrc, srcx, srcy, srcw, srch);
    wp.x = dstx, wp.y = dsty, wp.w = dstw, wp.h = dsth;
    if (wp.w < 0) wp.x += wp.w, wp.w = -wp.w, srcx += srcw, srcw = -srcw;
    if (wp.h < 0) wp.y += wp.h, wp.h = -wp.h, srcy += srch, srch = -srch;
    const double xs = (float)(srcw / (float)wp.w), ys = (float)(srch / (float)wp.h);
    const double c = std::cos((double)angle), s = std::sin((double)angle);
    wp.dsdx = xs * c, wp.dtdx = -(ys * s), wp.dsdy = xs * s, wp.dtdy = ys * c, wp.d2s = wp.d2t = 0;
    // The destination's centre samples the source rectangle's centre moved by
    // the offsets; each pixel samples at its top-left corner.
    const double W = (double)wp.w, H = (double)wp.h;
    wp.sx = srcx - (float)(((H * wp.dsdy + W * wp.dsdx) - srcw) * 0.5 - xoff);
    wp.sy = srcy - (float)(((H * wp.dtdy - W * (ys * s)) - srch) * 0.5 - yoff);
    runWarp(dest, src, wp, alpha, mode);
}

void RAST_DeltaBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth, float srcx,
                    float srcy, float srcw, float srch, double dsdx, double dtdx, double dsdy, double dtdy, double d2s,
                    double d2t, bool clipToSrc, float alpha, int mode) {
    if (!dest || !src || !dstw || !dsth || !finite({srcx, srcy, srcw, srch, dsdx, dtdx, dsdy, dtdy, d2s, d2t, alpha}))
        return;
    Warp wp;
    sourceClip(wp, src, clipToSrc, srcx, srcy, srcw, srch);
    wp.x = dstx, wp.y = dsty, wp.w = dstw, wp.h = dsth;
    wp.sx = srcx, wp.sy = srcy;
    if (wp.w < 0) wp.x += wp.w, wp.w = -wp.w, wp.sx = srcx + srcw;
    if (wp.h < 0) wp.y += wp.h, wp.h = -wp.h, wp.sy = srcy + srch;
    wp.dsdx = dsdx, wp.dtdx = dtdx, wp.dsdy = dsdy, wp.dtdy = dtdy, wp.d2s = d2s, wp.d2t = d2t;
    runWarp(dest, src, wp, alpha, mode);
}

template <class T>
void RAST_TransformBlit_class<T>::blit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                                       const T* pts, int meshw, int meshh, float alpha, int mode) {
    if (!dest || !src || !pts || dstw < 1 || dsth < 1 || meshw < 2 || meshh < 2) return;
    const double colStep = (float)((float)dstw / (float)(meshw - 1));
    const double rowStep = (float)((float)dsth / (float)(meshh - 1));
    auto P = [&](int r, int c, int k) { return pts[((size_t)r * meshw + c) * 2 + k]; };
    double ry = dsty;
    int64_t top = dsty;
    for (int r = 0; r < meshh - 1; r++) {
        ry += rowStep;
        const int64_t nextTop = (int64_t)ry;
        if (nextTop == top) continue;
        const int64_t h = nextTop - top;
        const double invH = 1.0 / (double)h;
        double rx = dstx;
        int64_t left = dstx;
        for (int c = 1; c < meshw; c++) {
            rx += colStep;
            const int64_t nextLeft = (int64_t)rx;
            if (nextLeft == left) continue;
            const double invW = 1.0 / (double)(nextLeft - left);
            // Across the cell's top (P01 - P00), down its left (P10 - P00), and
            // across its bottom (P11 - P10, in the mesh's own precision).
            const double ax = (double)P(r, c, 0) - P(r, c - 1, 0), ay = (double)P(r, c, 1) - P(r, c - 1, 1);
            const double bx = (double)(T)(P(r + 1, c, 0) - P(r + 1, c - 1, 0));
            const double by = (double)(T)(P(r + 1, c, 1) - P(r + 1, c - 1, 1));
            const double dx = (double)P(r + 1, c - 1, 0) - P(r, c - 1, 0),
                         dy = (double)P(r + 1, c - 1, 1) - P(r, c - 1, 1);
            using rast_detail::clampToInt;
            RAST_DeltaBlit(dest, src, clampToInt(left), clampToInt(top), clampToInt(nextLeft - left), clampToInt(h),
                           (float)P(r, c - 1, 0), (float)P(r, c - 1, 1), (float)ax, (float)ay, ax * invW, ay * invW,
                           dx * invH, dy * invH, (bx * invW - ax * invW) * invH, (by * invW - ay * invW) * invH, false,
                           alpha, mode);
            left = nextLeft;
        }
        top = nextTop;
    }
}

template struct RAST_TransformBlit_class<float>;
template struct RAST_TransformBlit_class<double>;

void RAST_TransformBlit(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                        const float* srcpoints, int meshw, int meshh, float alpha, int mode) {
    RAST_TransformBlit_class<float>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, meshw, meshh, alpha, mode);
}

void RAST_TransformBlit2(RAST_IBitmap* dest, RAST_IBitmap* src, int dstx, int dsty, int dstw, int dsth,
                         const double* srcpoints, int meshw, int meshh, float alpha, int mode) {
    RAST_TransformBlit_class<double>::blit(dest, src, dstx, dsty, dstw, dsth, srcpoints, meshw, meshh, alpha, mode);
}
