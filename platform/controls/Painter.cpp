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

std::u32string toU32(const std::string& s) { return CTDecodeUTF8Lenient(s); }

std::string toUtf8(const std::u32string& text) { return CTEncodeUTF8(text); }

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

Painter::Painter(appkit::Canvas& canvas) : pixels_(canvas.pixels()), width_(canvas.width()), height_(canvas.height()) {
    state_.dx = canvas.origin().x;
    state_.dy = canvas.origin().y;
    state_.clip = canvas.clip().intersection({0, 0, width_, height_});
}

Painter::~Painter() {
    if (ctx_) CGContextRelease(ctx_);
}

CGContextRef Painter::context() {
    if (!pixels_) return nullptr;
    if (!ctx_) {
        // The backing store's words are 0x00RRGGBB in the machine's order.
        ctx_ = CGBitmapContextCreate(
            pixels_, static_cast<size_t>(width_), static_cast<size_t>(height_), 8, static_cast<size_t>(width_) * 4,
            deviceRGB(), static_cast<CGBitmapInfo>(kCGImageAlphaNoneSkipFirst) | kCGBitmapByteOrder32Little);
        if (!ctx_) return nullptr;
        CGContextTranslateCTM(ctx_, 0, height_);
        CGContextScaleCTM(ctx_, 1, -1);
        // Glyphs stand upright in the flipped space.
        CGContextSetTextMatrix(ctx_, CGAffineTransformMake(1, 0, 0, -1, 0, 0));
        CGContextSaveGState(ctx_);
    }
    sync();
    return ctx_;
}

void Painter::sync() {
    if (ctxInSync_) return;
    CGContextRestoreGState(ctx_);
    CGContextSaveGState(ctx_);
    const appkit::Rect& c = state_.clip;
    CGContextClipToRect(ctx_, CGRectMake(c.x, c.y, c.width, c.height));
    CGContextTranslateCTM(ctx_, state_.dx, state_.dy);
    ctxInSync_ = true;
}

void Painter::save() { saved_.push_back(state_); }

void Painter::restore() {
    if (saved_.empty()) return;
    state_ = saved_.back();
    saved_.pop_back();
    ctxInSync_ = false;
}

void Painter::clip(const FRect& r) {
    appkit::Rect device = appkit::toPixels(r.offset(state_.dx, state_.dy));
    state_.clip = state_.clip.intersection(device);
    ctxInSync_ = false;
}

void Painter::translate(double dx, double dy) {
    state_.dx += dx;
    state_.dy += dy;
    ctxInSync_ = false;
}

void Painter::fill(const FRect& r, const Color& c) {
    if (!pixels_ || r.isEmpty()) return;
    FRect d = r.offset(state_.dx, state_.dy);
    bool whole = d.x == std::floor(d.x) && d.y == std::floor(d.y) && d.width == std::floor(d.width) &&
                 d.height == std::floor(d.height) && std::fabs(d.x) < 1e9 && std::fabs(d.y) < 1e9;
    if (c.alpha >= 1 && whole) {
        // An opaque rectangle on whole pixels: its pixels, without a path.
        appkit::Rect a = appkit::toPixels(d).intersection(state_.clip);
        auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
        uint32_t word = (byte(c.red) << 16) | (byte(c.green) << 8) | byte(c.blue);
        for (int y = a.y; y < a.bottom(); ++y)
            std::fill_n(pixels_ + static_cast<size_t>(y) * width_ + a.x, a.width, word);
        return;
    }
    CGContextRef ctx = context();
    if (!ctx) return;
    CGContextSetRGBFillColor(ctx, c.red, c.green, c.blue, c.alpha);
    CGContextFillRect(ctx, CGRectMake(r.x, r.y, r.width, r.height));
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
    CGContextRef ctx = points.size() >= 3 ? context() : nullptr;
    if (!ctx) return;
    Color c = rgb(v);
    CGContextSetRGBFillColor(ctx, c.red, c.green, c.blue, 1);
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) CGContextAddLineToPoint(ctx, points[i].x, points[i].y);
    CGContextClosePath(ctx);
    CGContextFillPath(ctx);
}

