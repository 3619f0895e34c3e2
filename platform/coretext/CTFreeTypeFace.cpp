// Installed faces drawn with FreeType. Advances are the unhinted (linear)
// ones so that widths scale smoothly; outlines get light (vertical-only)
// hinting so that small panel text stays crisp on its row grid.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_ADVANCES_H
#include FT_BITMAP_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <mutex>
#include <unordered_map>

#include "platform/coretext/CTFontFace.h"

namespace platform::ct {
namespace {

std::mutex& libraryMutex() {
    static std::mutex m;
    return m;
}

FT_Library library() {
    // Lives for the process: faces may be released during static teardown.
    static FT_Library lib = [] {
        FT_Library l = nullptr;
        if (FT_Init_FreeType(&l) != 0) l = nullptr;
        return l;
    }();
    return lib;
}

// Glyph images are kept for text up to this size; larger text is drawn
// piecewise into what is visible.
constexpr double kCachedSizeLimit = 300.0;
constexpr size_t kCacheLimit = 8192;

class FreeTypeFace final : public FontFace {
public:
    FreeTypeFace(FT_Face face, FaceInfo info) : FontFace(std::move(info)), face_(face) {}

    ~FreeTypeFace() override {
        std::lock_guard<std::mutex> lock(libraryMutex());
        FT_Done_Face(face_);
    }

    uint32_t glyphFor(char32_t c) override {
        std::lock_guard<std::mutex> lock(mutex_);
        return FT_Get_Char_Index(face_, c);
    }

    double advance(uint32_t glyph) override {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = advances_.find(glyph);
        if (it != advances_.end()) return it->second;
        FT_Fixed adv = 0;
        if (FT_Get_Advance(face_, glyph, FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP, &adv) != 0) adv = 0;
        const double a = adv / 65536.0;
        advances_.emplace(glyph, a);
        return a;
    }

    std::shared_ptr<const GlyphImage> render(uint32_t glyph, int quarter, bool antialias,
                                             const PixelBox& within) override {
        std::lock_guard<std::mutex> lock(mutex_);
        const bool cacheable = info().size <= kCachedSizeLimit;
        const uint64_t key = (uint64_t(glyph) << 8) | (uint64_t(quarter & 3) << 1) | (antialias ? 1 : 0);
        if (cacheable) {
            auto it = images_.find(key);
            if (it != images_.end()) return cutGlyphImage(it->second, within);
        }
        std::shared_ptr<const GlyphImage> img =
            cacheable ? renderLocked(glyph, quarter, antialias,
                                     PixelBox{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2})
                      : renderLocked(glyph, quarter, antialias, within);
        if (cacheable) {
            if (images_.size() >= kCacheLimit) images_.clear();
            images_.emplace(key, img);
            return cutGlyphImage(img, within);
        }
        return img;
    }

private:
    std::shared_ptr<const GlyphImage> renderLocked(uint32_t glyph, int quarter, bool antialias,
                                                   const PixelBox& within) {
        if (FT_Load_Glyph(face_, glyph, FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT) != 0) return nullptr;
        FT_GlyphSlot slot = face_->glyph;
        if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_points == 0) return nullptr;
        FT_Outline_Translate(&slot->outline, quarter * 16, 0);
        FT_BBox cb;
        FT_Outline_Get_CBox(&slot->outline, &cb);
        // Device rows grow downward from the baseline.
        PixelBox box{static_cast<int>(std::floor(cb.xMin / 64.0)), -static_cast<int>(std::ceil(cb.yMax / 64.0)),
                     static_cast<int>(std::ceil(cb.xMax / 64.0)), -static_cast<int>(std::floor(cb.yMin / 64.0))};
        box.left = std::max(box.left, within.left);
        box.top = std::max(box.top, within.top);
        box.right = std::min(box.right, within.right);
        box.bottom = std::min(box.bottom, within.bottom);
        if (box.right <= box.left || box.bottom <= box.top) return nullptr;
        const int w = box.right - box.left, h = box.bottom - box.top;

        // The bitmap's lower-left corner sits at the outline origin.
        FT_Outline_Translate(&slot->outline, -FT_Pos(box.left) * 64, FT_Pos(box.bottom) * 64);
        std::vector<unsigned char> buf;
        FT_Bitmap bm;
        FT_Bitmap_Init(&bm);
        bm.width = static_cast<unsigned>(w);
        bm.rows = static_cast<unsigned>(h);
        if (antialias) {
            bm.pitch = w;
            bm.pixel_mode = FT_PIXEL_MODE_GRAY;
            bm.num_grays = 256;
        } else {
            bm.pitch = (w + 7) / 8;
            bm.pixel_mode = FT_PIXEL_MODE_MONO;
            bm.num_grays = 2;
        }
        buf.assign(static_cast<size_t>(bm.pitch) * h, 0);
        bm.buffer = buf.data();
        if (FT_Outline_Get_Bitmap(library(), &slot->outline, &bm) != 0) return nullptr;

        auto img = std::make_shared<GlyphImage>();
        img->left = box.left;
        img->top = box.top;
        img->width = w;
        img->height = h;
        if (antialias) {
            img->values = std::move(buf);
        } else {
            img->values.resize(static_cast<size_t>(w) * h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    img->values[static_cast<size_t>(y) * w + x] =
                        (buf[static_cast<size_t>(y) * bm.pitch + x / 8] & (0x80 >> (x & 7))) ? 255 : 0;
        }
        return img;
    }

    FT_Face face_;
    std::mutex mutex_;
    std::unordered_map<uint32_t, double> advances_;
    std::unordered_map<uint64_t, std::shared_ptr<const GlyphImage>> images_;
};

}  // namespace

std::shared_ptr<FontFace> openFreeTypeFace(const std::string& file, int index, FaceInfo info) {
    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> lock(libraryMutex());
        if (!library() || FT_New_Face(library(), file.c_str(), index, &face) != 0) return nullptr;
        if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0 ||
            FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(info.size * 64)), 72, 72) != 0) {
            FT_Done_Face(face);
            return nullptr;
        }
    }
    const double scale = info.size / face->units_per_EM;
    info.ascent = face->ascender * scale;
    info.descent = -face->descender * scale;
    info.leading = std::max(0, face->height - (face->ascender - face->descender)) * scale;
    // The top of the tallest plain letters as they are drawn at this size
    // (ascenders overshoot the capitals); the face's stated cap height, or the
    // usual share of the ascent, when the letters cannot be loaded.
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    info.capHeight = os2 && os2->version >= 2 && os2->sCapHeight > 0 ? os2->sCapHeight * scale : 0.75 * info.ascent;
    for (char letter : {'H', 'O', 'b', 'd', 'f', 'l'}) {
        std::lock_guard<std::mutex> lock(libraryMutex());
        if (FT_Load_Char(face, static_cast<FT_ULong>(letter), FT_LOAD_DEFAULT) == 0)
            info.capHeight = std::max(info.capHeight, std::ceil(face->glyph->metrics.horiBearingY / 64.0));
    }
    if (info.postScriptName.empty()) {
        const char* ps = FT_Get_Postscript_Name(face);
        if (ps) info.postScriptName = ps;
    }
    if (info.family.empty() && face->family_name) info.family = face->family_name;
    return std::make_shared<FreeTypeFace>(face, std::move(info));
}

}  // namespace platform::ct
