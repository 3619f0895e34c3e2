// The raster core against its peers: memcpy (the limit for copies) and
// pixman, the compositor under X and cairo. Every case runs ours and its
// peers on the same sizes and contents, in interleaved rounds (see
// ratio_table.h); the table gives nanoseconds per pixel and our time over
// each peer's, and under each group how far each peer's output lay from
// ours when both were first run once on the same panel. A missed target or
// a check beyond its tolerance makes the exit status 1.
#include <immintrin.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/ratio_table.h"
#include "bench/bench_raster_shapes.h"
#include "bench/wide_rows.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_CombineRows.h"
#include "raster/RAST_Rect.h"

namespace {

constexpr int kPanelW = 1100, kPanelH = 700;
constexpr int kKnob = 75, kFrames = 200;

// A straight-alpha raster pixel as pixman's premultiplied a8r8g8b8 word.
uint32_t toPremultiplied(unsigned int p) {
    unsigned a = RAST_PixelAlpha(p);
    auto m = [a](unsigned c) { return (c * a + 127) / 255; };
    return (a << 24) | (m(RAST_PixelRed(p)) << 16) | (m(RAST_PixelGreen(p)) << 8) | m(RAST_PixelBlue(p));
}

// One picture in both forms: a memory bitmap and a pixman image of the
// same size and content (premultiplied for pixman).
struct Picture {
    RAST_MemBitmap bm;
    std::vector<uint32_t> pm;
    pixman_image_t* img = nullptr;

    Picture(int w, int h) : bm(w, h, 4), pm((size_t)w * h) {}
    ~Picture() {
        if (img) pixman_image_unref(img);
    }
    int w() { return bm.getWidth(); }
    int h() { return bm.getHeight(); }
    unsigned int& at(int x, int y) { return bm.getBits()[(size_t)y * bm.getRowSpan() + x]; }
    // Call after filling bm.
    void finish(pixman_format_code_t fmt = PIXMAN_a8r8g8b8) {
        sync();
        img = pixman_image_create_bits(fmt, w(), h(), pm.data(), w() * 4);
    }
    void sync() {
        for (int y = 0; y < h(); y++)
            for (int x = 0; x < w(); x++) pm[(size_t)y * w() + x] = toPremultiplied(at(x, y));
    }
};

std::mt19937 g_rng(1234);

void paintOpaque(Picture& p) {
    for (int y = 0; y < p.h(); y++)
        for (int x = 0; x < p.w(); x++) p.at(x, y) = RAST_MakePixel(255, x * 7, y * 3, (x + y) & 255);
}

void fillOpaque(Picture& p) {
    paintOpaque(p);
    p.finish();
}

void fillTranslucent(Picture& p) {
    for (int y = 0; y < p.h(); y++)
        for (int x = 0; x < p.w(); x++) {
            unsigned v = (unsigned)g_rng();
            p.at(x, y) = RAST_MakePixel(1 + (int)(v % 254), (int)(v >> 8), (int)(v >> 16), (int)(v >> 24));
        }
    p.finish();
}

// A strip of knob frames: a shadow ring of low alpha, an opaque disc with an
// anti-aliased rim and a pointer turning from frame to frame, clear corners.
void fillKnobStrip(Picture& p) {
    const double c = (kKnob - 1) / 2.0;
    for (int f = 0; f < kFrames; f++) {
        double ang = f * 2 * M_PI / kFrames;
        for (int y = 0; y < kKnob; y++)
            for (int x = 0; x < kKnob; x++) {
                double dx = x - c, dy = y - c, r = std::sqrt(dx * dx + dy * dy);
                int a;
                if (r < 28)
                    a = 255;
                else if (r < 30)
                    a = (int)(255 * (30 - r) / 2);
                else if (r < 36)
                    a = (int)(60 * (36 - r) / 6);
                else
                    a = 0;
                double along = dx * std::cos(ang) + dy * std::sin(ang),
                       across = -dx * std::sin(ang) + dy * std::cos(ang);
                int v = along > 0 && along < 26 && std::fabs(across) < 2 ? 240 : 60 + (int)(r * 2);
                p.at(x, f * kKnob + y) = RAST_MakePixel(a, v, v, v + 10);
            }
    }
    p.finish();
}

// Positions of the 200 small blits on the panel.
std::vector<std::pair<int, int>> knobPositions() {
    std::vector<std::pair<int, int>> pos;
    for (int i = 0; i < kFrames; i++) pos.push_back({(i % 14) * 78 + 5, (i / 14 % 9) * 77 + 3});
    return pos;
}

struct Setup {
    Picture panel{kPanelW, kPanelH};   // destination
    Picture opaque{kPanelW, kPanelH};  // an opaque background
    Picture translucent{kPanelW, kPanelH};
    Picture knobs{kKnob, kKnob* kFrames};
    std::vector<std::pair<int, int>> pos = knobPositions();
    pixman_image_t* opaqueX = nullptr;  // the opaque background read without its alpha
    // The translucent picture's straight colours as opaque pixels: what our
    // add (which ignores the source's alpha) adds.
    std::vector<uint32_t> translucentColours = std::vector<uint32_t>((size_t)kPanelW * kPanelH);
    pixman_image_t* translucentColoursImg = nullptr;

