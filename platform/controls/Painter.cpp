#include "platform/controls/Painter.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>

#include "platform/coretext/CTLine.h"

namespace platform::controls {

Color rgb(uint32_t v) { return {((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0, 1.0}; }

namespace {

struct FontCache {
    std::mutex mutex;
    std::map<std::pair<std::string, long>, CTFontRef> fonts;  // never released: a small set
};

FontCache& fontCache() {
    static auto* c = new FontCache;
    return *c;
}

CGColorSpaceRef deviceRGB() {
    static CGColorSpaceRef s = CGColorSpaceCreateDeviceRGB();
    return s;
}

}  // namespace

CTFontRef fontFor(const Font& f) {
    double size = f.size > 0 && std::isfinite(f.size) ? f.size : 13;
    auto key = std::make_pair(f.name, std::lround(size * 64));
    FontCache& c = fontCache();
    std::lock_guard<std::mutex> lock(c.mutex);
    auto it = c.fonts.find(key);
    if (it != c.fonts.end()) return it->second;
    CTFontRef font = f.name.empty() ? nullptr : CTFontCreateWithName(f.name.c_str(), size);
    if (!font) font = CTFontCreateLabelFont(size);
    c.fonts[key] = font;
    return font;
}

std::u32string toU32(const std::string& s) {
    // Lenient: a byte that starts no well-formed sequence stands for U+FFFD.
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

std::string toUtf8(const std::u32string& text) {
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

double textWidth(const Font& f, const std::u32string& text) {
    CTFontRef font = fontFor(f);
    double w = 0;
    for (char32_t c : text) w += CTFontGetAdvanceForCharacter(font, c);
    return w;
}

double textWidth(const Font& f, const std::string& utf8) { return textWidth(f, toU32(utf8)); }

double lineHeight(const Font& f) {
    CTFontRef font = fontFor(f);
    return std::ceil(CTFontGetAscent(font) + CTFontGetDescent(font) + CTFontGetLeading(font));
}

double ascentOf(const Font& f) { return CTFontGetAscent(fontFor(f)); }

std::vector<TextLine> breakLines(const Font& font, const std::u32string& s, double width) {
    std::vector<TextLine> lines;
    CTFontRef f = fontFor(font);
    int n = static_cast<int>(s.size()), start = 0;
    double avail = std::max(width, 1.0);
    while (true) {
        double w = 0;
        int i = start, lastBreak = -1;
        for (; i < n && s[static_cast<size_t>(i)] != U'\n'; ++i) {
            char32_t c = s[static_cast<size_t>(i)];
            double a = CTFontGetAdvanceForCharacter(f, c);
            if (w + a > avail && i > start) break;
            w += a;
            if (c == U' ' || c == U'\t') lastBreak = i + 1;
        }
        if (i < n && s[static_cast<size_t>(i)] == U'\n') {
            lines.push_back({start, i});
            start = i + 1;
            continue;
        }
        if (i >= n) {
            lines.push_back({start, n});
            break;
        }
        int end = lastBreak > start ? lastBreak : i;
        lines.push_back({start, end});
        start = end;
    }
    return lines;
}

Painter::Painter(appkit::Canvas& canvas) {
    if (!canvas.pixels()) return;
    // The backing store's words are 0x00RRGGBB in the machine's order.
    ctx_ = CGBitmapContextCreate(canvas.pixels(), static_cast<size_t>(canvas.width()),
                                 static_cast<size_t>(canvas.height()), 8, static_cast<size_t>(canvas.width()) * 4,
                                 deviceRGB(),
                                 static_cast<CGBitmapInfo>(kCGImageAlphaNoneSkipFirst) | kCGBitmapByteOrder32Little);
    if (!ctx_) return;
    CGContextTranslateCTM(ctx_, 0, canvas.height());
    CGContextScaleCTM(ctx_, 1, -1);
    appkit::Rect clip = canvas.clip();
    CGContextClipToRect(ctx_, CGRectMake(clip.x, clip.y, clip.width, clip.height));
    CGContextTranslateCTM(ctx_, canvas.origin().x, canvas.origin().y);
    // Glyphs stand upright in the flipped space.
    CGContextSetTextMatrix(ctx_, CGAffineTransformMake(1, 0, 0, -1, 0, 0));
}

Painter::~Painter() {
    if (ctx_) CGContextRelease(ctx_);
}

void Painter::save() {
    if (ctx_) CGContextSaveGState(ctx_);
}

void Painter::restore() {
    if (ctx_) CGContextRestoreGState(ctx_);
}

void Painter::clip(const FRect& r) {
    if (ctx_) CGContextClipToRect(ctx_, CGRectMake(r.x, r.y, r.width, r.height));
}

void Painter::translate(double dx, double dy) {
    if (ctx_) CGContextTranslateCTM(ctx_, dx, dy);
}

void Painter::fill(const FRect& r, const Color& c) {
    if (!ctx_ || r.isEmpty()) return;
    CGContextSetRGBFillColor(ctx_, c.red, c.green, c.blue, c.alpha);
    CGContextFillRect(ctx_, CGRectMake(r.x, r.y, r.width, r.height));
}

void Painter::frame(const FRect& r, const Color& c, double width) {
    if (r.isEmpty()) return;
    double w = std::min({width, r.width / 2, r.height / 2});
    fill({r.x, r.y, r.width, w}, c);
    fill({r.x, r.bottom() - w, r.width, w}, c);
    fill({r.x, r.y + w, w, r.height - 2 * w}, c);
    fill({r.right() - w, r.y + w, w, r.height - 2 * w}, c);
}

void Painter::line(FPoint a, FPoint b, uint32_t v, double width) { strokePolyline({a, b}, v, width); }

void Painter::fillPolygon(const std::vector<FPoint>& points, uint32_t v) {
    if (!ctx_ || points.size() < 3) return;
    Color c = rgb(v);
    CGContextSetRGBFillColor(ctx_, c.red, c.green, c.blue, 1);
    CGContextBeginPath(ctx_);
    CGContextMoveToPoint(ctx_, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) CGContextAddLineToPoint(ctx_, points[i].x, points[i].y);
    CGContextClosePath(ctx_);
    CGContextFillPath(ctx_);
}

void Painter::strokePolyline(const std::vector<FPoint>& points, uint32_t v, double width) {
    if (!ctx_ || points.size() < 2) return;
    Color c = rgb(v);
    CGContextSetRGBStrokeColor(ctx_, c.red, c.green, c.blue, 1);
    CGContextSetLineWidth(ctx_, width);
    CGContextBeginPath(ctx_);
    CGContextMoveToPoint(ctx_, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) CGContextAddLineToPoint(ctx_, points[i].x, points[i].y);
    CGContextStrokePath(ctx_);
}

void Painter::fillEllipse(const FRect& r, uint32_t v) {
    if (!ctx_) return;
    Color c = rgb(v);
    CGContextSetRGBFillColor(ctx_, c.red, c.green, c.blue, 1);
    CGContextFillEllipseInRect(ctx_, CGRectMake(r.x, r.y, r.width, r.height));
}

void Painter::strokeEllipse(const FRect& r, uint32_t v, double width) {
    if (!ctx_) return;
    Color c = rgb(v);
    CGContextSetRGBStrokeColor(ctx_, c.red, c.green, c.blue, 1);
    CGContextSetLineWidth(ctx_, width);
    CGContextStrokeEllipseInRect(ctx_, CGRectMake(r.x + width / 2, r.y + width / 2, r.width - width, r.height - width));
}

void Painter::drawImage(const FRect& r, CGImageRef image) {
    if (!ctx_ || !image) return;
    // Images put their first row at the rectangle's largest y: flip around
    // the rectangle so the picture stands upright in this flipped space.
    CGContextSaveGState(ctx_);
    CGContextTranslateCTM(ctx_, r.x, r.y + r.height);
    CGContextScaleCTM(ctx_, 1, -1);
    CGContextDrawImage(ctx_, CGRectMake(0, 0, r.width, r.height), image);
    CGContextRestoreGState(ctx_);
}

void Painter::textAt(const std::u32string& s, double x, double baseline, const Font& f, const Color& c) {
    if (!ctx_ || s.empty()) return;
    CGColorRef colour = CGColorCreateGenericRGB(c.red, c.green, c.blue, c.alpha);
    CTLineRef line = CTLineCreate(fontFor(f), s, colour);
    CGContextSetTextPosition(ctx_, x, baseline);
    CTLineDraw(line, ctx_);
    CTLineRelease(line);
    CGColorRelease(colour);
}

void Painter::text(const std::u32string& s, const FRect& box, const Font& f, const Color& c, TextAlignment align) {
    if (!ctx_ || s.empty() || box.isEmpty()) return;
    double w = textWidth(f, s);
    double x = box.x;
    if (align == TextAlignment::Center)
        x = box.x + std::floor((box.width - w) / 2);
    else if (align == TextAlignment::Right)
        x = box.right() - w;
    CTFontRef font = fontFor(f);
    double a = CTFontGetAscent(font), d = CTFontGetDescent(font);
    double baseline = std::round(box.y + (box.height - (a + d)) / 2 + a);
    save();
    clip(box);
    textAt(s, x, baseline, f, c);
    restore();
}

}  // namespace platform::controls
