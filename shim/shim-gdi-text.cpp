#include "shim/shim-gdi-text.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/BASE_AssocArray.h"
#include "base/BASE_Mutex.h"
#include "platform/coretext/CTFont.h"
#include "platform/coretext/CTLine.h"

using namespace platform;

namespace {

constexpr int kWorkBufferSize = 4096;
constexpr double kFrameSide = 100000.0;

// Composite font name -> the face name to create it with.
BASE_StringKeyedArray<char*> s_fontnamecache(true, BASE_StringKeyedArray<char*>::freecharptr);
BASE_Mutex s_fontnamecache_mutex;

CTFontRef fontOf(HDC hdc) {
    HGDIOBJ f = hdc->curfont;
    if (SHIM_IsValidObject(f, SHIM_GDIOBJ_FONT) && f->fontobj) return f->fontobj;
    return GetCoreTextDefaultFont();
}

// The name a face is created with: the installed face's PostScript name when
// one answers to the composite name, else the composite name itself. Empty
// when the name is not text.
std::string faceNameFor(const std::string& composite) {
    if (composite.empty()) return composite;
    BASE_MutexLock lock(s_fontnamecache_mutex);
    if (char** hit = s_fontnamecache.GetPtr(composite.c_str())) return *hit;
    if (!CTDecodeUTF8(composite.data(), composite.size(), nullptr)) return std::string();
    std::string name = composite, ps;
    if (CTFontFindInstalled(composite.c_str(), &ps) && !ps.empty()) name = ps;
    char* copy = strdup(name.c_str());
    if (copy && !s_fontnamecache.Insert(composite.c_str(), copy)) free(copy);
    return name;
}

// The length of buf without a character the buffer's end cut in two.
int wholeCharacters(const char* buf, int n) {
    int start = n;
    while (start > 0 && (static_cast<unsigned char>(buf[start - 1]) & 0xC0) == 0x80) --start;
    if (start == 0) return n;
    unsigned char lead = static_cast<unsigned char>(buf[start - 1]);
    int need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return n - (start - 1) < need ? start - 1 : n;
}

double lineHeightOf(CTLineRef line, double* ascent, double* width) {
    double a, d, l;
    *width = CTLineGetTypographicBounds(line, &a, &d, &l);
    *ascent = a;
    return a + d + l;
}

}  // namespace

CTFont* GetCoreTextDefaultFont() {
    static CTFontRef font = CTFontCreateLabelFont(10);
    return font;
}

int SHIM_FontNameCacheSize() {
    BASE_MutexLock lock(s_fontnamecache_mutex);
    return s_fontnamecache.GetSize();
}

HGDIOBJ CreateFont(int lfHeight, int lfWidth, int lfEscapement, int lfOrientation, int lfWeight, char lfItalic,
                   char lfUnderline, char lfStrikeOut, char lfCharSet, char lfOutPrecision, char lfClipPrecision,
                   char lfQuality, char lfPitchAndFamily, const char* lfFaceName) {
    HGDIOBJ__* obj = GDP_OBJECT_NEW();
    if (!obj) return nullptr;
    obj->type = SHIM_GDIOBJ_FONT;

    float size = std::fabs((float)(lfHeight ? lfHeight : lfWidth));
    if (size > 8192 || size < 2) size = 10;

    std::string composite = lfFaceName ? std::string(lfFaceName, strnlen(lfFaceName, 899)) : std::string();
    if (lfWeight >= 700) composite += " Bold";
    if (lfItalic) composite += " Italic";

    const std::string name = faceNameFor(composite);
    CTFontRef font = CTFontCreateWithName(name.c_str(), size);
    if (!font) font = CTFontCreateLabelFont(size);
    obj->fontobj = font;
    obj->fontsmoothing = lfQuality == SHIM_FONTQUALITY_NONANTIALIASED ? 3
                         : lfQuality == SHIM_FONTQUALITY_ANTIALIASED  ? 4
                                                                      : 0;
    return obj;
}

HGDIOBJ CreateFontIndirect(const LOGFONT* lf) {
    if (!lf) return nullptr;
    char face[sizeof lf->lfFaceName + 1];
    memcpy(face, lf->lfFaceName, sizeof lf->lfFaceName);
    face[sizeof lf->lfFaceName] = 0;
    return CreateFont(lf->lfHeight, lf->lfWidth, 0, lf->lfOrientation, lf->lfWeight, lf->lfItalic, 0, 0, 0, 0, 0,
                      lf->lfQuality, 0, face);
}

