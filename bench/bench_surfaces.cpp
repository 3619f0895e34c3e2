// Image scaling beside pixman (bilinear, nearest and a 3 x 3 box
// convolution); PNG decoding has bench_png. Prints a table of times and
// ratios (ours / peer; below 1 is faster) from interleaved rounds
// (ratio_table.h). Scaling runs on both register widths; --narrow keeps to
// 128-bit rows, whose bilinear groups also time their sums alone: the floor
// that the exact weights set; the nearest group its gathers alone.
#include <pixman.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench/ratio_table.h"
#include "bench/wide_rows.h"
#include "raster/RAST_Bilinear.h"
#include "raster/RAST_CombineRows.h"
#include "raster/RAST_ScaledBlit.h"

namespace {

// Smooth shading with a little noise and some flat areas, as panel art.
void Paint(unsigned int* px, int w, int h, int span, unsigned seed) {
    std::mt19937 rng(seed);
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            int n = (int)(rng() & 15);
            int r = (x * 255 / w + n) & 255, g = (y * 255 / h + n) & 255, b = ((x ^ y) & 64) ? 200 : 40;
            int a = (x / 16 + y / 16) % 5 == 0 ? 128 : 255;
            px[(size_t)y * span + x] = RAST_MakePixel(a, r, g, b);
        }
}

struct Scaling {
    int sw, sh, dw, dh;
    RAST_MemBitmap src, dst;
    std::vector<uint32_t> psrc, pdst;
    pixman_image_t* pixSrc = nullptr;
    pixman_image_t* pixDst = nullptr;

