// The AppKit stand-in's standard controls, headless: what a click, a drag, a
// typed key or a chosen menu item does to each, what they tell their target
// and delegates, and the geometry of scroll and table views.
#include <gtest/gtest.h>

#include <memory>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "platform/controls/Button.h"
#include "platform/controls/Choice.h"
#include "platform/controls/ScrollView.h"
#include "platform/controls/Slider.h"
#include "platform/controls/Table.h"
#include "platform/controls/TextField.h"

namespace ak = platform::appkit;
namespace ct = platform::controls;
using ak::Event;
using ak::EventType;
using ak::Point;

namespace {

// Target, delegate and data source at once; records what reaches it.
class Owner : public ak::View,
              public ak::ActionTarget,
              public ct::TextDelegate,
              public ct::ComboBoxDelegate,
              public ct::TableViewDelegate,
              public ct::TableViewDataSource {
public:
    bool respondsToAction(const std::string& s) const override { return s == "act:" || s == "double:"; }
    void performAction(const std::string& s, ak::Responder* sender) override { log.push_back(s); }
    void controlTextDidChange(ak::Responder*) override { log.push_back("changed"); }
    void textDidEndEditing(ct::TextView*) override { log.push_back("ended"); }
    void comboBoxWillPopUp(ct::ComboBox*) override { log.push_back("willPopUp"); }
    void comboBoxSelectionDidChange(ct::ComboBox*) override { log.push_back("selection"); }
    void tableViewSelectionDidChange(ct::TableView*) override { log.push_back("rows"); }
    void tableViewDidClickTableColumn(ct::TableView*, ct::TableColumn* c) override {
        log.push_back("title " + c->identifier());
    }
    int numberOfRowsInTableView(ct::TableView*) override { return rows; }
    std::string tableViewObjectValue(ct::TableView*, ct::TableColumn* c, int row) override {
        return c->identifier() + std::to_string(row);
    }
    std::vector<std::string> log;
    int rows = 50;
};

class Controls : public testing::Test {
protected:
    void SetUp() override {
        auto b = std::make_unique<ak::HeadlessBackend>();
        backend = b.get();
        ak::Application::setBackend(std::move(b));
        window = std::make_unique<ak::Window>(ak::Size{400, 300}, "controls");
        owner = new Owner();
        window->contentView()->addSubview(owner);
    }
    void send(EventType t, Point at, int clicks = 1, ak::Modifiers m = {}) {
        Event e = Event::mouse(t, at, ak::MouseButton::Left, clicks);
        e.modifiers = m;
        window->sendEvent(e);
    }
    void click(Point at, int clicks = 1, ak::Modifiers m = {}) {
        send(EventType::MouseDown, at, clicks, m);
        send(EventType::MouseUp, at, clicks, m);
    }
    void type(const std::u32string& text) {
        for (char32_t c : text) window->sendEvent(Event::keyDown({0, 0}, ak::Key::Character, c));
    }
    void key(ak::Key k, ak::Modifiers m = {}) {
        Event e = Event::keyDown({0, 0}, k);
        e.modifiers = m;
        window->sendEvent(e);
    }
    template <class C>
    C* add(C* c) {
        c->setTarget(owner);
        c->setAction("act:");
        window->contentView()->addSubview(c);
        return c;
    }

    ak::HeadlessBackend* backend = nullptr;
    std::unique_ptr<ak::Window> window;
    Owner* owner = nullptr;
};

}  // namespace

TEST_F(Controls, ClicksStepButtonStatesAndSendTheAction) {
    struct Case {
        ak::Button::Type type;
        bool mixed;
        int from, to;
    } cases[] = {
        {ak::Button::kSwitch, false, 0, 1}, {ak::Button::kSwitch, false, 1, 0}, {ak::Button::kSwitch, true, 1, -1},
        {ak::Button::kSwitch, true, -1, 0}, {ak::Button::kRadio, false, 1, 1},  {ak::Button::kPush, false, 0, 0},
    };
    for (const Case& c : cases) {
        auto* b = add(new ct::Button({10, 10, 80, 20}));
        b->setButtonType(c.type);
        b->setAllowsMixedState(c.mixed);
        b->setState(c.from);
        owner->log.clear();
        click({20, 15});
        EXPECT_EQ(b->state(), c.to) << c.type << " from " << c.from;
        EXPECT_EQ(owner->log, std::vector<std::string>{"act:"});
        delete b;
    }
}

