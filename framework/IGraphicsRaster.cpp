#include "framework/IGraphicsRaster.h"

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <tuple>

#include "raster/RAST_Bitmap.h"

// Raster parts land one by one; until a part is in, its operation draws
// nothing and HasBlit/HasImages/HasText say so.
#if __has_include("raster/RAST_Blit.h") && __has_include("raster/RAST_Rect.h")
#include "raster/RAST_Blit.h"
#include "raster/RAST_Rect.h"
#define HV_HAS_BLIT 1
#else
#define HV_HAS_BLIT 0
#endif
#if __has_include("raster/RAST_SysBitmap.h")
#include "raster/RAST_SysBitmap.h"
#define HV_HAS_SYSBITMAP 1
#else
#define HV_HAS_SYSBITMAP 0
#endif
#if __has_include("raster/RAST_PNG.h") && __has_include("raster/RAST_ScaledBlit.h")
#include "raster/RAST_PNG.h"
#include "raster/RAST_ScaledBlit.h"
#define HV_HAS_IMAGES 1
#else
#define HV_HAS_IMAGES 0
#endif
// Text goes through RAST_CachedFont and the toolkit's CreateFont once both
// are in; until then panel text is not drawn.
#define HV_HAS_TEXT 0
#if __has_include("platform/corefoundation/Bundle.h")
#include "platform/corefoundation/Bundle.h"
#define HV_HAS_BUNDLE 1
#else
#define HV_HAS_BUNDLE 0
#endif

namespace hvraster {

#if HV_HAS_TEXT
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
#endif

bool HasBlit() { return HV_HAS_BLIT; }
bool HasImages() { return HV_HAS_IMAGES; }
bool HasText() { return HV_HAS_TEXT; }

RAST_IBitmap* NewSurface(int width, int height) {
#if HV_HAS_SYSBITMAP
  return new RAST_SysBitmap(width, height);
#else
  return new RAST_MemBitmap(width, height, 4);
#endif
}

void Blit(RAST_IBitmap* dest, RAST_IBitmap* src, int x, int y, int srcX, int srcY, int w, int h, float alpha,
          int mode) {
#if HV_HAS_BLIT
  RAST_Blit(dest, src, x, y, srcX, srcY, w, h, alpha, mode);
#endif
}

void Fill(RAST_IBitmap* dest, int x, int y, int w, int h, unsigned int colour, float alpha, int mode) {
#if HV_HAS_BLIT
  RAST_FillRect(dest, x, y, w, h, colour, alpha, mode);
#endif
}

RAST_IBitmap* LoadScaledPNG(const char* path, double scale) {
#if HV_HAS_IMAGES
  RAST_IBitmap* src = RAST_LoadPNG(path, nullptr);
  if (!src) return nullptr;
  int w = static_cast<int>(src->getWidth() * scale), h = static_cast<int>(src->getHeight() * scale);
  auto* dst = new RAST_MemBitmap(w, h, 4);
  RAST_ScaledBlit(dst, src, 0, 0, w, h, 0.0f, 0.0f, static_cast<float>(src->getWidth()),
                  static_cast<float>(src->getHeight()), 1.0f, 0x100);
  delete src;
  return dst;
#else
  return nullptr;
#endif
}

bool DrawText(const IGraphics* owner, RAST_IBitmap* dest, const IText* style, const char* str, const IRECT* rect) {
  return true;
}

void ForgetFonts(const IGraphics* owner) {
}

std::string FindResource(const IGraphics* owner, const char* path) {
  if (!path || !*path) return "";
#if HV_HAS_BUNDLE
  return platform::cf::Bundle::containing(reinterpret_cast<const void*>(&FindResource)).findResource(path);
#else
  const char* root = std::getenv("HALVORAN_BUNDLE");
  if (!root || !*root) return "";
  std::string p = path;
  auto slash = p.find_last_of('/');
  std::string candidate = std::string(root) + "/resources/" + (slash == std::string::npos ? p : p.substr(slash + 1));
  struct stat st {};
  return ::stat(candidate.c_str(), &st) == 0 ? candidate : "";
#endif
}

}  // namespace hvraster
