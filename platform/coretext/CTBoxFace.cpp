// The box engine: exact, platform-independent metrics and ink, so that tests
// can predict every measured width and every inked pixel.
#include <algorithm>
#include <cmath>

#include "platform/coretext/CTFontFace.h"

namespace platform::ct {
namespace {

bool hasInk(uint32_t c) {
    if (c <= 0x20 || c == 0x7F || (c >= 0x80 && c <= 0xA0)) return false;
    return c != 0x2028 && c != 0x2029;
}

class BoxFace final : public FontFace {
public:
    using FontFace::FontFace;

    uint32_t glyphFor(char32_t c) override { return static_cast<uint32_t>(c); }

    double advance(uint32_t glyph) override {
        if (glyph == '\n' || glyph == '\r') return 0;
        return 0.6 * info().size;
    }

    std::shared_ptr<const GlyphImage> render(uint32_t glyph, int quarter, bool antialias,
                                             const PixelBox& within) override {
        if (!hasInk(glyph)) return nullptr;
        const double s = info().size;
        double x0 = info().bold ? 0.05 * s : 0.1 * s;
        double x1 = info().bold ? 0.55 * s : 0.5 * s;
        if (info().italic) {
            x0 += 0.3 * s;
            x1 += 0.3 * s;
        }
        x0 += quarter * 0.25;
        x1 += quarter * 0.25;
        const double y0 = -0.7 * s, y1 = 0;

        PixelBox box{static_cast<int>(std::floor(x0)), static_cast<int>(std::floor(y0)),
                     static_cast<int>(std::ceil(x1)), static_cast<int>(std::ceil(y1))};
        box.left = std::max(box.left, within.left);
        box.top = std::max(box.top, within.top);
        box.right = std::min(box.right, within.right);
        box.bottom = std::min(box.bottom, within.bottom);
        if (box.right <= box.left || box.bottom <= box.top) return nullptr;

        auto img = std::make_shared<GlyphImage>();
        img->left = box.left;
        img->top = box.top;
        img->width = box.right - box.left;
        img->height = box.bottom - box.top;
        img->values.assign(static_cast<size_t>(img->width) * img->height, 0);
        auto overlap = [](double a0, double a1, int p) {
            return std::max(0.0, std::min(a1, p + 1.0) - std::max(a0, double(p)));
        };
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                unsigned char v;
                if (antialias) {
                    v = static_cast<unsigned char>(std::lround(255.0 * overlap(x0, x1, x) * overlap(y0, y1, y)));
                } else {
                    const bool in = x + 0.5 >= x0 && x + 0.5 < x1 && y + 0.5 >= y0 && y + 0.5 < y1;
                    v = in ? 255 : 0;
                }
                img->values[static_cast<size_t>(y - box.top) * img->width + (x - box.left)] = v;
            }
        }
        return img;
    }
};

}  // namespace

std::shared_ptr<FontFace> makeBoxFace(double size, bool bold, bool italic) {
    FaceInfo info;
    info.postScriptName =
        std::string("HalvoranBox") + (bold || italic ? "-" : "") + (bold ? "Bold" : "") + (italic ? "Italic" : "");
    info.family = "Halvoran Box";
    info.bold = bold;
    info.italic = italic;
    info.size = size;
    info.ascent = 0.8 * size;
    info.descent = 0.2 * size;
    info.capHeight = 0.7 * size;
    info.leading = 0;
    return std::make_shared<BoxFace>(std::move(info));
}

std::shared_ptr<const GlyphImage> cutGlyphImage(const std::shared_ptr<const GlyphImage>& image,
                                                const PixelBox& within) {
    if (!image) return nullptr;
    const int l = std::max(image->left, within.left);
    const int t = std::max(image->top, within.top);
    const int r = std::min(image->left + image->width, within.right);
    const int b = std::min(image->top + image->height, within.bottom);
    if (r <= l || b <= t) return nullptr;
    if (l == image->left && t == image->top && r == image->left + image->width && b == image->top + image->height)
        return image;
    auto cut = std::make_shared<GlyphImage>();
    cut->left = l;
    cut->top = t;
    cut->width = r - l;
    cut->height = b - t;
    cut->values.resize(static_cast<size_t>(cut->width) * cut->height);
    for (int y = t; y < b; ++y) {
        const unsigned char* src =
            &image->values[static_cast<size_t>(y - image->top) * image->width + (l - image->left)];
        std::copy(src, src + cut->width, &cut->values[static_cast<size_t>(y - t) * cut->width]);
    }
    return cut;
}

}  // namespace platform::ct
