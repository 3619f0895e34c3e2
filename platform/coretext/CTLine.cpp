// Laying out lines and frames, and drawing lines into pixel memory.
#include "platform/coretext/CTLine.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "platform/coretext/CTFontFace.h"

namespace platform {

struct CTLine {
    std::atomic<int> refs{1};
    CTFontRef font = nullptr;
    std::u32string text;
    std::vector<uint32_t> glyphs;
    std::vector<double> positions;
    double width = 0;
};

namespace {

constexpr double kTabInterval = 28.0;

double clampUnit(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

// Where each glyph lands: its image, already cut to the visible box.
template <typename Visit>
void placeGlyphs(CTLineRef line, double x, double baselineY, bool antialias, const ct::PixelBox& visible,
                 Visit&& visit) {
    const long by = std::lround(baselineY);
    for (size_t i = 0; i < line->glyphs.size(); ++i) {
        if (ct::isControl(line->text[i])) continue;
        const double gx = x + line->positions[i];
        double ix = std::floor(gx);
        int quarter = static_cast<int>(std::lround((gx - ix) * 4));
        if (quarter == 4) {
            quarter = 0;
            ix += 1;
        }
        if (std::fabs(ix) > 1e9 || std::labs(by) > 1000000000L) continue;
        const int ox = static_cast<int>(ix), oy = static_cast<int>(by);
        // The visible box relative to this glyph's origin, in 64-bit so that
        // far-off origins cannot overflow.
        auto rel = [](long long v) {
            return static_cast<int>(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2));
        };
        const ct::PixelBox within{rel((long long)visible.left - ox), rel((long long)visible.top - oy),
                                  rel((long long)visible.right - ox), rel((long long)visible.bottom - oy)};
        if (within.right <= within.left || within.bottom <= within.top) continue;
        auto img = line->font->face->render(line->glyphs[i], quarter, antialias, within);
        if (img) visit(*img, ox + img->left, oy + img->top);
    }
}

}  // namespace

bool CTDecodeUTF8(const char* text, size_t length, std::u32string* out) {
    if (out) out->clear();
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        const unsigned char b = p[i];
        char32_t c;
        size_t n;
        if (b < 0x80) {
            c = b;
            n = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            c = b & 0x1F;
            n = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            c = b & 0x0F;
            n = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            c = b & 0x07;
            n = 4;
        } else {
            return false;
        }
        if (n > length - i) return false;
        for (size_t k = 1; k < n; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            c = (c << 6) | (p[i + k] & 0x3F);
        }
        if ((n == 3 && c < 0x800) || (n == 4 && c < 0x10000) || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        if (out) out->push_back(c);
        i += n;
    }
    return true;
}

CTLineRef CTLineCreate(CTFontRef font, const std::u32string& text) {
    if (!font) return nullptr;
    auto* line = new CTLine;
    line->font = CTFontRetain(font);
    line->text = text;
    line->glyphs.reserve(text.size());
    line->positions.reserve(text.size());
    ct::FontFace& face = *font->face;
    double pen = 0;
    for (char32_t c : text) {
        const uint32_t g = ct::isControl(c) ? 0 : face.glyphFor(c);
        line->glyphs.push_back(g);
        line->positions.push_back(pen);
        if (c == '\t') pen = (std::floor(pen / kTabInterval) + 1) * kTabInterval;
        else if (!ct::isControl(c)) pen += face.advance(g);
    }
    line->width = pen;
    return line;
}

CTLineRef CTLineRetain(CTLineRef line) {
    if (line) line->refs.fetch_add(1, std::memory_order_relaxed);
    return line;
}

void CTLineRelease(CTLineRef line) {
    if (line && line->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
        CTFontRelease(line->font);
        delete line;
    }
}

double CTLineGetTypographicBounds(CTLineRef line, double* ascent, double* descent, double* leading) {
    if (!line) {
        if (ascent) *ascent = 0;
        if (descent) *descent = 0;
        if (leading) *leading = 0;
        return 0;
    }
    if (ascent) *ascent = CTFontGetAscent(line->font);
    if (descent) *descent = CTFontGetDescent(line->font);
    if (leading) *leading = CTFontGetLeading(line->font);
    return line->width;
}

const std::u32string& CTLineGetText(CTLineRef line) {
    static const std::u32string empty;
    return line ? line->text : empty;
}

std::vector<CTLineRef> CTFrameCreateLines(CTFontRef font, const std::u32string& text, double frameWidth,
                                          double frameHeight) {
    std::vector<CTLineRef> lines;
    if (!font || text.empty()) return lines;
    const double lineHeight = CTFontGetAscent(font) + CTFontGetDescent(font) + CTFontGetLeading(font);
    ct::FontFace& face = *font->face;
    double used = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = start, lastBlank = std::u32string::npos;
        double pen = 0;
        while (end < text.size()) {
            const char32_t c = text[end];
            if (c == '\n') {
                ++end;
                break;
            }
            double next = pen;
            if (c == '\t') next = (std::floor(pen / kTabInterval) + 1) * kTabInterval;
            else if (!ct::isControl(c)) next = pen + face.advance(face.glyphFor(c));
            // Blanks may hang past the edge; anything else wraps.
            if (next > frameWidth && end > start && c != ' ') {
                if (lastBlank != std::u32string::npos) end = lastBlank + 1;
                break;
            }
            if (c == ' ') lastBlank = end;
            pen = next;
            ++end;
        }
        if (used + lineHeight > frameHeight) break;
        used += lineHeight;
        lines.push_back(CTLineCreate(font, text.substr(start, end - start)));
        start = end;
    }
    return lines;
}

