#include <algorithm>
#include <cmath>

#include "platform/coregraphics/CGInternal.h"

namespace platform {
namespace cg {

IRect Intersect(const IRect& a, const IRect& b) {
    IRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
    if (r.empty()) r = IRect{};
    return r;
}

namespace {

const int kSub = 16;  // sub-scanlines per pixel row

// Keeps coordinates finite and far from the int range.
double Tame(double v) {
    if (!(v == v)) return 0;
    return std::clamp(v, -1e7, 1e7);
}

}  // namespace

Coverage::Coverage(int x0, int y0, int w, int h) : m_x0(x0), m_y0(y0), m_w(std::max(w, 0)), m_h(std::max(h, 0)) {}

void Coverage::addPolygon(const std::vector<CGPoint>& pts) {
    size_t n = pts.size();
    if (n < 2) return;
    for (size_t i = 0; i < n; ++i) {
        const CGPoint& a = pts[i];
        const CGPoint& b = pts[(i + 1) % n];
        addLine(a.x, a.y, b.x, b.y);
    }
}

void Coverage::addLine(double ax, double ay, double bx, double by) {
    ax = Tame(ax) - m_x0;
    bx = Tame(bx) - m_x0;
    ay = Tame(ay) - m_y0;
    by = Tame(by) - m_y0;
    if (ay == by) return;
    Edge e;
    e.dir = ay < by ? 1 : -1;
    if (ay > by) {
        std::swap(ax, bx);
        std::swap(ay, by);
    }
    if (by <= 0 || ay >= m_h) return;
    e.x0 = ax, e.y0 = ay, e.x1 = bx, e.y1 = by;
    e.dxdy = (bx - ax) / (by - ay);
    m_edges.push_back(e);
}

void Coverage::resolve(bool evenOdd, bool antialias, std::vector<uint8_t>& out) const {
    out.assign((size_t)m_w * m_h, 0);
    if (m_w == 0 || m_h == 0 || m_edges.empty()) return;
    std::vector<const Edge*> order;
    order.reserve(m_edges.size());
    for (const Edge& e : m_edges) order.push_back(&e);
    std::sort(order.begin(), order.end(), [](const Edge* a, const Edge* b) { return a->y0 < b->y0; });

    const int samples = antialias ? kSub : 1;
    const double weight = 1.0 / samples;
    std::vector<const Edge*> active;
    std::vector<std::pair<double, int>> xs;
    // Per row: fractional ends go straight in, whole-pixel runs through a
    // difference array.
    std::vector<double> part(m_w + 1), runs(m_w + 2);
    size_t next = 0;
    for (int y = 0; y < m_h; ++y) {
        while (next < order.size() && order[next]->y0 < y + 1) active.push_back(order[next++]);
        active.erase(std::remove_if(active.begin(), active.end(), [y](const Edge* e) { return e->y1 <= y; }),
                     active.end());
        if (active.empty()) continue;
        std::fill(part.begin(), part.end(), 0.0);
        std::fill(runs.begin(), runs.end(), 0.0);
        for (int s = 0; s < samples; ++s) {
            double sy = antialias ? y + (s + 0.5) / kSub : y + 0.5;
            xs.clear();
            for (const Edge* e : active)
                if (e->y0 <= sy && sy < e->y1) xs.emplace_back(e->x0 + (sy - e->y0) * e->dxdy, e->dir);
            if (xs.size() < 2) continue;
            std::sort(xs.begin(), xs.end());
            int wind = 0;
            double start = 0;
            for (const auto& [x, dir] : xs) {
                bool wasIn = evenOdd ? (wind & 1) : wind != 0;
                wind += dir;
                bool isIn = evenOdd ? (wind & 1) : wind != 0;
                if (!wasIn && isIn) {
                    start = x;
                } else if (wasIn && !isIn) {
                    double a = std::clamp(start, 0.0, (double)m_w), b = std::clamp(x, 0.0, (double)m_w);
                    if (!antialias) {
                        // Pixels whose centres lie in [a, b).
                        int ia = (int)std::ceil(a - 0.5), ib = (int)std::ceil(b - 0.5);
                        if (ib > ia) runs[ia] += 1, runs[ib] -= 1;
                        continue;
                    }
                    if (b <= a) continue;
                    int ia = (int)a, ib = (int)b;
                    if (ia == ib) {
                        part[ia] += (b - a) * weight;
                    } else {
                        part[ia] += (ia + 1 - a) * weight;
                        if (ib < m_w) part[ib] += (b - ib) * weight;
                        if (ib > ia + 1) runs[ia + 1] += weight, runs[ib] -= weight;
                    }
                }
            }
        }
        uint8_t* o = &out[(size_t)y * m_w];
        double run = 0;
        for (int x = 0; x < m_w; ++x) {
            run += runs[x];
            double c = std::clamp(run + part[x], 0.0, 1.0);
            o[x] = (uint8_t)(c * 255 + 0.5);
        }
    }
}

}  // namespace cg
}  // namespace platform