TEST_F(Controls, APressReleasedOutsideTheButtonDoesNothing) {
    auto* b = add(new ct::Button({10, 10, 80, 20}));
    b->setButtonType(ak::Button::kSwitch);
    send(EventType::MouseDown, {20, 15});
    EXPECT_TRUE(b->isHighlighted());
    send(EventType::MouseDragged, {200, 200});
    EXPECT_FALSE(b->isHighlighted());
    send(EventType::MouseUp, {200, 200});
    EXPECT_EQ(b->state(), 0);
    EXPECT_TRUE(owner->log.empty());
}

TEST_F(Controls, ReturnThatNoResponderTakesClicksTheDefaultButton) {
    auto* b = add(new ct::Button({10, 10, 80, 20}));
    window->setDefaultButton(b);
    key(ak::Key::Return);
    EXPECT_EQ(owner->log, std::vector<std::string>{"act:"});
    b->setEnabled(false);
    key(ak::Key::Return);
    EXPECT_EQ(owner->log.size(), 1u);
}

TEST_F(Controls, EditingAFieldGoesThroughItsFieldEditor) {
    auto* f = add(new ct::TextField({10, 10, 150, 22}));
    f->setDelegate(owner);
    f->setStringValue("ab");
    click({20, 20});
    ASSERT_TRUE(f->isEditing());
    ct::TextView* ed = f->currentEditor();
    ASSERT_NE(ed, nullptr);
    EXPECT_EQ(window->firstResponder(), ed);
    // Two levels down: a clip view in the field.
    EXPECT_EQ(ed->superview()->superview(), f);
    ed->setSelectedRange({2, 0});
    type(U"cé");
    key(ak::Key::Backspace);
    type(U"d");
    EXPECT_EQ(f->stringValue(), "abcd");
    EXPECT_EQ(owner->log, (std::vector<std::string>{"changed", "changed", "changed", "changed"}));
    // Another responder ends editing and keeps the text.
    auto* other = add(new ct::TextField({10, 50, 150, 22}));
    window->makeFirstResponder(other);
    EXPECT_FALSE(f->isEditing());
    EXPECT_EQ(f->stringValue(), "abcd");
    EXPECT_EQ(other->currentEditor(), window->firstResponder());
    // Tab goes round to the next field; Return sends the action and is left
    // for the default button.
    key(ak::Key::Tab);
    EXPECT_TRUE(f->isEditing());
    owner->log.clear();
    key(ak::Key::Return);
    EXPECT_EQ(owner->log, std::vector<std::string>{"act:"});
}

TEST_F(Controls, CaretKeysMoveAndExtendTheSelectionWithinTheText) {
    ct::TextView t({0, 0, 200, 100});
    t.setString("hello world");
    struct Step {
        ak::Key key;
        bool shift;
        ct::TextRange want;
    } steps[] = {
        {ak::Key::Home, false, {0, 0}},   {ak::Key::Right, true, {0, 1}},   {ak::Key::Right, true, {0, 2}},
        {ak::Key::Left, false, {0, 0}},   {ak::Key::Left, false, {0, 0}},   {ak::Key::End, true, {0, 11}},
        {ak::Key::Right, false, {11, 0}}, {ak::Key::Right, false, {11, 0}},
    };
    for (const Step& s : steps) {
        Event e = Event::keyDown({0, 0}, s.key);
        e.modifiers.shift = s.shift;
        t.keyDown(e);
        EXPECT_EQ(t.selectedRange(), s.want);
    }
    t.setSelectedRange({5, 100});
    EXPECT_EQ(t.selectedRange(), (ct::TextRange{5, 6}));
    t.setSelectedRange({-3, 2});
    EXPECT_EQ(t.selectedRange(), (ct::TextRange{0, 2}));
}

TEST_F(Controls, AWrappingTextViewBreaksAtBlanksAndLineFeeds) {
    ct::TextView t({0, 0, 60, 100});
    t.setFont(ak::Font::system(10));
    t.setString("aaa bbb ccc\ndd");
    ASSERT_GE(t.lines().size(), 3u);
    EXPECT_EQ(t.lines().back().start, 12);
    // The caret goes to the nearest character boundary of a clicked line.
    ak::FRect end = t.caretRect(14);
    EXPECT_EQ(t.characterIndexAt({end.x + 50, end.y + 2}), 14);
    EXPECT_EQ(t.characterIndexAt({0, end.y + 2}), 12);
}

