#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/coregraphics/CGInternal.h"

namespace platform {
namespace cg {
namespace {

// Curves are flattened this close (in device pixels) to the true curve.
const double kTolerance = 0.1;

IRect Full(const CGContext* c) { return IRect{0, 0, (int)c->width, (int)c->height}; }

CGPoint ToRaster(const CGContext* c, CGPoint p) { return CGPoint{p.x, (double)c->height - p.y}; }

bool Antialias(const CGContext* c) { return c->gs.shouldAntialias && c->gs.allowsAntialias; }

// The pixel window that polygons (raster space) can touch, within the clip.
IRect Window(const CGContext* c, const std::vector<std::vector<CGPoint>>& polys) {
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const auto& poly : polys)
        for (const CGPoint& p : poly) {
            if (!(p.x == p.x) || !(p.y == p.y)) continue;
            x0 = std::min(x0, p.x), x1 = std::max(x1, p.x);
            y0 = std::min(y0, p.y), y1 = std::max(y1, p.y);
        }
    if (x0 > x1) return IRect{};
    auto lo = [](double v) { return (int)std::floor(std::clamp(v, -1e8, 1e8)); };
    auto hi = [](double v) { return (int)std::ceil(std::clamp(v, -1e8, 1e8)); };
    return Intersect(IRect{lo(x0), lo(y0), hi(x1), hi(y1)}, c->gs.clip.bounds);
}

// Coverage of polygons over the window, with the clip's mask applied.
void Rasterize(const CGContext* c, const std::vector<std::vector<CGPoint>>& polys, bool evenOdd, const IRect& win,
               std::vector<uint8_t>& cov) {
    Coverage acc(win.x0, win.y0, win.width(), win.height());
    for (const auto& poly : polys) acc.addPolygon(poly);
    acc.resolve(evenOdd, Antialias(c), cov);
    const Clip& clip = c->gs.clip;
    if (!clip.mask) return;
    const int cw = clip.bounds.width();
    for (int y = win.y0; y < win.y1; ++y) {
        const uint8_t* m = &(*clip.mask)[(size_t)(y - clip.bounds.y0) * cw + (win.x0 - clip.bounds.x0)];
        uint8_t* o = &cov[(size_t)(y - win.y0) * win.width()];
        for (int x = 0; x < win.width(); ++x) o[x] = (uint8_t)Div255(o[x] * m[x]);
    }
}

void Store(uint8_t* p, const PixelFormat& f, const Premul& v) {
    switch (f.alpha) {
        case PixelFormat::kNone:
            p[f.r] = (uint8_t)v.r, p[f.g] = (uint8_t)v.g, p[f.b] = (uint8_t)v.b;
            break;
        case PixelFormat::kPremultiplied:
            p[f.r] = (uint8_t)v.r, p[f.g] = (uint8_t)v.g, p[f.b] = (uint8_t)v.b, p[f.a] = (uint8_t)v.a;
            break;
        case PixelFormat::kOnly:
            p[0] = (uint8_t)v.a;
            break;
        default:
            break;
    }
}

// Composites the premultiplied source at coverage k (0..255) into p.
inline void Blend(uint8_t* p, const PixelFormat& f, const Premul& s, int k, CGBlendMode mode) {
    if (k == 0) return;
    Premul d = ReadPixel(p, f);
    Premul r;
    if (mode == kCGBlendModeNormal) {
        Premul sk = k == 255 ? s : Premul{Div255(s.r * k), Div255(s.g * k), Div255(s.b * k), Div255(s.a * k)};
        if (sk.a == 255) return Store(p, f, sk);
        int inv = 255 - sk.a;
        r = Premul{sk.r + Div255(d.r * inv), sk.g + Div255(d.g * inv), sk.b + Div255(d.b * inv),
                   sk.a + Div255(d.a * inv)};
    } else {
        Premul sk = mode == kCGBlendModeCopy
                        ? Premul{Div255(s.r * k), Div255(s.g * k), Div255(s.b * k), Div255(s.a * k)}
                        : Premul{0, 0, 0, 0};
        int inv = 255 - k;
        r = Premul{sk.r + Div255(d.r * inv), sk.g + Div255(d.g * inv), sk.b + Div255(d.b * inv),
                   sk.a + Div255(d.a * inv)};
    }
    Store(p, f, r);
}

Premul ColorPremul(const CGFloat rgba[4], CGFloat alpha) {
    double a = std::clamp(rgba[3] * alpha, 0.0, 1.0);
    auto ch = [&](double v) { return (int)std::lround(std::clamp(v, 0.0, 1.0) * a * 255); };
    return Premul{ch(rgba[0]), ch(rgba[1]), ch(rgba[2]), (int)std::lround(a * 255)};
}

void PaintSolid(CGContext* c, const IRect& win, const std::vector<uint8_t>& cov, const Premul& s) {
    const PixelFormat& f = c->format;
    for (int y = win.y0; y < win.y1; ++y) {
        uint8_t* row = c->data + (size_t)y * c->bytesPerRow + (size_t)win.x0 * f.bytes;
        const uint8_t* k = &cov[(size_t)(y - win.y0) * win.width()];
        for (int x = 0; x < win.width(); ++x, row += f.bytes) Blend(row, f, s, k[x], c->gs.blend);
    }
}

void FillPolygons(CGContext* c, const std::vector<std::vector<CGPoint>>& polys, bool evenOdd, const CGFloat rgba[4]) {
    if (!c->data) return;
    IRect win = Window(c, polys);
    if (win.empty()) return;
    std::vector<uint8_t> cov;
    Rasterize(c, polys, evenOdd, win, cov);
    PaintSolid(c, win, cov, ColorPremul(rgba, c->gs.alpha));
}

// The current path's subpaths as closed polygons in raster space.
void PathPolygons(const CGContext* c, const PathData& path, std::vector<std::vector<CGPoint>>& polys) {
    std::vector<Polyline> lines;
    Flatten(path, kTolerance, lines);
    for (Polyline& l : lines) {
        for (CGPoint& p : l.pts) p = ToRaster(c, p);
        polys.push_back(std::move(l.pts));
    }
}

void StrokePolygons(const CGContext* c, const PathData& path, std::vector<std::vector<CGPoint>>& polys) {
    const GState& g = c->gs;
    std::vector<Polyline> lines;
    Flatten(path, kTolerance, lines);
    // Strokes are shaped in user space, so the line width follows the
    // transform at the time of stroking.
    CGAffineTransform inv = CGAffineTransformInvert(g.ctm);
    for (Polyline& l : lines)
        for (CGPoint& p : l.pts) p = CGPointApplyAffineTransform(p, inv);
    double width = g.lineWidth;
    if (!(width > 0)) {
        double det = std::fabs(g.ctm.a * g.ctm.d - g.ctm.b * g.ctm.c);
        width = det > 0 ? 1 / std::sqrt(det) : 1;
    }
    StrokeOutline(lines, width, g.cap, g.join, g.miterLimit, polys);
    for (auto& poly : polys)
        for (CGPoint& p : poly) p = ToRaster(c, CGPointApplyAffineTransform(p, g.ctm));
}

// Narrows the clip to the coverage (0..255 over win) given.
void IntersectClip(CGContext* c, const IRect& win, std::vector<uint8_t> cov) {
    Clip& clip = c->gs.clip;
    if (win.empty()) {
        clip = Clip{};
        return;
    }
    // Rasterize already applied the old mask; cov is the new clip over win.
    bool full = std::all_of(cov.begin(), cov.end(), [](uint8_t v) { return v == 255; });
    clip.bounds = win;
    if (full)
        clip.mask.reset();
    else
        clip.mask = std::make_shared<const std::vector<uint8_t>>(std::move(cov));
}

void ClipPath(CGContext* c, bool evenOdd) {
    std::vector<std::vector<CGPoint>> polys;
    PathPolygons(c, c->path, polys);
    c->path.clear();
    IRect win = Window(c, polys);
    std::vector<uint8_t> cov;
    if (!win.empty()) Rasterize(c, polys, evenOdd, win, cov);
    IntersectClip(c, win, std::move(cov));
}

void Paint(CGContext* c, CGPathDrawingMode mode) {
    if (!c) return;
    if (c->data && !c->path.empty()) {
        if (mode != kCGPathStroke) {
            std::vector<std::vector<CGPoint>> polys;
            PathPolygons(c, c->path, polys);
            FillPolygons(c, polys, mode == kCGPathEOFill || mode == kCGPathEOFillStroke, c->gs.fill);
        }
        if (mode == kCGPathStroke || mode == kCGPathFillStroke || mode == kCGPathEOFillStroke) {
            std::vector<std::vector<CGPoint>> polys;
            StrokePolygons(c, c->path, polys);
            FillPolygons(c, polys, false, c->gs.stroke);
        }
    }
    c->path.clear();
}

// Image (u, v: pixels, v downward from the first row) to raster space.
CGAffineTransform ImageToRaster(const CGContext* c, CGRect r, const CGImage* img) {
    CGAffineTransform toUser{r.size.width / img->width,    0,          0,
                             -r.size.height / img->height, r.origin.x, r.origin.y + r.size.height};
    CGAffineTransform flip{1, 0, 0, -1, 0, (double)c->height};
    return CGAffineTransformConcat(CGAffineTransformConcat(toUser, c->gs.ctm), flip);
}

// Coverage of the image's rectangle over its window; false when nothing shows.
bool ImageCoverage(const CGContext* c, const CGAffineTransform& m, const CGImage* img, IRect& win,
                   std::vector<uint8_t>& cov) {
    double w = (double)img->width, h = (double)img->height;
    std::vector<std::vector<CGPoint>> polys{
        {CGPointApplyAffineTransform(CGPoint{0, 0}, m), CGPointApplyAffineTransform(CGPoint{w, 0}, m),
         CGPointApplyAffineTransform(CGPoint{w, h}, m), CGPointApplyAffineTransform(CGPoint{0, h}, m)}};
    win = Window(c, polys);
    if (win.empty()) return false;
    Rasterize(c, polys, false, win, cov);
    return true;
}

// Reads image pixels at raster pixel centres, nearest or bilinear.
class Sampler {
public:
    Sampler(const CGImage* img, const CGAffineTransform& toImage, bool smooth)
        : m_img(img), m_inv(toImage), m_smooth(smooth) {}

