#include "platform/controls/ProgressIndicator.h"

#include <algorithm>

namespace platform::controls {

ProgressIndicator::ProgressIndicator(appkit::Rect frame) : View(frame) {}

void ProgressIndicator::setMinValue(double v) {
    min_ = v;
    setNeedsDisplay();
}

void ProgressIndicator::setMaxValue(double v) {
    max_ = v;
    setNeedsDisplay();
}

void ProgressIndicator::setDoubleValue(double v) {
    value_ = v;
    setNeedsDisplay();
}

void ProgressIndicator::setIndeterminate(bool i) {
    indeterminate_ = i;
    setNeedsDisplay();
}

void ProgressIndicator::setStyle(Style s) {
    style_ = s;
    setNeedsDisplay();
}

FRect ProgressIndicator::filledRect() const {
    FRect track = boundsF().insetBy(1, 1);
    if (indeterminate_ || !(max_ > min_) || track.isEmpty()) return {};
    double share = std::clamp((value_ - min_) / (max_ - min_), 0.0, 1.0);
    return {track.x, track.y, track.width * share, track.height};
}

void ProgressIndicator::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect b = boundsF();
    p.fill(b, look::kTrack);
    p.frame(b, look::kEdge);
    FRect fill = filledRect();
    if (indeterminate_ && animating_) {
        FRect track = b.insetBy(1, 1);
        fill = {track.x + track.width / 3, track.y, track.width / 3, track.height};
    }
    if (!fill.isEmpty()) p.fill(fill, look::kAccent);
}

}  // namespace platform::controls
