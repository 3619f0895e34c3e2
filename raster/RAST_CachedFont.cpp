#include "raster/RAST_CachedFont.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/RAST_Blit.h"
#include "raster/RAST_BitmapAccess.h"
#include "raster/RAST_Glyph.h"
#include "raster/RAST_Rect.h"
#include "raster/RAST_SysBitmap.h"

RAST_SysBitmap* RAST_CachedFont::s_tempbitmap = nullptr;
RAST_SysBitmap* RAST_CachedFont::s_nativerender_tempbitmap = nullptr;
int RAST_CachedFont::s_tempbitmap_refcnt = 0;

namespace {

constexpr int kGlyphScratchSide = 256;
constexpr int kMaxLineHeight = 1023;

int _charSortFunc(const void* a, const void* b) {
    return ((const RAST_GlyphRecord*)a)->code - ((const RAST_GlyphRecord*)b)->code;
}

// The glyph scratch draws white text on an opaque black background.
void prepareScratchContext(RAST_SysBitmap* bm) {
    HDC dc = bm->getDC();
    ::SetTextColor(dc, 0xFFFFFF);
    ::SetBkMode(dc, 1);
    ::SetBkColor(dc, 0);
}

void ensureScratchSide(int side) {
    if (!RAST_CachedFont::s_tempbitmap) RAST_CachedFont::s_tempbitmap = new RAST_SysBitmap(0, 0);
    RAST_SysBitmap* bm = RAST_CachedFont::s_tempbitmap;
    if (bm->getWidth() < side || bm->getHeight() < side) {
        bm->resize(side, side);
        prepareScratchContext(bm);
    }
}

// Renderers over a cut box of a mask: each calls the combiner with source
// alpha 255 and a per-pixel opacity.
template <class C>
struct GlyphRenderer {
    static void Normal(const unsigned char* mask, unsigned int* dest, int maskspan, int deststride, int w, int h, int r,
                       int g, int b, int a) {
        for (; h > 0; h--, mask += maskspan, dest += deststride)
            for (int i = 0; i < w; i++) {
                const int v = mask[i];
                if (!v) continue;
                const int k = a == 256 ? v + 1 : std::min((v * a) / 256, 256);
                C::doPix((unsigned char*)(dest + i), r, g, b, 255, k);
            }
    }
    static void Mono(const unsigned char* mask, unsigned int* dest, int maskspan, int deststride, int w, int h, int r,
                     int g, int b, int a) {
        for (; h > 0; h--, mask += maskspan, dest += deststride)
            for (int i = 0; i < w; i++)
                if (mask[i]) C::doPix((unsigned char*)(dest + i), r, g, b, 255, a);
    }
    static void Effect(const unsigned char* mask, unsigned int* dest, int maskspan, int deststride, int w, int h, int r,
                       int g, int b, int a, int er, int eg, int eb) {
        for (; h > 0; h--, mask += maskspan, dest += deststride)
            for (int i = 0; i < w; i++) {
                const int v = mask[i];
                if (!v) continue;
                if (v == 255)
                    C::doPix((unsigned char*)(dest + i), r, g, b, 255, a);
                else
                    C::doPix((unsigned char*)(dest + i), er, eg, eb, 255, a);
            }
    }
};

enum Renderer { kNormal, kMono, kEffect };

template <class C>
void render(Renderer which, const unsigned char* mask, unsigned int* dest, int maskspan, int deststride, int w, int h,
            unsigned int fg, unsigned int fx, int a) {
    const int r = RAST_PixelRed(fg), g = RAST_PixelGreen(fg), b = RAST_PixelBlue(fg);
    switch (which) {
        case kNormal:
            GlyphRenderer<C>::Normal(mask, dest, maskspan, deststride, w, h, r, g, b, a);
            break;
        case kMono:
            GlyphRenderer<C>::Mono(mask, dest, maskspan, deststride, w, h, r, g, b, a);
            break;
        case kEffect:
            GlyphRenderer<C>::Effect(mask, dest, maskspan, deststride, w, h, r, g, b, a, RAST_PixelRed(fx),
                                     RAST_PixelGreen(fx), RAST_PixelBlue(fx));
            break;
    }
}

// Coverage cut to 0 or 255 at 131.
void cutCoverage(unsigned char* m, int n) {
    for (int i = 0; i < n; i++) m[i] = m[i] >= 131 ? 255 : 0;
}

}  // namespace

