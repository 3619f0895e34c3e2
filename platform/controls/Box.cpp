#include "platform/controls/Box.h"

#include <cmath>

namespace platform::controls {

Box::Box(appkit::Rect frame) : appkit::Box(frame) {}

void Box::setTitleFont(const appkit::Font& f) {
    font_ = f;
    setNeedsDisplay();
}

void Box::setTitleCentered(bool c) {
    centred_ = c;
    setNeedsDisplay();
}

void Box::setTitlePosition(int p) {
    position_ = p;
    setNeedsDisplay();
}

void Box::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect b = boundsF();
    bool titled = position_ != kNoTitle && !title().empty();
    double lh = lineHeight(font_);
    double top = titled ? std::floor(lh / 2) : 0;
    FRect outline{b.x, b.y + top, b.width, b.height - top};
    if (!titled) {
        p.frame(outline, look::kEdgeLight);
        return;
    }
    double tw = std::ceil(textWidth(font_, title())) + 6;
    double tx = centred_ ? std::floor((b.width - tw) / 2) : 8;
    // The outline, broken where the title stands.
    p.fill({outline.x, outline.y, tx, 1}, look::kEdgeLight);
    p.fill({tx + tw, outline.y, outline.width - tx - tw, 1}, look::kEdgeLight);
    p.fill({outline.x, outline.bottom() - 1, outline.width, 1}, look::kEdgeLight);
    p.fill({outline.x, outline.y, 1, outline.height}, look::kEdgeLight);
    p.fill({outline.right() - 1, outline.y, 1, outline.height}, look::kEdgeLight);
    Color c = titleColor() ? *titleColor() : rgb(look::kText);
    p.text(title(), {tx + 3, b.y, tw - 6, lh}, font_, c, TextAlignment::Left);
}

}  // namespace platform::controls
