// The raster library's fonts: a toolkit font wrapped in a glyph cache. Each
// character is rendered once through the toolkit into a shared scratch
// bitmap and kept as a coverage mask; text is then drawn by blending masks
// (the glyph road) or handed whole to the toolkit (the toolkit road).
#pragma once

#include "base/BASE_HeapBuf.h"
#include "raster/RAST_Bitmap.h"
#include "shim/shim-gdi-text.h"

class RAST_SysBitmap;

// Flags of SetFromHFont.
enum {
    RAST_FONT_VERTICAL = 0x1,     // masks turned a quarter, text runs downward
    RAST_FONT_VERTICAL_UP = 0x2,  // with VERTICAL: the other way, text runs upward
    RAST_FONT_PRERENDER = 0x4,    // render 0 to 127 at once; nothing beyond ever
    RAST_FONT_BLUR = 0x10,
    RAST_FONT_INVERT = 0x20,
    RAST_FONT_MONO = 0x40,
    RAST_FONT_SHADOW = 0x80,
    RAST_FONT_OUTLINE = 0x100,
    RAST_FONT_OWNS_HFONT = 0x200,  // DeleteObject on the toolkit font when let go
    RAST_FONT_NATIVE = 0x400,      // draw through the toolkit where possible
    RAST_FONT_EFFECTS = 0x1F7,
};

// Extra flags of DrawText beyond the DT_* ones.
constexpr unsigned int RAST_DT_TEXTALPHA = 0x40000000u;  // multiply the font's alpha by the text colour's
constexpr unsigned int RAST_DT_NOTOOLKIT = 0x80000000u;  // keep off the toolkit road

// Decodes one UTF-8 character at p into *c (when c is given): the number of
// bytes taken, 1 to 4. Stray bytes stand for themselves; a four-byte
// character becomes a blank.
int utf8char(const char* p, unsigned short* c);

class RAST_IFont {
public:
    virtual ~RAST_IFont() {}
    virtual void SetFromHFont(HGDIOBJ font, int flags) = 0;
    virtual unsigned int SetTextColor(unsigned int colour) = 0;
    virtual unsigned int SetBkColor(unsigned int colour) = 0;
    virtual unsigned int SetEffectColor(unsigned int colour) = 0;
    virtual int SetBkMode(int mode) = 0;
    virtual void SetCombineMode(int mode, float alpha) = 0;
    // Measures (DT_CALCRECT) or draws UTF-8 text in rect under the DT_*
    // flags; a negative length runs to the NUL.
    virtual int DrawText(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) = 0;
    virtual unsigned int GetTextColor() = 0;
    virtual HGDIOBJ GetHFont() = 0;
    virtual int GetLineHeight() = 0;
};

// One cached character. pos: 0 not rendered, -1 nothing to draw (skipped,
// no advance), n > 0 the mask starts at byte n - 1 of the coverage store.
struct RAST_GlyphRecord {
    int pos;
    int width;
    int height;
    int advance;
    int code;
};

class RAST_CachedFont : public RAST_IFont {
public:
    RAST_CachedFont();
    ~RAST_CachedFont() override;
    RAST_CachedFont(const RAST_CachedFont&) = delete;
    RAST_CachedFont& operator=(const RAST_CachedFont&) = delete;

    void SetFromHFont(HGDIOBJ font, int flags) override;
    unsigned int SetTextColor(unsigned int colour) override;
    unsigned int SetBkColor(unsigned int colour) override;
    unsigned int SetEffectColor(unsigned int colour) override;
    int SetBkMode(int mode) override;
    void SetCombineMode(int mode, float alpha) override;
    int DrawText(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags) override;
    unsigned int GetTextColor() override { return m_fg; }
    HGDIOBJ GetHFont() override { return m_font; }
    int GetLineHeight() override { return m_lineheight; }

    RAST_GlyphRecord* findChar(unsigned short c);
    // Renders c into the cache; false when it refused (line height above
    // 1023, or a code point beyond the pre-rendered set).
    bool RenderGlyph(unsigned short c);
    // Draws the cached mask of c with its top-left at (x, y), cut to clip;
    // true when anything was drawn.
    bool DrawGlyph(RAST_IBitmap* bitmap, unsigned short c, int x, int y, RECT* clip);
    int DrawTextImpl(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags);

    // The coverage store and the records beyond code point 127, for tests.
    const unsigned char* GetCoverage() const { return (const unsigned char*)m_gxbuf.Get(); }
    int GetCoverageSize() const { return m_gxbuf.GetSize(); }
    int GetExtraGlyphCount() const;
    const RAST_GlyphRecord* GetExtraGlyph(int index) const;

    // Shared by every cached font; they live while any font does.
    static RAST_SysBitmap* s_tempbitmap;
    static RAST_SysBitmap* s_nativerender_tempbitmap;
    static int s_tempbitmap_refcnt;

protected:
    unsigned int m_fg = 0;
    unsigned int m_bg = 0xFFFFFFFF;
    unsigned int m_effectcol = 0xFFFFFFFF;
    int m_bgmode = 0;
    int m_comb = 0;
    float m_alpha = 1.0f;
    int m_flags = 0;
    int m_lineheight = 0;
    int m_linespace_adj = 0;
    RAST_GlyphRecord m_lowchars[128];
    BASE_HeapBuf m_extracharlist{4096};
    BASE_HeapBuf m_gxbuf{65536};
    HGDIOBJ m_font = nullptr;

private:
    bool toolkitRoad(unsigned int flags) const;
    int drawToolkit(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags);
    int measureGlyphs(const char* text, int length, RECT* rect, unsigned int flags);
    int drawGlyphs(RAST_IBitmap* bitmap, const char* text, int length, RECT* rect, unsigned int flags);
    template <class Visit>
    void eachGlyph(const char* text, int length, unsigned int flags, Visit&& visit);
};
