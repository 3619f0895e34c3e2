#include "raster/RAST_Combine.h"

#include <array>

namespace {

constexpr std::array<unsigned short, 256> makeInvTab() {
  std::array<unsigned short, 256> t{};
  for (int i = 1; i < 256; i++) t[i] = (unsigned short)(65536 / i - 1);
  return t;
}
constexpr std::array<unsigned short, 256> kInvTab = makeInvTab();

int boundCh(int v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : v; }
int boundAlpha(int v) { return v < -RAST_ALPHA_LIMIT ? -RAST_ALPHA_LIMIT : v > RAST_ALPHA_LIMIT ? RAST_ALPHA_LIMIT : v; }

}  // namespace

const unsigned short _RAST_RGB2HSV_invtab[256] = {
#define R(i) kInvTab[i], kInvTab[i + 1], kInvTab[i + 2], kInvTab[i + 3]
#define R16(i) R(i), R(i + 4), R(i + 8), R(i + 12)
    R16(0),   R16(16),  R16(32),  R16(48),  R16(64),  R16(80),  R16(96),  R16(112),
    R16(128), R16(144), R16(160), R16(176), R16(192), R16(208), R16(224), R16(240),
#undef R16
#undef R
};

namespace rast_detail {

// Hue runs 0..383 in six sectors of 64 (red 0, yellow 64, green 128, cyan
// 192, blue 256, magenta 320); saturation and value 0..255.
void hsvAdjust(unsigned char* dest, int r, int g, int b, int a, int64_t alpha) {
  const int R = dest[1], G = dest[2], B = dest[3];
  int V, mn, num, base;
  if (R < G) {
    if (G > B) {
      V = G;
      mn = R < B ? R : B;
      num = B - R;
      base = 128;
    } else {
      V = B;
      mn = R;
      num = R - G;
      base = 256;
    }
  } else if (B < R) {
    V = R;
    mn = G < B ? G : B;
    num = G - B;
    base = G < B ? 383 : 0;
  } else {
    V = B;
    mn = G;
    num = R - G;
    base = 256;
  }
  const int delta = V - mn;
  int64_t H = base + ((_RAST_RGB2HSV_invtab[delta] + 1) * num) / 1024;
  int64_t S = (_RAST_RGB2HSV_invtab[V] * delta) / 256;
  int64_t Vv = V;

  H += ((r + r / 2 - 192) * alpha) / 256;
  if (H < 0)
    H += 384;
  else if (H > 383)
    H -= 384;
  S = clamp255(S + ((g - 128) * alpha) / 128);
  Vv = clamp255(Vv + ((b - 128) * alpha) / 128);

  // Extrapolating opacities can leave the hue outside 0..383 even after the
  // wrap; the first and last sectors are open-ended so every hue has one.
  const int64_t p = ((256 - S) * Vv) / 256;
  auto ramp = [&](int64_t t) { return ((16384 - t * S) * Vv) / 16384; };
  int64_t red, green, blue;
  if (H < 64) {
    red = Vv, green = ramp(64 - H), blue = p;
  } else if (H < 128) {
    red = ramp(H - 64), green = Vv, blue = p;
  } else if (H < 192) {
    red = p, green = Vv, blue = ramp(192 - H);
  } else if (H < 256) {
    red = p, green = ramp(H - 192), blue = Vv;
  } else if (H < 320) {
    red = ramp(320 - H), green = p, blue = Vv;
  } else {
    red = Vv, green = p, blue = ramp(H - 320);
  }
  unsigned int w = RAST_MakePixel(a, (int)(red & 255), (int)(green & 255), (int)(blue & 255));
  dest[0] = (unsigned char)w;
  dest[1] = (unsigned char)(w >> 8);
  dest[2] = (unsigned char)(w >> 16);
  dest[3] = (unsigned char)(w >> 24);
}

}  // namespace rast_detail

namespace {

template <bool CLAMP>
void combineOne(unsigned char* d, int r, int g, int b, int a, int alpha, int mode) {
  RAST_DispatchCombiner<CLAMP>(mode, alpha, [&]<class C>() { C::doPix(d, r, g, b, a, alpha); });
}

template <bool CLAMP>
void combinePixels2(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode) {
  if (!dest || !alpha) return;
  combineOne<CLAMP>((unsigned char*)dest, boundCh(r), boundCh(g), boundCh(b), boundCh(a), boundAlpha(alpha), mode);
}

}  // namespace

unsigned int RAST_CombinePixels(unsigned int dest, unsigned int src, float alpha, int mode) {
  int ia = RAST_AlphaToInt(alpha);
  if (!ia) return dest;
  // The copy at full opacity gives the source word itself, and the
  // source-alpha copy skips transparent sources: both fall out of the
  // dispatch, which works on a copy of dest.
  unsigned int d = dest;
  combineOne<false>((unsigned char*)&d, (int)RAST_PixelRed(src), (int)RAST_PixelGreen(src),
                    (int)RAST_PixelBlue(src), (int)RAST_PixelAlpha(src), ia, mode);
  return d;
}

void RAST_CombinePixels2(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode) {
  combinePixels2<false>(dest, r, g, b, a, alpha, mode);
}

void RAST_CombinePixels2Clamp(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode) {
  combinePixels2<true>(dest, r, g, b, a, alpha, mode);
}