    Setup() {
        fillOpaque(panel);
        fillOpaque(opaque);
        fillTranslucent(translucent);
        fillKnobStrip(knobs);
        opaqueX = pixman_image_create_bits(PIXMAN_x8r8g8b8, kPanelW, kPanelH, opaque.pm.data(), kPanelW * 4);
        for (int y = 0; y < kPanelH; y++)
            for (int x = 0; x < kPanelW; x++) {
                const unsigned int c = translucent.at(x, y);
                translucentColours[(size_t)y * kPanelW + x] =
                    0xFF000000u | RAST_PixelRed(c) << 16 | RAST_PixelGreen(c) << 8 | RAST_PixelBlue(c);
            }
        translucentColoursImg =
            pixman_image_create_bits(PIXMAN_a8r8g8b8, kPanelW, kPanelH, translucentColours.data(), kPanelW * 4);
    }
    ~Setup() {
        pixman_image_unref(opaqueX);
        pixman_image_unref(translucentColoursImg);
    }
};

Setup& S() {
    static Setup s;
    return s;
}

pixman_image_t* solidMask(double alpha) {
    pixman_color_t c = {0, 0, 0, (uint16_t)std::lround(alpha * 65535)};
    return pixman_image_create_solid_fill(&c);
}

// ---- the cases ----

const double kPanelPx = (double)kPanelW * kPanelH, kKnobsPx = (double)kKnob * kKnob * kFrames;

// Full-panel blits.
void rastPanel(RAST_IBitmap* src, float alpha, int mode) { RAST_Blit(&S().panel.bm, src, 0, 0, nullptr, alpha, mode); }
void pixmanPanel(pixman_op_t op, pixman_image_t* src, pixman_image_t* mask) {
    pixman_image_composite32(op, src, mask, S().panel.img, 0, 0, 0, 0, 0, 0, kPanelW, kPanelH);
}

// The 200 knob frames.
void rastKnobs(float alpha, int mode) {
    Setup& s = S();
    for (int i = 0; i < kFrames; i++)
        RAST_Blit(&s.panel.bm, &s.knobs.bm, s.pos[i].first, s.pos[i].second, 0, i * kKnob, kKnob, kKnob, alpha, mode);
}
void pixmanKnobs(pixman_op_t op) {
    Setup& s = S();
    for (int i = 0; i < kFrames; i++)
        pixman_image_composite32(op, s.knobs.img, nullptr, s.panel.img, 0, i * kKnob, 0, 0, s.pos[i].first,
                                 s.pos[i].second, kKnob, kKnob);
}

void memcpyPanel() {
    Setup& s = S();
    memcpy(s.panel.bm.getBits(), s.opaque.bm.getBits(), (size_t)kPanelW * kPanelH * 4);
}
void memcpyKnobs() {
    Setup& s = S();
    const int dspan = s.panel.bm.getRowSpan(), sspan = s.knobs.bm.getRowSpan();
    unsigned int* dbits = s.panel.bm.getBits();
    const unsigned int* sbits = s.knobs.bm.getBits();
    for (int i = 0; i < kFrames; i++)
        for (int y = 0; y < kKnob; y++)
            memcpy(dbits + (size_t)(s.pos[i].second + y) * dspan + s.pos[i].first,
                   sbits + (size_t)(i * kKnob + y) * sspan, kKnob * 4);
}

// One colour for every fill, ours and the peers': opaque red 0xC0, green
// 0x80, blue 0x40 (pixman's word 0xFFC08040).
constexpr unsigned int kFill = RAST_MakePixel(255, 0xC0, 0x80, 0x40);

// 300 small fills, as the panel's value displays and outlines make them.
constexpr int kFillW = 60, kFillH = 16, kFills = 300;
const double kFillsPx = (double)kFillW * kFillH * kFills;
void rastFills(float alpha) {
    for (int i = 0; i < kFills; i++)
        RAST_FillRect(&S().panel.bm, (i % 17) * 64, (i / 17) * 20 % 680, kFillW, kFillH, kFill, alpha, 0);
}
void pixmanFills(double alpha) {
    pixman_color_t c = {(uint16_t)(0xC0C0 * alpha), (uint16_t)(0x8080 * alpha), (uint16_t)(0x4040 * alpha),
                        (uint16_t)(0xFFFF * alpha)};
    pixman_image_t* solid = pixman_image_create_solid_fill(&c);
    for (int i = 0; i < kFills; i++)
        pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, S().panel.img, 0, 0, 0, 0, (i % 17) * 64,
                                 (i / 17) * 20 % 680, kFillW, kFillH);
    pixman_image_unref(solid);
}
void pixmanFillCalls() {
    for (int i = 0; i < kFills; i++)
        pixman_fill(S().panel.pm.data(), kPanelW, 32, (i % 17) * 64, (i / 17) * 20 % 680, kFillW, kFillH, 0xFFC08040u);
}

