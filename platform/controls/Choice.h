#pragma once
// The two controls that offer a list of texts: the pop-up button (a button
// whose menu of items opens on a click; choosing one selects it and sends
// the action) and the combo box (an editable field whose list opens from
// the button at its right). Both open their list through the window
// system's pop-up menu.

#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Menu.h"
#include "platform/controls/Button.h"
#include "platform/controls/TextField.h"

namespace platform::controls {

class PopUpButton : public Button {
public:
    // Its items are menu items (a title, enabled or not, a represented object).
    using Item = appkit::MenuItem;
    // Arrow positions, as the Mac numbers them.
    enum { kNoArrow = 0, kArrowAtCenter = 1, kArrowAtBottom = 2 };

    explicit PopUpButton(appkit::Rect frame = {});

    int numberOfItems() const { return static_cast<int>(items_.size()); }
    // Null outside the list.
    Item* itemAtIndex(int i);
    const Item* itemAtIndex(int i) const;
    // At index, clamped to the list; returns the index used.
    int insertItem(Item item, int index);
    void removeItemAtIndex(int i);
    void removeAllItems();
    // -1 when none is selected.
    int indexOfSelectedItem() const { return selected_; }
    // An index outside the list selects none.
    void selectItemAtIndex(int i);
    std::string titleOfSelectedItem() const;
    bool autoenablesItems() const { return autoenables_; }
    void setAutoenablesItems(bool a) { autoenables_ = a; }
    int arrowPosition() const { return arrow_; }
    void setArrowPosition(int a);

    // Opens the menu below the button; a choice selects and sends the action.
    void popUp();

    void performClick() override { popUp(); }
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event&) override {}
    void mouseUp(const appkit::Event&) override {}
    bool performKeyEquivalent(const appkit::Event&) override { return false; }
    void sizeToFit() override;

protected:
    void drawFace(Painter& p, const FRect& r) override;

private:
    std::vector<Item> items_;
    int selected_ = -1;
    bool autoenables_ = true;
    int arrow_ = kArrowAtCenter;
};

class ComboBox : public TextField {
public:
    explicit ComboBox(appkit::Rect frame = {});

    int numberOfItems() const { return static_cast<int>(items_.size()); }
    // Empty outside the list.
    std::string itemAtIndex(int i) const;
    // At index, clamped to the list; returns the index used.
    int insertItem(const std::string& text, int index);
    void removeItemAtIndex(int i);
    void removeAllItems();
    // -1 when none is selected (also after the user typed).
    int indexOfSelectedItem() const { return selected_; }
    // Selects and shows the item; an index outside the list selects none.
    void selectItemAtIndex(int i);
    int numberOfVisibleItems() const { return visible_; }
    void setNumberOfVisibleItems(int n) { visible_ = n; }

    // Opens the list below the field: the delegate hears it first, and of a
    // choice after it was made.
    void popUp();

    void mouseDown(const appkit::Event& e) override;
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    static constexpr double kButtonWidth = 18;

protected:
    FRect textArea() const override;
    void textDidChangeByUser() override;

private:
    std::vector<std::string> items_;
    int selected_ = -1;
    int visible_ = 5;
};

}  // namespace platform::controls