    Scaling(int sw, int sh, int dw, int dh) : sw(sw), sh(sh), dw(dw), dh(dh), src(sw, sh, 4), dst(dw, dh, 4) {
        Paint(src.getBits(), sw, sh, src.getRowSpan(), 1);
        psrc.resize((size_t)sw * sh);
        pdst.resize((size_t)dw * dh);
        for (int y = 0; y < sh; y++)
            for (int x = 0; x < sw; x++) {
                unsigned int p = src.getBits()[(size_t)y * src.getRowSpan() + x];
                psrc[(size_t)y * sw + x] = (p << 24) | (p >> 8);  // a8r8g8b8 words
            }
        pixSrc = pixman_image_create_bits(PIXMAN_a8r8g8b8, sw, sh, psrc.data(), sw * 4);
        pixDst = pixman_image_create_bits(PIXMAN_a8r8g8b8, dw, dh, pdst.data(), dw * 4);
        pixman_image_set_repeat(pixSrc, PIXMAN_REPEAT_PAD);
    }
    // Pixman samples at a destination pixel's centre, mapped; we at x times
    // our step. Pixman gets our step, moved so that its samples fall where
    // ours do: a bilinear one between pixel centres (which pixman puts at
    // +0.5), a nearest or box one in the pixel whose left edge it passed.
    void placeSamples(pixman_filter_t filter) {
        auto step = [](int s, int d) { return (pixman_fixed_t)((double)((float)s / (float)d) * 65536.0); };
        auto offset = [filter](pixman_fixed_t st) {
            const auto half = (pixman_fixed_t)(((int64_t)st * 0x8000 + 0x8000) >> 16);
            return (filter == PIXMAN_FILTER_BILINEAR ? pixman_fixed_1 / 2 : pixman_fixed_e) - half;
        };
        const pixman_fixed_t sx = step(sw, dw), sy = step(sh, dh);
        pixman_transform_t t;
        pixman_transform_init_scale(&t, sx, sy);
        t.matrix[0][2] = offset(sx);
        t.matrix[1][2] = offset(sy);
        pixman_image_set_transform(pixSrc, &t);
    }
    ~Scaling() {
        pixman_image_unref(pixSrc);
        pixman_image_unref(pixDst);
    }
    void ours(int mode) { RAST_ScaledBlit(&dst, &src, 0, 0, dw, dh, 0, 0, (float)sw, (float)sh, 1.0f, mode); }
#if defined(__SSE2__)
    // The 128-bit rows' sum of every interior pixel and nothing else: the
    // columns, fractions and row set-up made once, no edge pixels, no
    // combiner. Ours cannot go below it while the weights stay exact.
    void sumsAlone() {
        if (sumCols.empty()) {
            const int dx = (int)((double)((float)sw / (float)dw) * 65536.0);
            for (int i = 0, pos = 0; i < dw && (pos >> 16) < sw - 1; i++, pos += dx)
                sumCols.push_back(pos >> 16), fx.push_back((uint16_t)pos), fxb.push_back((uint16_t)(pos ^ 0x8000));
            sumCols.resize(sumCols.size() / 8 * 8);
            fx.resize(sumCols.size()), fxb.resize(sumCols.size());
        }
        const int dy = (int)((double)((float)sh / (float)dh) * 65536.0), span = src.getRowSpan();
        for (int y = 0, ypos = 0; y < dh && (ypos >> 16) < sh - 1; y++, ypos += dy) {
            const unsigned fy = (ypos & 0xFFFF) ? (unsigned)ypos & 0xFFFF : 16384;
            const unsigned int* s0 = src.getBits() + (size_t)(ypos >> 16) * span;
            const rast_bilinear::ColumnTaps taps{s0, s0 + span, sumCols.data()};
            const __m128i acrossY = _mm_set1_epi32(rast_bilinear::AcrossPairPast0(fy)), fy8 = _mm_set1_epi16((short)fy);
            unsigned int* d = dst.getBits() + (size_t)y * dst.getRowSpan();
            // Eight pixels' down pairs from one multiply, as ours.
            for (size_t i = 0; i < sumCols.size(); i += 8) {
                const rast_bilinear::DownPairs8 down = rast_bilinear::ScaledDownPairs(&fx[i], &fxb[i], fy8);
                const rast_bilinear::ColumnTaps lo{taps.s0, taps.s1, taps.col + i},
                    hi{taps.s0, taps.s1, taps.col + i + 4};
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                                 rast_bilinear::Bilerp4<true, true>(lo, acrossY, down.lo));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 4),
                                 rast_bilinear::Bilerp4<true, true>(hi, acrossY, down.hi));
            }
        }
    }
    std::vector<int> sumCols;
    std::vector<uint16_t> fx, fxb;
    // The 128-bit rows' nearest gathers and nothing else: the columns made
    // once, four loads and one store a register, and a row that takes the
    // last one's source row again copied from it, as ours does.
    void gathersAlone() {
        const int dx = (int)((double)((float)sw / (float)dw) * 65536.0);
        if (nearCols.empty())
            for (int i = 0, pos = 0; i < dw; i++, pos += dx) nearCols.push_back(pos >> 16);
        const int dy = (int)((double)((float)sh / (float)dh) * 65536.0), span = src.getRowSpan();
        const int* c = nearCols.data();
        const unsigned int* last = nullptr;
        for (int y = 0, ypos = 0, lastRow = -1; y < dh; y++, ypos += dy) {
            unsigned int* d = dst.getBits() + (size_t)y * dst.getRowSpan();
            if (ypos >> 16 == lastRow) {
                memcpy(d, last, (size_t)dw * 4);
                continue;
            }
            lastRow = ypos >> 16, last = d;
            const unsigned int* s = src.getBits() + (size_t)lastRow * span;
            int i = 0;
            for (; i + 4 <= dw; i += 4)
                _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i),
                                 _mm_setr_epi32((int)s[c[i]], (int)s[c[i + 1]], (int)s[c[i + 2]], (int)s[c[i + 3]]));
            for (; i < dw; i++) d[i] = s[c[i]];
        }
    }
    std::vector<int> nearCols;
#endif
    void pixman() { pixman_image_composite32(PIXMAN_OP_SRC, pixSrc, nullptr, pixDst, 0, 0, 0, 0, 0, 0, dw, dh); }
};

void SetBox3(pixman_image_t* img) {
    pixman_fixed_t params[2 + 9];
    params[0] = pixman_int_to_fixed(3);
    params[1] = pixman_int_to_fixed(3);
    for (int i = 0; i < 9; i++) params[2 + i] = pixman_double_to_fixed(1.0 / 9);
    pixman_image_set_filter(img, PIXMAN_FILTER_CONVOLUTION, params, 11);
}