// The same 300 fills as nothing but whole-register stores in one loop, with
// no call, clipping or row set-up around them: the cost of writing those
// bytes on this machine, for reading the fill's ratio. 60 pixels a row are
// seven 32-byte stores and one of 16 (or fifteen of 16 bytes).
__attribute__((target("avx2"))) void storeFillsWide() {
    const __m256i v = _mm256_set1_epi32((int)kFill);
    unsigned int* bits = S().panel.bm.getBits();
    for (int i = 0; i < kFills; i++) {
        unsigned int* p = bits + (size_t)((i / 17) * 20 % 680) * kPanelW + (i % 17) * 64;
        for (int y = 0; y < kFillH; y++, p += kPanelW) {
            for (int x = 0; x + 8 <= kFillW; x += 8) _mm256_storeu_si256((__m256i*)(p + x), v);
            _mm_storeu_si128((__m128i*)(p + kFillW - 4), _mm256_castsi256_si128(v));
        }
    }
}
void storeFills() {
    if (rast_rows::wideRegisters()) return storeFillsWide();
    const __m128i v = _mm_set1_epi32((int)kFill);
    unsigned int* bits = S().panel.bm.getBits();
    for (int i = 0; i < kFills; i++) {
        unsigned int* p = bits + (size_t)((i / 17) * 20 % 680) * kPanelW + (i % 17) * 64;
        for (int y = 0; y < kFillH; y++, p += kPanelW)
            for (int x = 0; x < kFillW; x += 4) _mm_storeu_si128((__m128i*)(p + x), v);
    }
}

// The whole panel as nothing but stores in one loop: what writing its bytes
// costs, for reading the full fill's ratio where pixman_fill runs in two
// modes. On 128-bit rows the fill's long rows take the string store, which
// the processor widens itself: that store alone.
__attribute__((target("avx2"))) void storePanelWide() {
    const __m256i v = _mm256_set1_epi32((int)kFill);
    unsigned int* p = S().panel.bm.getBits();
    for (size_t i = 0; i < (size_t)kPanelW * kPanelH; i += 8) _mm256_storeu_si256((__m256i*)(p + i), v);
}
void storePanel() {
    if (rast_rows::wideRegisters()) return storePanelWide();
    unsigned int* p = S().panel.bm.getBits();
    size_t n = (size_t)kPanelW * kPanelH;
    asm volatile("rep stosl" : "+D"(p), "+c"(n) : "a"(kFill) : "memory");
}

