#pragma once
// The tab view, drawn flat: a row of labelled tabs along the top over a
// framed display area. A click on a tab selects it. The delegate hears of
// every change of the selected tab, whoever makes it: a click, a program,
// the first tab inserted into an empty view, or the selected tab removed.

#include <string>
#include <vector>

#include "platform/appkit/View.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class TabView;

class TabViewDelegate {
public:
    virtual ~TabViewDelegate() = default;
    virtual void tabViewDidSelectTabViewItem(TabView* sender, int index) = 0;
};

class TabView : public appkit::View {
public:
    // The strip of tabs above the display area, and the display area's
    // margins on the other three sides.
    static constexpr double kTabHeight = 22, kTopInset = 26, kSideInset = 7, kBottomInset = 3;

    explicit TabView(appkit::Rect frame = {});

    int numberOfTabViewItems() const { return static_cast<int>(labels_.size()); }
    // At index, clamped to the list.
    void insertTabViewItem(const std::string& label, int index);
    // False for an index outside the list.
    bool removeTabViewItemAt(int index);
    // -1 when no tab is selected.
    int indexOfSelectedTabViewItem() const { return selected_; }
    // An index outside the list changes nothing.
    void selectTabViewItemAt(int index);
    // Empty outside the list.
    std::string labelAt(int index) const;
    bool allowsTruncatedLabels() const { return truncates_; }
    void setAllowsTruncatedLabels(bool t) { truncates_ = t; }
    // Any responder that implements TabViewDelegate; told while live.
    appkit::Responder* delegate() const { return delegate_; }
    void setDelegate(appkit::Responder* d) { delegate_ = d; }

    // A tab's rectangle in the strip; the tab at a point (-1 for none).
    FRect tabRect(int index) const;
    int tabAtPoint(appkit::FPoint p) const;
    // The display area inside the frame.
    FRect contentRect() const;

    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    void mouseDown(const appkit::Event& e) override;

private:
    void didSelect();

    std::vector<std::string> labels_;
    int selected_ = -1;
    bool truncates_ = false;
    appkit::Responder* delegate_ = nullptr;
    appkit::Font font_ = appkit::Font::system(11);
};

}  // namespace platform::controls