RAST_CachedFont::RAST_CachedFont() {
    memset(m_lowchars, 0, sizeof m_lowchars);
    s_tempbitmap_refcnt++;
}

RAST_CachedFont::~RAST_CachedFont() {
    if ((m_flags & RAST_FONT_OWNS_HFONT) && m_font) DeleteObject(m_font);
    if (--s_tempbitmap_refcnt == 0) {
        delete s_tempbitmap;
        s_tempbitmap = nullptr;
        delete s_nativerender_tempbitmap;
        s_nativerender_tempbitmap = nullptr;
    }
}

void RAST_CachedFont::SetFromHFont(HGDIOBJ font, int flags) {
    if ((m_flags & RAST_FONT_OWNS_HFONT) && m_font && m_font != font) DeleteObject(m_font);
    m_flags = flags;
    m_font = font;
    if (font) {
        ensureScratchSide(kGlyphScratchSide);
        HDC dc = s_tempbitmap->getDC();
        HGDIOBJ prev = SelectObject(dc, font);
        TEXTMETRIC tm;
        GetTextMetrics(dc, &tm);
        m_lineheight = tm.tmHeight;
        if (prev) SelectObject(dc, prev);
    }
    memset(m_lowchars, 0, sizeof m_lowchars);
    m_extracharlist.Resize(0, false);
    m_gxbuf.Resize(0, true);
    if (flags & RAST_FONT_PRERENDER)
        for (int c = 0; c < 128; c++) RenderGlyph((unsigned short)c);
}

unsigned int RAST_CachedFont::SetTextColor(unsigned int colour) {
    std::swap(m_fg, colour);
    return colour;
}
unsigned int RAST_CachedFont::SetBkColor(unsigned int colour) {
    std::swap(m_bg, colour);
    return colour;
}
unsigned int RAST_CachedFont::SetEffectColor(unsigned int colour) {
    std::swap(m_effectcol, colour);
    return colour;
}
int RAST_CachedFont::SetBkMode(int mode) {
    std::swap(m_bgmode, mode);
    return mode;
}
void RAST_CachedFont::SetCombineMode(int mode, float alpha) {
    m_comb = mode;
    m_alpha = alpha;
}

int RAST_CachedFont::DrawText(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) {
    return DrawTextImpl(bitmap, text, length, rect, flags);
}

int RAST_CachedFont::GetExtraGlyphCount() const { return m_extracharlist.GetSize() / (int)sizeof(RAST_GlyphRecord); }

const RAST_GlyphRecord* RAST_CachedFont::GetExtraGlyph(int index) const {
    if (index < 0 || index >= GetExtraGlyphCount()) return nullptr;
    return (const RAST_GlyphRecord*)m_extracharlist.Get() + index;
}

RAST_GlyphRecord* RAST_CachedFont::findChar(unsigned short c) {
    if (c < 128) return &m_lowchars[c];
    const int n = GetExtraGlyphCount();
    if (n < 1) return nullptr;
    RAST_GlyphRecord key{};
    key.code = c;
    return (RAST_GlyphRecord*)bsearch(&key, m_extracharlist.Get(), (size_t)n, sizeof(RAST_GlyphRecord), _charSortFunc);
}

