#include "platform/controls/Slider.h"

#include <algorithm>
#include <cmath>

namespace platform::controls {

Slider::Slider(appkit::Rect frame) : appkit::Control(frame) {}

void Slider::setMinValue(double v) {
    min_ = v;
    setDoubleValue(value_);
}

void Slider::setMaxValue(double v) {
    max_ = v;
    setDoubleValue(value_);
}

void Slider::setDoubleValue(double v) {
    if (std::isnan(v)) return;
    if (min_ <= max_) v = std::clamp(v, min_, max_);
    value_ = v;
    setNeedsDisplay();
}

double Slider::knobLength() const { return controlSize() == appkit::ControlSize::Mini ? 9 : 13; }

FRect Slider::knobRect() const {
    FRect b = boundsF();
    double k = knobLength();
    double span = max_ - min_;
    double t = span > 0 ? (value_ - min_) / span : 0;
    if (isVertical()) {
        double y = (b.height - k) * (1 - t);
        return {std::floor((b.width - k) / 2), std::round(y), k, k};
    }
    double x = (b.width - k) * t;
    return {std::round(x), std::floor((b.height - k) / 2), k, k};
}

double Slider::valueAt(appkit::Point p) const {
    FRect b = boundsF();
    double k = knobLength();
    double t =
        isVertical() ? 1 - (p.y - k / 2) / std::max(b.height - k, 1.0) : (p.x - k / 2) / std::max(b.width - k, 1.0);
    return min_ + std::clamp(t, 0.0, 1.0) * (max_ - min_);
}

void Slider::track(const appkit::Event& e) {
    double v = valueAt(convertFromWindow(e.location));
    if (v == value_) return;
    setDoubleValue(v);
    if (continuous_) sendAction();
}

void Slider::mouseDown(const appkit::Event& e) {
    if (!isEnabled() || e.button != appkit::MouseButton::Left) return;
    tracking_ = true;
    track(e);
}

void Slider::mouseDragged(const appkit::Event& e) {
    if (tracking_) track(e);
}

void Slider::mouseUp(const appkit::Event& e) {
    if (!tracking_) return;
    tracking_ = false;
    double v = valueAt(convertFromWindow(e.location));
    bool moved = v != value_;
    if (moved) setDoubleValue(v);
    if (moved || !continuous_) sendAction();
}

void Slider::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect b = boundsF();
    FRect k = knobRect();
    if (isVertical())
        p.fill({std::floor(b.width / 2) - 2, k.height / 2, 4, b.height - k.height}, look::kTrack);
    else
        p.fill({k.width / 2, std::floor(b.height / 2) - 2, b.width - k.width, 4}, look::kTrack);
    p.fill(k, isEnabled() ? look::kFace : look::kField);
    p.frame(k, tracking_ ? look::kAccent : look::kEdge);
}

}  // namespace platform::controls