void Painter::strokePolyline(const std::vector<FPoint>& points, uint32_t v, double width) {
    CGContextRef ctx = points.size() >= 2 ? context() : nullptr;
    if (!ctx) return;
    Color c = rgb(v);
    CGContextSetRGBStrokeColor(ctx, c.red, c.green, c.blue, 1);
    CGContextSetLineWidth(ctx, width);
    CGContextBeginPath(ctx);
    CGContextMoveToPoint(ctx, points[0].x, points[0].y);
    for (size_t i = 1; i < points.size(); ++i) CGContextAddLineToPoint(ctx, points[i].x, points[i].y);
    CGContextStrokePath(ctx);
}

void Painter::fillEllipse(const FRect& r, uint32_t v) {
    CGContextRef ctx = context();
    if (!ctx) return;
    Color c = rgb(v);
    CGContextSetRGBFillColor(ctx, c.red, c.green, c.blue, 1);
    CGContextFillEllipseInRect(ctx, CGRectMake(r.x, r.y, r.width, r.height));
}

void Painter::strokeEllipse(const FRect& r, uint32_t v, double width) {
    CGContextRef ctx = context();
    if (!ctx) return;
    Color c = rgb(v);
    CGContextSetRGBStrokeColor(ctx, c.red, c.green, c.blue, 1);
    CGContextSetLineWidth(ctx, width);
    CGContextStrokeEllipseInRect(ctx, CGRectMake(r.x + width / 2, r.y + width / 2, r.width - width, r.height - width));
}

void Painter::drawImage(const FRect& r, CGImageRef image) {
    CGContextRef ctx = image ? context() : nullptr;
    if (!ctx) return;
    // Images put their first row at the rectangle's largest y: flip around
    // the rectangle so the picture stands upright in this flipped space.
    CGContextSaveGState(ctx);
    CGContextTranslateCTM(ctx, r.x, r.y + r.height);
    CGContextScaleCTM(ctx, 1, -1);
    CGContextDrawImage(ctx, CGRectMake(0, 0, r.width, r.height), image);
    CGContextRestoreGState(ctx);
}

void Painter::textAt(const std::u32string& s, double x, double baseline, const Font& f, const Color& c) {
    const appkit::Rect& clip = state_.clip;
    if (!pixels_ || s.empty() || clip.isEmpty() || !(c.alpha > 0)) return;
    CTLineRef line = CTLineCreate(fontFor(f), s);
    CTPixelRect within{clip.x, clip.y, clip.right(), clip.bottom()};
    CTCoverage cov = CTLineRenderCoverage(line, x + state_.dx, baseline + state_.dy, true, &within);
    CTLineRelease(line);
    // The ink's coverage laid over the pixels in the colour.
    auto channel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    const int r = channel(c.red), g = channel(c.green), b = channel(c.blue);
    const int alpha = channel(c.alpha);
    for (int y = 0; y < cov.height; ++y) {
        const unsigned char* src = cov.values.data() + static_cast<size_t>(y) * cov.width;
        uint32_t* dst = pixels_ + static_cast<size_t>(cov.top + y) * width_ + cov.left;
        for (int x = 0; x < cov.width; ++x) {
            int a = src[x] * alpha / 255;
            if (!a) continue;
            uint32_t p = dst[x];
            auto mix = [a](int under, int over) { return under + ((over - under) * a + 127) / 255; };
            dst[x] = (static_cast<uint32_t>(mix((p >> 16) & 255, r)) << 16) |
                     (static_cast<uint32_t>(mix((p >> 8) & 255, g)) << 8) | static_cast<uint32_t>(mix(p & 255, b));
        }
    }
}

void Painter::text(const std::u32string& s, const FRect& box, const Font& f, const Color& c, TextAlignment align) {
    if (!pixels_ || s.empty() || box.isEmpty()) return;
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
