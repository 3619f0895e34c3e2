#include "platform/appkit/View.h"

#include <algorithm>

#include "platform/appkit/Window.h"

namespace platform::appkit {

View::View(Rect frame) : frameF_(frame), frame_(frame) {}

View::~View() {
    retire();
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

void View::setFrameF(const FRect& r) {
    FRect old = frameF_;
    setNeedsDisplay();
    frameF_ = r;
    frame_ = toPixels(r);
    setNeedsDisplay();
    if (old == r) return;
    frameDidChange(old);
    if (old.width != r.width || old.height != r.height) {
        std::vector<View*> subs = subviews_;
        for (View* v : subs)
            if (v->superview_ == this) v->resizeWithOldSuperviewSize({old.width, old.height});
    }
}

void View::addSubview(View* v) { insertSubview(v, subviews_.size()); }

void View::insertSubview(View* v, size_t index) {
    if (!v || v == this || isDescendantOf(v)) return;
    if (v->superview_) v->removeFromSuperview();
    v->superview_ = this;
    subviews_.insert(subviews_.begin() + static_cast<std::ptrdiff_t>(std::min(index, subviews_.size())), v);
    v->setWindowRecursive(window_);
    v->setNeedsDisplay();
    didAddSubview(v);
}

void View::detach(bool markArea) {
    if (!superview_) return;
    superview_->willRemoveSubview(this);
    if (markArea && superview_) superview_->setNeedsDisplayInRect(frame_);
    if (!superview_) return;
    auto& s = superview_->subviews_;
    s.erase(std::remove(s.begin(), s.end(), this), s.end());
    superview_ = nullptr;
    setWindowRecursive(nullptr);
}

void View::removeFromSuperview() { detach(true); }

void View::removeFromSuperviewWithoutNeedingDisplay() { detach(false); }

Window* View::window() const { return window_; }

bool View::isDescendantOf(const View* v) const {
    for (const View* p = this; p; p = p->superview_)
        if (p == v) return true;
    return false;
}

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
    if (superview_)
        superview_->setNeedsDisplayInRect(frame_);
    else if (!h)
        setNeedsDisplay();  // a window's content view shown again
    hiddenDidChange();
}

bool View::isHiddenOrHasHiddenAncestor() const {
    for (const View* v = this; v; v = v->superview_)
        if (v->hidden_) return true;
    return false;
}

bool View::canDraw() const {
    if (!window_ || window_->isClosed()) return false;
    return !isHiddenOrHasHiddenAncestor();
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

FPoint View::convertToWindowF(FPoint p) const {
    for (const View* v = this; v; v = v->superview_) {
        p.x += v->frameF_.x;
        p.y += v->frameF_.y;
    }
    return p;
}

FPoint View::convertFromWindowF(FPoint p) const {
    FPoint o = convertToWindowF({0, 0});
    return {p.x - o.x, p.y - o.y};
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
    needsDisplay_ = true;
    for (View* s = superview_; s && !s->subviewNeedsDisplay_; s = s->superview_) s->subviewNeedsDisplay_ = true;
    if (window_) window_->invalidate(convertRectToWindow(r.intersection(bounds())));
    viewDidSetNeedsDisplay();
}

void View::clearNeedsDisplayRecursive() {
    clearNeedsDisplay();
    for (View* v : subviews_) v->clearNeedsDisplayRecursive();
}

void View::displayTree(Canvas& canvas, const Rect& dirtyInWindow) {
    if (hidden_) return;
    Rect mine = convertRectToWindow(bounds()).intersection(dirtyInWindow);
    if (mine.isEmpty()) return;
    Point origin = convertToWindow({0, 0});
    Canvas local = canvas.withOrigin(origin, mine);
    drawRect(local, mine.offset(-origin.x, -origin.y));
    // A drawing may change the list (a view removed while it paints).
    std::vector<View*> subs = subviews_;
    for (View* v : subs)
        if (std::find(subviews_.begin(), subviews_.end(), v) != subviews_.end()) v->displayTree(canvas, mine);
}

}  // namespace platform::appkit
