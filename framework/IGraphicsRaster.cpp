#include "framework/IGraphicsRaster.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

#include "raster/RAST_Bitmap.h"

#include "platform/corefoundation/Bundle.h"
#include "platform/coretext/CTFont.h"
#include "raster/RAST_Blit.h"
#include "raster/RAST_CachedFont.h"
#include "raster/RAST_PNG.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_ScaledBlit.h"
#include "raster/RAST_SysBitmap.h"
#include "shim/shim-gdi-text.h"

namespace hvraster {

namespace {

// The font store: one cached font per panel, face, size, weight, slant and
// quality, made on first use and kept until the panel forgets its fonts, with
// the face's vertical metrics.
using FontKey = std::tuple<const IGraphics*, std::string, int, int, int>;
struct StoredFont {
    std::unique_ptr<RAST_CachedFont> font;
    double ascent = 0, descent = 0, capHeight = 0;
};
std::mutex& FontMutex() {
    static std::mutex m;
    return m;
}
std::map<FontKey, StoredFont>& Fonts() {
    static auto* fonts = new std::map<FontKey, StoredFont>;
    return *fonts;
}

// What a fitted text was measured at, so that an unchanged text is not
// measured again on every redraw.
using FitKey = std::tuple<const IGraphics*, std::string, int, int, int, std::string, int, int>;
std::map<FitKey, FittedText>& Fits() {
    static auto* fits = new std::map<FitKey, FittedText>;
    return *fits;
}
constexpr size_t kMaxFits = 4096;
// A text shrinks to fit its box down to two thirds of the size its panel asks
// for, and never below 6: smaller, it is no longer read but guessed at. What
// is too long even then is cut, and an ellipsis says so.
constexpr int kMinFittedSize = 6;
int SmallestFittedSize(int size) { return std::min(size, std::max(kMinFittedSize, size * 2 / 3)); }
constexpr const char* kEllipsis = "\xE2\x80\xA6";

StoredFont* FontFor(const IGraphics* owner, const IText* style, int size) {
    FontKey key{owner, style->mFont, size, (int)style->mStyle, (int)style->mQuality};
    auto it = Fonts().find(key);
    if (it != Fonts().end()) return &it->second;
    const char quality = style->mQuality == IText::kQualityNonAntiAliased ? 3
                         : style->mQuality == IText::kQualityAntiAliased  ? 4
                                                                          : 0;
    HGDIOBJ hfont = CreateFont(size, 0, 0, 0, style->mStyle == IText::kStyleBold ? 700 : 400,
                               style->mStyle == IText::kStyleItalic, 0, 0, 0, 0, 0, quality, 0, style->mFont);
    StoredFont stored;
    stored.font = std::make_unique<RAST_CachedFont>();
    stored.font->SetFromHFont(hfont, RAST_FONT_OWNS_HFONT | RAST_FONT_NATIVE);
    if (stored.font->GetLineHeight() < 1) return nullptr;
    std::string face = style->mFont;
    if (style->mStyle == IText::kStyleBold) face += " Bold";
    if (style->mStyle == IText::kStyleItalic) face += " Italic";
    if (platform::CTFontRef ct = platform::CTFontCreateWithName(face.c_str(), size)) {
        stored.ascent = platform::CTFontGetAscent(ct);
        stored.descent = platform::CTFontGetDescent(ct);
        stored.capHeight = platform::CTFontGetCapHeight(ct);
        platform::CTFontRelease(ct);
    } else {
        stored.ascent = stored.capHeight = stored.font->GetLineHeight();
    }
    return &(Fonts()[key] = std::move(stored));
}

// The width of str as drawn from the glyph cache, or laid out by the toolkit.
int TextWidth(StoredFont* f, const char* str, bool laidOut) {
    RECT r{0, 0, 0, 0};
    f->font->DrawText(nullptr, str, -1, &r, DT_CALCRECT | DT_SINGLELINE | (laidOut ? 0u : RAST_DT_NOTOOLKIT));
    return r.right - r.left;
}

// The ink of a line runs from the top of the capitals to the bottom of the
// descenders; the space the face keeps above the capitals for accents may
// fall outside the box.
int InkHeight(const StoredFont* f) { return static_cast<int>(std::ceil(f->capHeight + f->descent)); }

FittedText FitLocked(const IGraphics* owner, const IText* style, const char* str, int w, int h) {
    // Opaque text may fit where the same text with alpha does not.
    FitKey key{owner,
               style->mFont,
               style->mSize,
               (int)style->mStyle * 2 + (style->mColor.A == 255),
               (int)style->mQuality,
               str,
               w,
               h};
    auto it = Fits().find(key);
    if (it != Fits().end()) return it->second;
    // The toolkit lays out only opaque text; its fractional advances make a
    // line narrower than the cache's whole-pixel glyphs.
    const bool mayLayOut = style->mColor.A == 255;
    FittedText fit;
    for (int size = std::max(style->mSize, 1);; --size) {
        StoredFont* f = FontFor(owner, style, size);
        if (!f) break;
        fit.size = size;
        fit.width = TextWidth(f, str, false);
        fit.laidOut = false;
        if (fit.width > w && mayLayOut) {
            const int laidOut = TextWidth(f, str, true);
            if (laidOut <= w) fit.width = laidOut, fit.laidOut = true;
        }
        if ((fit.width <= w && InkHeight(f) <= h) || size <= SmallestFittedSize(style->mSize)) break;
    }
    if (fit.width > w && fit.size > 0) {
        // As many characters as fit with the ellipsis, from both ends: the end
        // of a name is as often what tells it from its neighbours.
        StoredFont* f = FontFor(owner, style, fit.size);
        const std::string whole = str;
        std::vector<size_t> starts;  // where each character begins
        for (size_t i = 0; i < whole.size(); ++i)
            if (i == 0 || (static_cast<unsigned char>(whole[i]) & 0xC0) != 0x80) starts.push_back(i);
        auto keeping = [&](size_t n) {
            const size_t head = (n + 1) / 2, tail = n / 2;
            return whole.substr(0, starts[head]) + kEllipsis +
                   (tail ? whole.substr(starts[starts.size() - tail]) : std::string());
        };
        size_t lo = 0, hi = starts.size() - 1;
        while (f && lo < hi) {
            const size_t mid = (lo + hi + 1) / 2;
            if (TextWidth(f, keeping(mid).c_str(), false) <= w)
                lo = mid;
            else
                hi = mid - 1;
        }
        fit.cut = keeping(lo);
        fit.laidOut = false;
    }
    if (Fits().size() >= kMaxFits) Fits().clear();
    Fits()[key] = fit;
    return fit;
}

bool DrawTextWithFont(const IGraphics* owner, RAST_IBitmap* dest, const IText* style, const char* str,
                      const IRECT* rect) {
    std::lock_guard<std::mutex> lock(FontMutex());
    const FittedText fit = FitLocked(owner, style, str, rect->W(), rect->H());
    StoredFont* f = fit.size > 0 ? FontFor(owner, style, fit.size) : nullptr;
    if (!f) return false;
    RAST_CachedFont* font = f->font.get();
    const unsigned int colour = style->mColor.ToWord();
    font->SetTextColor(colour);
    unsigned int flags = DT_SINGLELINE | (style->mAlign == IText::kAlignCenter ? DT_CENTER
                                          : style->mAlign == IText::kAlignFar  ? DT_RIGHT
                                                                               : 0);
    if (style->mColor.A < 255) flags |= RAST_DT_TEXTALPHA;
    // The font's own glyph cache draws a panel's short texts faster than the
    // toolkit lays them out anew on every redraw.
    if (!fit.laidOut) flags |= RAST_DT_NOTOOLKIT;
    if (!fit.cut.empty()) str = fit.cut.c_str();
    // The line hangs from the top of the box as far as its descenders allow;
    // a box too low for the whole line takes its ink centred. The line
    // starts the face's ascent above the baseline.
    const int ascent = static_cast<int>(std::lround(f->ascent)), cap = static_cast<int>(std::lround(f->capHeight));
    int baseline = std::min(rect->T + ascent, rect->B - static_cast<int>(std::ceil(f->descent)));
    if (baseline - cap < rect->T) baseline = rect->T + (rect->H() - InkHeight(f)) / 2 + cap;
    const int top = std::min(rect->T, baseline - ascent);
    RECT r{rect->L, top, rect->R, rect->B};
    font->DrawText(dest, str, -1, &r, flags);
    return true;
}

void ForgetFontsOf(const IGraphics* owner) {
    std::lock_guard<std::mutex> lock(FontMutex());
    for (auto it = Fonts().begin(); it != Fonts().end();)
        it = std::get<0>(it->first) == owner ? Fonts().erase(it) : std::next(it);
    for (auto it = Fits().begin(); it != Fits().end();)
        it = std::get<0>(it->first) == owner ? Fits().erase(it) : std::next(it);
}

}  // namespace

RAST_IBitmap* NewSurface(int width, int height) { return new RAST_SysBitmap(width, height); }

void Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int x, int y, int srcX, int srcY, int w, int h, float alpha,
          int mode) {
    RAST_Blit(dest, src, x, y, srcX, srcY, w, h, alpha, mode);
}