bool RAST_CachedFont::RenderGlyph(unsigned short c) {
    if (m_lineheight > kMaxLineHeight) return false;

    // Where the record lives: its index in the extra list, or a direct one.
    int extraIndex = -1;
    bool appended = false;
    if (c >= 128) {
        RAST_GlyphRecord* found = findChar(c);
        if (found) {
            extraIndex = (int)(found - (RAST_GlyphRecord*)m_extracharlist.Get());
        } else {
            if (m_flags & RAST_FONT_PRERENDER) return false;
            const int n = GetExtraGlyphCount();
            auto* list = (RAST_GlyphRecord*)m_extracharlist.ResizeOK((n + 1) * (int)sizeof(RAST_GlyphRecord), false);
            if (!list) return false;
            list[n] = RAST_GlyphRecord{0, 0, 0, 0, c};
            extraIndex = n;
            appended = true;
        }
    }
    auto record = [&]() -> RAST_GlyphRecord& {
        return extraIndex < 0 ? m_lowchars[c] : ((RAST_GlyphRecord*)m_extracharlist.Get())[extraIndex];
    };
    auto finish = [&] {
        if (appended && GetExtraGlyphCount() >= 2)
            qsort(m_extracharlist.Get(), (size_t)GetExtraGlyphCount(), sizeof(RAST_GlyphRecord), _charSortFunc);
        return true;
    };
    auto nothingToDraw = [&] {
        RAST_GlyphRecord& g = record();
        g.pos = -1;
        g.width = g.height = g.advance = 0;
        return finish();
    };

    ensureScratchSide(std::max(m_lineheight, 1) * 2 + 8);
    RAST_SysBitmap* scratch = s_tempbitmap;
    HDC dc = scratch->getDC();
    HGDIOBJ prev = m_font ? SelectObject(dc, m_font) : nullptr;

    char buf[4] = {0, 0, 0, 0};
    if (c < 0x80) {
        buf[0] = (char)c;
    } else if (c < 0x800) {
        buf[0] = (char)(0xC0 + (c >> 6));
        buf[1] = (char)(0x80 | (c & 0x3F));
    } else {
        buf[0] = (char)(0xE0 | (c >> 12));
        buf[1] = (char)(0x80 | ((c >> 6) & 0x3F));
        buf[2] = (char)(0x80 | (c & 0x3F));
    }

    RECT r{0, 0, 0, 0};
    SHIM_DrawText(dc, buf, -1, &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
    int A = r.right, H = r.bottom;
    const int E = m_lineheight < 16 ? 2 : m_lineheight / 16 + 2;
    r.right = A + E;
    RAST_FillRect(scratch, 0, 0, A + E, H, 0, 1.0f, 0);
    SHIM_DrawText(dc, buf, -1, &r, DT_SINGLELINE | DT_NOPREFIX);
    A = std::min(A, scratch->getWidth());
    int W = std::min((int)r.right, scratch->getWidth());
    H = std::min(H, scratch->getHeight());
    if (prev) SelectObject(dc, prev);

    if (A < 1 || H < 1 || W < 1) return nothingToDraw();
    record().advance = A;
    if (m_flags & RAST_FONT_BLUR) RAST_Blur(scratch, scratch, 0, 0, 0, 0, W, H);

    const int start = m_gxbuf.GetSize();
    const int64_t needed = (int64_t)start + (int64_t)W * H;
    if (needed > INT32_MAX || !m_gxbuf.ResizeOK((int)needed, false) || m_gxbuf.GetSize() != (int)needed)
        return nothingToDraw();
    record().pos = start + 1;
    unsigned char* mask = (unsigned char*)m_gxbuf.Get() + start;

    // Coverage from the red byte (white on black); columns past the advance
    // count only where something was drawn.
    rast_detail::Surface s(scratch);
    int C = A;
    for (int y = 0; y < H; y++) {
        const unsigned char* row = s.at(0, y);
        unsigned char* out = mask + (size_t)y * W;
        for (int x = 0; x < W; x++) {
            const unsigned char v = row[4 * x + RAST_BYTE_RED];
            if (x >= A && v && x + 1 > C) C = x + 1;
            out[x] = (m_flags & RAST_FONT_INVERT) ? (unsigned char)(255 - v) : v;
        }
    }
    if (C < W) {
        for (int y = 1; y < H; y++) memmove(mask + (size_t)y * C, mask + (size_t)y * W, (size_t)C);
        m_gxbuf.Resize(start + H * C, false);
        mask = (unsigned char*)m_gxbuf.Get() + start;
        W = C;
    }

    if (m_flags & RAST_FONT_VERTICAL) {
        std::vector<unsigned char> old(mask, mask + (size_t)W * H);
        const int nw = H, nh = W;
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                const int nx = (m_flags & RAST_FONT_VERTICAL_UP) ? y : H - 1 - y;
                const int ny = (m_flags & RAST_FONT_VERTICAL_UP) ? W - 1 - x : x;
                mask[(size_t)ny * nw + nx] = old[(size_t)y * W + x];
            }
        W = nw;
        H = nh;
    }

    if (m_flags & RAST_FONT_MONO) cutCoverage(mask, W * H);
    if (m_flags & (RAST_FONT_SHADOW | RAST_FONT_OUTLINE)) {
        cutCoverage(mask, W * H);
        const bool shadow = m_flags & RAST_FONT_SHADOW;
        auto full = [&](int x, int y) { return x >= 0 && y >= 0 && x < W && y < H && mask[(size_t)y * W + x] == 255; };
        for (int y = 0; y < H; y++)
            for (int x = 0; x < W; x++) {
                unsigned char& v = mask[(size_t)y * W + x];
                if (v) continue;
                const bool mark = shadow ? full(x - 1, y) || full(x - 1, y - 1) || full(x, y - 1)
                                         : full(x, y - 1) || full(x, y + 1) || full(x - 1, y) || full(x + 1, y);
                if (mark) v = 128;
            }
    }
    record().width = W;
    record().height = H;
    return finish();
}

