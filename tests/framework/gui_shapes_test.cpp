// The panel's figures draw through the raster library's, in panel pixels,
// clipped to the area being redrawn.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>

#include "gui_fixture.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_RotatedBlit.h"

using namespace guitest;

namespace {

constexpr int kW = 64, kH = 40;

struct Shape : IControl {
    Shape(IUnitBase* pl, std::function<void(IGraphics*)> f) : IControl(pl, IRECT(0, 0, kW, kH)), fn(std::move(f)) {}
    bool Draw(IGraphics* g) override { return fn(g), true; }
    std::function<void(IGraphics*)> fn;
};

void paint(RAST_IBitmap* b) {
    for (int y = 0; y < b->getHeight(); y++)
        for (int x = 0; x < b->getWidth(); x++)
            b->getBits()[y * b->getRowSpan() + x] = RAST_MakePixel(255, x * 4, y * 6, (x ^ y) * 3);
}
unsigned px(RAST_IBitmap* b, int x, int y) { return b->getBits()[y * b->getRowSpan() + x]; }

// The panel after drawing fig over the painted surface with area redrawn.
std::unique_ptr<Panel> drawn(std::function<void(IGraphics*)> fig, IRECT area = IRECT(0, 0, kW, kH)) {
    auto p = std::make_unique<Panel>(kW, kH);
    p->g->AttachControl(new Shape(&p->plug, std::move(fig)));
    paint(p->g->GetDrawBitmap());
    p->g->Draw(&area);
    return p;
}

const IColor kOpaque(255, 200, 120, 40), kHalf(128, 30, 220, 90);
const float kHalfAlpha = 128 / 255.0f;

// A 9 x 7 picture with an alpha ramp.
RAST_MemBitmap* picture() {
    static RAST_MemBitmap bm(9, 7, 4);
    for (int y = 0; y < 7; y++)
        for (int x = 0; x < 9; x++) bm.getBits()[y * bm.getRowSpan() + x] = RAST_MakePixel(x * 30, 250, y * 40, 9);
    return &bm;
}

}  // namespace

