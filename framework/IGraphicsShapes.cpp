// The panel's figures: lines, outlines, arcs, circles, rounded rectangles
// and rotated bitmaps, drawn by the raster library into the panel's surface.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "framework/IGraphics.h"
#include "raster/RAST_Bitmap.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_Circle.h"
#include "raster/RAST_Geometry.h"
#include "raster/RAST_Line.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_RotatedBlit.h"

namespace {

using rast_detail::truncToInt;

// The raster figures clip only to the whole surface. A figure keeps the
// pixels of its box that lie outside the area being redrawn and puts them
// back once it is drawn, so it changes nothing outside that area and inside
// draws exactly what a whole redraw would.
class Figure {
public:
    Figure(RAST_IBitmap* surface, const IRECT& area, IRECT box) : mSurface(surface) {
        if (!surface || !surface->getBits()) return;
        const IRECT whole(0, 0, surface->getWidth(), surface->getHeight());
        box = box.Intersect(&whole);
        const IRECT in = box.Intersect(&area);
        if (in.IsVoid()) return;
        mShows = true;
        // Above, below, left and right of the area.
        const IRECT parts[4] = {IRECT(box.L, box.T, box.R, in.T), IRECT(box.L, in.B, box.R, box.B),
                                IRECT(box.L, in.T, in.L, in.B), IRECT(in.R, in.T, box.R, in.B)};
        for (const IRECT& p : parts) {
            if (p.IsVoid()) continue;
            mParts.push_back(p);
            for (int y = p.T; y < p.B; y++) {
                const unsigned int* row = pixel(p.L, y);
                mSaved.insert(mSaved.end(), row, row + p.W());
            }
        }
    }
    ~Figure() {
        size_t at = 0;
        for (const IRECT& p : mParts)
            for (int y = p.T; y < p.B; y++, at += p.W()) memcpy(pixel(p.L, y), &mSaved[at], (size_t)p.W() * 4);
    }
    Figure(const Figure&) = delete;
    Figure& operator=(const Figure&) = delete;
    // False when nothing of the figure's box is being redrawn.
    bool shows() const { return mShows; }

private:
    unsigned int* pixel(int x, int y) {
        const int row = mSurface->isFlipped() ? mSurface->getHeight() - 1 - y : y;
        return mSurface->getBits() + (ptrdiff_t)row * mSurface->getRowSpan() + x;
    }
    RAST_IBitmap* mSurface;
    bool mShows = false;
    std::vector<IRECT> mParts;
    std::vector<unsigned int> mSaved;
};

// A box around (x1, y1)-(x2, y2) with a margin for anti-aliasing.
IRECT boxAround(double x1, double y1, double x2, double y2, int margin = 3) {
    return IRECT(truncToInt(std::floor(std::min(x1, x2))) - margin, truncToInt(std::floor(std::min(y1, y2))) - margin,
                 truncToInt(std::ceil(std::max(x1, x2))) + margin + 1,
                 truncToInt(std::ceil(std::max(y1, y2))) + margin + 1);
}
IRECT boxAround(float cx, float cy, float r) {
    const double reach = std::fabs((double)r);
    return boxAround(cx - reach, cy - reach, cx + reach, cy + reach);
}

// The opacity of a figure: the blend's, scaled by the colour's alpha where
// the mode takes the source's alpha (as the rectangle fill does).
float opacity(const IColor* color, const IChannelBlend* blend) {
    const float w = BlendWeight(blend);
    return BlendToMode(blend) & RAST_MODE_USE_SOURCE_ALPHA ? w * ((float)(color->A & 255) / 255.0f) : w;
}

}  // namespace

