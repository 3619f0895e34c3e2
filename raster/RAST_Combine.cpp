#include "raster/RAST_Combine.h"

namespace {

int boundCh(int v) { return v < -32768 ? -32768 : v > 32767 ? 32767 : v; }
int boundAlpha(int v) {
    return v < -RAST_ALPHA_LIMIT ? -RAST_ALPHA_LIMIT : v > RAST_ALPHA_LIMIT ? RAST_ALPHA_LIMIT : v;
}

}  // namespace

// Tables written out by expanding an entry macro over the indexes 0..255.
#define RAST_X8(F, t) F(t), F(t + 1), F(t + 2), F(t + 3), F(t + 4), F(t + 5), F(t + 6), F(t + 7)
#define RAST_X64(F, t)                                                                                                \
    RAST_X8(F, t), RAST_X8(F, t + 8), RAST_X8(F, t + 16), RAST_X8(F, t + 24), RAST_X8(F, t + 32), RAST_X8(F, t + 40), \
        RAST_X8(F, t + 48), RAST_X8(F, t + 56)
#define RAST_X256(F) RAST_X64(F, 0), RAST_X64(F, 64), RAST_X64(F, 128), RAST_X64(F, 192)

#define RAST_INV(i) (unsigned short)((i) == 0 ? 0 : 65536 / ((i) == 0 ? 1 : (i)) - 1)
const unsigned short _RAST_RGB2HSV_invtab[256] = {RAST_X256(RAST_INV)};
#undef RAST_INV

namespace rast_detail {

#define RAST_RECIP(t) (uint32_t)((t) < 2 ? 0 : (1ull << 32) / ((t) < 2 ? 1 : (t)) + 1)
const uint32_t dodgeRecip[257] = {RAST_X256(RAST_RECIP), RAST_RECIP(256)};
#undef RAST_RECIP

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
    combineOne<false>((unsigned char*)&d, (int)RAST_PixelRed(src), (int)RAST_PixelGreen(src), (int)RAST_PixelBlue(src),
                      (int)RAST_PixelAlpha(src), ia, mode);
    return d;
}

void RAST_CombinePixels2(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode) {
    combinePixels2<false>(dest, r, g, b, a, alpha, mode);
}

void RAST_CombinePixels2Clamp(unsigned int* dest, int r, int g, int b, int a, int alpha, int mode) {
    combinePixels2<true>(dest, r, g, b, a, alpha, mode);
}
