// Laying out and drawing a string with a cached font: through its own glyph
// cache, or handed whole to the toolkit.
#include <algorithm>
#include <climits>

#include "raster/RAST_Blit.h"
#include "raster/RAST_CachedFont.h"
#include "raster/RAST_SysBitmap.h"

namespace {

bool isContinuation(unsigned char b) { return b >= 0x80 && b <= 0xC0; }

// One character from at most avail bytes: bytes past avail count as not
// continuing the character, so nothing beyond them is read.
int utf8charn(const char* text, long avail, unsigned short* c) {
    const unsigned char* p = (const unsigned char*)text;
    const unsigned char lead = p[0];
    auto follows = [&](int n) {
        if (avail <= n) return false;
        for (int i = 1; i <= n; i++)
            if (!isContinuation(p[i])) return false;
        return true;
    };
    unsigned short code = lead;
    int taken = 1;
    if (lead >= 0xC2 && lead <= 0xDF && follows(1)) {
        code = (unsigned short)(((lead & 0x1F) << 6) | (p[1] & 0x3F));
        taken = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF && follows(2)) {
        code = (unsigned short)(((lead & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
        taken = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4 && follows(3)) {
        code = 0x20;
        taken = 4;
    }
    if (c) *c = code;
    return taken;
}

int toInt(int64_t v) { return (int)std::clamp<int64_t>(v, INT_MIN, INT_MAX); }

constexpr unsigned int kAlignFlags = DT_VCENTER | DT_CENTER | DT_BOTTOM | DT_RIGHT;

}  // namespace

int utf8char(const char* p, unsigned short* c) { return utf8charn(p, LONG_MAX, c); }

bool RAST_CachedFont::toolkitRoad(unsigned int flags) const {
    if (m_lineheight >= 256) return true;
    return (m_flags & RAST_FONT_NATIVE) && !(m_flags & RAST_FONT_EFFECTS) && flags < RAST_DT_TEXTALPHA && m_font &&
           ((flags & DT_SINGLELINE) || m_linespace_adj == 0);
}

int RAST_CachedFont::DrawTextImpl(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) {
    if (!rect || !text) return 0;
    if (!bitmap && !(flags & DT_CALCRECT)) return 0;
    if (toolkitRoad(flags)) return drawToolkit(bitmap, text, length, rect, flags);
    if (flags & DT_CALCRECT) return measureGlyphs(text, length, rect, flags);
    return drawGlyphs(bitmap, text, length, rect, flags);
}

int RAST_CachedFont::drawToolkit(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) {
    const int fg = RAST_PixelToShimColor(m_fg), bg = RAST_PixelToShimColor(m_bg);
    auto setColours = [&](HDC dc) {
        ::SetTextColor(dc, fg);
        ::SetBkMode(dc, m_bgmode);
        if (m_bgmode == 1) ::SetBkColor(dc, bg);
    };

    if (HDC dc = bitmap ? bitmap->getDC() : nullptr) {
        HGDIOBJ prev = SelectObject(dc, m_font);
        RECT r = *rect;
        setColours(dc);
        const int res = SHIM_DrawText(dc, text, length, &r, (int)((flags & ~RAST_DT_NOTOOLKIT) | DT_NOPREFIX));
        if (flags & DT_CALCRECT) *rect = r;
        if (prev) SelectObject(dc, prev);
        return res;
    }

    if (!s_nativerender_tempbitmap) s_nativerender_tempbitmap = new RAST_SysBitmap(0, 0);
    RAST_SysBitmap* scratch = s_nativerender_tempbitmap;
    if (scratch->getWidth() < 4 || scratch->getHeight() < 4) scratch->resize(4, 4);
    HDC dc = scratch->getDC();
    if (!dc) return 0;
    HGDIOBJ prev = SelectObject(dc, m_font);
    RECT m{0, 0, 0, 0};
    const int R = SHIM_DrawText(dc, text, length, &m, (int)((flags & 0x7FFFFF48u) | DT_CALCRECT | DT_NOPREFIX));
    const int64_t w = (int64_t)m.right - m.left, h = (int64_t)m.bottom - m.top;
    auto done = [&](int result) {
        if (prev) SelectObject(dc, prev);
        return result;
    };
    if (flags & DT_CALCRECT) {
        rect->right = toInt(rect->left + w);
        rect->bottom = toInt(rect->top + h);
        return done(R);
    }

    int64_t x = (flags & DT_RIGHT)    ? rect->right - w
                : (flags & DT_CENTER) ? ((int64_t)rect->left + rect->right - w) / 2
                                      : rect->left;
    int64_t y = (flags & DT_BOTTOM)    ? rect->bottom - h
                : (flags & DT_VCENTER) ? ((int64_t)rect->top + rect->bottom - h) / 2
                                       : rect->top;
    int64_t right = std::min<int64_t>(x + w, bitmap->getWidth());
    int64_t bottom = std::min<int64_t>(y + h, bitmap->getHeight());
    int64_t clipx = 0, clipy = 0;
    if (!(flags & DT_NOCLIP)) {
        right = std::min<int64_t>(right, rect->right);
        bottom = std::min<int64_t>(bottom, rect->bottom);
        clipx = std::max(rect->left, 0);
        clipy = std::max(rect->top, 0);
    }
    int64_t ox = 0, oy = 0;
    if (x < clipx) {
        ox = x - clipx;
        x = clipx;
    }
    if (y < clipy) {
        oy = y - clipy;
        y = clipy;
    }
    if (bottom <= y || right <= x) return done(R);
    const int aw = (int)(right - x), ah = (int)(bottom - y);

    if (scratch->getWidth() < aw || scratch->getHeight() < ah) {
        if (prev) SelectObject(dc, prev);
        scratch->resize(aw, ah);
        dc = scratch->getDC();
        if (!dc) return 0;
        prev = SelectObject(dc, m_font);
    }
    // Draw over a copy of what is there, then put the area back.
    RAST_Blit(scratch, bitmap, 0, 0, (int)x, (int)y, aw, ah, 1.0f, 0);
    setColours(dc);
    RECT at{toInt(ox), toInt(oy), aw, ah};
    const int res = SHIM_DrawText(dc, text, length, &at, (int)((flags & 0x7FFFFEC9u) | DT_NOPREFIX));
    RAST_Blit(bitmap, scratch, (int)x, (int)y, 0, 0, aw, ah, m_alpha, 0);
    return done(res);
}

template <class Visit>
void RAST_CachedFont::eachGlyph(const char* text, int length, unsigned int flags, Visit&& visit) {
    if (length == 0 || !*text) return;
    long remaining = length;
    const char* p = text;
    do {
        unsigned short c;
        const int n = utf8charn(p, length < 0 ? LONG_MAX : remaining, &c);
        p += n;
        if (length > 0) remaining = std::max(0L, remaining - n);
        if (c == 13) continue;
        if (c == 10) {
            if (!(flags & DT_SINGLELINE)) {
                visit(nullptr, c);
                continue;
            }
            c = 32;
        }
        RAST_GlyphRecord* g = findChar(c);
        if (!g) {
            const int before = GetExtraGlyphCount();
            RenderGlyph(c);
            if (GetExtraGlyphCount() != before) g = findChar(c);
            if (!g) continue;
        }
        if (g->pos == -1) continue;
        if (g->pos == 0) {
            RenderGlyph(c);
            g = findChar(c);
            if (!g || g->pos < 1) continue;
        }
        visit(g, c);
    } while ((length < 0 || remaining != 0) && *p);
}

int RAST_CachedFont::measureGlyphs(const char* text, int length, RECT* rect, unsigned int flags) {
    const bool vertical = m_flags & RAST_FONT_VERTICAL;
    const int64_t step = (int64_t)m_lineheight + m_linespace_adj;
    int64_t px = 0, py = 0, W = 0, H = 0;
    eachGlyph(text, length, flags, [&](const RAST_GlyphRecord* g, unsigned short) {
        if (!g) {
            if (vertical) {
                px += step;
                py = 0;
            } else {
                py += step;
                px = 0;
            }
            return;
        }
        if (vertical) {
            W = std::max(W, px + g->width);
            H = std::max({H, py + g->advance, py + g->height});
            py += g->advance;
        } else {
            W = std::max({W, px + g->advance, px + g->width});
            H = std::max(H, py + g->height);
            px += g->advance;
        }
    });
    rect->right = toInt(rect->left + W);
    rect->bottom = toInt(rect->top + H);
    return toInt(vertical ? W : H);
}

int RAST_CachedFont::drawGlyphs(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) {
    const float savedAlpha = m_alpha;
    if (flags & RAST_DT_TEXTALPHA) m_alpha = (float)(m_alpha * (RAST_PixelAlpha(m_fg) / 255.0));
    if (m_alpha == 0) {
        m_alpha = savedAlpha;
        return 0;
    }
    const int d = m_flags & 3;
    const bool vertical = m_flags & RAST_FONT_VERTICAL;

    int64_t x0 = rect->left, y0 = rect->top;
    if ((flags & kAlignFlags) || d == 3) {
        RECT m{0, 0, 0, 0};
        DrawText(bitmap, text, length, &m, DT_CALCRECT | (flags & (DT_SINGLELINE | RAST_DT_NOTOOLKIT)));
        const int64_t tw = (int64_t)m.right - m.left, th = (int64_t)m.bottom - m.top;
        if (flags & kAlignFlags) {
            x0 = (flags & DT_CENTER)  ? ((int64_t)rect->right - rect->left - tw) / 2 + rect->left
                 : (flags & DT_RIGHT) ? rect->right - tw
                                      : rect->left;
            y0 = (flags & DT_VCENTER)  ? ((int64_t)rect->bottom - rect->top - th) / 2 + rect->top
                 : (flags & DT_BOTTOM) ? rect->bottom - th
                                       : rect->top;
        }
        if (d == 3) y0 += th;
    }

    RECT clip{0, 0, bitmap->getWidth(), bitmap->getHeight()};
    if (!(flags & DT_NOCLIP)) {
        clip = RECT{std::max(rect->left, 0), std::max(rect->top, 0), std::min(rect->right, clip.right),
                    std::min(rect->bottom, clip.bottom)};
        if (clip.right <= clip.left || clip.bottom <= clip.top) {
            m_alpha = savedAlpha;
            return 0;
        }
    }

    const int64_t step = (int64_t)m_lineheight + m_linespace_adj;
    int64_t px = x0, py = y0, right = x0, bottom = y0;
    eachGlyph(text, length, flags, [&](const RAST_GlyphRecord* g, unsigned short c) {
        if (!g) {
            if (vertical) {
                px += step;
                py = y0;
            } else {
                py += step;
                px = x0;
            }
            return;
        }
        // A mask must lie inside the store.
        if ((int64_t)g->pos - 1 + (int64_t)g->width * g->height > m_gxbuf.GetSize()) return;
        const int w = g->width, h = g->height, adv = g->advance;
        if (d == 3) py -= h;
        const bool drawn = DrawGlyph(bitmap, c, toInt(px), toInt(py), &clip);
        if (vertical) {
            py += d == 3 ? h - adv : adv;
            if (drawn) right = std::max(right, px + w);
        } else {
            px += adv;
            if (drawn) bottom = std::max(bottom, py + h);
        }
    });
    m_alpha = savedAlpha;
    return toInt(vertical ? right - x0 : bottom - y0);
}
