#pragma once
// The scroll view, drawn flat: its scrollers are a track and a knob each.
// Dragging a knob scrolls, pressing a track pages, and the wheel scrolls by
// lines over anything inside.

#include "platform/appkit/Controls.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class ScrollView : public appkit::ScrollView {
public:
    explicit ScrollView(appkit::Rect frame = {});

    // Pixels one wheel notch scrolls.
    double lineScroll() const { return lineScroll_; }
    void setLineScroll(double px) { lineScroll_ = px; }
    // The knob of a scroller within its track (vertical: true), empty when
    // the scroller does not show.
    FRect knobRect(bool vertical) const;

    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event& e) override;
    void mouseUp(const appkit::Event& e) override;
    void scrollWheel(const appkit::Event& e) override;

private:
    double lineScroll_ = 30;
    int dragging_ = 0;  // 1 vertical knob, 2 horizontal knob
    double grab_ = 0;   // where in the knob it was taken
};

}  // namespace platform::controls