TEST(GuiShapes, EachCallDrawsItsRasterFigure) {
    IBitmap pic(picture(), 9, 7);
    const IChannelBlend addHalf(IChannelBlend::kBlendAdd, 0.5f);
    const struct {
        const char* name;
        std::function<void(IGraphics*)> panel;
        std::function<void(RAST_IBitmap*)> raster;
    } cases[] = {
        {"line", [](IGraphics* g) { g->DrawLine(&kOpaque, 3.7f, 2.2f, 50.9f, 30.5f, nullptr, true); },
         [](RAST_IBitmap* b) { RAST_Line(b, 3, 2, 50, 30, kOpaque.ToWord(), 1.0f, 0x10000, true); }},
        {"translucent added line", [&](IGraphics* g) { g->DrawLine(&kHalf, 60, 1, 2, 38, &addHalf); },
         [](RAST_IBitmap* b) { RAST_Line(b, 60, 1, 2, 38, kHalf.ToWord(), 0.5f * kHalfAlpha, 0x10001, false); }},
        {"horizontal", [](IGraphics* g) { g->DrawHorizontalLine(&kOpaque, 5, 40, 2); },
         [](RAST_IBitmap* b) { RAST_Line(b, 2, 5, 40, 5, kOpaque.ToWord(), 1.0f, 0, false); }},
        {"vertical", [](IGraphics* g) { g->DrawVerticalLine(&kHalf, 7, 30, 1); },
         [](RAST_IBitmap* b) { RAST_Line(b, 7, 1, 7, 30, kHalf.ToWord(), kHalfAlpha, 0, false); }},
        {"outline", [](IGraphics* g) { g->DrawRect(&kOpaque, std::make_unique<IRECT>(4, 3, 30, 20).get()); },
         [](RAST_IBitmap* b) { RAST_DrawRect(b, 4, 3, 25, 16, kOpaque.ToWord(), 1.0f, 0); }},
        {"radial", [](IGraphics* g) { g->DrawRadialLine(&kOpaque, 30, 20, 0.6f, 4, 15, nullptr, true); },
         [](RAST_IBitmap* b) {
             const float s = std::sin(0.6f), c = std::cos(0.6f);
             RAST_Line(b, (int)(30 + 4 * s), (int)(20 - 4 * c), (int)(30 + 15 * s), (int)(20 - 15 * c),
                       kOpaque.ToWord(), 1.0f, 0, true);
         }},
        {"arc", [](IGraphics* g) { g->DrawArc(&kOpaque, 30, 20, 12.5f, 0.4f, 3.9f, nullptr, true); },
         [](RAST_IBitmap* b) { RAST_Arc(b, 30, 20, 12.5f, 0.4f, 3.9f, kOpaque.ToWord(), 1.0f, 0, true); }},
        {"circle", [](IGraphics* g) { g->DrawCircle(&kOpaque, 30, 20, 9.3f); },
         [](RAST_IBitmap* b) { RAST_Circle(b, 30, 20, 9.3f, kOpaque.ToWord(), 1.0f, 0, false); }},
        {"disc", [](IGraphics* g) { g->FillCircle(&kHalf, 30, 20, 9.3f, nullptr, true); },
         [](RAST_IBitmap* b) { RAST_FillCircle(b, 30, 20, 9.3f, kHalf.ToWord(), kHalfAlpha, 0, true); }},
        {"rounded",
         [](IGraphics* g) { g->RoundRect(&kOpaque, std::make_unique<IRECT>(5, 4, 50, 35).get(), nullptr, 6, true); },
         [](RAST_IBitmap* b) { RAST_RoundRect(b, 5, 4, 44, 30, 6, kOpaque.ToWord(), 1.0f, 0, true); }},
        {"rotated bitmap", [&](IGraphics* g) { g->DrawRotatedBitmap(&pic, 30, 20, 30.0, 2); },
         [](RAST_IBitmap* b) {
             RAST_RotatedBlit(b, picture(), 26, 17, 9, 7, 0, 0, 9, 7, (float)(30 * std::numbers::pi / 180), false, 1.0f,
                              0x10100, 0, 2);
         }},
        {"rotated mask", [&](IGraphics* g) { g->DrawRotatedMask(&pic, &pic, &pic, 20, 10, -45.0); },
         [](RAST_IBitmap* b) {
             RAST_MemBitmap scratch(9, 7, 4);
             RAST_Blit(&scratch, picture(), 0, 0, nullptr, 1.0f, 0);
             RAST_ClearRect(&scratch, 0, 0, 9, 7, 0xFFFFFF00, 0);
             const float rad = (float)(-45 * std::numbers::pi / 180);
             RAST_RotatedBlit(&scratch, picture(), 0, 0, 9, 7, 0, 0, 9, 7, rad, true, 1.0f, 0x10101, -0.5f, 0);
             RAST_RotatedBlit(&scratch, picture(), 0, 0, 9, 7, 0, 0, 9, 7, rad, true, 1.0f, 0x10100, -0.5f, 0);
             RAST_Blit(b, &scratch, 20, 10, nullptr, 1.0f, 0x10000);
         }},
    };
    for (const auto& c : cases) {
        auto p = drawn(c.panel);
        RAST_MemBitmap want(kW, kH, 4);
        paint(&want);
        c.raster(&want);
        int changed = 0;
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                changed += px(&want, x, y) != (unsigned)RAST_MakePixel(255, x * 4, y * 6, (x ^ y) * 3);
                ASSERT_EQ(px(p->g->GetDrawBitmap(), x, y), px(&want, x, y)) << c.name << " at " << x << "," << y;
            }
        EXPECT_GT(changed, 4) << c.name;
    }
}