// A scaling case kept for the whole run: its bitmaps and images are made once.
Scaling& Scale(int sw, int sh, int dw, int dh, pixman_filter_t filter) {
    static std::map<std::tuple<int, int, int, int, int>, std::unique_ptr<Scaling>> cache;
    auto& s = cache[{sw, sh, dw, dh, (int)filter}];
    if (!s) {
        s = std::make_unique<Scaling>(sw, sh, dw, dh);
        s->placeSamples(filter);
        if (filter == PIXMAN_FILTER_CONVOLUTION)
            SetBox3(s->pixSrc);
        else
            pixman_image_set_filter(s->pixSrc, filter, nullptr, 0);
    }
    return *s;
}

// Both scaled once by the timed calls, into destinations filled with
// different words first (a pixel left out disagrees): the largest
// difference of a channel inside the destination and on its outer ring of
// pixels, where pixman repeats the source's edge and a box average of ours
// leaves the taps beyond it out. The words are straight on both sides:
// pixman is handed our straight channels and filters them as they are.
struct ScaleDifference {
    int inside = 0, ring = 0;
};
ScaleDifference Compare(Scaling& s, int mode) {
    for (int y = 0; y < s.dh; y++) std::fill_n(s.dst.getBits() + (size_t)y * s.dst.getRowSpan(), s.dw, 0xA5A5A5A5u);
    std::fill(s.pdst.begin(), s.pdst.end(), 0x5A5A5A5Au);
    s.ours(mode);
    s.pixman();
    ScaleDifference worst;
    for (int y = 0; y < s.dh; y++)
        for (int x = 0; x < s.dw; x++) {
            const unsigned int p = s.dst.getBits()[(size_t)y * s.dst.getRowSpan() + x];
            const uint32_t ours = (p << 24) | (p >> 8), theirs = s.pdst[(size_t)y * s.dw + x];
            int& w = x == 0 || y == 0 || x == s.dw - 1 || y == s.dh - 1 ? worst.ring : worst.inside;
            for (int shift = 0; shift < 32; shift += 8)
                w = std::max(w, std::abs((int)(ours >> shift & 255) - (int)(theirs >> shift & 255)));
        }
    return worst;
}