bool IGraphics::DrawLine(const IColor* color, float x1, float y1, float x2, float y2, const IChannelBlend* blend,
                         bool antiAlias) {
    if (!color) return true;
    const int ix1 = truncToInt(x1), iy1 = truncToInt(y1), ix2 = truncToInt(x2), iy2 = truncToInt(y2);
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(ix1, iy1, ix2, iy2));
    if (f.shows())
        RAST_Line(mDrawBitmap.get(), ix1, iy1, ix2, iy2, color->ToWord(), opacity(color, blend), BlendToMode(blend),
                  antiAlias);
    return true;
}

bool IGraphics::DrawHorizontalLine(const IColor* color, int yi, int xLo, int xHi) {
    return DrawLine(color, (float)xLo, (float)yi, (float)xHi, (float)yi);
}

bool IGraphics::DrawVerticalLine(const IColor* color, int xi, int yLo, int yHi) {
    return DrawLine(color, (float)xi, (float)yLo, (float)xi, (float)yHi);
}

bool IGraphics::DrawRect(const IColor* color, IRECT* rect) {
    if (!color || !rect) return true;
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(rect->L, rect->T, rect->R, rect->B));
    if (f.shows())
        RAST_DrawRect(mDrawBitmap.get(), rect->L, rect->T, rect->W() - 1, rect->H() - 1, color->ToWord(),
                      opacity(color, nullptr), BlendToMode(nullptr));
    return true;
}

bool IGraphics::DrawRadialLine(const IColor* color, float cx, float cy, float angle, float rMin, float rMax,
                               const IChannelBlend* blend, bool antiAlias) {
    const float s = std::sin(angle), c = std::cos(angle);
    return DrawLine(color, cx + rMin * s, cy - rMin * c, cx + rMax * s, cy - rMax * c, blend, antiAlias);
}

bool IGraphics::DrawArc(const IColor* color, float cx, float cy, float r, float minAngle, float maxAngle,
                        const IChannelBlend* blend, bool antiAlias) {
    if (!color) return true;
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(cx, cy, r));
    if (f.shows())
        RAST_Arc(mDrawBitmap.get(), cx, cy, r, minAngle, maxAngle, color->ToWord(), opacity(color, blend),
                 BlendToMode(blend), antiAlias);
    return true;
}

bool IGraphics::DrawCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend,
                           bool antiAlias) {
    if (!color) return true;
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(cx, cy, r));
    if (f.shows())
        RAST_Circle(mDrawBitmap.get(), cx, cy, r, color->ToWord(), opacity(color, blend), BlendToMode(blend),
                    antiAlias);
    return true;
}

bool IGraphics::FillCircle(const IColor* color, float cx, float cy, float r, const IChannelBlend* blend,
                           bool antiAlias) {
    if (!color) return true;
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(cx, cy, r));
    if (f.shows())
        RAST_FillCircle(mDrawBitmap.get(), cx, cy, r, color->ToWord(), opacity(color, blend), BlendToMode(blend),
                        antiAlias);
    return true;
}

bool IGraphics::RoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerradius,
                          bool antiAlias) {
    if (!color || !rect) return true;
    Figure f(mDrawBitmap.get(), mDrawRECT, boxAround(rect->L, rect->T, rect->R, rect->B));
    if (f.shows())
        RAST_RoundRect(mDrawBitmap.get(), (float)rect->L, (float)rect->T, (float)(rect->W() - 1),
                       (float)(rect->H() - 1), cornerradius, color->ToWord(), opacity(color, blend), BlendToMode(blend),
                       antiAlias);
    return true;
}