// The add's own loads, saturating adds and stores over the panel in one
// loop, with no call or row set-up: what a read-modify-write of these bytes
// costs on this machine, beside memcpy, which reads only the source.
__attribute__((target("avx2"))) void addBytesWide() {
    auto* d = reinterpret_cast<unsigned char*>(S().panel.bm.getBits());
    const auto* s = reinterpret_cast<const unsigned char*>(S().translucent.bm.getBits());
    for (size_t i = 0; i + 32 <= (size_t)kPanelW * kPanelH * 4; i += 32) {
        const __m256i v =
            _mm256_adds_epu8(_mm256_loadu_si256((const __m256i*)(d + i)), _mm256_loadu_si256((const __m256i*)(s + i)));
        _mm256_storeu_si256((__m256i*)(d + i), v);
    }
}
void addBytes() {
    if (rast_rows::wideRegisters()) return addBytesWide();
    auto* d = reinterpret_cast<unsigned char*>(S().panel.bm.getBits());
    const auto* s = reinterpret_cast<const unsigned char*>(S().translucent.bm.getBits());
    for (size_t i = 0; i + 16 <= (size_t)kPanelW * kPanelH * 4; i += 16)
        _mm_storeu_si128((__m128i*)(d + i), _mm_adds_epu8(_mm_loadu_si128((const __m128i*)(d + i)),
                                                          _mm_loadu_si128((const __m128i*)(s + i))));
}

pixman_image_t* g_mask05;
pixman_image_t* g_mask06;

using hvbench::Agreement;
using hvbench::Case;
using hvbench::Group;

// Where a case leaves the panel it draws: in our bitmap or in pixman's
// premultiplied words.
enum class Out { Ours, Pixman };

// The panel after a case drew it, as pixman's words (premultiplied
// a8r8g8b8) and, for ours, our own pixels as they are.
std::vector<uint32_t> panelWords(Out out) {
    Picture& p = S().panel;
    if (out == Out::Pixman) return p.pm;
    std::vector<uint32_t> v((size_t)kPanelW * kPanelH);
    for (int y = 0; y < kPanelH; y++)
        for (int x = 0; x < kPanelW; x++) v[(size_t)y * kPanelW + x] = p.at(x, y);
    return v;
}

int channelDifference(uint32_t a, uint32_t b, int channels) {
    int worst = 0;
    for (int i = 0; i < channels; i++)
        worst = std::max(worst, std::abs((int)(a >> 8 * i & 255) - (int)(b >> 8 * i & 255)));
    return worst;
}

// Ours and the peer each drawn once on the same fresh panel: the largest
// difference of a channel, in 1/255. Where the peer's result is opaque its
// colours are compared, since the panel is opaque on screen and each
// library keeps an opaque destination's alpha by its own rule; elsewhere
// the premultiplied words with their alpha.
Agreement agree(const std::function<void()>& ours, const std::function<void()>& peer, Out peerOut, int tolerance) {
    Picture& p = S().panel;
    auto drawn = [&](const std::function<void()>& run, Out out) {
        paintOpaque(p);
        p.sync();
        run();
        return panelWords(out);
    };
    const std::vector<uint32_t> a = drawn(ours, Out::Ours), b = drawn(peer, peerOut);
    int worst = 0;
    for (size_t i = 0; i < a.size(); i++) {
        const uint32_t theirs = peerOut == Out::Pixman ? b[i] : toPremultiplied(b[i]);
        const unsigned int mine = a[i];
        if (theirs >> 24 == 255) {
            const uint32_t colour = RAST_PixelRed(mine) << 16 | RAST_PixelGreen(mine) << 8 | RAST_PixelBlue(mine);
            worst = std::max(worst, channelDifference(colour, theirs, 3));
        } else {
            worst = std::max(worst, channelDifference(toPremultiplied(mine), theirs, 4));
        }
    }
    paintOpaque(p);
    p.sync();
    return {(double)worst, (double)tolerance,
            "/255: the largest channel difference (colours where the result is opaque)"};
}

// A group of ours against peers on the panel, each peer checked against
// ours before the timing (a negative tolerance: a floor, not checked). The
// tolerances: none where both copy or fill; 2/255 for each translucent
// blend, where we weigh straight colours in 1/256 and pixman premultiplied
// ones in 1/255 (the 200 knob frames stand on 126 places, so some pixels
// take two blends: 4).
struct Peer {
    const char* name;
    std::function<void()> run;
    double target;
    Out out;
    int tolerance;
};
Group versus(const char* title, double px, const std::function<void()>& ours, const std::vector<Peer>& peers) {
    Group g{title, "px", {{"rast", px, ours}}};
    for (const Peer& p : peers) {
        Case c{p.name, px, p.run, p.target};
        if (p.tolerance >= 0) c.check = [=] { return agree(ours, p.run, p.out, p.tolerance); };
        g.cases.push_back(c);
    }
    return g;
}