// tolerance, ringTolerance: of the largest difference of a channel inside
// the destination and on its outer ring. A check reports the part that
// fails, or the inside.
// sumsAlone: also the floor of the 128-bit rows' bilinear sums.
hvbench::Group ScaleGroup(const char* title, int sw, int sh, int dw, int dh, int mode, pixman_filter_t filter,
                          const char* peer, double target, int tolerance, int ringTolerance, bool sumsAlone = false) {
    const double px = (double)dw * dh;
    hvbench::Case theirs{peer, px, [=] { Scale(sw, sh, dw, dh, filter).pixman(); }, target};
    theirs.check = [=]() -> hvbench::Agreement {
        const ScaleDifference d = Compare(Scale(sw, sh, dw, dh, filter), mode);
        if (d.ring > ringTolerance)
            return {(double)d.ring, (double)ringTolerance,
                    "/255: the largest difference of a channel on the outer ring (inside: " + std::to_string(d.inside) +
                        ")"};
        return {(double)d.inside, (double)tolerance,
                "/255: the largest difference of a channel inside (on the outer ring: " + std::to_string(d.ring) +
                    ", tolerance " + std::to_string(ringTolerance) + ")"};
    };
    hvbench::Group g{title, "px", {{"ours", px, [=] { Scale(sw, sh, dw, dh, filter).ours(mode); }}, theirs}};
#if defined(__SSE2__)
    if (sumsAlone)
        g.cases.push_back({"the 128-bit sums alone", px, [=] { Scale(sw, sh, dw, dh, filter).sumsAlone(); }});
#else
    (void)sumsAlone;
#endif
    return g;
}

}  // namespace

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    bool narrow = false;
    for (int i = 1; i < argc; i++) narrow = narrow || strcmp(argv[i], "--narrow") == 0;
    // Pixman weighs bilinear samples in 1/128, we in 1/65536: across the
    // art's steps of up to 160 levels that is 160/128 in each direction,
    // and each side rounds once; on the ring as inside. A box: pixman's nine
    // taps of 1/9 in 16.16 sum to a little over 1, and each side rounds
    // once. On a box's ring pixman repeats the edge where ours leaves the
    // taps beyond it out: at a corner ours averages 4 taps against pixman's
    // 9, a difference of at most a third of the art's largest step between
    // neighbours (160), and each side rounds once.
    constexpr int kBilinear = 4, kBox = 1, kBoxRing = 160 / 3 + 2;
    // Targets by width: on 128-bit rows pixman's scaling is as wide as ours,
    // and our weights exact to 1/65536 take three multiply-adds a pixel, so
    // those rows are held to even with pixman (bilinear), to their gathers
    // alone (nearest, whose time there swings by a fifth from run to run, and
    // at times within one, as neither pixman's nor our 256-bit rows' does)
    // or to their ratio at that width, tight enough that a quarter's slowdown
    // misses. The bilinear groups also time their sums alone there.
    auto scaling = [&](bool wide) -> std::vector<hvbench::Group> {
        const hvbench::Width w{wide};
        std::vector<hvbench::Group> groups = {
            ScaleGroup("bilinear 880x560 -> 1100x700 (1.25)", 880, 560, 1100, 700, 0x100, PIXMAN_FILTER_BILINEAR,
                       "pixman bilinear", w(0.75, 1.13), kBilinear, kBilinear, !wide),
            ScaleGroup("bilinear 1100x700 -> 825x525 (0.75)", 1100, 700, 825, 525, 0x100, PIXMAN_FILTER_BILINEAR,
                       "pixman bilinear", w(0.75, 1.13), kBilinear, kBilinear, !wide),
            ScaleGroup("bilinear knob strip 64x12864 -> 80x16080", 64, 12864, 80, 16080, 0x100, PIXMAN_FILTER_BILINEAR,
                       "pixman bilinear", w(0.95, 1.16), kBilinear, kBilinear, !wide),
            ScaleGroup("nearest 880x560 -> 1100x700", 880, 560, 1100, 700, 0, PIXMAN_FILTER_NEAREST, "pixman nearest",
                       w(0.9, 0.73), 0, 0),
            ScaleGroup("filter-down 1100x700 -> 550x350 (3x3 box)", 1100, 700, 550, 350, 0x100,
                       PIXMAN_FILTER_CONVOLUTION, "pixman 3x3 box", w(2.0, 0.5), kBox, kBoxRing),
        };
        if (!wide) {
            for (int i = 0; i < 3; i++)
                groups[i].note = "128-bit: held to even with pixman's bilinear, 16 bytes wide too, in 1/128 steps";
            groups[3].cases[1].target = 0;
            groups[3].cases.push_back({"the 128-bit gathers alone", 1100.0 * 700,
                                       [] { Scale(880, 560, 1100, 700, PIXMAN_FILTER_NEAREST).gathersAlone(); }, 1.12});
            groups[3].note = "128-bit: held to its gathers alone, whose time swings with ours from run to run";
        }
        return groups;
    };
    // Both register widths in one run, the 256-bit rows first where the
    // processor has them (--narrow: the 128-bit rows only).
    std::vector<bool> widths;
    if (rast_rows::wideRegisters()) widths.push_back(true);
    widths.push_back(false);
    if (narrow) widths = {false};
    int misses = 0;
    for (bool wide : widths) {
        rast_rows::useWideRegisters(wide);
        const std::string heading = std::string("scaling against pixman; ") +
                                    (wide ? "256-bit register rows"
                                          : "128-bit register rows, held to what they do beside pixman's 16-byte code");
        misses += hvbench::runTable(heading.c_str(), scaling(wide), opt);
        std::printf("\n");
    }
    // A figure that misses its target, or a check that finds our output
    // unlike the peer's, fails the run.
    return misses ? 1 : 0;
}
