#include "platform/controls/Choice.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"
#include "platform/controls/Delegates.h"

namespace platform::controls {

namespace {

// The menu opens under the control's lower left corner (window coordinates).
appkit::Point belowOf(const appkit::View& v) { return v.convertToWindow({0, v.bounds().height}); }

void drawArrow(Painter& p, double cx, double cy, uint32_t colour) {
    p.fillPolygon({{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}}, colour);
}

}  // namespace

// --- pop-up button ---------------------------------------------------------------

PopUpButton::PopUpButton(appkit::Rect frame) : Button(frame) {}

PopUpButton::Item* PopUpButton::itemAtIndex(int i) {
    return i >= 0 && i < numberOfItems() ? &items_[static_cast<size_t>(i)] : nullptr;
}

const PopUpButton::Item* PopUpButton::itemAtIndex(int i) const {
    return i >= 0 && i < numberOfItems() ? &items_[static_cast<size_t>(i)] : nullptr;
}

int PopUpButton::insertItem(Item item, int index) {
    index = std::clamp(index, 0, numberOfItems());
    items_.insert(items_.begin() + index, std::move(item));
    if (selected_ >= index) ++selected_;
    setNeedsDisplay();
    return index;
}

void PopUpButton::removeItemAtIndex(int i) {
    if (!itemAtIndex(i)) return;
    items_.erase(items_.begin() + i);
    selectItemAtIndex(selected_ == i ? -1 : selected_ > i ? selected_ - 1 : selected_);
}

void PopUpButton::removeAllItems() {
    items_.clear();
    selectItemAtIndex(-1);
}

void PopUpButton::selectItemAtIndex(int i) {
    selected_ = itemAtIndex(i) ? i : -1;
    // A pop-up button's title is its selected item's.
    setTitle(titleOfSelectedItem());
}

std::string PopUpButton::titleOfSelectedItem() const {
    const Item* it = itemAtIndex(selected_);
    return it ? it->title : std::string();
}

void PopUpButton::setArrowPosition(int a) {
    arrow_ = a;
    setNeedsDisplay();
}

void PopUpButton::popUp() {
    if (!isEnabled() || items_.empty()) return;
    appkit::Menu menu;
    menu.items = items_;
    for (size_t i = 0; i < menu.items.size(); ++i) menu.items[i].checked = static_cast<int>(i) == selected_;
    appkit::MenuChoice c = appkit::Application::backend().popUpMenu(window(), menu, belowOf(*this));
    if (!c || c.menu != &menu || !Responder::isLive(this)) return;
    selectItemAtIndex(c.index);
    sendAction();
}

void PopUpButton::mouseDown(const appkit::Event& e) {
    if (e.button == appkit::MouseButton::Left) popUp();
}

void PopUpButton::sizeToFit() {
    double w = 0;
    for (const Item& it : items_) w = std::max(w, textWidth(font(), it.title));
    FRect f = frameF();
    setFrameF({f.x, f.y, std::ceil(w) + 34, f.height});
}

void PopUpButton::drawFace(Painter& p, const FRect& r) {
    p.fill(r, look::kFace);
    p.frame(r, look::kEdge);
    FRect text{r.x + 6, r.y, r.width - 26, r.height};
    p.text(titleOfSelectedItem(), text, font(), titleColour(), TextAlignment::Left);
    uint32_t c = isEnabled() ? look::kText : look::kTextDisabled;
    double cx = r.right() - 10, cy = std::floor(r.y + r.height / 2);
    if (arrow_ == kArrowAtBottom) {
        drawArrow(p, cx, cy, c);
    } else if (arrow_ == kArrowAtCenter) {
        p.fillPolygon({{cx - 4, cy - 1}, {cx + 4, cy - 1}, {cx, cy - 5}}, c);
        p.fillPolygon({{cx - 4, cy + 1}, {cx + 4, cy + 1}, {cx, cy + 5}}, c);
    }
}

// --- combo box ---------------------------------------------------------------------

ComboBox::ComboBox(appkit::Rect frame) : TextField(frame) {}

std::string ComboBox::itemAtIndex(int i) const {
    return i >= 0 && i < numberOfItems() ? items_[static_cast<size_t>(i)] : std::string();
}

int ComboBox::insertItem(const std::string& text, int index) {
    index = std::clamp(index, 0, numberOfItems());
    items_.insert(items_.begin() + index, text);
    if (selected_ >= index) ++selected_;
    return index;
}

void ComboBox::removeItemAtIndex(int i) {
    if (i < 0 || i >= numberOfItems()) return;
    items_.erase(items_.begin() + i);
    if (selected_ == i)
        selected_ = -1;
    else if (selected_ > i)
        --selected_;
}

void ComboBox::removeAllItems() {
    items_.clear();
    selected_ = -1;
}

void ComboBox::selectItemAtIndex(int i) {
    if (i < 0 || i >= numberOfItems()) {
        selected_ = -1;
        return;
    }
    selected_ = i;
    setStringValue(items_[static_cast<size_t>(i)]);
}

FRect ComboBox::textArea() const {
    FRect a = TextField::textArea();
    a.width = std::max(a.width - kButtonWidth, 0.0);
    return a;
}

void ComboBox::textDidChangeByUser() {
    selected_ = -1;
    TextField::textDidChangeByUser();
}

void ComboBox::popUp() {
    if (!isEnabled()) return;
    if (auto* d = delegateOf<ComboBoxDelegate>(delegate())) d->comboBoxWillPopUp(this);
    if (!Responder::isLive(this) || items_.empty()) return;
    appkit::Menu menu;
    for (size_t i = 0; i < items_.size(); ++i) {
        appkit::MenuItem m;
        m.title = items_[i];
        m.checked = static_cast<int>(i) == selected_;
        menu.items.push_back(m);
    }
    appkit::MenuChoice c = appkit::Application::backend().popUpMenu(window(), menu, belowOf(*this));
    if (!c || c.menu != &menu || !Responder::isLive(this)) return;
    selectItemAtIndex(c.index);
    if (auto* d = delegateOf<ComboBoxDelegate>(delegate())) d->comboBoxSelectionDidChange(this);
}

void ComboBox::mouseDown(const appkit::Event& e) {
    appkit::Point p = convertFromWindow(e.location);
    if (p.x >= bounds().width - kButtonWidth) {
        popUp();
        return;
    }
    TextField::mouseDown(e);
}

void ComboBox::drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) {
    TextField::drawRect(canvas, dirty);
    Painter p(canvas);
    if (!p.ok()) return;
    FRect b = boundsF();
    FRect button{b.right() - kButtonWidth, b.y, kButtonWidth, b.height};
    p.fill(button, look::kFace);
    p.frame(button, look::kEdge);
    drawArrow(p, button.x + kButtonWidth / 2, std::floor(b.y + b.height / 2),
              isEnabled() ? look::kText : look::kTextDisabled);
}

}  // namespace platform::controls
