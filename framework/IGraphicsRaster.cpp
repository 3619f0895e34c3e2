#include "framework/IGraphicsRaster.h"

#include <map>
#include <memory>
#include <mutex>
#include <tuple>

#include "raster/RAST_Bitmap.h"

#include "platform/corefoundation/Bundle.h"
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
// quality, made on first use and kept until the panel forgets its fonts.
using FontKey = std::tuple<const IGraphics*, std::string, int, int, int>;
std::mutex& FontMutex() {
    static std::mutex m;
    return m;
}
std::map<FontKey, std::unique_ptr<RAST_CachedFont>>& Fonts() {
    static auto* fonts = new std::map<FontKey, std::unique_ptr<RAST_CachedFont>>;
    return *fonts;
}

RAST_CachedFont* FontFor(const IGraphics* owner, const IText* style) {
    FontKey key{owner, style->mFont, style->mSize, (int)style->mStyle, (int)style->mQuality};
    auto it = Fonts().find(key);
    if (it != Fonts().end()) return it->second.get();
    const char quality = style->mQuality == IText::kQualityNonAntiAliased ? 3
                         : style->mQuality == IText::kQualityAntiAliased  ? 4
                                                                          : 0;
    HGDIOBJ hfont = CreateFont(style->mSize, 0, 0, 0, style->mStyle == IText::kStyleBold ? 700 : 400,
                               style->mStyle == IText::kStyleItalic, 0, 0, 0, 0, 0, quality, 0, style->mFont);
    auto font = std::make_unique<RAST_CachedFont>();
    font->SetFromHFont(hfont, RAST_FONT_OWNS_HFONT | RAST_FONT_NATIVE);
    if (font->GetLineHeight() < 1) return nullptr;
    return (Fonts()[key] = std::move(font)).get();
}

bool DrawTextWithFont(const IGraphics* owner, RAST_IBitmap* dest, const IText* style, const char* str,
                      const IRECT* rect) {
    std::lock_guard<std::mutex> lock(FontMutex());
    RAST_CachedFont* font = FontFor(owner, style);
    if (!font) return false;
    const unsigned int colour = style->mColor.ToWord();
    font->SetTextColor(colour);
    unsigned int flags = style->mAlign == IText::kAlignCenter ? DT_CENTER
                         : style->mAlign == IText::kAlignFar  ? DT_RIGHT
                                                              : 0;
    if (style->mColor.A < 255) flags |= RAST_DT_TEXTALPHA;
    RECT r{rect->L, rect->T, rect->R, rect->B};
    font->DrawText(dest, str, -1, &r, flags);
    return true;
}

void ForgetFontsOf(const IGraphics* owner) {
    std::lock_guard<std::mutex> lock(FontMutex());
    for (auto it = Fonts().begin(); it != Fonts().end();)
        it = std::get<0>(it->first) == owner ? Fonts().erase(it) : std::next(it);
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

void ForgetFonts(const IGraphics* owner) { ForgetFontsOf(owner); }

std::string FindResource(const IGraphics* owner, const char* path) {
    if (!path || !*path) return "";
    return platform::cf::Bundle::containing(reinterpret_cast<const void*>(&FindResource)).findResource(path);
}

}  // namespace hvraster
