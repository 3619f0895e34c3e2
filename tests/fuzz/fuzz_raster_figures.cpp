// Any bytes as a run of calls to the raster figures, clippers and stepped
// blits, with coordinates that include NaN, infinities, 1e30 and the int
// extremes, any opacity and any mode word, on a small odd-sized bitmap
// ringed by canary pixels (plain or flipped): no crash, no hang, and no
// pixel written outside the bitmap.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "raster/RAST_Bezier.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_RotatedBlit.h"

namespace {

constexpr unsigned kCanary = 0x5AC3A53Cu;
constexpr int kW = 13, kH = 11, kGuard = 4;

class Guarded : public RAST_IBitmap {
public:
    Guarded(int w, int h, bool flipped, int guard)
        : m_w(w),
          m_h(h),
          m_g(guard),
          m_span(w + 2 * guard),
          m_flipped(flipped),
          m_px((size_t)m_span * (h + 2 * guard), kCanary) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) getBits()[y * m_span + x] = (unsigned)(y * 977 + x * 131) * 2654435761u;
    }
    unsigned int* getBits() override { return m_px.data() + m_g * m_span + m_g; }
    int getWidth() override { return m_w; }
    int getHeight() override { return m_h; }
    int getRowSpan() override { return m_span; }
    bool isFlipped() override { return m_flipped; }
    bool resize(int, int) override { return false; }
    bool intact() const {
        for (int y = 0; y < m_h + 2 * m_g; y++)
            for (int x = 0; x < m_span; x++) {
                const bool inside = y >= m_g && y < m_g + m_h && x >= m_g && x < m_g + m_w;
                if (!inside && m_px[(size_t)y * m_span + x] != kCanary) return false;
            }
        return true;
    }

private:
    int m_w, m_h, m_g, m_span;
    bool m_flipped;
    std::vector<unsigned int> m_px;
};

// Reads the input as the calls' arguments, zeros once it runs out.
class Input {
public:
    Input(const uint8_t* d, size_t n) : m_d(d), m_n(n) {}
    bool more() const { return m_at < m_n; }
    uint8_t byte() { return m_at < m_n ? m_d[m_at++] : 0; }
    uint32_t word() {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++) v = v << 8 | byte();
        return v;
    }
    // Mostly near the bitmap; sometimes a value from the far edges of float.
    float coord() {
        static const float special[] = {std::numeric_limits<float>::quiet_NaN(),
                                        std::numeric_limits<float>::infinity(),
                                        -std::numeric_limits<float>::infinity(),
                                        1e30f,
                                        -1e30f,
                                        2147483648.0f,
                                        -2147483648.0f,
                                        1073741824.0f,
                                        std::numeric_limits<float>::max(),
                                        std::numeric_limits<float>::denorm_min()};
        const uint8_t k = byte();
        if (k < 10) return special[k];
        if (k < 40) {
            const uint32_t w = word();
            float f;
            memcpy(&f, &w, 4);
            return f;
        }
        return (float)(int8_t)byte() + (float)(k & 3) * 0.25f;
    }
    int integer() {
        const uint8_t k = byte();
        if (k == 0) return std::numeric_limits<int>::min();
        if (k == 1) return std::numeric_limits<int>::max();
        if (k < 20) return (int)word();
        return (int8_t)byte();
    }
    float alpha() {
        const uint8_t k = byte();
        return k < 12 ? coord() : (float)k / 200.0f;
    }
    int mode() {
        const uint8_t k = byte();
        return k < 32 ? (int)word() : (k & 7) | (k & 8 ? 0x100 : 0) | (k & 16 ? 0x10000 : 0);
    }

private:
    const uint8_t* m_d;
    size_t m_n, m_at = 0;
};

