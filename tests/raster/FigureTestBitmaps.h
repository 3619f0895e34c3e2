// Bitmaps and expectations for the figure tests: a bitmap ringed by canary
// pixels, and a check that draws a figure in all six colour modes, plain and
// flipped, against the weights it should combine at each pixel.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_Combine.h"

namespace figtest {

constexpr unsigned int kCanary = 0x5AC3A53Cu;
constexpr int kGuard = 3;

// A w x h bitmap inside a band of kGuard canary pixels on every side.
class GuardedBitmap : public RAST_IBitmap {
public:
    GuardedBitmap(int w, int h, bool flipped = false)
        : m_w(w),
          m_h(h),
          m_span(w + 2 * kGuard + 1),
          m_flipped(flipped),
          m_px((size_t)m_span * (h + 2 * kGuard), kCanary) {
        paint();
    }
    unsigned int* getBits() override { return m_px.data() + kGuard * m_span + kGuard; }
    int getWidth() override { return m_w; }
    int getHeight() override { return m_h; }
    int getRowSpan() override { return m_span; }
    bool isFlipped() override { return m_flipped; }
    bool resize(int, int) override { return false; }

    // Picture coordinates; stored rows with stored = true.
    unsigned int& at(int x, int y, bool stored = false) {
        return getBits()[(ptrdiff_t)(m_flipped && !stored ? m_h - 1 - y : y) * m_span + x];
    }
    // Paper whose every pixel and channel differs from its neighbours'.
    void paint(unsigned seed = 1) {
        for (int y = 0; y < m_h; y++)
            for (int x = 0; x < m_w; x++)
                at(x, y, true) = RAST_MakePixel(37 * x + 11 * y + (int)seed, 91 + 13 * x - 7 * y, 23 * y + 5 * x + 60,
                                                200 - 9 * x + 17 * y);
    }
    bool guardIntact() const {
        for (int y = 0; y < m_h + 2 * kGuard; y++)
            for (int x = 0; x < m_span; x++) {
                const bool inside = y >= kGuard && y < kGuard + m_h && x >= kGuard && x < kGuard + m_w;
                if (!inside && m_px[(size_t)y * m_span + x] != kCanary) return false;
            }
        return true;
    }

private:
    int m_w, m_h, m_span;
    bool m_flipped;
    std::vector<unsigned int> m_px;
};

// The weights a figure combines at each pixel, in order.
using Weights = std::map<std::pair<int, int>, std::vector<int>>;

inline void combine(unsigned int& p, int mode, unsigned int c, int w) {
    unsigned char* d = (unsigned char*)&p;
    const int r = (int)RAST_PixelRed(c), g = (int)RAST_PixelGreen(c), b = (int)RAST_PixelBlue(c),
              a = (int)RAST_PixelAlpha(c);
    switch (mode & 0xFF) {
        case 0:
            return _RAST_CombinePixelsCopyNoClamp::doPix(d, r, g, b, a, w);
        case 1:
            return _RAST_CombinePixelsAdd::doPix(d, r, g, b, a, w);
        case 2:
            return _RAST_CombinePixelsColorDodge::doPix(d, r, g, b, a, w);
        case 3:
            return _RAST_CombinePixelsMulNoClamp::doPix(d, r, g, b, a, w);
        case 4:
            return _RAST_CombinePixelsOverlay::doPix(d, r, g, b, a, w);
        default:
            return _RAST_CombinePixelsHSVAdjust::doPix(d, r, g, b, a, w);
    }
}

constexpr unsigned int kInk = 0x70C04A9Du;  // alpha 0x9D, red 0x4A, green 0xC0, blue 0x70
constexpr float kAlpha = 0.9f;              // weight 230: no mode takes a shortcut there

// Draws the figure into a w x h bitmap in each colour mode, plain and
// flipped, and compares every pixel with the paper combined at the weights
// that weightsAt(ia, flipped) names (picture rows, or stored rows with
// stored).
using Draw = std::function<void(RAST_IBitmap*, float alpha, int mode)>;
using WeightsAt = std::function<Weights(int ia, bool flipped)>;
inline void expectInAllModes(const std::string& name, int w, int h, const Draw& draw, const WeightsAt& weightsAt,
                             bool stored = false) {
    for (int mode = 0; mode <= 5; mode++)
        for (bool flipped : {false, true}) {
            const Weights weights = weightsAt(RAST_AlphaToInt(kAlpha), flipped);
            GuardedBitmap got(w, h, flipped), want(w, h, flipped);
            draw(&got, kAlpha, mode);
            for (const auto& [xy, ws] : weights)
                for (int wgt : ws) combine(want.at(xy.first, xy.second, stored), mode, kInk, wgt);
            int wrong = 0;
            for (int y = 0; y < h; y++)
                for (int x = 0; x < w; x++)
                    if (got.at(x, y) != want.at(x, y) && wrong++ < 4)
                        ADD_FAILURE() << name << " mode " << mode << (flipped ? " flipped" : "") << " at " << x << ","
                                      << y << std::hex << ": " << got.at(x, y) << " want " << want.at(x, y);
            EXPECT_TRUE(got.guardIntact()) << name << " mode " << mode << (flipped ? " flipped" : "");
        }
}

// Two drawings give the same pixels in every mode, plain and flipped.
inline void expectSame(const std::string& name, const Draw& a, const Draw& b, int w = 14, int h = 11) {
    for (int mode = 0; mode <= 5; mode++)
        for (bool flipped : {false, true}) {
            GuardedBitmap x(w, h, flipped), y(w, h, flipped);
            a(&x, kAlpha, mode);
            b(&y, kAlpha, mode);
            for (int r = 0; r < h; r++)
                for (int c = 0; c < w; c++)
                    ASSERT_EQ(x.at(c, r), y.at(c, r)) << name << " mode " << mode << " at " << c << "," << r;
            EXPECT_TRUE(x.guardIntact()) << name;
        }
}

// Pixels at one weight.
inline Weights at(int w, std::vector<std::pair<int, int>> pixels, Weights into = {}) {
    for (auto p : pixels) into[p].push_back(w);
    return into;
}

}  // namespace figtest