int GetTextMetrics(HDC hdc, TEXTMETRIC* tm) {
    if (tm) {
        tm->tmHeight = 16;
        tm->tmAscent = 12;
        tm->tmDescent = 4;
        tm->tmInternalLeading = 3;
        tm->tmAveCharWidth = 10;
    }
    if (!SHIM_IsValidContext(hdc) || !tm) return 0;
    CTFontRef font = fontOf(hdc);
    if (!font) return 1;
    tm->tmInternalLeading = (int32_t)CTFontGetLeading(font);
    tm->tmAscent = (int32_t)CTFontGetAscent(font);
    tm->tmDescent = (int32_t)CTFontGetDescent(font);
    const int s = tm->tmInternalLeading + tm->tmAscent + tm->tmDescent;
    tm->tmAveCharWidth = (2 * s) / 3;
    tm->tmHeight = s ? s + 1 : 0;
    return 1;
}

int SHIM_DrawText(HDC hdc, const char* text, int len, RECT* r, int flags) {
    if (!SHIM_IsValidContext(hdc) || !text || !r) return 0;

    // The work buffer: carriage returns dropped, prefixes taken out, line
    // feeds made blanks on a single line.
    char buf[kWorkBufferSize];
    int n = 0;
    for (int i = 0; (len < 0 || i < len) && text[i] && n < kWorkBufferSize - 1; i++) {
        char c = text[i];
        if (c == '\r') continue;
        if (c == '&' && !(flags & DT_NOPREFIX)) {
            if ((len >= 0 && i + 1 >= len) || !text[i + 1]) break;
            buf[n++] = text[++i];
            continue;
        }
        if (c == '\n' && (flags & DT_SINGLELINE)) c = ' ';
        buf[n++] = c;
    }
    if (n == kWorkBufferSize - 1) n = wholeCharacters(buf, n);
    if (n == 0) return 0;
    std::u32string chars;
    if (!CTDecodeUTF8(buf, (size_t)n, &chars)) return 0;
    CTFontRef font = fontOf(hdc);
    if (!font) return 0;

    std::vector<CTLineRef> lines;
    if (flags & DT_SINGLELINE)
        lines.push_back(CTLineCreate(font, chars, hdc->curtextcolor));
    else
        lines = CTFrameCreateLines(font, chars, kFrameSide, kFrameSide, hdc->curtextcolor);

    int64_t W = 0, T = 0;
    for (CTLineRef line : lines) {
        double a, w;
        const double h = lineHeightOf(line, &a, &w);
        W = std::max<int64_t>(W, (int64_t)std::floor(w + 0.5));
        T += (int64_t)std::floor(h + 1.5);
    }
    const int64_t H = T ? T + 1 : 0;
    int result = (int)std::min<int64_t>(H, INT32_MAX);

    if (flags & DT_CALCRECT) {
        r->right = (int32_t)std::clamp<int64_t>((int64_t)r->left + W, INT32_MIN, INT32_MAX);
        r->bottom = (int32_t)std::clamp<int64_t>((int64_t)r->top + H, INT32_MIN, INT32_MAX);
    } else if (CGContextRef ctx = hdc->ctx) {
        int64_t x = r->left, y = r->top;
        if (flags & DT_RIGHT)
            x += (int64_t)r->right - ((int64_t)r->left + W);
        else if (flags & DT_CENTER)
            x += ((int64_t)r->right - r->left) / 2 - W / 2;
        if (flags & DT_BOTTOM)
            y += (int64_t)r->bottom - H - r->top;
        else if (flags & DT_VCENTER)
            y += ((int64_t)r->bottom - r->top) / 2 - H / 2;

        CGContextSaveGState(ctx);
        CGContextSetTextMatrix(ctx, CGAffineTransformMake(1, 0, 0, -1, 0, 0));
        if (!(flags & DT_NOCLIP))
            CGContextClipToRect(ctx,
                                CGRectMake(r->left, r->top, (double)r->right - r->left, (double)r->bottom - r->top));
        CGColorRef background =
            hdc->curbkmode == 1 ? SHIM_CreateColor(SHIM_GetTextColorSpace(), hdc->curbkcol, 1) : nullptr;
        HGDIOBJ f = hdc->curfont;
        const int smoothing = SHIM_IsValidObject(f, SHIM_GDIOBJ_FONT) && f->fontobj ? f->fontsmoothing : 0;
        if (smoothing) CGContextSetShouldAntialias(ctx, smoothing == SHIM_FONTQUALITY_ANTIALIASED);

        double yy = (double)y;
        const bool single = flags & DT_SINGLELINE;
        for (CTLineRef line : lines) {
            double a, w;
            const double h = lineHeightOf(line, &a, &w);
            if (background) {
                CGContextSetFillColorWithColor(ctx, background);
                CGContextFillRect(
                    ctx, single ? CGRectMake((double)x, yy, (double)W, (double)H) : CGRectMake((double)x, yy, w, h));
            }
            CGContextSetTextPosition(ctx, (double)x, yy + a);
            CTLineDraw(line, ctx);
            // Lines advance by their rounded height, half a pixel less than
            // they measure.
            yy += std::floor(h + 0.5);
        }
        CGColorRelease(background);
        CGContextRestoreGState(ctx);
    }
    for (CTLineRef line : lines) CTLineRelease(line);
    return result;
}
