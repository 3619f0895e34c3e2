#pragma once
// The progress indicator, drawn flat: a bar in a track, filled from the
// left by the share of the range its value has come. An indeterminate
// indicator shows a moving stripe while animated.

#include "platform/appkit/View.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class ProgressIndicator : public appkit::View {
public:
    enum Style { kBar = 0, kSpinning = 1 };
    explicit ProgressIndicator(appkit::Rect frame = {});

    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    void setMinValue(double v);
    void setMaxValue(double v);
    double doubleValue() const { return value_; }
    // Kept as given; drawing clamps it to the range.
    void setDoubleValue(double v);
    void incrementBy(double delta) { setDoubleValue(value_ + delta); }
    bool isIndeterminate() const { return indeterminate_; }
    void setIndeterminate(bool i);
    Style style() const { return style_; }
    void setStyle(Style s);
    bool isAnimating() const { return animating_; }
    void startAnimation() { animating_ = true; }
    void stopAnimation() { animating_ = false; }

    // The part of the track shown filled, in the view's coordinates.
    FRect filledRect() const;
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;

private:
    double min_ = 0, max_ = 100, value_ = 0;
    bool indeterminate_ = true;
    bool animating_ = false;
    Style style_ = kBar;
};

}  // namespace platform::controls