    Premul at(int x, int y) const {
        CGPoint uv = CGPointApplyAffineTransform(CGPoint{x + 0.5, y + 0.5}, m_inv);
        const int w = (int)m_img->width, h = (int)m_img->height;
        if (!m_smooth) {
            int u = std::clamp((int)std::floor(std::clamp(uv.x, -1.0, (double)w)), 0, w - 1);
            int v = std::clamp((int)std::floor(std::clamp(uv.y, -1.0, (double)h)), 0, h - 1);
            return pixel(u, v);
        }
        double fu = std::clamp(uv.x - 0.5, -1.0, (double)w), fv = std::clamp(uv.y - 0.5, -1.0, (double)h);
        int u0 = (int)std::floor(fu), v0 = (int)std::floor(fv);
        int wx = (int)std::lround((fu - u0) * 256), wy = (int)std::lround((fv - v0) * 256);
        auto cl = [](int i, int n) { return std::clamp(i, 0, n - 1); };
        Premul p00 = pixel(cl(u0, w), cl(v0, h)), p10 = pixel(cl(u0 + 1, w), cl(v0, h));
        Premul p01 = pixel(cl(u0, w), cl(v0 + 1, h)), p11 = pixel(cl(u0 + 1, w), cl(v0 + 1, h));
        auto mix = [&](int a, int b, int c, int d) {
            int top = a * (256 - wx) + b * wx, bot = c * (256 - wx) + d * wx;
            return (top * (256 - wy) + bot * wy + 32768) >> 16;
        };
        return Premul{mix(p00.r, p10.r, p01.r, p11.r), mix(p00.g, p10.g, p01.g, p11.g), mix(p00.b, p10.b, p01.b, p11.b),
                      mix(p00.a, p10.a, p01.a, p11.a)};
    }

private:
    Premul pixel(int u, int v) const {
        return ReadPixel(m_img->bytes + (size_t)v * m_img->bytesPerRow + (size_t)u * m_img->format.bytes,
                         m_img->format);
    }
    const CGImage* m_img;
    CGAffineTransform m_inv;
    bool m_smooth;
};

bool IsIntegerTranslation(const CGAffineTransform& m) {
    return m.a == 1 && m.b == 0 && m.c == 0 && m.d == 1 && m.tx == std::floor(m.tx) && m.ty == std::floor(m.ty);
}

// Whole rows copied: an opaque image of this context's own layout, placed
// on whole pixels without scaling.
bool CopyRows(CGContext* c, const CGAffineTransform& m, const CGImage* img) {
    const PixelFormat& f = c->format;
    const PixelFormat& s = img->format;
    if (!IsIntegerTranslation(m) || c->gs.clip.mask || c->gs.alpha != 1 || c->gs.blend != kCGBlendModeNormal)
        return false;
    if (f.alpha != PixelFormat::kNone || s.alpha != PixelFormat::kNone || f.bytes != s.bytes || f.r != s.r ||
        f.g != s.g || f.b != s.b)
        return false;
    IRect win = Intersect(IRect{(int)m.tx, (int)m.ty, (int)m.tx + (int)img->width, (int)m.ty + (int)img->height},
                          c->gs.clip.bounds);
    for (int y = win.y0; y < win.y1; ++y)
        memcpy(c->data + (size_t)y * c->bytesPerRow + (size_t)win.x0 * f.bytes,
               img->bytes + (size_t)(y - (int)m.ty) * img->bytesPerRow + (size_t)(win.x0 - (int)m.tx) * s.bytes,
               (size_t)win.width() * f.bytes);
    return true;
}

}  // namespace
}  // namespace cg

