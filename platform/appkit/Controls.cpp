#include "platform/appkit/Controls.h"

#include <algorithm>
#include <cmath>

namespace platform::appkit {

void Control::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    setNeedsDisplay();
}

void Control::setStringValue(const std::string& s) {
    stringValue_ = s;
    setNeedsDisplay();
}

bool Control::sendAction(const std::string& selector, Responder* target) {
    if (selector.empty() || !Responder::isLive(target)) return false;
    auto* t = dynamic_cast<ActionTarget*>(target);
    if (!t || !t->respondsToAction(selector)) return false;
    t->performAction(selector, this);
    return true;
}

void Control::setFont(const Font& f) {
    font_ = f;
    setNeedsDisplay();
}

void Control::setAlignment(TextAlignment a) {
    alignment_ = a;
    setNeedsDisplay();
}

void Control::setControlSize(ControlSize s) {
    controlSize_ = s;
    setNeedsDisplay();
}

void Button::setTitle(const std::string& t) {
    title_ = t;
    setNeedsDisplay();
}

void Button::setState(int s) {
    state_ = s < 0 ? (allowsMixed_ ? kMixed : kOn) : (s > 0 ? kOn : kOff);
    setNeedsDisplay();
}

void Button::setImage(const void* image) {
    image_ = image;
    setNeedsDisplay();
}

void Button::setTitleColor(std::optional<Color> c) {
    titleColor_ = std::move(c);
    setNeedsDisplay();
}

void TextField::setTextColor(const Color& c) {
    textColor_ = c;
    setNeedsDisplay();
}

void Text::setString(const std::string& s) {
    string_ = s;
    setNeedsDisplay();
}

void Box::setTitle(const std::string& t) {
    title_ = t;
    setNeedsDisplay();
}

FRect ClipView::documentVisibleRect() const {
    View* doc = documentView();
    if (!doc) return boundsF();
    FRect f = doc->frameF();
    return {-f.x, -f.y, frameF().width, frameF().height};
}

bool ClipView::isOpaque() const {
    if (drawsBackground_) return true;
    View* doc = documentView();
    if (!doc || !doc->isOpaque() || doc->isHidden()) return false;
    FRect d = doc->frameF();
    return d.x <= 0 && d.y <= 0 && d.right() >= frameF().width && d.bottom() >= frameF().height;
}

void ClipView::scrollToPoint(FPoint p) {
    View* doc = documentView();
    if (!doc) return;
    FRect f = doc->frameF(), c = frameF();
    double x = std::clamp(p.x, 0.0, std::max(0.0, f.width - c.width));
    double y = std::clamp(p.y, 0.0, std::max(0.0, f.height - c.height));
    if (f.x == -x && f.y == -y) return;
    doc->setFrameF({-x, -y, f.width, f.height});
    // A scroll view's knobs and header move with it.
    if (superview()) superview()->setNeedsDisplay();
}

void ClipView::scrollRectToVisible(const FRect& r) {
    FRect vis = documentVisibleRect();
    auto axis = [](double at, double len, double lo, double hi) {
        if (hi - lo > len || lo < at) return lo;
        return hi > at + len ? hi - len : at;
    };
    scrollToPoint({axis(vis.x, vis.width, r.x, r.right()), axis(vis.y, vis.height, r.y, r.bottom())});
}

void ClipView::setBackgroundColor(const Color& c) {
    background_ = c;
    setNeedsDisplay();
}

void ClipView::drawRect(Canvas& canvas, const Rect& dirty) {
    if (!drawsBackground_) return;
    auto byte = [](double v) { return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    canvas.fillRect(dirty, (byte(background_.red) << 16) | (byte(background_.green) << 8) | byte(background_.blue));
}

ScrollView::ScrollView(Rect frame) : View(frame) {
    clip_ = new ClipView();
    addSubview(clip_);
    tile();
}

void ScrollView::setDocumentView(View* v) {
    for (View* old : std::vector<View*>(clip_->subviews())) {
        old->removeFromSuperview();
        delete old;
    }
    if (v) {
        FRect f = v->frameF();
        v->setFrameF({0, 0, f.width, f.height});
        clip_->addSubview(v);
    }
    tile();
}

void ScrollView::setHasVerticalScroller(bool v) {
    vertical_ = v;
    tile();
}

void ScrollView::setHasHorizontalScroller(bool h) {
    horizontal_ = h;
    tile();
}

void ScrollView::setAutohidesScrollers(bool a) {
    autohides_ = a;
    tile();
}

void ScrollView::setDrawsBackground(bool d) {
    clip_->setDrawsBackground(d);
    setNeedsDisplay();
}

void ScrollView::setHeaderView(View* header, int height) {
    if (header_ && header_ != header) {
        header_->removeFromSuperview();
        delete header_;
    }
    header_ = header;
    headerHeight_ = header ? std::max(height, 0) : 0;
    if (header && header->superview() != this) addSubview(header);
    tile();
}

Size ScrollView::contentSize() const {
    Rect f = frame();
    return {std::max(f.width - (showV_ ? kScrollerWidth : 0), 0),
            std::max(f.height - headerHeight() - (showH_ ? kScrollerWidth : 0), 0)};
}

Rect ScrollView::verticalScrollerRect() const {
    if (!showV_) return {};
    Rect f = frame();
    return {f.width - kScrollerWidth, 0, kScrollerWidth, f.height - (showH_ ? kScrollerWidth : 0)};
}

Rect ScrollView::horizontalScrollerRect() const {
    if (!showH_) return {};
    Rect f = frame();
    return {0, f.height - kScrollerWidth, f.width - (showV_ ? kScrollerWidth : 0), kScrollerWidth};
}

FPoint ScrollView::scrollPosition() const {
    FRect r = clip_->documentVisibleRect();
    return {r.x, r.y};
}

void ScrollView::frameDidChange(const FRect&) { tile(); }

void ScrollView::tile() {
    if (tiling_) {
        // A view laid out here changed the layout (a document that grew, a
        // header put in): once more when this pass is done.
        retile_ = true;
        return;
    }
    tiling_ = true;
    FPoint at = scrollPosition();
    for (int pass = 0; pass < 4; ++pass) {
        retile_ = false;
        layOut();
        if (!retile_) break;
    }
    tiling_ = false;
    scrollToPoint(at);
    setNeedsDisplay();
}

void ScrollView::layOut() {
    Rect f = frame();
    View* doc = documentView();
    FRect d = doc ? doc->frameF() : FRect();
    int availW = f.width, availH = std::max(f.height - headerHeight(), 0);
    // Showing one scroller narrows the other direction, which may call for
    // the other one too.
    bool v = vertical_, h = horizontal_;
    if (autohides_) {
        v = vertical_ && d.height > availH;
        h = horizontal_ && d.width > availW - (v ? kScrollerWidth : 0);
        v = vertical_ && d.height > availH - (h ? kScrollerWidth : 0);
    }
    showV_ = v;
    showH_ = h;
    Size cs = contentSize();
    if (header_) header_->setFrame({0, 0, cs.width, headerHeight()});
    clip_->setFrame({0, headerHeight(), cs.width, cs.height});
}

ScrollView* enclosingScrollView(const View* v) {
    View* clip = v ? v->superview() : nullptr;
    if (!dynamic_cast<ClipView*>(clip)) return nullptr;
    return dynamic_cast<ScrollView*>(clip->superview());
}

}  // namespace platform::appkit