void require(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input in(data, size);
    const uint8_t setup = in.byte();
    Guarded dest(kW, kH, setup & 1, kGuard);
    // The blit sources sit alone in their own blocks, so a read past them is
    // caught; one is flipped, and one has no pixels at all.
    Guarded src(7, 5, setup & 2, 0), empty(0, 0, false, 0);
    for (int calls = 0; in.more() && calls < 64; calls++) {
        RAST_IBitmap* d = &dest;
        const unsigned colour = in.word();
        switch (in.byte() % 24) {
            case 0:
                RAST_Line(d, in.integer(), in.integer(), in.integer(), in.integer(), colour, in.alpha(), in.mode(),
                          in.byte() & 1);
                break;
            case 1:
                RAST_FLine(d, in.coord(), in.coord(), in.coord(), in.coord(), colour, in.alpha(), in.mode(),
                           in.byte() & 1);
                break;
            case 2:
                RAST_DashedLine(d, in.integer(), in.integer(), in.integer(), in.integer(), in.integer(), in.integer(),
                                colour, in.alpha(), in.mode(), false);
                break;
            case 3: {
                int a = in.integer(), b = in.integer(), c = in.integer(), e = in.integer();
                ClipLine(a, b, c, e, in.integer(), in.integer());
                RAST_ClipLine(a, b, c, e, in.integer(), in.integer(), in.integer(), in.integer());
                float f = in.coord(), g = in.coord(), h = in.coord(), k = in.coord();
                if (ClipFLine(f, g, h, k, kW, kH)) require(f >= 0 && f < kW - 1 && g >= 0 && g < kH - 1);
                RAST_ClipFLine(f, g, h, k, in.coord(), in.coord(), in.coord(), in.coord());
                break;
            }
            case 4:
                RAST_DrawRect(d, in.integer(), in.integer(), in.integer(), in.integer(), colour, in.alpha(), in.mode());
                break;
            case 5:
                RAST_BorderedRect(d, in.integer(), in.integer(), in.integer(), in.integer(), colour, in.word(),
                                  in.alpha(), in.mode());
                break;
            case 6:
                RAST_Circle(d, in.coord(), in.coord(), in.coord(), colour, in.alpha(), in.mode(), in.byte() & 1);
                break;
            case 7:
                RAST_FillCircle(d, in.coord(), in.coord(), in.coord(), colour, in.alpha(), in.mode(), in.byte() & 1);
                break;
            case 8:
                RAST_Arc(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), colour, in.alpha(), in.mode(),
                         in.byte() & 1);
                break;
            case 9:
                RAST_RoundRect(d, in.coord(), in.coord(), in.coord(), in.coord(), in.integer(), colour, in.alpha(),
                               in.mode(), in.byte() & 1);
                break;
            case 10: {
                const RECT clip{in.integer(), in.integer(), in.integer(), in.integer()};
                __DrawCircleClipped(d, in.coord(), in.coord(), in.coord(), colour, in.integer(), in.byte() & 1,
                                    in.byte() & 1, in.mode(), &clip, in.byte() & 1);
                break;
            }
            case 11:
                RAST_DrawQBezier(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), colour,
                                 in.alpha(), in.mode(), in.byte() & 1, in.coord());
                break;
            case 12:
                RAST_DrawCBezier(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                 in.coord(), colour, in.alpha(), in.mode(), in.byte() & 1, in.coord());
                break;
            case 13:
                RAST_FillCBezier(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                 in.coord(), in.integer(), colour, in.alpha(), in.mode(), in.coord());
                break;
            case 14:
                RAST_FillCBezierX(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                  in.coord(), in.integer(), colour, in.alpha(), in.mode(), in.coord());
                break;
            case 15: {
                double t = 0, lo = 0, hi = 0;
                float next = 0, slope = 0;
                RAST_Bezier_GetY(in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                 &t);
                RAST_CBezier_GetY(in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                  in.coord(), in.coord(), &next, &slope, &lo, &hi);
                RAST_CubicWalk w;
                const int n = CBezPrep(d, in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                       in.coord(), in.coord(), in.coord(), in.byte() & 1, w);
                require(n >= 0 && n <= kRastMaxCurvePieces);
                break;
            }
            case 16:
                DoBezierFillSegment(d, in.integer(), in.integer(), in.integer(), in.integer(), in.integer(), colour,
                                    in.alpha(), in.mode());
                break;
            case 17:
                DoBezierFillSegmentX(d, in.integer(), in.integer(), in.integer(), in.integer(), in.integer(), colour,
                                     in.alpha(), in.mode());
                break;
            case 18:
                RAST_RotatedBlit(d, in.byte() & 1 ? &empty : &src, in.integer(), in.integer(), in.integer(),
                                 in.integer(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                                 in.byte() & 1, in.alpha(), in.mode(), in.coord(), in.coord());
                break;
            case 19:
                RAST_DeltaBlit(d, &src, in.integer(), in.integer(), in.integer(), in.integer(), in.coord(), in.coord(),
                               in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(), in.coord(),
                               in.coord(), in.byte() & 1, in.alpha(), in.mode());
                break;
            case 20:
            case 21: {
                // The mesh holds as many points as the grid asks for.
                const int cols = in.byte() % 6, rows = in.byte() % 6;
                std::vector<float> f((size_t)cols * rows * 2);
                std::vector<double> g(f.size());
                for (size_t i = 0; i < f.size(); i++) g[i] = f[i] = in.coord();
                const int x = in.integer(), y = in.integer(), w = in.integer(), h = in.integer();
                if (in.byte() & 1)
                    RAST_TransformBlit(d, &src, x, y, w, h, in.byte() & 1 ? nullptr : f.data(), cols, rows, in.alpha(),
                                       in.mode());
                else
                    RAST_TransformBlit2(d, &src, x, y, w, h, g.data(), cols, rows, in.alpha(), in.mode());
                break;
            }
            default: {
                // The stepping routine itself, on its contract: a rectangle of
                // the destination and a clip inside the source.
                const int w = in.byte() % (kW + 1), h = in.byte() % (kH + 1);
                const int cl = in.byte() % 8, ct = in.byte() % 6, cr = in.byte() % 8, cb = in.byte() % 6;
                auto fn = [](unsigned char* p, int r, int g, int b, int a, int alpha) {
                    _RAST_CombinePixelsCopyNoClamp::doPix(p, r, g, b, a, alpha);
                };
                _RAST_Template_Blit3::deltaBlit(
                    (unsigned char*)dest.getBits(), (const unsigned char*)src.getBits(), std::min(w, kW),
                    std::min(h, kH), in.integer(), in.integer(), in.integer(), in.integer(), in.integer(), in.integer(),
                    in.integer(), in.integer(), std::min(cl, 7), std::min(ct, 5), std::min(cr, 7), std::min(cb, 5),
                    src.getRowSpan() * 4, dest.getRowSpan() * 4, in.integer(), in.byte() & 1 ? 0x100 : 0, fn);
                break;
            }
        }
        require(dest.intact());
    }
    return 0;
}
