#pragma once
// The slider, drawn flat: a track and a knob, across (or upright when taller
// than wide). Pressing the track moves the knob there; dragging moves it,
// sending the action with each move.

#include "platform/appkit/Controls.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class Slider : public appkit::Control {
public:
    explicit Slider(appkit::Rect frame = {});

    double minValue() const { return min_; }
    double maxValue() const { return max_; }
    void setMinValue(double v);
    void setMaxValue(double v);
    double doubleValue() const { return value_; }
    // Kept within the range.
    void setDoubleValue(double v);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool c) { continuous_ = c; }
    bool isVertical() const { return frame().height > frame().width; }

    // The knob's rectangle, and the value at a point of the view.
    FRect knobRect() const;
    double valueAt(appkit::Point p) const;

    bool acceptsFirstResponder() const override { return false; }
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event& e) override;
    void mouseUp(const appkit::Event& e) override;
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;

private:
    double knobLength() const;
    void track(const appkit::Event& e);

    double min_ = 0;
    double max_ = 1;
    double value_ = 0;
    bool continuous_ = true;
    bool tracking_ = false;
};

}  // namespace platform::controls