using namespace cg;

CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent, size_t bytesPerRow,
                                   CGColorSpaceRef space, CGBitmapInfo bitmapInfo) {
    if (width == 0 || height == 0 || width > (1u << 24) || height > (1u << 24)) return nullptr;
    bool gray = space && space->components == 1;
    PixelFormat f = FormatFor(bitsPerComponent, (bitmapInfo & kCGBitmapAlphaInfoMask) == kCGImageAlphaOnly ? 8 : 32,
                              bitmapInfo, gray, true);
    if (!f.valid()) return nullptr;
    if (!space && f.alpha != PixelFormat::kOnly) return nullptr;
    if (bytesPerRow == 0) bytesPerRow = width * f.bytes;
    if (bytesPerRow < width * f.bytes) return nullptr;
    if (height > ((size_t)1 << 40) / bytesPerRow) return nullptr;
    bool owns = false;
    if (!data) {
        data = calloc(height, bytesPerRow);
        if (!data) return nullptr;
        owns = true;
    }
    CGContext* c = new CGContext;
    c->data = static_cast<uint8_t*>(data);
    c->ownsData = owns;
    c->width = width;
    c->height = height;
    c->bytesPerRow = bytesPerRow;
    c->info = bitmapInfo;
    c->format = f;
    c->gs.clip.bounds = Full(c);
    return c;
}