// On 128-bit rows pixman's own code is as wide as ours and the 256-bit lead
// is not to be had, so those rows have targets of their own, at what ours
// does at that width beside the same peer or a floor row of the same bytes,
// tight enough that a quarter's slowdown misses them.
std::vector<Group> groups(hvbench::Width wide) {
    auto solidOver = [](double alpha) {
        pixman_color_t c = {(uint16_t)(0xC0C0 * alpha), (uint16_t)(0x8080 * alpha), (uint16_t)(0x4040 * alpha),
                            (uint16_t)(0xFFFF * alpha)};
        pixman_image_t* solid = pixman_image_create_solid_fill(&c);
        pixmanPanel(PIXMAN_OP_OVER, solid, nullptr);
        pixman_image_unref(solid);
    };
    auto noted = [&](Group g, const char* narrowNote, const char* wideNote = "") {
        g.note = wide.wide ? wideNote : narrowNote;
        return g;
    };
    // The whole-panel copy and add move every byte of the panel through
    // memory: their targets stand against memcpy of the same bytes, the
    // limit for both libraries, and pixman's figure shows beside it.
    return {
        versus("copy 1.0, 1100x700", kPanelPx, [] { rastPanel(&S().opaque.bm, 1.0f, 0); },
               {{"memcpy", memcpyPanel, 1.05, Out::Ours, 0},
                {"pixman SRC", [] { pixmanPanel(PIXMAN_OP_SRC, S().opaque.img, nullptr); }, 0, Out::Pixman, 0}}),
        noted(versus("copy 1.0, 200 x 75x75", kKnobsPx, [] { rastKnobs(1.0f, 0); },
                     {{"memcpy", memcpyKnobs, wide(1.15, 0), Out::Ours, 0},
                      {"pixman SRC", [] { pixmanKnobs(PIXMAN_OP_SRC); }, 1.0, Out::Pixman, 0}}),
              "128-bit: held to pixman's own copy, 16 bytes wide as well"),
        // An opaque source copies: as pixman's time swings from run to run,
        // it is held to memcpy of the same bytes.
        noted(versus("source alpha 1.0, opaque 1100x700", kPanelPx, [] { rastPanel(&S().opaque.bm, 1.0f, 0x10000); },
                     {{"pixman OVER", [] { pixmanPanel(PIXMAN_OP_OVER, S().opaque.img, nullptr); }, 0, Out::Pixman, 0},
                      {"memcpy", memcpyPanel, 1.1, Out::Ours, 0}}),
              "128-bit: held to memcpy of the same bytes, as pixman's time swings with the load",
              "held to memcpy of the same bytes, as pixman's time swings from run to run"),
        versus("source alpha 1.0, 200 knob frames", kKnobsPx, [] { rastKnobs(1.0f, 0x10000); },
               {{"pixman OVER", [] { pixmanKnobs(PIXMAN_OP_OVER); }, wide(0.8, 0.76), Out::Pixman, 4}}),
        versus("source alpha 1.0, translucent 1100x700", kPanelPx,
               [] { rastPanel(&S().translucent.bm, 1.0f, 0x10000); },
               {{"pixman OVER", [] { pixmanPanel(PIXMAN_OP_OVER, S().translucent.img, nullptr); }, wide(1.0, 0.97),
                 Out::Pixman, 2}}),
        hvbench::heldToWideRows(
            versus("copy 0.5, 1100x700", kPanelPx, [] { rastPanel(&S().opaque.bm, 0.5f, 0); },
                   {{"pixman OVER x888 + mask 0.5", [] { pixmanPanel(PIXMAN_OP_OVER, S().opaqueX, g_mask05); }, 1.0,
                     Out::Pixman, 2}}),
            wide.wide, 1.1),
        versus("source alpha 0.6, translucent 1100x700", kPanelPx,
               [] { rastPanel(&S().translucent.bm, 0.6f, 0x10000); },
               {{"pixman OVER + mask 0.6", [] { pixmanPanel(PIXMAN_OP_OVER, S().translucent.img, g_mask06); },
                 wide(1.0, 0.76), Out::Pixman, 2}}),
        noted(versus(
                  "add 1.0, 1100x700", kPanelPx, [] { rastPanel(&S().translucent.bm, 1.0f, 1); },
                  {{"pixman ADD of the colours", [] { pixmanPanel(PIXMAN_OP_ADD, S().translucentColoursImg, nullptr); },
                    0, Out::Pixman, 0},
                   // Moves the same bytes per pixel: read the source, read and write the destination.
                   {"memcpy of the source",
                    [] { memcpy(S().panel.bm.getBits(), S().translucent.bm.getBits(), (size_t)kPanelW * kPanelH * 4); },
                    wide(1.05, 0), Out::Ours, -1},
                   {"bare loads, adds and stores", addBytes, wide(0, 1.12), Out::Ours, -1}}),
              "128-bit: held to the same 16-byte loads, adds and stores alone (memcpy may use wider registers)"),
        // No peer does our per-channel dodge (pixman's COLOR_DODGE is the
        // alpha-aware operator of another formula): the time stands alone,
        // and the 128-bit rows' beside the 256-bit ones in the same rounds.
        noted(hvbench::heldToWideRows({"colour dodge 1.0, 1100x700",
                                       "px",
                                       {{"rast", kPanelPx, [] { rastPanel(&S().translucent.bm, 1.0f, 2); }, 0, 2e-9}}},
                                      wide.wide, 1.7),
              "128-bit: held to its own 256-bit rows, as its time alone swings from run to run"),
        noted(versus("fill 1.0, 1100x700", kPanelPx,
                     [] { RAST_FillRect(&S().panel.bm, 0, 0, kPanelW, kPanelH, kFill, 1.0f, 0); },
                     {{"pixman_fill",
                       [] { pixman_fill(S().panel.pm.data(), kPanelW, 32, 0, 0, kPanelW, kPanelH, 0xFFC08040u); }, 0,
                       Out::Pixman, 0},
                      {"stores alone", storePanel, 1.12, Out::Ours, 0}}),
              "128-bit: held to the string store of the same bytes alone (pixman_fill runs in two modes)",
              "held to the stores of the same bytes alone (pixman_fill runs in two modes)"),
        noted(versus("fill 1.0, 300 x 60x16", kFillsPx, [] { rastFills(1.0f); },
                     {{"pixman_fill", pixmanFillCalls, 0, Out::Pixman, 0},
                      {"register stores alone", storeFills, wide(1.15, 1.23), Out::Ours, 0}}),
              "128-bit: held to the same 16-byte stores alone, as pixman_fill's own are",
              "held to the same 32-byte stores alone, which take as long as pixman_fill on some processors"),
        versus("fill 0.6, 1100x700", kPanelPx,
               [] { RAST_FillRect(&S().panel.bm, 0, 0, kPanelW, kPanelH, kFill, 0.6f, 0); },
               {{"pixman OVER solid", [=] { solidOver(0.6); }, wide(1.0, 1.31), Out::Pixman, 2}}),
        versus("fill 0.6, 300 x 60x16", kFillsPx, [] { rastFills(0.6f); },
               {{"pixman OVER solid", [] { pixmanFills(0.6); }, wide(1.0, 1.1), Out::Pixman, 2}}),
    };
}

}  // namespace

