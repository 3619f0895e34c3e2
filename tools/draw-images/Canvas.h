// A drawing surface over a raster memory bitmap: anti-aliased shapes from
// signed distances, vertical gradients, and text in the panel font.
#pragma once

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "raster/RAST_Bitmap.h"

namespace drawimages {

struct Rgba {
    int r = 0, g = 0, b = 0, a = 255;
};

constexpr Rgba rgb(unsigned hex, int a = 255) {
    return Rgba{int((hex >> 16) & 255), int((hex >> 8) & 255), int(hex & 255), a};
}
Rgba mix(Rgba a, Rgba b, float t);
unsigned int toPixel(Rgba c);

// Signed distances (negative inside) of the shapes the images are made of.
// Angles are in degrees, 0 at the top, growing clockwise.
float sdCircle(float x, float y, float cx, float cy, float r);
float sdRoundRect(float x, float y, float rx, float ry, float rw, float rh, float radius);
float sdCapsule(float x, float y, float ax, float ay, float bx, float by, float halfWidth);
float sdArc(float x, float y, float cx, float cy, float radius, float fromDeg, float toDeg, float halfWidth);
// The point at angle deg on a circle.
void polar(float cx, float cy, float r, float deg, float& x, float& y);

struct Box {
    float x0, y0, x1, y1;
};

class Canvas {
public:
    // A w x h surface, every pixel set to clear (use alpha 0 for images that
    // sit on the panel, with the colour of their outer edge so that the
    // anti-aliased rim does not darken).
    Canvas(int w, int h, Rgba clear);

    RAST_MemBitmap& bitmap() { return bm_; }
    int width() const { return w_; }
    int height() const { return h_; }

    // Covers the shape whose signed distance is sd(x, y) (evaluated at pixel
    // centres) within box, at opacity. feather widens the soft edge, for
    // shadows and glows.
    template <class SD>
    void fill(Box box, SD sd, Rgba colour, float opacity = 1.0f, float feather = 1.0f) {
        coverage(box, sd, feather);
        drawMask(colour, colour, opacity, box.y0, box.y1);
    }
    // The same with a vertical gradient from top (at y = gy0) to bottom (gy1).
    template <class SD>
    void fillV(Box box, SD sd, Rgba top, Rgba bottom, float gy0, float gy1, float opacity = 1.0f) {
        coverage(box, sd, 1.0f);
        drawMask(top, bottom, opacity, gy0, gy1);
    }

    void rect(int x, int y, int w, int h, Rgba c, float opacity = 1.0f);
    // A vertical gradient over a rectangle.
    void gradient(int x, int y, int w, int h, Rgba top, Rgba bottom);
    // Copies a whole canvas with its top-left at (x, y), alpha included.
    void copyFrom(Canvas& src, int x, int y);
    // Draws src over this canvas, weighted by its alpha.
    void drawOver(Canvas& src, int x, int y, float opacity = 1.0f);

    // Text in the panel font at a pixel size; align 0 left, 1 centre, 2 right;
    // vertically centred in the box.
    void text(const std::string& s, int x, int y, int w, int h, int size, bool bold, Rgba c, int align = 1);
    // The width the text would take.
    int textWidth(const std::string& s, int size, bool bold);

private:
    template <class SD>
    void coverage(Box& box, SD sd, float feather) {
        clip(box);
        const int bw = maskW_, bh = maskH_;
        const int x0 = (int)box.x0, y0 = (int)box.y0;
        for (int j = 0; j < bh; j++)
            for (int i = 0; i < bw; i++) {
                const float d = sd(x0 + i + 0.5f, y0 + j + 0.5f);
                float c = 0.5f - d / feather;
                c = c < 0 ? 0 : c > 1 ? 1 : c;
                mask_[(size_t)j * bw + i] = (unsigned char)std::lround(c * 255.0f);
            }
    }
    void clip(Box& box);
    void drawMask(Rgba top, Rgba bottom, float opacity, float gy0, float gy1);

    int w_, h_;
    RAST_MemBitmap bm_;
    std::vector<unsigned char> mask_;
    int maskX_ = 0, maskY_ = 0, maskW_ = 0, maskH_ = 0;
};

}  // namespace drawimages