TEST_F(Controls, PopUpButtonSelectsTheChosenItemOnly) {
    auto* p = add(new ct::PopUpButton({10, 10, 120, 18}));
    for (const char* t : {"one", "two", "three"}) {
        ct::PopUpButton::Item item;
        item.title = t;
        p->insertItem(item, p->numberOfItems());
    }
    backend->queueMenuChoice({2});
    click({20, 15});
    EXPECT_EQ(p->indexOfSelectedItem(), 2);
    EXPECT_EQ(owner->log, std::vector<std::string>{"act:"});
    ASSERT_EQ(backend->shownMenus().size(), 1u);
    EXPECT_EQ(backend->shownMenus()[0].at, (Point{10, 28}));
    backend->queueMenuDismiss();
    click({20, 15});
    EXPECT_EQ(p->indexOfSelectedItem(), 2);
    EXPECT_EQ(owner->log.size(), 1u);
    // Removing items keeps the selection on its item.
    p->removeItemAtIndex(0);
    EXPECT_EQ(p->indexOfSelectedItem(), 1);
    p->removeItemAtIndex(1);
    EXPECT_EQ(p->indexOfSelectedItem(), -1);
}

TEST_F(Controls, ComboBoxTellsItsDelegateAroundItsList) {
    auto* c = add(new ct::ComboBox({10, 10, 150, 22}));
    c->setDelegate(owner);
    for (const char* t : {"red", "green", "blue"}) c->insertItem(t, c->numberOfItems());
    backend->queueMenuChoice({1});
    click({155, 20});
    EXPECT_EQ(owner->log, (std::vector<std::string>{"willPopUp", "selection"}));
    EXPECT_EQ(c->indexOfSelectedItem(), 1);
    EXPECT_EQ(c->stringValue(), "green");
    // Typing makes the text the user's own.
    click({20, 20});
    owner->log.clear();
    type(U"x");
    EXPECT_EQ(c->indexOfSelectedItem(), -1);
    EXPECT_EQ(owner->log, std::vector<std::string>{"changed"});
}

TEST_F(Controls, SliderFollowsTheDragWithinItsRange) {
    auto* s = add(new ct::Slider({0, 100, 213, 20}));
    s->setMinValue(0);
    s->setMaxValue(1000);
    send(EventType::MouseDown, {0, 110});
    EXPECT_EQ(s->doubleValue(), 0);
    send(EventType::MouseDragged, {106, 110});  // the knob's centre
    EXPECT_NEAR(s->doubleValue(), 500, 3);
    send(EventType::MouseDragged, {400, 110});
    send(EventType::MouseUp, {400, 110});
    EXPECT_EQ(s->doubleValue(), 1000);
    EXPECT_EQ(owner->log.size(), 2u);  // each move once, none for the release
    s->setDoubleValue(-5);
    EXPECT_EQ(s->doubleValue(), 0);
}

TEST_F(Controls, ScrollViewShowsScrollersOnlyForWhatOverflows) {
    auto* sv = new ct::ScrollView({0, 0, 200, 100});
    sv->setHasVerticalScroller(true);
    sv->setHasHorizontalScroller(true);
    sv->setAutohidesScrollers(true);
    window->contentView()->addSubview(sv);
    auto* doc = new ak::View({0, 0, 150, 90});
    sv->setDocumentView(doc);
    EXPECT_FALSE(sv->verticalScrollerShown());
    EXPECT_FALSE(sv->horizontalScrollerShown());
    doc->setFrame({0, 0, 190, 400});
    sv->tile();
    // The vertical scroller narrows the view enough to need the other one.
    EXPECT_TRUE(sv->verticalScrollerShown());
    EXPECT_TRUE(sv->horizontalScrollerShown());
    EXPECT_EQ(sv->contentSize(), (ak::Size{184, 84}));
    sv->scrollToPoint({0, 1000});
    EXPECT_EQ(sv->documentVisibleRect().y, 400 - 84);
    window->sendEvent(Event::wheel({50, 50}, 1));
    EXPECT_EQ(sv->documentVisibleRect().y, 400 - 84 - sv->lineScroll());
}

