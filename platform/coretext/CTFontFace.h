#pragma once
// Inside the CoreText stand-in: a face at one size, drawn by an engine
// (FreeType or the box engine). Shared by every font object of that face and
// size; safe to use from several threads.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::ct {

// Control characters take no room and leave no ink (a tab is placed by the
// line's tab stops instead).
inline bool isControl(char32_t c) { return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0); }

// Ink of one glyph: a box of coverage bytes placed relative to the pen on a
// baseline that lies on a pixel row edge (top is negative above it).
struct GlyphImage {
    int left = 0, top = 0, width = 0, height = 0;
    std::vector<unsigned char> values;
};

// A pixel box relative to the same origin; right and bottom exclusive.
struct PixelBox {
    int left, top, right, bottom;
};

struct FaceInfo {
    std::string postScriptName;
    std::string family;
    bool bold = false;
    bool italic = false;
    double size = 0;
    double ascent = 0, descent = 0, leading = 0;
    double capHeight = 0;  // top of the tallest letters above the baseline
};

class FontFace {
public:
    explicit FontFace(FaceInfo info) : info_(std::move(info)) {}
    virtual ~FontFace() = default;
    FontFace(const FontFace&) = delete;
    FontFace& operator=(const FontFace&) = delete;

    const FaceInfo& info() const { return info_; }

    virtual uint32_t glyphFor(char32_t c) = 0;
    virtual double advance(uint32_t glyph) = 0;
    // The glyph's ink with the pen quarter / 4 pixels right of a pixel edge,
    // limited to the box within (which may cut it); null when no ink falls
    // inside.
    virtual std::shared_ptr<const GlyphImage> render(uint32_t glyph, int quarter, bool antialias,
                                                     const PixelBox& within) = 0;

private:
    FaceInfo info_;
};

std::shared_ptr<FontFace> makeBoxFace(double size, bool bold, bool italic);

// A FreeType face of a file at a size; null when the file cannot be opened
// or is not a scalable face.
std::shared_ptr<FontFace> openFreeTypeFace(const std::string& file, int index, FaceInfo info);

// Cuts a glyph image to a box (relative to the same origin); null when
// nothing of it is inside.
std::shared_ptr<const GlyphImage> cutGlyphImage(const std::shared_ptr<const GlyphImage>& image, const PixelBox& within);

}  // namespace platform::ct

namespace platform {
struct CTFont {
    std::atomic<int> refs{1};
    std::shared_ptr<ct::FontFace> face;
};
}  // namespace platform
