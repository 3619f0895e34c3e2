#pragma once
// The outline view: a table whose rows are the items of a tree, shown down
// to the items that are expanded. A data source tells the children of an
// item (null: the invisible root) and whether it can expand; items are the
// data source's pointers, and the view keeps their expansion and the
// selection by identity across reloads. The outline column's cells are
// indented by the item's depth, with an expander beside each item that can
// expand: a click on it expands or collapses the item, as the Right and
// Left keys do for the selected one.

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/BASE_WeightedList.h"
#include "platform/controls/Table.h"

namespace platform::controls {

class OutlineView;

class OutlineViewDataSource {
public:
    virtual ~OutlineViewDataSource() = default;
    virtual int outlineNumberOfChildren(OutlineView* sender, void* item) = 0;
    virtual bool outlineIsItemExpandable(OutlineView* sender, void* item) = 0;
    // Null for an index past the children.
    virtual void* outlineChild(OutlineView* sender, int index, void* item) = 0;
    virtual std::string outlineObjectValue(OutlineView* sender, TableColumn* column, void* item) = 0;
};

class OutlineView : public TableView, public TableViewDataSource {
public:
    explicit OutlineView(appkit::Rect frame = {});

    // Any responder that implements OutlineViewDataSource; asked while live.
    appkit::Responder* outlineDataSource() const { return outlineSource_; }
    void setOutlineDataSource(appkit::Responder* d) { outlineSource_ = d; }
    // Asks the data source for the tree again, keeping expansion and the
    // selection of the items that are still there.
    void reloadData();
    // Without asking for the whole tree again: the data source has just
    // gained a child at an index of a parent (null: the root), which starts
    // collapsed; or it is about to lose an item with its descendants. The
    // rows of the others keep their selection.
    void insertItem(void* parent, int index);
    void removeItem(void* item);

    void* itemAtRow(int row) const;
    // -1 for an item not shown. Rows and items are found both ways in
    // O(log rows), and a change of rows costs as much, however many there
    // are.
    int rowForItem(const void* item) const;
    int levelForRow(int row) const;
    bool isExpandable(void* item);
    bool isItemExpanded(const void* item) const { return expanded_.count(item) != 0; }
    void expandItem(void* item);
    void collapseItem(void* item);

    double indentationPerLevel() const { return indent_; }
    void setIndentationPerLevel(double px);
    // The column that shows the tree (the first one when none is set).
    TableColumn* outlineTableColumn() const;
    void setOutlineTableColumn(TableColumn* column) { outlineColumn_ = column; }
    // The expander of a row, in the view's coordinates (empty when the
    // item cannot expand).
    FRect expanderRect(int row);

    void mouseDown(const appkit::Event& e) override;
    bool keyDown(const appkit::Event& e) override;

    // TableViewDataSource, for the rows of the table beneath.
    int numberOfRowsInTableView(TableView*) override;
    std::string tableViewObjectValue(TableView*, TableColumn* column, int row) override;

protected:
    void drawCell(Painter& p, Cell* cell, TableColumn* column, int row, const FRect& frame) override;

private:
    struct Row {
        void* item = nullptr;
        int level = 0;
    };
    using Rows = BASE_WeightedList<Row>;  // each row weighs 1
    OutlineViewDataSource* source() const;
    void rebuild();
    void addChildren(void* parent, int level, bool shown, std::unordered_set<const void*>& seen);
    void forgetExpansion(void* item, std::unordered_set<const void*>& seen);
    // The row of a shown item; kNone for one not shown.
    Rows::Handle handleOf(const void* item) const;
    const Row* rowAt(int row) const;
    Rows::Handle addRow(Rows::Handle before, void* item, int level);
    // The row after a shown item's shown descendants.
    Rows::Handle endOfSubtree(Rows::Handle h) const;

    appkit::Responder* outlineSource_ = nullptr;
    Rows rows_;
    std::unordered_map<const void*, Rows::Handle> handles_;  // of the items shown
    std::unordered_set<const void*> expanded_;
    TableColumn* outlineColumn_ = nullptr;
    double indent_ = 16;
};

}  // namespace platform::controls