int main(int argc, char** argv) {
    hvbench::Options opt = hvbench::parseOptions(argc, argv);
    // Both register widths in one run, the 256-bit rows first where the
    // processor has them: a machine without AVX2 runs the 128-bit ones.
    // --narrow: the 128-bit rows only.
    std::vector<bool> widths;
    if (rast_rows::wideRegisters()) widths.push_back(true);
    widths.push_back(false);
    for (int i = 1; i < argc; i++)
        if (!strcmp(argv[i], "--narrow")) widths = {false};
    g_mask05 = solidMask(0.5);
    g_mask06 = solidMask(0.6);
    S();
    int misses = 0;
    for (bool wide : widths) {
        rast_rows::useWideRegisters(wide);
        const std::string rows =
            wide ? "; raster rows on 256-bit registers"
                 : "; raster rows on 128-bit registers, held to what they do beside peers' 16-byte code";
        misses += hvbench::runTable(("raster core against memcpy and pixman" + rows).c_str(), groups({wide}), opt);
        std::printf("\n");
        misses +=
            hvbench::runTable(("raster figures against cairo and pixman" + rows).c_str(), rasterShapeGroups(wide), opt);
        std::printf("\n");
    }
    pixman_image_unref(g_mask05);
    pixman_image_unref(g_mask06);
    if (misses) std::printf("%d figures missed their targets or checks disagreed\n", misses);
    return misses ? 1 : 0;
}
