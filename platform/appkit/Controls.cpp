#include "platform/appkit/Controls.h"

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

ScrollView::ScrollView(Rect frame) : View(frame) {
    clip_ = new ClipView();
    addSubview(clip_);
    layoutClip();
}

void ScrollView::setDocumentView(View* v) {
    for (View* old : std::vector<View*>(clip_->subviews())) {
        old->removeFromSuperview();
        delete old;
    }
    if (v) clip_->addSubview(v);
}

void ScrollView::setHasVerticalScroller(bool v) {
    vertical_ = v;
    layoutClip();
}

void ScrollView::setHasHorizontalScroller(bool h) {
    horizontal_ = h;
    layoutClip();
}

Size ScrollView::contentSize() const {
    Rect f = frame();
    return {std::max(f.width - (vertical_ ? kScrollerWidth : 0), 0),
            std::max(f.height - (horizontal_ ? kScrollerWidth : 0), 0)};
}

void ScrollView::frameDidChange(const FRect&) { layoutClip(); }

void ScrollView::layoutClip() {
    Size s = contentSize();
    clip_->setFrame({0, 0, s.width, s.height});
}

}  // namespace platform::appkit