namespace {

struct TableFixture : Controls {
    void SetUp() override {
        Controls::SetUp();
        sv = new ct::ScrollView({0, 0, 300, 200});
        sv->setHasVerticalScroller(true);
        window->contentView()->addSubview(sv);
        table = new ct::TableView();
        sv->setDocumentView(table);
        for (const char* id : {"a", "b", "c"}) {
            auto c = std::make_unique<ct::TableColumn>(id);
            c->setWidth(60);
            table->addTableColumn(std::move(c));
        }
        table->setDataSource(owner);
        table->setDelegate(owner);
        table->setTarget(owner);
        table->setAction("act:");
        table->setDoubleAction("double:");
        table->setAllowsMultipleSelection(true);
        table->reloadData();
    }
    // A window point over a row of the table (below the header).
    Point rowPoint(int row, int x = 20) const {
        return {x, static_cast<int>(ct::TableView::kHeaderHeight + row * table->rectOfRow(0).height + 5)};
    }
    ct::ScrollView* sv = nullptr;
    ct::TableView* table = nullptr;
};

}  // namespace

TEST_F(TableFixture, GeometryCountsSpacingAndSkipsHiddenColumns) {
    EXPECT_EQ(table->rectOfRow(2), (ak::FRect{0, 38, table->frameF().width, 19}));
    EXPECT_EQ(table->frameOfCellAtColumn(1, 2), (ak::FRect{64, 39, 60, 17}));
    table->tableColumns()[0]->setHidden(true);
    EXPECT_EQ(table->rectOfColumn(1), (ak::FRect{0, 0, 63, table->frameF().height}));
    EXPECT_EQ(table->columnAtPoint({10, 0}), 1);
    EXPECT_EQ(table->columnAtPoint({200, 0}), -1);
    EXPECT_EQ(table->rowAtPoint({5, 19 * 50 - 1}), 49);
    EXPECT_EQ(table->rowAtPoint({5, 19 * 50}), -1);
    EXPECT_EQ(table->rowAtPoint({5, -1}), -1);
    EXPECT_EQ(sv->headerView(), table->headerView());
}

TEST_F(TableFixture, ClicksSelectByModifierAndOnlyUserChangesReachTheDelegate) {
    struct Step {
        int row;
        ak::Modifiers mods;
        ct::IndexSet want;
    } steps[] = {
        {2, {}, {2}},
        {5, {true, false, false, false}, {2, 3, 4, 5}},
        {3, {false, true, false, false}, {2, 4, 5}},
        {7, {}, {7}},
    };
    for (const Step& s : steps) {
        owner->log.clear();
        click(rowPoint(s.row), 1, s.mods);
        EXPECT_EQ(table->selectedRowIndexes(), s.want) << s.row;
        EXPECT_EQ(owner->log, (std::vector<std::string>{"rows", "act:"}));
    }
    owner->log.clear();
    table->selectRowIndexes({1}, false);
    click(rowPoint(1), 2);
    EXPECT_EQ(owner->log, std::vector<std::string>{"double:"});
    EXPECT_EQ(table->clickedRow(), 1);
}

TEST_F(TableFixture, TitlesReportClicksAndMoveColumnsWhenDragged) {
    send(EventType::MouseDown, {70, 5});
    send(EventType::MouseUp, {70, 5});
    EXPECT_EQ(owner->log, std::vector<std::string>{"title b"});
    owner->log.clear();
    send(EventType::MouseDown, {10, 5});
    send(EventType::MouseDragged, {140, 5});
    send(EventType::MouseUp, {140, 5});
    EXPECT_TRUE(owner->log.empty());
    EXPECT_EQ(table->tableColumns()[2]->identifier(), "a");
    // Dragging a divider sizes the column on its left.
    send(EventType::MouseDown, {63, 5});
    send(EventType::MouseDragged, {83, 5});
    send(EventType::MouseUp, {83, 5});
    EXPECT_EQ(table->tableColumns()[0]->width(), 80);
}

TEST_F(TableFixture, ReloadDropsSelectedRowsThatAreGone) {
    table->selectRowIndexes({3, 40}, false);
    owner->rows = 10;
    table->reloadData();
    EXPECT_EQ(table->selectedRowIndexes(), ct::IndexSet{3});
    table->scrollRowToVisible(9);
    EXPECT_EQ(sv->documentVisibleRect().bottom(), 10 * 19);
    owner->rows = 100;
    table->reloadData();
    table->scrollRowToVisible(99);
    EXPECT_EQ(sv->documentVisibleRect().bottom(), 100 * 19);
}

TEST_F(Controls, AContentViewShownAgainIsRedrawn) {
    ak::View* content = window->contentView();
    content->setHidden(true);
    window->display();
    ASSERT_TRUE(window->dirtyRect().isEmpty());
    content->setHidden(false);
    EXPECT_EQ(window->dirtyRect(), (ak::Rect{0, 0, 400, 300}));
}