bool IGraphics::FillRoundRect(const IColor* color, IRECT* rect, const IChannelBlend* blend, int cornerradius,
                              bool antiAlias) {
    if (!color || !rect || rect->IsVoid()) return true;
    const IRECT& b = *rect;
    const int r = std::min({cornerradius, b.W() / 2, b.H() / 2});
    if (r < 1) return FillIRect(color, rect, blend);
    // The middle column and the two side bands between the corners, then each
    // corner's quarter disc kept to its own square, so no pixel is drawn twice.
    IRECT bands[3] = {IRECT(b.L + r, b.T, b.R - r, b.B), IRECT(b.L, b.T + r, b.L + r, b.B - r),
                      IRECT(b.R - r, b.T + r, b.R, b.B - r)};
    for (IRECT& band : bands)
        if (!band.IsVoid()) FillIRect(color, &band, blend);
    const struct {
        IRECT square;
        int cx, cy;
    } corners[4] = {{IRECT(b.L, b.T, b.L + r, b.T + r), b.L + r, b.T + r},
                    {IRECT(b.R - r, b.T, b.R, b.T + r), b.R - 1 - r, b.T + r},
                    {IRECT(b.L, b.B - r, b.L + r, b.B), b.L + r, b.B - 1 - r},
                    {IRECT(b.R - r, b.B - r, b.R, b.B), b.R - 1 - r, b.B - 1 - r}};
    for (const auto& c : corners) {
        const IRECT area = c.square.Intersect(&mDrawRECT);
        Figure f(mDrawBitmap.get(), area, boxAround((float)c.cx, (float)c.cy, (float)r));
        if (f.shows())
            RAST_FillCircle(mDrawBitmap.get(), (float)c.cx, (float)c.cy, (float)r, color->ToWord(),
                            opacity(color, blend), BlendToMode(blend), antiAlias);
    }
    return true;
}

bool IGraphics::DrawRotatedBitmap(IBitmap* bitmap, int destCtrX, int destCtrY, double angle, int yOffsetZeroDeg,
                                  const IChannelBlend* blend) {
    if (!bitmap || !bitmap->mData) return true;
    const int W = bitmap->W, H = bitmap->H, x = destCtrX - W / 2, y = destCtrY - H / 2;
    Figure f(mDrawBitmap.get(), mDrawRECT, IRECT(x, y, x + W, y + H));
    if (f.shows())
        RAST_RotatedBlit(mDrawBitmap.get(), bitmap->mData, x, y, W, H, 0, 0, (float)W, (float)H,
                         (float)(angle * std::numbers::pi / 180.0), false, BlendWeight(blend),
                         BlendToMode(blend) | RAST_MODE_FILTER_BILINEAR, 0, (float)yOffsetZeroDeg);
    return true;
}

bool IGraphics::DrawRotatedMask(IBitmap* base, IBitmap* mask, IBitmap* top, int x, int y, double angle,
                                const IChannelBlend* blend) {
    if (!base || !base->mData || !mask || !mask->mData || !top || !top->mData) return true;
    const int W = base->W, H = base->H;
    if (!mScratchBitmap) mScratchBitmap = std::make_unique<RAST_MemBitmap>();
    RAST_IBitmap* scratch = mScratchBitmap.get();
    scratch->resize(W, H);
    RAST_Blit(scratch, base->mData, 0, 0, 0, 0, W, H, 1.0f, RAST_MODE_COPY);
    // The mask alone gives the picture its alpha, whatever the base's.
    RAST_ClearRect(scratch, 0, 0, W, H, 0xFFFFFF00, 0);
    // Turned about the middle of the centre pixel of an odd width.
    const float rad = (float)(angle * std::numbers::pi / 180.0), xoff = (W & 1) ? -0.5f : 0.0f;
    RAST_RotatedBlit(scratch, mask->mData, 0, 0, W, H, 0, 0, (float)mask->W, (float)mask->H, rad, true, 1.0f,
                     RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_FILTER_BILINEAR | RAST_MODE_ADD, xoff, 0);
    RAST_RotatedBlit(scratch, top->mData, 0, 0, W, H, 0, 0, (float)top->W, (float)top->H, rad, true, 1.0f,
                     RAST_MODE_USE_SOURCE_ALPHA | RAST_MODE_FILTER_BILINEAR, xoff, 0);
    IBitmap composed(scratch, W, H);
    IRECT r(x, y, x + W, y + H);
    return DrawBitmap(&composed, &r, 1, blend);
}