bool RAST_CachedFont::DrawGlyph(RAST_IBitmap* bitmap, unsigned short c, int x, int y, RECT* clip) {
    RAST_GlyphRecord* g = findChar(c);
    rast_detail::Surface s(bitmap);
    if (!g || !clip || s.empty() || g->pos < 1 || g->width < 1 || g->height < 1) return false;
    if ((int64_t)g->pos - 1 + (int64_t)g->width * g->height > m_gxbuf.GetSize()) return false;
    // The clip never reaches past the bitmap.
    const int64_t cl = std::max<int64_t>(clip->left, 0), ct = std::max<int64_t>(clip->top, 0);
    const int64_t cr = std::min<int64_t>(clip->right, s.width), cb = std::min<int64_t>(clip->bottom, s.height);
    const int64_t x0 = std::max<int64_t>(x, cl), y0 = std::max<int64_t>(y, ct);
    const int64_t x1 = std::min<int64_t>((int64_t)x + g->width, cr), y1 = std::min<int64_t>((int64_t)y + g->height, cb);
    if (x1 <= x0 || y1 <= y0) return false;
    const int w = (int)(x1 - x0), h = (int)(y1 - y0);
    const unsigned char* mask =
        (const unsigned char*)m_gxbuf.Get() + (g->pos - 1) + (y0 - y) * (int64_t)g->width + (x0 - x);
    const int maskspan = g->width;

    if (m_bgmode == 1)
        RAST_FillRect(bitmap, (int)x0, (int)y0, w, h, m_bg, m_alpha, m_comb & ~RAST_MODE_USE_SOURCE_ALPHA);

    unsigned int* dest = (unsigned int*)s.at((int)x0, (int)y0);
    const int stride = s.flipped ? -s.span : s.span;
    int a = RAST_AlphaToInt(m_alpha);
    const int op = m_comb & RAST_MODE_MASK;
    Renderer which = kNormal;
    if (m_flags & RAST_FONT_MONO) {
        if (m_alpha == 1.0f && op == RAST_MODE_COPY) {
            for (int yy = 0; yy < h; yy++)
                for (int xx = 0; xx < w; xx++)
                    if (mask[(size_t)yy * maskspan + xx]) dest[(ptrdiff_t)yy * stride + xx] = m_fg;
            return true;
        }
        a = std::min(a, 256);
        if (a == 0) return true;
        which = kMono;
    } else if (m_flags & (RAST_FONT_SHADOW | RAST_FONT_OUTLINE)) {
        if (m_alpha == 1.0f && op == RAST_MODE_COPY) {
            for (int yy = 0; yy < h; yy++)
                for (int xx = 0; xx < w; xx++) {
                    const unsigned char v = mask[(size_t)yy * maskspan + xx];
                    if (v) dest[(ptrdiff_t)yy * stride + xx] = v == 255 ? m_fg : m_effectcol;
                }
            return true;
        }
        a = std::min(a, 256);
        if (a == 0 || op > RAST_MODE_HSVADJUST) return true;
        which = kEffect;
    } else if (a == 0) {
        return true;
    }
    RAST_DispatchColourCombiner(
        op, a, [&]<class C>() { render<C>(which, mask, dest, maskspan, stride, w, h, m_fg, m_effectcol, a); });
    return true;
}