void Fill(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int colour, float alpha, int mode) {
    RAST_FillRect(dest, x, y, w, h, colour, alpha, mode);
}

RAST_IBitmap* LoadScaledPNG(const char* path, double scale) {
    RAST_IBitmap* src = RAST_LoadPNG(path, nullptr);
    if (!src || scale == 1.0) return src;
    int w = static_cast<int>(src->getWidth() * scale), h = static_cast<int>(src->getHeight() * scale);
    auto* dst = new RAST_MemBitmap(w, h, 4);
    RAST_ScaledBlit(dst, src, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(src->getWidth()),
                    static_cast<float>(src->getHeight()), 1.0f, 0x100);
    delete src;
    return dst;
}

bool DrawText(const IGraphics* owner, RAST_IBitmap* dest, const IText* style, const char* str, const IRECT* rect) {
    return DrawTextWithFont(owner, dest, style, str, rect);
}

FittedText FitText(const IGraphics* owner, const IText* style, const char* str, int width, int height) {
    if (!style || !str) return {};
    std::lock_guard<std::mutex> lock(FontMutex());
    return FitLocked(owner, style, str, width, height);
}

void ForgetFonts(const IGraphics* owner) { ForgetFontsOf(owner); }

std::string FindResource(const IGraphics* owner, const char* path) {
    if (!path || !*path) return "";
    return platform::cf::Bundle::containing(reinterpret_cast<const void*>(&FindResource)).findResource(path);
}

}  // namespace hvraster
