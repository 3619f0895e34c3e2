#include "platform/appkit/View.h"

#include <algorithm>

#include "platform/appkit/Window.h"

namespace platform::appkit {

View::View(Rect frame) : frame_(frame) {}

View::~View() {
    for (View* v : subviews_) {
        v->superview_ = nullptr;
        delete v;
    }
    subviews_.clear();
    if (window_) window_->forgetView(this);
    if (superview_) {
        auto& s = superview_->subviews_;
        s.erase(std::remove(s.begin(), s.end(), this), s.end());
    }
}

void View::setFrame(const Rect& r) {
    setNeedsDisplay();
    frame_ = r;
    setNeedsDisplay();
}

void View::addSubview(View* v) {
    if (!v || v == this) return;
    if (v->superview_) v->removeFromSuperview();
    v->superview_ = this;
    subviews_.push_back(v);
    v->setWindowRecursive(window_);
    v->setNeedsDisplay();
}

void View::removeFromSuperview() {
    if (!superview_) return;
    setNeedsDisplay();
    auto& s = superview_->subviews_;
    s.erase(std::remove(s.begin(), s.end(), this), s.end());
    superview_ = nullptr;
    setWindowRecursive(nullptr);
}

Window* View::window() const { return window_; }

void View::setWindowRecursive(Window* w) {
    if (window_ == w) return;
    if (window_) window_->forgetView(this);
    window_ = w;
    for (View* v : subviews_) v->setWindowRecursive(w);
    viewDidMoveToWindow();
}

void View::setHidden(bool h) {
    if (hidden_ == h) return;
    hidden_ = h;
    if (superview_) superview_->setNeedsDisplayInRect(frame_);
}

bool View::canDraw() const {
    if (!window_ || window_->isClosed()) return false;
    for (const View* v = this; v; v = v->superview_)
        if (v->hidden_) return false;
    return true;
}

Rect View::visibleRect() const {
    // Each superview cuts the view to its own bounds.
    Rect r = bounds();
    Point at{0, 0};  // this view's origin in the coordinates of v
    for (const View* v = this; v->superview_; v = v->superview_) {
        at.x += v->frame_.x;
        at.y += v->frame_.y;
        r = r.intersection(v->superview_->bounds().offset(-at.x, -at.y));
    }
    return r;
}

Point View::convertToWindow(Point p) const {
    for (const View* v = this; v; v = v->superview_) {
        p.x += v->frame_.x;
        p.y += v->frame_.y;
    }
    return p;
}

Point View::convertFromWindow(Point p) const {
    Point o = convertToWindow({0, 0});
    return {p.x - o.x, p.y - o.y};
}

Rect View::convertRectToWindow(const Rect& r) const {
    Point o = convertToWindow({r.x, r.y});
    return {o.x, o.y, r.width, r.height};
}

View* View::hitTest(Point p) {
    if (hidden_ || !frame_.contains(p)) return nullptr;
    Point local{p.x - frame_.x, p.y - frame_.y};
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it)
        if (View* hit = (*it)->hitTest(local)) return hit;
    return this;
}

void View::setNeedsDisplay() { setNeedsDisplayInRect(bounds()); }

void View::setNeedsDisplayInRect(const Rect& r) {
    if (window_) window_->invalidate(convertRectToWindow(r.intersection(bounds())));
}

void View::display(Canvas& canvas, const Rect& dirtyInWindow) {
    if (hidden_) return;
    Rect mine = convertRectToWindow(bounds()).intersection(dirtyInWindow);
    if (mine.isEmpty()) return;
    Point origin = convertToWindow({0, 0});
    Canvas local = canvas.withOrigin(origin, mine);
    drawRect(local, mine.offset(-origin.x, -origin.y));
    for (View* v : subviews_) v->display(canvas, mine);
}

}  // namespace platform::appkit
