#include "platform/controls/TabView.h"

#include <algorithm>
#include <cmath>

#include "platform/controls/Delegates.h"

namespace platform::controls {

TabView::TabView(appkit::Rect frame) : View(frame) {}

void TabView::insertTabViewItem(const std::string& label, int index) {
    index = std::clamp(index, 0, numberOfTabViewItems());
    labels_.insert(labels_.begin() + index, label);
    if (selected_ < 0) {
        selected_ = index;
        didSelect();
    } else if (index <= selected_) {
        ++selected_;  // the same tab stays selected
    }
    setNeedsDisplay();
}

bool TabView::removeTabViewItemAt(int index) {
    if (index < 0 || index >= numberOfTabViewItems()) return false;
    labels_.erase(labels_.begin() + index);
    if (index < selected_) {
        --selected_;
    } else if (index == selected_) {
        selected_ = labels_.empty() ? -1 : std::min(index, numberOfTabViewItems() - 1);
        if (selected_ >= 0) didSelect();
    }
    setNeedsDisplay();
    return true;
}

void TabView::selectTabViewItemAt(int index) {
    if (index < 0 || index >= numberOfTabViewItems() || index == selected_) return;
    selected_ = index;
    setNeedsDisplay();
    didSelect();
}

std::string TabView::labelAt(int index) const {
    return index >= 0 && index < numberOfTabViewItems() ? labels_[static_cast<size_t>(index)] : std::string();
}

void TabView::didSelect() {
    if (auto* d = delegateOf<TabViewDelegate>(delegate_)) d->tabViewDidSelectTabViewItem(this, selected_);
}

FRect TabView::tabRect(int index) const {
    if (index < 0 || index >= numberOfTabViewItems()) return {};
    double x = kSideInset;
    for (int i = 0; i <= index; ++i) {
        double w = std::ceil(textWidth(font_, labels_[static_cast<size_t>(i)])) + 20;
        if (truncates_) w = std::min(w, std::max(40.0, (frameF().width - 2 * kSideInset) / numberOfTabViewItems()));
        if (i == index) return {x, kTopInset - kTabHeight, w, kTabHeight};
        x += w;
    }
    return {};
}

int TabView::tabAtPoint(appkit::FPoint p) const {
    for (int i = 0; i < numberOfTabViewItems(); ++i)
        if (tabRect(i).contains(p)) return i;
    return -1;
}

FRect TabView::contentRect() const {
    FRect b = boundsF();
    return {kSideInset, kTopInset, std::max(b.width - 2 * kSideInset, 0.0),
            std::max(b.height - kTopInset - kBottomInset, 0.0)};
}

void TabView::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect area = contentRect();
    p.frame({area.x - 1, area.y - 1, area.width + 2, area.height + 2}, look::kEdge);
    for (int i = 0; i < numberOfTabViewItems(); ++i) {
        FRect r = tabRect(i);
        bool on = i == selected_;
        p.fill(r, on ? look::kField : look::kFace);
        p.frame(r, look::kEdge);
        // The selected tab opens into the display area.
        if (on) p.fill({r.x + 1, r.bottom() - 1, r.width - 2, 1}, look::kField);
        p.text(labels_[static_cast<size_t>(i)], r.insetBy(6, 0), font_, rgb(look::kText), TextAlignment::Center);
    }
}

void TabView::mouseDown(const appkit::Event& e) {
    if (e.button != appkit::MouseButton::Left) return;
    appkit::Point pt = convertFromWindow(e.location);
    int i = tabAtPoint({static_cast<double>(pt.x), static_cast<double>(pt.y)});
    if (i >= 0) selectTabViewItemAt(i);
}

}  // namespace platform::controls
