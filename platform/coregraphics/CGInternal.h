// What the CoreGraphics stand-in's objects hold, shared by its sources.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/coregraphics/CoreGraphics.h"

namespace platform {
namespace cg {

// Where the components of one pixel lie in memory.
struct PixelFormat {
    enum Alpha { kNone, kPremultiplied, kStraight, kOnly, kGray };
    int bytes = 0;                    // per pixel: 4, or 1 for alpha-only and gray
    int r = 0, g = 0, b = 0, a = -1;  // byte offsets; a = -1: no alpha byte
    Alpha alpha = kNone;
    bool valid() const { return bytes != 0; }
};
// bitsPerComponent 8 only. Contexts take no straight alpha and no gray.
PixelFormat FormatFor(size_t bitsPerComponent, size_t bitsPerPixel, CGBitmapInfo info, bool gray, bool forContext);

// A pixel as premultiplied red, green, blue, alpha, 0..255 each.
struct Premul {
    int r, g, b, a;
};
Premul ReadPixel(const uint8_t* p, const PixelFormat& f);

// x / 255 rounded, for x in 0..65025.
inline int Div255(int x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

struct PathElem {
    enum Op : uint8_t { kMove, kLine, kCurve, kQuad, kClose } op;
    CGPoint p[3];
};

struct PathData {
    std::vector<PathElem> elems;
    CGPoint current{0, 0};
    CGPoint start{0, 0};
    bool hasCurrent = false;

    void moveTo(CGPoint p);
    void lineTo(CGPoint p);
    void curveTo(CGPoint c1, CGPoint c2, CGPoint p);
    void quadTo(CGPoint c, CGPoint p);
    void close();
    void addRect(CGRect r, const CGAffineTransform& m);
    void addEllipse(CGRect r, const CGAffineTransform& m);
    void append(const PathData& other, const CGAffineTransform& m);
    void clear();
    bool empty() const { return elems.empty(); }
    CGRect bounds() const;
};

struct Polyline {
    std::vector<CGPoint> pts;
    bool closed = false;
};
// Curves become line runs no further than tolerance from the curve.
void Flatten(const PathData& path, double tolerance, std::vector<Polyline>& out);

// The outline of a stroke, as closed polygons of consistent orientation, in
// the same space as the polylines (user space: the caller transforms).
void StrokeOutline(const std::vector<Polyline>& lines, double width, CGLineCap cap, CGLineJoin join, double miterLimit,
                   std::vector<std::vector<CGPoint>>& out);

// Coverage of polygons over a window of pixels (x0, y0, w, h) in raster space
// (y downward, row 0 the top row). Each pixel row is sampled on 16
// sub-scanlines, each cut exactly in x, so overlapping polygons unite
// under the winding rule (a stroke's pieces overlap a lot).
class Coverage {
public:
    Coverage(int x0, int y0, int w, int h);
    void addLine(double ax, double ay, double bx, double by);
    void addPolygon(const std::vector<CGPoint>& pts);  // closed implicitly
    // 0..255 per pixel, row after row of the window. Without antialiasing a
    // pixel is in when its centre is.
    void resolve(bool evenOdd, bool antialias, std::vector<uint8_t>& out) const;

private:
    struct Edge {
        double x0, y0, x1, y1;  // y0 < y1
        double dxdy;
        int dir;
    };
    int m_x0, m_y0, m_w, m_h;
    std::vector<Edge> m_edges;
};

// Integer window in raster space, x1 and y1 exclusive.
struct IRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
};
IRect Intersect(const IRect& a, const IRect& b);

struct Clip {
    IRect bounds;
    // Coverage over bounds, row after row; null: the whole of bounds.
    std::shared_ptr<const std::vector<uint8_t>> mask;
};

struct GState {
    CGAffineTransform ctm = CGAffineTransformIdentity;
    Clip clip;
    CGFloat fill[4] = {0, 0, 0, 1};
    CGFloat stroke[4] = {0, 0, 0, 1};
    CGFloat alpha = 1;
    CGFloat lineWidth = 1;
    CGLineCap cap = kCGLineCapButt;
    CGLineJoin join = kCGLineJoinMiter;
    CGFloat miterLimit = 10;
    bool shouldAntialias = true;
    bool allowsAntialias = true;
    bool smoothFonts = true;
    CGInterpolationQuality interpolation = kCGInterpolationDefault;
    CGBlendMode blend = kCGBlendModeNormal;
};

}  // namespace cg

struct CGColorSpace {
    std::atomic<int> refs{1};
    int components = 3;
};

struct CGColor {
    std::atomic<int> refs{1};
    CGColorSpaceRef space = nullptr;
    CGFloat comps[5] = {0, 0, 0, 0, 0};
    size_t count = 0;
    CGFloat rgba[4] = {0, 0, 0, 1};
};

struct CGDataProvider {
    std::atomic<int> refs{1};
    void* info = nullptr;
    const void* data = nullptr;
    size_t size = 0;
    CGDataProviderReleaseDataCallback release = nullptr;
};

struct CGImage {
    std::atomic<int> refs{1};
    size_t width = 0, height = 0, bytesPerRow = 0, bitsPerPixel = 0;
    CGBitmapInfo info = 0;
    cg::PixelFormat format;
    CGDataProviderRef provider = nullptr;
    const uint8_t* bytes = nullptr;  // first pixel, within the provider's block
    bool interpolate = true;
};

struct CGPath {
    std::atomic<int> refs{1};
    cg::PathData data;
};

struct CGContext {
    std::atomic<int> refs{1};
    uint8_t* data = nullptr;
    bool ownsData = false;
    size_t width = 0, height = 0, bytesPerRow = 0;
    CGBitmapInfo info = 0;
    cg::PixelFormat format;
    cg::GState gs;
    std::vector<cg::GState> saved;
    cg::PathData path;  // device space
    CGAffineTransform textMatrix = CGAffineTransformIdentity;
    CGPoint textPosition{0, 0};
};

}  // namespace platform