CGContextRef CGContextRetain(CGContextRef c) {
    if (c) c->refs.fetch_add(1);
    return c;
}

void CGContextRelease(CGContextRef c) {
    if (c && c->refs.fetch_sub(1) == 1) {
        if (c->ownsData) free(c->data);
        delete c;
    }
}

void* CGBitmapContextGetData(CGContextRef c) { return c ? c->data : nullptr; }
size_t CGBitmapContextGetWidth(CGContextRef c) { return c ? c->width : 0; }
size_t CGBitmapContextGetHeight(CGContextRef c) { return c ? c->height : 0; }
size_t CGBitmapContextGetBytesPerRow(CGContextRef c) { return c ? c->bytesPerRow : 0; }
size_t CGBitmapContextGetBitsPerPixel(CGContextRef c) { return c ? (size_t)c->format.bytes * 8 : 0; }
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef c) { return c ? c->info : 0; }
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef c) {
    return c ? (CGImageAlphaInfo)(c->info & kCGBitmapAlphaInfoMask) : kCGImageAlphaNone;
}

void CGContextSaveGState(CGContextRef c) {
    if (c) c->saved.push_back(c->gs);
}

void CGContextRestoreGState(CGContextRef c) {
    if (!c || c->saved.empty()) return;
    c->gs = std::move(c->saved.back());
    c->saved.pop_back();
}

