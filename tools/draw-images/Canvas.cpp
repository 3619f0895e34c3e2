#include "tools/draw-images/Canvas.h"

#include <algorithm>
#include <map>
#include <utility>

#include "raster/RAST_Blit.h"
#include "raster/RAST_CachedFont.h"
#include "raster/RAST_Glyph.h"
#include "raster/RAST_Rect.h"

namespace drawimages {

Rgba mix(Rgba a, Rgba b, float t) {
    auto m = [t](int x, int y) { return (int)std::lround(x + (y - x) * t); };
    return Rgba{m(a.r, b.r), m(a.g, b.g), m(a.b, b.b), m(a.a, b.a)};
}

unsigned int toPixel(Rgba c) { return RAST_MakePixel(c.a, c.r, c.g, c.b); }

float sdCircle(float x, float y, float cx, float cy, float r) { return std::hypot(x - cx, y - cy) - r; }

float sdRoundRect(float x, float y, float rx, float ry, float rw, float rh, float radius) {
    const float hx = rw / 2, hy = rh / 2;
    radius = std::min(radius, std::min(hx, hy));
    const float qx = std::fabs(x - (rx + hx)) - (hx - radius);
    const float qy = std::fabs(y - (ry + hy)) - (hy - radius);
    const float outside = std::hypot(std::max(qx, 0.0f), std::max(qy, 0.0f));
    return outside + std::min(std::max(qx, qy), 0.0f) - radius;
}

float sdCapsule(float x, float y, float ax, float ay, float bx, float by, float halfWidth) {
    const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
    const float len2 = dx * dx + dy * dy;
    const float t = len2 > 0 ? std::clamp((px * dx + py * dy) / len2, 0.0f, 1.0f) : 0.0f;
    return std::hypot(px - dx * t, py - dy * t) - halfWidth;
}

void polar(float cx, float cy, float r, float deg, float& x, float& y) {
    const float a = deg * 3.14159265f / 180.0f;
    x = cx + r * std::sin(a);
    y = cy - r * std::cos(a);
}

float sdArc(float x, float y, float cx, float cy, float radius, float fromDeg, float toDeg, float halfWidth) {
    if (fromDeg > toDeg) std::swap(fromDeg, toDeg);
    const float deg = std::atan2(x - cx, cy - y) * 180.0f / 3.14159265f;
    if (deg >= fromDeg && deg <= toDeg) return std::fabs(std::hypot(x - cx, y - cy) - radius) - halfWidth;
    float ax, ay, bx, by;
    polar(cx, cy, radius, fromDeg, ax, ay);
    polar(cx, cy, radius, toDeg, bx, by);
    return std::min(std::hypot(x - ax, y - ay), std::hypot(x - bx, y - by)) - halfWidth;
}

Canvas::Canvas(int w, int h, Rgba clear) : w_(w), h_(h), bm_(w, h) { RAST_Clear(&bm_, toPixel(clear)); }

void Canvas::clip(Box& box) {
    box.x0 = std::max(0.0f, std::floor(box.x0));
    box.y0 = std::max(0.0f, std::floor(box.y0));
    box.x1 = std::min((float)w_, std::ceil(box.x1));
    box.y1 = std::min((float)h_, std::ceil(box.y1));
    maskX_ = (int)box.x0;
    maskY_ = (int)box.y0;
    maskW_ = std::max(0, (int)box.x1 - maskX_);
    maskH_ = std::max(0, (int)box.y1 - maskY_);
    mask_.assign((size_t)maskW_ * maskH_, 0);
}

void Canvas::drawMask(Rgba top, Rgba bottom, float opacity, float gy0, float gy1) {
    if (maskW_ <= 0 || maskH_ <= 0) return;
    // Colours are drawn opaque and weighted by coverage x opacity, so the
    // alpha byte composes as paint over what is there.
    if (top.r == bottom.r && top.g == bottom.g && top.b == bottom.b && top.a == bottom.a) {
        Rgba c = top;
        const float o = opacity * c.a / 255.0f;
        c.a = 255;
        RAST_DrawGlyphEx(&bm_, maskX_, maskY_, toPixel(c), mask_.data(), maskW_, maskW_, maskH_, o, 0);
        return;
    }
    for (int j = 0; j < maskH_; j++) {
        const float y = maskY_ + j + 0.5f;
        const float t = gy1 > gy0 ? std::clamp((y - gy0) / (gy1 - gy0), 0.0f, 1.0f) : 0.0f;
        Rgba c = mix(top, bottom, t);
        const float o = opacity * c.a / 255.0f;
        c.a = 255;
        RAST_DrawGlyphEx(&bm_, maskX_, maskY_ + j, toPixel(c), mask_.data() + (size_t)j * maskW_, maskW_, maskW_, 1, o,
                         0);
    }
}

void Canvas::rect(int x, int y, int w, int h, Rgba c, float opacity) {
    const float o = opacity * c.a / 255.0f;
    c.a = 255;
    RAST_FillRect(&bm_, x, y, w, h, toPixel(c), o, 0);
}

void Canvas::gradient(int x, int y, int w, int h, Rgba top, Rgba bottom) {
    if (h <= 0) return;
    const float d = h > 1 ? 1.0f / (h - 1) : 0.0f;
    RAST_GradRect(&bm_, x, y, w, h, top.r / 255.0f, top.g / 255.0f, top.b / 255.0f, top.a / 255.0f, 0, 0, 0, 0,
                  (bottom.r - top.r) / 255.0f * d, (bottom.g - top.g) / 255.0f * d, (bottom.b - top.b) / 255.0f * d,
                  (bottom.a - top.a) / 255.0f * d, 0);
}

void Canvas::copyFrom(Canvas& src, int x, int y) {
    RAST_Blit(&bm_, &src.bm_, x, y, 0, 0, src.w_, src.h_, 1.0f, RAST_MODE_COPY);
}

void Canvas::drawOver(Canvas& src, int x, int y, float opacity) {
    RAST_Blit(&bm_, &src.bm_, x, y, 0, 0, src.w_, src.h_, opacity, RAST_MODE_COPY | RAST_MODE_USE_SOURCE_ALPHA);
}

namespace {

// The panel font in each size and weight, made once for the run.
RAST_CachedFont& panelFont(int size, bool bold) {
    static std::map<std::pair<int, bool>, std::unique_ptr<RAST_CachedFont>> fonts;
    auto& slot = fonts[{size, bold}];
    if (!slot) {
        slot = std::make_unique<RAST_CachedFont>();
        slot->SetFromHFont(CreateFont(size, 0, 0, 0, bold ? 700 : 400, 0, 0, 0, 0, 0, 0, SHIM_FONTQUALITY_ANTIALIASED,
                                      0, "NK57 Monospace"),
                           RAST_FONT_OWNS_HFONT);
    }
    return *slot;
}

}  // namespace

void Canvas::text(const std::string& s, int x, int y, int w, int h, int size, bool bold, Rgba c, int align) {
    if (s.empty()) return;
    RAST_CachedFont& font = panelFont(size, bold);
    font.SetTextColor(toPixel(c));
    RECT r{x, y, x + w, y + h};
    unsigned int flags = DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_NOCLIP;
    if (align == 1) flags |= DT_CENTER;
    if (align == 2) flags |= DT_RIGHT;
    if (c.a < 255) flags |= RAST_DT_TEXTALPHA;
    font.DrawText(&bm_, s.c_str(), -1, &r, flags);
}

int Canvas::textWidth(const std::string& s, int size, bool bold) {
    RECT r{0, 0, 0, 0};
    panelFont(size, bold).DrawText(&bm_, s.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    return r.right - r.left;
}

}  // namespace drawimages
