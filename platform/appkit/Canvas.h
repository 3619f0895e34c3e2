#pragma once
// What a view draws into while the window redraws: the window's backing store
// (pixels as 0x00RRGGBB words), seen from the view's own coordinates and
// clipped to the area being redrawn.

#include <cstdint>

#include "platform/appkit/Geometry.h"

namespace platform::appkit {

// Memory layouts of source pixels.
enum class PixelLayout {
    SkipFirstByte,  // 4 bytes per pixel: ignored, red, green, blue (bitmap contexts)
    XRGB32,         // native 32-bit words 0x00RRGGBB
};

class Canvas {
public:
    Canvas(uint32_t* pixels, int width, int height, Point origin, Rect clip);

    // Clip and origin are in window coordinates; drawing calls take view ones.
    Rect clip() const { return clip_; }
    Point origin() const { return origin_; }

    void fillRect(const Rect& r, uint32_t rgb);
    // Copies srcRect of a source image with the given layout to dst.
    void drawPixels(const void* src, int srcRowBytes, PixelLayout layout, const Rect& srcRect, Point dst);

    Canvas withOrigin(Point origin, const Rect& clip) const { return Canvas(pixels_, width_, height_, origin, clip); }

    // The pixels drawn into, for code that draws them through another layer.
    uint32_t* pixels() const { return pixels_; }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    uint32_t* pixels_;
    int width_;
    int height_;
    Point origin_;
    Rect clip_;
};

}  // namespace platform::appkit