int CGContextGetGStateDepth(CGContextRef c) { return c ? (int)c->saved.size() : 0; }

void CGContextConcatCTM(CGContextRef c, CGAffineTransform t) {
    if (c) c->gs.ctm = CGAffineTransformConcat(t, c->gs.ctm);
}
void CGContextTranslateCTM(CGContextRef c, CGFloat tx, CGFloat ty) {
    CGContextConcatCTM(c, CGAffineTransformMakeTranslation(tx, ty));
}
void CGContextScaleCTM(CGContextRef c, CGFloat sx, CGFloat sy) {
    CGContextConcatCTM(c, CGAffineTransformMakeScale(sx, sy));
}
void CGContextRotateCTM(CGContextRef c, CGFloat angle) { CGContextConcatCTM(c, CGAffineTransformMakeRotation(angle)); }
CGAffineTransform CGContextGetCTM(CGContextRef c) { return c ? c->gs.ctm : CGAffineTransformIdentity; }
CGAffineTransform CGContextGetUserSpaceToDeviceSpaceTransform(CGContextRef c) { return CGContextGetCTM(c); }
CGPoint CGContextConvertPointToDeviceSpace(CGContextRef c, CGPoint p) {
    return CGPointApplyAffineTransform(p, CGContextGetCTM(c));
}
CGPoint CGContextConvertPointToUserSpace(CGContextRef c, CGPoint p) {
    return CGPointApplyAffineTransform(p, CGAffineTransformInvert(CGContextGetCTM(c)));
}

void CGContextClipToRect(CGContextRef c, CGRect r) { CGContextClipToRects(c, &r, 1); }

void CGContextClipToRects(CGContextRef c, const CGRect* rects, size_t count) {
    if (!c) return;
    PathData saved = std::move(c->path);
    c->path.clear();
    for (size_t i = 0; rects && i < count; ++i) c->path.addRect(rects[i], c->gs.ctm);
    ClipPath(c, false);
    c->path = std::move(saved);
}

void CGContextClip(CGContextRef c) {
    if (c) ClipPath(c, false);
}
void CGContextEOClip(CGContextRef c) {
    if (c) ClipPath(c, true);
}

void CGContextClipToMask(CGContextRef c, CGRect r, CGImageRef mask) {
    if (!c) return;
    if (!mask) return CGContextClipToRect(c, r);
    CGAffineTransform m = ImageToRaster(c, r, mask);
    IRect win;
    std::vector<uint8_t> cov;
    if (!ImageCoverage(c, m, mask, win, cov)) return IntersectClip(c, IRect{}, {});
    Sampler s(mask, CGAffineTransformInvert(m),
              c->gs.interpolation != kCGInterpolationNone && mask->interpolate && !IsIntegerTranslation(m));
    bool useGray = mask->format.alpha == PixelFormat::kGray || mask->format.alpha == PixelFormat::kNone;
    for (int y = win.y0; y < win.y1; ++y)
        for (int x = win.x0; x < win.x1; ++x) {
            uint8_t& k = cov[(size_t)(y - win.y0) * win.width() + (x - win.x0)];
            if (!k) continue;
            Premul p = s.at(x, y);
            k = (uint8_t)Div255(k * (useGray ? p.r : p.a));
        }
    IntersectClip(c, win, std::move(cov));
}

