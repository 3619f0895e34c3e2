#include "platform/appkit/Canvas.h"

#include <cstring>

namespace platform::appkit {

Canvas::Canvas(uint32_t* pixels, int width, int height, Point origin, Rect clip)
    : pixels_(pixels),
      width_(width),
      height_(height),
      origin_(origin),
      clip_(clip.intersection({0, 0, width, height})) {}

void Canvas::fillRect(const Rect& r, uint32_t rgb) {
    Rect a = r.offset(origin_.x, origin_.y).intersection(clip_);
    for (int y = a.y; y < a.bottom(); ++y) {
        uint32_t* row = pixels_ + static_cast<size_t>(y) * width_;
        for (int x = a.x; x < a.right(); ++x) row[x] = rgb & 0xFFFFFF;
    }
}

void Canvas::drawPixels(const void* src, int srcRowBytes, PixelLayout layout, const Rect& srcRect, Point dst) {
    if (!src || !pixels_) return;
    Rect target = Rect{dst.x, dst.y, srcRect.width, srcRect.height}.offset(origin_.x, origin_.y).intersection(clip_);
    if (target.isEmpty()) return;
    int sx0 = srcRect.x + (target.x - (dst.x + origin_.x));
    int sy0 = srcRect.y + (target.y - (dst.y + origin_.y));
    const auto* base = static_cast<const uint8_t*>(src);
    for (int row = 0; row < target.height; ++row) {
        const auto* s = base + static_cast<size_t>(sy0 + row) * srcRowBytes + static_cast<size_t>(sx0) * 4;
        uint32_t* d = pixels_ + static_cast<size_t>(target.y + row) * width_ + target.x;
        if (layout == PixelLayout::XRGB32) {
            std::memcpy(d, s, static_cast<size_t>(target.width) * 4);
            continue;
        }
        for (int x = 0; x < target.width; ++x, s += 4)
            d[x] = (uint32_t(s[1]) << 16) | (uint32_t(s[2]) << 8) | uint32_t(s[3]);
    }
}

}  // namespace platform::appkit
