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
    CGColorRef foreground = nullptr;
    std::u32string text;
    std::vector<uint32_t> glyphs;
    std::vector<double> positions;
    double width = 0;
};

namespace {

constexpr double kTabInterval = 28.0;

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
        auto rel = [](long long v) { return static_cast<int>(std::clamp<long long>(v, INT32_MIN / 2, INT32_MAX / 2)); };
        const ct::PixelBox within{rel((long long)visible.left - ox), rel((long long)visible.top - oy),
                                  rel((long long)visible.right - ox), rel((long long)visible.bottom - oy)};
        if (within.right <= within.left || within.bottom <= within.top) continue;
        auto img = line->font->face->render(line->glyphs[i], quarter, antialias, within);
        if (img) visit(img, ox + img->left, oy + img->top);
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

std::u32string CTDecodeUTF8Lenient(const std::string& s) {
    std::u32string out;
    size_t i = 0, n = s.size();
    while (i < n) {
        auto b = static_cast<unsigned char>(s[i]);
        int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        std::u32string one;
        if (len && i + len <= n && CTDecodeUTF8(s.data() + i, static_cast<size_t>(len), &one) && one.size() == 1) {
            out += one;
            i += static_cast<size_t>(len);
        } else {
            out += U'\uFFFD';
            ++i;
        }
    }
    return out;
}

std::string CTEncodeUTF8(const std::u32string& text) {
    std::string out;
    for (char32_t c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

CTLineRef CTLineCreate(CTFontRef font, const std::u32string& text, CGColorRef foreground) {
    if (!font) return nullptr;
    auto* line = new CTLine;
    line->font = CTFontRetain(font);
    line->foreground = CGColorRetain(foreground);
    line->text = text;
    line->glyphs.reserve(text.size());
    line->positions.reserve(text.size());
    ct::FontFace& face = *font->face;
    double pen = 0;
    for (char32_t c : text) {
        const uint32_t g = ct::isControl(c) ? 0 : face.glyphFor(c);
        line->glyphs.push_back(g);
        line->positions.push_back(pen);
        if (c == '\t')
            pen = (std::floor(pen / kTabInterval) + 1) * kTabInterval;
        else if (!ct::isControl(c))
            pen += face.advance(g);
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
        CGColorRelease(line->foreground);
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
                                          double frameHeight, CGColorRef foreground) {
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
            if (c == '\t')
                next = (std::floor(pen / kTabInterval) + 1) * kTabInterval;
            else if (!ct::isControl(c))
                next = pen + face.advance(face.glyphFor(c));
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
        lines.push_back(CTLineCreate(font, text.substr(start, end - start), foreground));
        start = end;
    }
    return lines;
}

CTCoverage CTLineRenderCoverage(CTLineRef line, double x, double baselineY, bool antialias, const CTPixelRect* within) {
    CTCoverage out;
    if (!line || !std::isfinite(x) || !std::isfinite(baselineY)) return out;
    struct Piece {
        std::shared_ptr<const ct::GlyphImage> img;
        int left, top;
    };
    std::vector<Piece> pieces;
    const ct::PixelBox visible = within ? ct::PixelBox{within->left, within->top, within->right, within->bottom}
                                        : ct::PixelBox{INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
    if (visible.right <= visible.left || visible.bottom <= visible.top) return out;
    placeGlyphs(line, x, baselineY, antialias, visible,
                [&](const std::shared_ptr<const ct::GlyphImage>& img, int left, int top) {
                    pieces.push_back({img, left, top});
                });
    if (pieces.empty()) return out;
    int l = INT32_MAX, t = INT32_MAX, r = INT32_MIN, b = INT32_MIN;
    for (const auto& p : pieces) {
        l = std::min(l, p.left);
        t = std::min(t, p.top);
        r = std::max(r, p.left + p.img->width);
        b = std::max(b, p.top + p.img->height);
    }
    out.left = l;
    out.top = t;
    out.width = r - l;
    out.height = b - t;
    out.values.assign(static_cast<size_t>(out.width) * out.height, 0);
    for (const auto& p : pieces)
        for (int y = 0; y < p.img->height; ++y) {
            unsigned char* dst = &out.values[static_cast<size_t>(p.top - t + y) * out.width + (p.left - l)];
            const unsigned char* src = &p.img->values[static_cast<size_t>(y) * p.img->width];
            for (int xx = 0; xx < p.img->width; ++xx)
                dst[xx] = static_cast<unsigned char>(std::min(255, dst[xx] + src[xx]));
        }
    return out;
}

void CTLineDraw(CTLineRef line, CGContextRef ctx) {
    if (!line || !ctx || !CGBitmapContextGetData(ctx)) return;
    const long W = static_cast<long>(CGBitmapContextGetWidth(ctx)),
               H = static_cast<long>(CGBitmapContextGetHeight(ctx));
    if (W < 1 || H < 1) return;
    const CGAffineTransform ctm = CGContextGetCTM(ctx);
    const CGPoint origin = CGContextConvertPointToDeviceSpace(ctx, CGContextGetTextPosition(ctx));
    const double baseline = static_cast<double>(H) - origin.y;  // rows grow downward
    if (!std::isfinite(origin.x) || !std::isfinite(baseline) || std::fabs(baseline) > 1e9) return;

    // What can be seen: the clip's box in device rows, within the bitmap.
    const CGRect clip = CGContextGetClipBoundingBox(ctx);
    if (CGRectIsNull(clip) || CGRectIsEmpty(clip)) return;
    const CGRect dev = CGRectApplyAffineTransform(clip, ctm);
    auto toInt = [](double v) { return static_cast<int>(std::clamp(v, -1e9, 1e9)); };
    CTPixelRect vis{std::max(0, toInt(std::floor(CGRectGetMinX(dev)))),
                    std::max(0, toInt(static_cast<double>(H) - std::ceil(CGRectGetMaxY(dev)))),
                    std::min(static_cast<int>(W), toInt(std::ceil(CGRectGetMaxX(dev)))),
                    std::min(static_cast<int>(H), toInt(static_cast<double>(H) - std::floor(CGRectGetMinY(dev))))};
    if (vis.right <= vis.left || vis.bottom <= vis.top) return;

    // Without a net flip between glyph space and device space the glyphs are
    // upright; otherwise they hang mirrored below the baseline.
    const CGAffineTransform m = CGAffineTransformConcat(CGContextGetTextMatrix(ctx), ctm);
    const bool upright = m.d >= 0;
    const bool aa = CGContextGetShouldAntialias(ctx);
    CTCoverage cov;
    if (upright) {
        cov = CTLineRenderCoverage(line, origin.x, baseline, aa, &vis);
    } else {
        const int b2 = 2 * static_cast<int>(std::lround(baseline));
        const CTPixelRect mirrored{vis.left, b2 - vis.bottom, vis.right, b2 - vis.top};
        cov = CTLineRenderCoverage(line, origin.x, baseline, aa, &mirrored);
        for (int y = 0; y < cov.height / 2; ++y)
            std::swap_ranges(cov.values.begin() + static_cast<long>(y) * cov.width,
                             cov.values.begin() + static_cast<long>(y + 1) * cov.width,
                             cov.values.begin() + static_cast<long>(cov.height - 1 - y) * cov.width);
        cov.top = b2 - (cov.top + cov.height);
    }
    if (cov.values.empty()) return;

    CGDataProviderRef provider = CGDataProviderCreateWithData(nullptr, cov.values.data(), cov.values.size(), nullptr);
    CGImageRef mask = CGImageCreate(static_cast<size_t>(cov.width), static_cast<size_t>(cov.height), 8, 8,
                                    static_cast<size_t>(cov.width), nullptr, kCGImageAlphaOnly, provider, nullptr,
                                    false, kCGRenderingIntentDefault);
    CGDataProviderRelease(provider);
    if (!mask) return;
    CGContextSaveGState(ctx);
    CGContextConcatCTM(ctx, CGAffineTransformInvert(ctm));  // draw in device pixels
    if (line->foreground)
        CGContextSetFillColorWithColor(ctx, line->foreground);
    else
        CGContextSetRGBFillColor(ctx, 0, 0, 0, 1);
    CGContextDrawImage(
        ctx, CGRectMake(cov.left, static_cast<double>(H) - (cov.top + cov.height), cov.width, cov.height), mask);
    CGContextRestoreGState(ctx);
    CGImageRelease(mask);
}

}  // namespace platform