CGRect CGContextGetClipBoundingBox(CGContextRef c) {
    if (!c || c->gs.clip.bounds.empty()) return CGRectNull;
    const IRect& b = c->gs.clip.bounds;
    CGRect dev = CGRectMake(b.x0, (double)c->height - b.y1, b.width(), b.height());
    return CGRectApplyAffineTransform(dev, CGAffineTransformInvert(c->gs.ctm));
}

static void SetColor(CGFloat dst[4], CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    auto u = [](CGFloat v) { return v == v ? std::clamp(v, (CGFloat)0, (CGFloat)1) : (CGFloat)0; };
    dst[0] = u(r), dst[1] = u(g), dst[2] = u(b), dst[3] = u(a);
}

void CGContextSetFillColorWithColor(CGContextRef c, CGColorRef color) {
    if (c && color) SetColor(c->gs.fill, color->rgba[0], color->rgba[1], color->rgba[2], color->rgba[3]);
}
void CGContextSetStrokeColorWithColor(CGContextRef c, CGColorRef color) {
    if (c && color) SetColor(c->gs.stroke, color->rgba[0], color->rgba[1], color->rgba[2], color->rgba[3]);
}
void CGContextSetRGBFillColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    if (c) SetColor(c->gs.fill, r, g, b, a);
}
void CGContextSetRGBStrokeColor(CGContextRef c, CGFloat r, CGFloat g, CGFloat b, CGFloat a) {
    if (c) SetColor(c->gs.stroke, r, g, b, a);
}
void CGContextSetGrayFillColor(CGContextRef c, CGFloat gray, CGFloat a) {
    CGContextSetRGBFillColor(c, gray, gray, gray, a);
}
void CGContextSetGrayStrokeColor(CGContextRef c, CGFloat gray, CGFloat a) {
    CGContextSetRGBStrokeColor(c, gray, gray, gray, a);
}
void CGContextGetFillColor(CGContextRef c, CGFloat rgba[4]) {
    for (int i = 0; i < 4; ++i) rgba[i] = c ? c->gs.fill[i] : (i == 3 ? 1 : 0);
}
void CGContextGetStrokeColor(CGContextRef c, CGFloat rgba[4]) {
    for (int i = 0; i < 4; ++i) rgba[i] = c ? c->gs.stroke[i] : (i == 3 ? 1 : 0);
}
void CGContextSetAlpha(CGContextRef c, CGFloat a) {
    if (c) c->gs.alpha = a == a ? std::clamp(a, (CGFloat)0, (CGFloat)1) : 0;
}

void CGContextSetLineWidth(CGContextRef c, CGFloat w) {
    if (c && w == w) c->gs.lineWidth = std::max(w, (CGFloat)0);
}
CGFloat CGContextGetLineWidth(CGContextRef c) { return c ? c->gs.lineWidth : 0; }
void CGContextSetLineCap(CGContextRef c, CGLineCap cap) {
    if (c) c->gs.cap = cap;
}
void CGContextSetLineJoin(CGContextRef c, CGLineJoin join) {
    if (c) c->gs.join = join;
}
void CGContextSetMiterLimit(CGContextRef c, CGFloat limit) {
    if (c) c->gs.miterLimit = limit;
}

void CGContextSetShouldAntialias(CGContextRef c, bool on) {
    if (c) c->gs.shouldAntialias = on;
}
void CGContextSetAllowsAntialiasing(CGContextRef c, bool on) {
    if (c) c->gs.allowsAntialias = on;
}
bool CGContextGetShouldAntialias(CGContextRef c) { return c && Antialias(c); }
void CGContextSetShouldSmoothFonts(CGContextRef c, bool on) {
    if (c) c->gs.smoothFonts = on;
}
bool CGContextGetShouldSmoothFonts(CGContextRef c) { return c && c->gs.smoothFonts; }

