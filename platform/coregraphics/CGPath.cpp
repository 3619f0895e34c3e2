#include <algorithm>
#include <cmath>

#include "platform/coregraphics/CGInternal.h"

namespace platform {
namespace cg {

// Cubic approximation of a quarter circle.
static const double kKappa = 0.5522847498307936;

void PathData::moveTo(CGPoint p) {
    elems.push_back(PathElem{PathElem::kMove, {p, p, p}});
    current = start = p;
    hasCurrent = true;
}

void PathData::lineTo(CGPoint p) {
    if (!hasCurrent) return moveTo(p);
    elems.push_back(PathElem{PathElem::kLine, {p, p, p}});
    current = p;
}

void PathData::curveTo(CGPoint c1, CGPoint c2, CGPoint p) {
    if (!hasCurrent) moveTo(c1);
    elems.push_back(PathElem{PathElem::kCurve, {c1, c2, p}});
    current = p;
}

void PathData::quadTo(CGPoint c, CGPoint p) {
    if (!hasCurrent) moveTo(c);
    elems.push_back(PathElem{PathElem::kQuad, {c, p, p}});
    current = p;
}

void PathData::close() {
    if (!hasCurrent || elems.empty() || elems.back().op == PathElem::kClose) return;
    elems.push_back(PathElem{PathElem::kClose, {start, start, start}});
    current = start;
}

void PathData::addRect(CGRect r, const CGAffineTransform& m) {
    auto t = [&](CGFloat x, CGFloat y) { return CGPointApplyAffineTransform(CGPointMake(x, y), m); };
    CGFloat x0 = r.origin.x, y0 = r.origin.y, x1 = x0 + r.size.width, y1 = y0 + r.size.height;
    moveTo(t(x0, y0));
    lineTo(t(x1, y0));
    lineTo(t(x1, y1));
    lineTo(t(x0, y1));
    close();
}

void PathData::addEllipse(CGRect r, const CGAffineTransform& m) {
    r = CGRectStandardize(r);
    auto t = [&](CGFloat x, CGFloat y) { return CGPointApplyAffineTransform(CGPointMake(x, y), m); };
    CGFloat rx = r.size.width / 2, ry = r.size.height / 2;
    CGFloat cx = r.origin.x + rx, cy = r.origin.y + ry;
    CGFloat kx = rx * kKappa, ky = ry * kKappa;
    moveTo(t(cx + rx, cy));
    curveTo(t(cx + rx, cy + ky), t(cx + kx, cy + ry), t(cx, cy + ry));
    curveTo(t(cx - kx, cy + ry), t(cx - rx, cy + ky), t(cx - rx, cy));
    curveTo(t(cx - rx, cy - ky), t(cx - kx, cy - ry), t(cx, cy - ry));
    curveTo(t(cx + kx, cy - ry), t(cx + rx, cy - ky), t(cx + rx, cy));
    close();
}

void PathData::append(const PathData& other, const CGAffineTransform& m) {
    auto t = [&](CGPoint p) { return CGPointApplyAffineTransform(p, m); };
    for (const PathElem& e : other.elems) {
        switch (e.op) {
            case PathElem::kMove:
                moveTo(t(e.p[0]));
                break;
            case PathElem::kLine:
                lineTo(t(e.p[0]));
                break;
            case PathElem::kCurve:
                curveTo(t(e.p[0]), t(e.p[1]), t(e.p[2]));
                break;
            case PathElem::kQuad:
                quadTo(t(e.p[0]), t(e.p[1]));
                break;
            case PathElem::kClose:
                close();
                break;
        }
    }
}

void PathData::clear() {
    elems.clear();
    hasCurrent = false;
    current = start = CGPoint{0, 0};
}

CGRect PathData::bounds() const {
    if (elems.empty()) return CGRectNull;
    CGFloat x0 = elems[0].p[0].x, x1 = x0, y0 = elems[0].p[0].y, y1 = y0;
    for (const PathElem& e : elems) {
        int n = e.op == PathElem::kCurve ? 3 : e.op == PathElem::kQuad ? 2 : 1;
        for (int i = 0; i < n; ++i) {
            x0 = std::min(x0, e.p[i].x);
            x1 = std::max(x1, e.p[i].x);
            y0 = std::min(y0, e.p[i].y);
            y1 = std::max(y1, e.p[i].y);
        }
    }
    return CGRectMake(x0, y0, x1 - x0, y1 - y0);
}

static double Len(CGPoint v) { return std::sqrt(v.x * v.x + v.y * v.y); }

// Segments needed so that a curve with these second differences stays within
// tolerance of its chords.
static int Steps(double dd, double tolerance) {
    if (!(dd > 0)) return 1;
    double n = std::ceil(std::sqrt(dd / (8 * tolerance)) * 1.5);
    if (!(n >= 1)) return 1;
    return (int)std::min(n, 1000.0);
}

void Flatten(const PathData& path, double tolerance, std::vector<Polyline>& out) {
    Polyline* cur = nullptr;
    CGPoint last{0, 0};
    bool afterClose = false;
    for (const PathElem& e : path.elems) {
        // A path may go on after a close without a move: it starts again there.
        if (!cur && afterClose && e.op != PathElem::kMove && e.op != PathElem::kClose) {
            out.emplace_back();
            cur = &out.back();
            cur->pts.push_back(last);
        }
        switch (e.op) {
            case PathElem::kMove:
                afterClose = false;
                out.emplace_back();
                cur = &out.back();
                cur->pts.push_back(e.p[0]);
                last = e.p[0];
                break;
            case PathElem::kLine:
                if (!cur) break;
                cur->pts.push_back(e.p[0]);
                last = e.p[0];
                break;
            case PathElem::kCurve: {
                if (!cur) break;
                CGPoint p0 = last, p1 = e.p[0], p2 = e.p[1], p3 = e.p[2];
                double dd = std::max(Len(CGPoint{p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y}),
                                     Len(CGPoint{p1.x - 2 * p2.x + p3.x, p1.y - 2 * p2.y + p3.y})) *
                            6;
                int n = Steps(dd, tolerance);
                for (int i = 1; i <= n; ++i) {
                    double t = (double)i / n, u = 1 - t;
                    double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
                    cur->pts.push_back(CGPoint{w0 * p0.x + w1 * p1.x + w2 * p2.x + w3 * p3.x,
                                               w0 * p0.y + w1 * p1.y + w2 * p2.y + w3 * p3.y});
                }
                cur->pts.back() = p3;
                last = p3;
                break;
            }
            case PathElem::kQuad: {
                if (!cur) break;
                CGPoint p0 = last, p1 = e.p[0], p2 = e.p[1];
                double dd = Len(CGPoint{p0.x - 2 * p1.x + p2.x, p0.y - 2 * p1.y + p2.y}) * 2;
                int n = Steps(dd, tolerance);
                for (int i = 1; i <= n; ++i) {
                    double t = (double)i / n, u = 1 - t;
                    cur->pts.push_back(CGPoint{u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                                               u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
                }
                cur->pts.back() = p2;
                last = p2;
                break;
            }
            case PathElem::kClose:
                if (!cur) break;
                cur->closed = true;
                last = cur->pts.front();
                cur = nullptr;
                afterClose = true;
                break;
        }
    }
}

static double SignedArea(const std::vector<CGPoint>& pts) {
    double a = 0;
    for (size_t i = 0, n = pts.size(); i < n; ++i) {
        const CGPoint& p = pts[i];
        const CGPoint& q = pts[(i + 1) % n];
        a += p.x * q.y - q.x * p.y;
    }
    return a / 2;
}

static void Emit(std::vector<CGPoint> poly, std::vector<std::vector<CGPoint>>& out) {
    double a = SignedArea(poly);
    if (a == 0 || !std::isfinite(a)) return;
    if (a < 0) std::reverse(poly.begin(), poly.end());
    out.push_back(std::move(poly));
}

static void Circle(CGPoint c, double r, std::vector<std::vector<CGPoint>>& out) {
    int n = std::clamp((int)std::ceil(r * 4), 8, 256);
    std::vector<CGPoint> poly;
    for (int i = 0; i < n; ++i) {
        double a = 2 * M_PI * i / n;
        poly.push_back(CGPoint{c.x + r * std::cos(a), c.y + r * std::sin(a)});
    }
    Emit(std::move(poly), out);
}

void StrokeOutline(const std::vector<Polyline>& lines, double width, CGLineCap cap, CGLineJoin join, double miterLimit,
                   std::vector<std::vector<CGPoint>>& out) {
    double hw = width / 2;
    if (!(hw > 0) || !std::isfinite(hw)) return;
    for (const Polyline& line : lines) {
        std::vector<CGPoint> p;
        for (const CGPoint& q : line.pts)
            if (p.empty() || q.x != p.back().x || q.y != p.back().y) p.push_back(q);
        bool closed = line.closed;
        if (closed && p.size() > 1 && p.front().x == p.back().x && p.front().y == p.back().y) p.pop_back();
        if (p.size() == 1) {
            // A zero-length stroke shows only through its caps.
            if (cap == kCGLineCapRound) Circle(p[0], hw, out);
            if (cap == kCGLineCapSquare)
                Emit({{p[0].x - hw, p[0].y - hw},
                      {p[0].x + hw, p[0].y - hw},
                      {p[0].x + hw, p[0].y + hw},
                      {p[0].x - hw, p[0].y + hw}},
                     out);
            continue;
        }
        if (p.size() < 2) continue;
        if (p.size() == 2) closed = false;
        size_t nseg = closed ? p.size() : p.size() - 1;
        std::vector<CGPoint> dir(nseg);
        for (size_t i = 0; i < nseg; ++i) {
            CGPoint a = p[i], b = p[(i + 1) % p.size()];
            double l = Len(CGPoint{b.x - a.x, b.y - a.y});
            dir[i] = CGPoint{(b.x - a.x) / l, (b.y - a.y) / l};
        }
        for (size_t i = 0; i < nseg; ++i) {
            CGPoint a = p[i], b = p[(i + 1) % p.size()], d = dir[i];
            CGPoint n{-d.y * hw, d.x * hw};
            if (!closed && cap == kCGLineCapSquare) {
                if (i == 0) a = CGPoint{a.x - d.x * hw, a.y - d.y * hw};
                if (i == nseg - 1) b = CGPoint{b.x + d.x * hw, b.y + d.y * hw};
            }
            Emit({{a.x + n.x, a.y + n.y}, {b.x + n.x, b.y + n.y}, {b.x - n.x, b.y - n.y}, {a.x - n.x, a.y - n.y}}, out);
        }
        // Joins at every inner vertex, and at every vertex of a closed run.
        size_t first = closed ? 0 : 1, last = closed ? p.size() : p.size() - 1;
        for (size_t v = first; v < last; ++v) {
            CGPoint d0 = dir[(v + nseg - 1) % nseg], d1 = dir[v % nseg], c = p[v];
            double cross = d0.x * d1.y - d0.y * d1.x;
            double dot = d0.x * d1.x + d0.y * d1.y;
            if (std::fabs(cross) < 1e-12 && dot > 0) continue;
            if (join == kCGLineJoinRound) {
                Circle(c, hw, out);
                continue;
            }
            // The outer side of the turn.
            double s = cross > 0 ? -1 : 1;
            CGPoint n0{-d0.y * s, d0.x * s}, n1{-d1.y * s, d1.x * s};
            CGPoint a{c.x + n0.x * hw, c.y + n0.y * hw}, b{c.x + n1.x * hw, c.y + n1.y * hw};
            double ndot = n0.x * n1.x + n0.y * n1.y;
            if (join == kCGLineJoinMiter && 1 + ndot > 1e-12 && std::sqrt(2 / (1 + ndot)) <= miterLimit) {
                double k = hw / (1 + ndot);
                CGPoint tip{c.x + (n0.x + n1.x) * k, c.y + (n0.y + n1.y) * k};
                Emit({c, a, tip, b}, out);
            } else {
                Emit({c, a, b}, out);
            }
        }
        if (!closed && cap == kCGLineCapRound) {
            Circle(p.front(), hw, out);
            Circle(p.back(), hw, out);
        }
    }
}

}  // namespace cg

CGMutablePathRef CGPathCreateMutable() { return new CGPath; }

CGPathRef CGPathRetain(CGPathRef p) {
    if (p) const_cast<CGPath*>(p)->refs.fetch_add(1);
    return p;
}

void CGPathRelease(CGPathRef p) {
    if (p && const_cast<CGPath*>(p)->refs.fetch_sub(1) == 1) delete p;
}

static CGPoint Map(const CGAffineTransform* m, CGFloat x, CGFloat y) {
    return m ? CGPointApplyAffineTransform(CGPointMake(x, y), *m) : CGPointMake(x, y);
}

void CGPathMoveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat x, CGFloat y) {
    if (p) p->data.moveTo(Map(m, x, y));
}
void CGPathAddLineToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat x, CGFloat y) {
    if (p) p->data.lineTo(Map(m, x, y));
}
void CGPathAddCurveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat cp1x, CGFloat cp1y, CGFloat cp2x,
                           CGFloat cp2y, CGFloat x, CGFloat y) {
    if (p) p->data.curveTo(Map(m, cp1x, cp1y), Map(m, cp2x, cp2y), Map(m, x, y));
}
void CGPathAddQuadCurveToPoint(CGMutablePathRef p, const CGAffineTransform* m, CGFloat cpx, CGFloat cpy, CGFloat x,
                               CGFloat y) {
    if (p) p->data.quadTo(Map(m, cpx, cpy), Map(m, x, y));
}
void CGPathAddRect(CGMutablePathRef p, const CGAffineTransform* m, CGRect r) {
    if (p) p->data.addRect(r, m ? *m : CGAffineTransformIdentity);
}
void CGPathAddEllipseInRect(CGMutablePathRef p, const CGAffineTransform* m, CGRect r) {
    if (p) p->data.addEllipse(r, m ? *m : CGAffineTransformIdentity);
}
void CGPathCloseSubpath(CGMutablePathRef p) {
    if (p) p->data.close();
}
bool CGPathIsEmpty(CGPathRef p) { return !p || p->data.empty(); }
CGRect CGPathGetBoundingBox(CGPathRef p) { return p ? p->data.bounds() : CGRectNull; }

}  // namespace platform
