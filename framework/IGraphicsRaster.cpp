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