void CGContextSetInterpolationQuality(CGContextRef c, CGInterpolationQuality q) {
    if (c) c->gs.interpolation = q;
}
CGInterpolationQuality CGContextGetInterpolationQuality(CGContextRef c) {
    return c ? c->gs.interpolation : kCGInterpolationDefault;
}

void CGContextSetBlendMode(CGContextRef c, CGBlendMode mode) {
    if (c) c->gs.blend = mode;
}

void CGContextSetTextMatrix(CGContextRef c, CGAffineTransform t) {
    if (c) c->textMatrix = t;
}
CGAffineTransform CGContextGetTextMatrix(CGContextRef c) { return c ? c->textMatrix : CGAffineTransformIdentity; }
void CGContextSetTextPosition(CGContextRef c, CGFloat x, CGFloat y) {
    if (c) c->textPosition = CGPoint{x, y};
}
CGPoint CGContextGetTextPosition(CGContextRef c) { return c ? c->textPosition : CGPoint{0, 0}; }

static CGPoint Dev(CGContextRef c, CGFloat x, CGFloat y) {
    return CGPointApplyAffineTransform(CGPointMake(x, y), c->gs.ctm);
}

void CGContextBeginPath(CGContextRef c) {
    if (c) c->path.clear();
}
void CGContextMoveToPoint(CGContextRef c, CGFloat x, CGFloat y) {
    if (c) c->path.moveTo(Dev(c, x, y));
}
void CGContextAddLineToPoint(CGContextRef c, CGFloat x, CGFloat y) {
    if (c && c->path.hasCurrent) c->path.lineTo(Dev(c, x, y));
}
void CGContextAddCurveToPoint(CGContextRef c, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x, CGFloat cp2y, CGFloat x,
                              CGFloat y) {
    if (c && c->path.hasCurrent) c->path.curveTo(Dev(c, cp1x, cp1y), Dev(c, cp2x, cp2y), Dev(c, x, y));
}
void CGContextAddQuadCurveToPoint(CGContextRef c, CGFloat cpx, CGFloat cpy, CGFloat x, CGFloat y) {
    if (c && c->path.hasCurrent) c->path.quadTo(Dev(c, cpx, cpy), Dev(c, x, y));
}
void CGContextClosePath(CGContextRef c) {
    if (c) c->path.close();
}
void CGContextAddRect(CGContextRef c, CGRect r) {
    if (c) c->path.addRect(r, c->gs.ctm);
}
void CGContextAddRects(CGContextRef c, const CGRect* rects, size_t count) {
    for (size_t i = 0; c && rects && i < count; ++i) c->path.addRect(rects[i], c->gs.ctm);
}
void CGContextAddEllipseInRect(CGContextRef c, CGRect r) {
    if (c) c->path.addEllipse(r, c->gs.ctm);
}
void CGContextAddLines(CGContextRef c, const CGPoint* points, size_t count) {
    if (!c || !points || count == 0) return;
    c->path.moveTo(Dev(c, points[0].x, points[0].y));
    for (size_t i = 1; i < count; ++i) c->path.lineTo(Dev(c, points[i].x, points[i].y));
}
void CGContextAddPath(CGContextRef c, CGPathRef path) {
    if (c && path) c->path.append(path->data, c->gs.ctm);
}
bool CGContextIsPathEmpty(CGContextRef c) { return !c || c->path.empty(); }
CGPoint CGContextGetPathCurrentPoint(CGContextRef c) {
    if (!c || !c->path.hasCurrent) return CGPoint{0, 0};
    return CGContextConvertPointToUserSpace(c, c->path.current);
}
CGRect CGContextGetPathBoundingBox(CGContextRef c) {
    if (!c || c->path.empty()) return CGRectNull;
    return CGRectApplyAffineTransform(c->path.bounds(), CGAffineTransformInvert(c->gs.ctm));
}

void CGContextDrawPath(CGContextRef c, CGPathDrawingMode mode) { Paint(c, mode); }
void CGContextFillPath(CGContextRef c) { Paint(c, kCGPathFill); }
void CGContextEOFillPath(CGContextRef c) { Paint(c, kCGPathEOFill); }
void CGContextStrokePath(CGContextRef c) { Paint(c, kCGPathStroke); }

