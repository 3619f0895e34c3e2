#pragma once
// Geometry of the view system. Integer points, sizes and rectangles in pixels,
// origin at the top left, y growing downward (views are flipped); floating
// point ones beside them for frames that fall between pixels and for screen
// coordinates (origin at the lower left of the main screen, y growing upward).

#include <algorithm>

namespace platform::appkit {

struct Point {
    int x = 0;
    int y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int width = 0;
    int height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;

    int right() const { return x + width; }
    int bottom() const { return y + height; }
    bool isEmpty() const { return width <= 0 || height <= 0; }
    bool contains(Point p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }
    Rect intersection(const Rect& o) const {
        int l = std::max(x, o.x), t = std::max(y, o.y);
        int r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    Rect united(const Rect& o) const {
        if (isEmpty()) return o;
        if (o.isEmpty()) return *this;
        int l = std::min(x, o.x), t = std::min(y, o.y);
        int r = std::max(right(), o.right()), b = std::max(bottom(), o.bottom());
        return {l, t, r - l, b - t};
    }
    Rect offset(int dx, int dy) const { return {x + dx, y + dy, width, height}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

struct FPoint {
    double x = 0;
    double y = 0;
    friend bool operator==(const FPoint&, const FPoint&) = default;
};

struct FSize {
    double width = 0;
    double height = 0;
    friend bool operator==(const FSize&, const FSize&) = default;
};

struct FRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    FRect() = default;
    FRect(double x_, double y_, double w, double h) : x(x_), y(y_), width(w), height(h) {}
    FRect(const Rect& r) : x(r.x), y(r.y), width(r.width), height(r.height) {}

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    bool isEmpty() const { return !(width > 0) || !(height > 0); }
    bool contains(FPoint p) const { return p.x >= x && p.x < right() && p.y >= y && p.y < bottom(); }
    FRect intersection(const FRect& o) const {
        double l = std::max(x, o.x), t = std::max(y, o.y);
        double r = std::min(right(), o.right()), b = std::min(bottom(), o.bottom());
        if (r <= l || b <= t) return {};
        return {l, t, r - l, b - t};
    }
    FRect united(const FRect& o) const {
        if (isEmpty()) return o;
        if (o.isEmpty()) return *this;
        double l = std::min(x, o.x), t = std::min(y, o.y);
        double r = std::max(right(), o.right()), b = std::max(bottom(), o.bottom());
        return {l, t, r - l, b - t};
    }
    FRect offset(double dx, double dy) const { return {x + dx, y + dy, width, height}; }
    FRect insetBy(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
    friend bool operator==(const FRect&, const FRect&) = default;
};

// The pixel rectangle of a floating-point one: left and top truncated toward
// zero, right and bottom the truncation of (edge + 0.5).
inline Rect toPixels(const FRect& r) {
    int l = static_cast<int>(r.x), t = static_cast<int>(r.y);
    int rr = static_cast<int>(r.x + r.width + 0.5), b = static_cast<int>(r.y + r.height + 0.5);
    return {l, t, rr - l, b - t};
}

}  // namespace platform::appkit