void CTLineDraw(CTLineRef line, const CTDrawTarget& t, double x, double baselineY, const CTColor& colour,
                bool antialias) {
    if (!line || !t.pixels || t.width < 1 || t.height < 1) return;
    const ct::PixelBox visible{std::max(t.clipLeft, 0), std::max(t.clipTop, 0), std::min(t.clipRight, t.width),
                               std::min(t.clipBottom, t.height)};
    if (visible.right <= visible.left || visible.bottom <= visible.top) return;
    if (!std::isfinite(x) || !std::isfinite(baselineY)) return;
    // Weight of full coverage, in 1/65025 steps.
    const int strength = static_cast<int>(std::lround(clampUnit(colour.alpha) * 255));
    if (strength == 0) return;
    const int c[3] = {static_cast<int>(std::lround(clampUnit(colour.red) * 255)),
                      static_cast<int>(std::lround(clampUnit(colour.green) * 255)),
                      static_cast<int>(std::lround(clampUnit(colour.blue) * 255))};
    placeGlyphs(line, x, baselineY, antialias, visible, [&](const ct::GlyphImage& img, int left, int top) {
        for (int y = 0; y < img.height; ++y) {
            unsigned char* row = t.pixels + static_cast<long>(top + y) * t.rowBytes + static_cast<long>(left) * 4;
            const unsigned char* cov = &img.values[static_cast<size_t>(y) * img.width];
            for (int xx = 0; xx < img.width; ++xx) {
                if (!cov[xx]) continue;
                const int w = cov[xx] * strength;  // 0 to 65025
                unsigned char* px = row + xx * 4;
                for (int ch = 0; ch < 3; ++ch)
                    px[1 + ch] = static_cast<unsigned char>((px[1 + ch] * (65025 - w) + c[ch] * w + 32512) / 65025);
            }
        }
    });
}

CTCoverage CTLineRenderCoverage(CTLineRef line, double x, double baselineY, bool antialias) {
    CTCoverage out;
    if (!line || !std::isfinite(x) || !std::isfinite(baselineY)) return out;
    struct Piece {
        ct::GlyphImage img;
        int left, top;
    };
    std::vector<Piece> pieces;
    const ct::PixelBox all{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    placeGlyphs(line, x, baselineY, antialias, all,
                [&](const ct::GlyphImage& img, int left, int top) { pieces.push_back({img, left, top}); });
    if (pieces.empty()) return out;
    int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
    for (const auto& p : pieces) {
        l = std::min(l, p.left);
        t = std::min(t, p.top);
        r = std::max(r, p.left + p.img.width);
        b = std::max(b, p.top + p.img.height);
    }
    out.left = l;
    out.top = t;
    out.width = r - l;
    out.height = b - t;
    out.values.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (const auto& p : pieces)
        for (int y = 0; y < p.img.height; ++y)
            for (int xx = 0; xx < p.img.width; ++xx) {
                unsigned char& v = out.values[static_cast<size_t>(p.top - t + y) * out.width + (p.left - l + xx)];
                v = static_cast<unsigned char>(std::min(255, v + p.img.values[static_cast<size_t>(y) * p.img.width + xx]));
            }
    return out;
}

}  // namespace platform