// The rectangle and ellipse calls paint a path of their own and leave the
// current path alone.
template <class Build>
static void PaintShape(CGContextRef c, CGPathDrawingMode mode, Build build) {
    if (!c) return;
    PathData saved = std::move(c->path);
    c->path.clear();
    build(c->path);
    Paint(c, mode);
    c->path = std::move(saved);
}

void CGContextFillRect(CGContextRef c, CGRect r) { CGContextFillRects(c, &r, 1); }
void CGContextFillRects(CGContextRef c, const CGRect* rects, size_t count) {
    PaintShape(c, kCGPathFill, [&](PathData& p) {
        for (size_t i = 0; rects && i < count; ++i) p.addRect(rects[i], c->gs.ctm);
    });
}
void CGContextStrokeRect(CGContextRef c, CGRect r) {
    PaintShape(c, kCGPathStroke, [&](PathData& p) { p.addRect(r, c->gs.ctm); });
}
void CGContextStrokeRectWithWidth(CGContextRef c, CGRect r, CGFloat width) {
    if (!c) return;
    CGFloat old = c->gs.lineWidth;
    CGContextSetLineWidth(c, width);
    CGContextStrokeRect(c, r);
    c->gs.lineWidth = old;
}
void CGContextFillEllipseInRect(CGContextRef c, CGRect r) {
    PaintShape(c, kCGPathFill, [&](PathData& p) { p.addEllipse(r, c->gs.ctm); });
}
void CGContextStrokeEllipseInRect(CGContextRef c, CGRect r) {
    PaintShape(c, kCGPathStroke, [&](PathData& p) { p.addEllipse(r, c->gs.ctm); });
}
void CGContextStrokeLineSegments(CGContextRef c, const CGPoint* points, size_t count) {
    PaintShape(c, kCGPathStroke, [&](PathData& p) {
        for (size_t i = 0; points && i + 1 < count; i += 2) {
            p.moveTo(Dev(c, points[i].x, points[i].y));
            p.lineTo(Dev(c, points[i + 1].x, points[i + 1].y));
        }
    });
}

void CGContextClearRect(CGContextRef c, CGRect r) {
    if (!c) return;
    CGBlendMode old = c->gs.blend;
    c->gs.blend = kCGBlendModeClear;
    CGContextFillRect(c, r);
    c->gs.blend = old;
}

void CGContextDrawImage(CGContextRef c, CGRect r, CGImageRef image) {
    if (!c || !c->data || !image) return;
    CGAffineTransform m = ImageToRaster(c, r, image);
    if (CopyRows(c, m, image)) return;
    IRect win;
    std::vector<uint8_t> cov;
    if (!ImageCoverage(c, m, image, win, cov)) return;
    bool smooth = c->gs.interpolation != kCGInterpolationNone && image->interpolate && !IsIntegerTranslation(m);
    Sampler s(image, CGAffineTransformInvert(m), smooth);
    const PixelFormat& f = c->format;
    int ga = (int)std::lround(c->gs.alpha * 255);
    // An alpha-only image paints the fill colour through its alpha.
    bool mask = image->format.alpha == PixelFormat::kOnly;
    Premul fill = ColorPremul(c->gs.fill, 1);
    for (int y = win.y0; y < win.y1; ++y) {
        uint8_t* row = c->data + (size_t)y * c->bytesPerRow + (size_t)win.x0 * f.bytes;
        const uint8_t* k = &cov[(size_t)(y - win.y0) * win.width()];
        for (int x = win.x0; x < win.x1; ++x, row += f.bytes) {
            int kk = k[x - win.x0];
            if (!kk) continue;
            if (ga != 255) kk = Div255(kk * ga);
            Premul p = s.at(x, y);
            if (mask) {
                kk = Div255(kk * p.a);
                p = fill;
            }
            Blend(row, f, p, kk, c->gs.blend);
        }
    }
}

}  // namespace platform
