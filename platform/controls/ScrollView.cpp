#include "platform/controls/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace platform::controls {

namespace {
constexpr double kMinKnob = 16;
}

ScrollView::ScrollView(appkit::Rect frame) : appkit::ScrollView(frame) {}

FRect ScrollView::knobRect(bool vertical) const {
    appkit::Rect track = vertical ? verticalScrollerRect() : horizontalScrollerRect();
    View* doc = documentView();
    if (track.isEmpty() || !doc) return {};
    FRect vis = documentVisibleRect();
    FRect d = doc->frameF();
    double total = vertical ? d.height : d.width;
    double shown = vertical ? vis.height : vis.width;
    double at = vertical ? vis.y : vis.x;
    double len = vertical ? track.height : track.width;
    if (total <= shown || total <= 0) return {};
    double knob = std::round(std::max(kMinKnob, len * shown / total));
    double pos = std::round((len - knob) * at / (total - shown));
    return vertical ? FRect{track.x + 3.0, track.y + pos, track.width - 6.0, knob}
                    : FRect{track.x + pos, track.y + 3.0, knob, track.height - 6.0};
}

void ScrollView::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    for (bool vertical : {true, false}) {
        appkit::Rect t = vertical ? verticalScrollerRect() : horizontalScrollerRect();
        if (t.isEmpty()) continue;
        p.fill(FRect(t), 0xF2F2F2);
        p.fill(vertical ? FRect(t.x, t.y, 1, t.height) : FRect(t.x, t.y, t.width, 1), look::kEdgeLight);
        FRect k = knobRect(vertical);
        if (!k.isEmpty()) p.fill(k, dragging_ == (vertical ? 1 : 2) ? look::kEdge : look::kKnob);
    }
    if (verticalScrollerShown() && horizontalScrollerShown()) {
        appkit::Rect f = frame();
        p.fill({f.width - kScrollerWidth + 0.0, f.height - kScrollerWidth + 0.0, kScrollerWidth, kScrollerWidth},
               0xF2F2F2);
    }
}

void ScrollView::mouseDown(const appkit::Event& e) {
    appkit::Point pt = convertFromWindow(e.location);
    for (bool vertical : {true, false}) {
        appkit::Rect t = vertical ? verticalScrollerRect() : horizontalScrollerRect();
        if (!t.contains(pt)) continue;
        FRect k = knobRect(vertical);
        if (k.isEmpty()) return;
        double at = vertical ? pt.y : pt.x;
        double lo = vertical ? k.y : k.x, hi = vertical ? k.bottom() : k.right();
        if (at >= lo && at < hi) {
            dragging_ = vertical ? 1 : 2;
            grab_ = at - lo;
            setNeedsDisplay();
            return;
        }
        // A press on the track pages toward it.
        FRect vis = documentVisibleRect();
        appkit::FPoint to{vis.x, vis.y};
        double page = (vertical ? vis.height : vis.width) - lineScroll_ / 3;
        double step = at < lo ? -page : page;
        (vertical ? to.y : to.x) += step;
        scrollToPoint(to);
        return;
    }
}

void ScrollView::mouseDragged(const appkit::Event& e) {
    if (!dragging_) return;
    bool vertical = dragging_ == 1;
    appkit::Rect t = vertical ? verticalScrollerRect() : horizontalScrollerRect();
    FRect k = knobRect(vertical);
    View* doc = documentView();
    if (t.isEmpty() || k.isEmpty() || !doc) return;
    appkit::Point pt = convertFromWindow(e.location);
    FRect vis = documentVisibleRect();
    FRect d = doc->frameF();
    double len = vertical ? t.height : t.width;
    double knob = vertical ? k.height : k.width;
    double start = (vertical ? pt.y - t.y : pt.x - t.x) - grab_;
    double total = (vertical ? d.height : d.width) - (vertical ? vis.height : vis.width);
    double pos = len > knob ? start / (len - knob) * total : 0;
    scrollToPoint(vertical ? appkit::FPoint{vis.x, pos} : appkit::FPoint{pos, vis.y});
}

void ScrollView::mouseUp(const appkit::Event&) {
    if (!dragging_) return;
    dragging_ = 0;
    setNeedsDisplay();
}

void ScrollView::scrollWheel(const appkit::Event& e) {
    FRect vis = documentVisibleRect();
    double dy = std::isfinite(e.deltaY) ? e.deltaY : 0, dx = std::isfinite(e.deltaX) ? e.deltaX : 0;
    if (dy == 0 && dx == 0) return;
    scrollToPoint({vis.x - dx * lineScroll_, vis.y - dy * lineScroll_});
}

}  // namespace platform::controls