TEST(GuiShapes, ARotatedMaskGivesAnOpaqueBaseItsAlpha) {
    RAST_MemBitmap base(8, 6, 4), mask(8, 6, 4), top(8, 6, 4);
    const unsigned baseColour = RAST_MakePixel(255, 10, 200, 30);
    RAST_Clear(&base, baseColour);
    RAST_Clear(&top, 0);
    IBitmap b(&base, 8, 6), m(&mask, 8, 6), t(&top, 8, 6);
    const struct {
        int maskAlpha;
        bool showsBase;
    } cases[] = {{0, false}, {255, true}};
    for (const auto& c : cases) {
        RAST_Clear(&mask, RAST_MakePixel(c.maskAlpha, 0, 0, 0));
        auto p = drawn([&](IGraphics* g) { g->DrawRotatedMask(&b, &m, &t, 20, 10, 0.0); });
        for (int y = 12; y < 14; y++)
            for (int x = 22; x < 26; x++)
                EXPECT_EQ(px(p->g->GetDrawBitmap(), x, y),
                          c.showsBase ? baseColour : (unsigned)RAST_MakePixel(255, x * 4, y * 6, (x ^ y) * 3))
                    << "mask alpha " << c.maskAlpha << " at " << x << "," << y;
    }
}

TEST(GuiShapes, APartialRedrawDrawsOnlyInsideItsAreaAndThereAsAWholeOne) {
    auto figures = [](IGraphics* g) {
        g->DrawLine(&kHalf, 0, 39, 63, 0, nullptr, true);
        g->FillCircle(&kOpaque, 20, 20, 14.6f, nullptr, true);
        g->RoundRect(&kHalf, std::make_unique<IRECT>(8, 8, 60, 36).get(), nullptr, 9, true);
    };
    auto whole = drawn(figures);
    const IRECT area(17, 9, 41, 27);
    auto part = drawn(figures, area);
    RAST_MemBitmap paper(kW, kH, 4);
    paint(&paper);
    for (int y = 0; y < kH; y++)
        for (int x = 0; x < kW; x++)
            ASSERT_EQ(px(part->g->GetDrawBitmap(), x, y),
                      px(area.Contains(x, y) ? whole->g->GetDrawBitmap() : &paper, x, y))
                << x << "," << y;
    // Outside a redraw nothing is drawn.
    Panel idle(kW, kH);
    paint(idle.g->GetDrawBitmap());
    idle.g->DrawCircle(&kOpaque, 20, 20, 10);
    EXPECT_EQ(px(idle.g->GetDrawBitmap(), 20, 10), px(&paper, 20, 10));
}

TEST(GuiShapes, AFilledRoundedRectangleCoversEachPixelOnce) {
    IRECT r(6, 5, 46, 33);
    for (const IColor& c : {kOpaque, kHalf}) {
        auto p = drawn([&](IGraphics* g) { g->FillRoundRect(&c, &r, nullptr, 8, false); });
        RAST_IBitmap* s = p->g->GetDrawBitmap();
        // Over a plain surface every covered pixel would be the same: compare
        // each with what one blend of the colour makes of the paper under it.
        RAST_MemBitmap one(1, 1, 4);
        for (int y = 0; y < kH; y++)
            for (int x = 0; x < kW; x++) {
                const unsigned paper = RAST_MakePixel(255, x * 4, y * 6, (x ^ y) * 3);
                one.getBits()[0] = paper;
                RAST_FillRect(&one, 0, 0, 1, 1, c.ToWord(), 1.0f, 0x10000);
                const unsigned got = px(s, x, y);
                const bool corner = (x < r.L + 8 || x >= r.R - 8) && (y < r.T + 8 || y >= r.B - 8);
                if (!r.Contains(x, y)) {
                    ASSERT_EQ(got, paper) << x << "," << y;
                } else if (!corner) {
                    ASSERT_EQ(got & 0xFFFFFF00u, one.getBits()[0] & 0xFFFFFF00u) << x << "," << y;
                } else {
                    // Corner squares: the paper or the disc, whose half mix rounds
                    // each byte once rather than twice; never a second blend.
                    bool near = true;
                    for (int k = 8; k < 32; k += 8)
                        near &= std::abs((int)(got >> k & 255) - (int)(one.getBits()[0] >> k & 255)) <= 1;
                    ASSERT_TRUE(got == paper || near) << x << "," << y;
                }
            }
        EXPECT_EQ(px(s, r.L, r.T), RAST_MakePixel(255, r.L * 4, r.T * 6, (r.L ^ r.T) * 3));  // the corner is cut
        EXPECT_NE(px(s, r.L, r.T + 8), RAST_MakePixel(255, r.L * 4, (r.T + 8) * 6, (r.L ^ (r.T + 8)) * 3));
    }
}
