#pragma once
// The table view, drawn flat: rows of cells under columns, with a header of
// column titles above them in the enclosing scroll view. Columns keep an
// order of display (which the user may change by dragging titles) and may
// be hidden; rows come from a data source and are drawn by each column's
// data cell; the delegate hears of selection changes made by the user and
// of title clicks and may colour each cell before it is drawn. A press
// selects (Shift extends a range, Command or Control toggles) and sends the
// action, a double click the double action.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/Controls.h"
#include "platform/controls/Delegates.h"
#include "platform/controls/IndexSet.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class TableView;

class Cell {
public:
    virtual ~Cell() = default;
    const std::string& stringValue() const { return value_; }
    void setStringValue(std::string v) { value_ = std::move(v); }
    TextAlignment alignment() const { return alignment_; }
    void setAlignment(TextAlignment a) { alignment_ = a; }
    bool wraps() const { return wraps_; }
    void setWraps(bool w) { wraps_ = w; }
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }
    const appkit::Font& font() const { return font_; }
    void setFont(const appkit::Font& f) { font_ = f; }
    // Drawn in a selected row.
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h) { highlighted_ = h; }

    virtual void drawWithFrame(Painter& p, const FRect& frame, appkit::View* controlView) {
        drawInteriorWithFrame(p, frame, controlView);
    }
    virtual void drawInteriorWithFrame(Painter& p, const FRect& frame, appkit::View* controlView) {}
    // The colour the cell is highlighted with in a selected row; none draws
    // it as in any other row.
    virtual std::optional<Color> highlightColorWithFrame(const FRect& frame, appkit::View* controlView) const;

private:
    std::string value_;
    TextAlignment alignment_ = TextAlignment::Left;
    bool wraps_ = false;
    bool editable_ = false;
    bool highlighted_ = false;
    appkit::Font font_ = appkit::Font::system(12);
};

// A cell that shows its value as one line of text.
class TextFieldCell : public Cell {
public:
    const std::optional<Color>& textColor() const { return textColor_; }
    void setTextColor(std::optional<Color> c) { textColor_ = std::move(c); }
    void drawInteriorWithFrame(Painter& p, const FRect& frame, appkit::View* controlView) override;

private:
    std::optional<Color> textColor_;
};

class TableColumn {
public:
    explicit TableColumn(std::string identifier = std::string());
    const std::string& identifier() const { return identifier_; }
    TableView* tableView() const { return table_; }

    double width() const { return width_; }
    // Kept between the minimum and maximum width.
    void setWidth(double w);
    double minWidth() const { return minWidth_; }
    void setMinWidth(double w);
    double maxWidth() const { return maxWidth_; }
    void setMaxWidth(double w);
    bool isHidden() const { return hidden_; }
    void setHidden(bool h);
    bool isEditable() const { return editable_; }
    void setEditable(bool e) { editable_ = e; }

    // Owned; never null.
    Cell* dataCell() const { return dataCell_.get(); }
    void setDataCell(std::unique_ptr<Cell> cell);
    TextFieldCell& headerCell() { return header_; }
    const TextFieldCell& headerCell() const { return header_; }
    // The sort indicator beside the title, by image name
    // ("NSAscendingSortIndicator", "NSDescendingSortIndicator"); empty: none.
    const std::string& indicatorImageName() const { return indicator_; }

private:
    friend class TableView;
    void changed();

    std::string identifier_;
    TableView* table_ = nullptr;
    double width_ = 100;
    double minWidth_ = 10;
    double maxWidth_ = 100000;
    bool hidden_ = false;
    bool editable_ = true;
    std::unique_ptr<Cell> dataCell_;
    TextFieldCell header_;
    std::string indicator_;
};

// The column titles; it lives in the table's scroll view.
class TableHeaderView : public appkit::View {
public:
    explicit TableHeaderView(TableView* table);
    TableView* tableView() const;
    // The display index of the column at a point of the header, or -1.
    int columnAtPoint(appkit::Point p) const;

    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event& e) override;
    void mouseUp(const appkit::Event& e) override;

private:
    friend class TableView;
    double scrollX() const;

    TableView* table_;
    int pressed_ = -1;       // display index of the pressed title
    int resizing_ = -1;      // display index of the column being sized
    double pressX_ = 0;      // header x of the press
    double startWidth_ = 0;  // of the column being sized
    bool moved_ = false;
};

class TableView : public appkit::Control {
public:
    // Grid style bits.
    enum { kGridNone = 0, kGridVertical = 1, kGridHorizontal = 2 };
    static constexpr double kDefaultRowHeight = 17;
    static constexpr double kHeaderHeight = 17;

    explicit TableView(appkit::Rect frame = {});
    ~TableView() override;

    // ---- columns, in the order of display
    const std::vector<TableColumn*>& tableColumns() const { return order_; }
    int numberOfColumns() const { return static_cast<int>(order_.size()); }
    void addTableColumn(std::unique_ptr<TableColumn> column);
    // Hands the column back; null when it is not in the table.
    std::unique_ptr<TableColumn> removeTableColumn(TableColumn* column);
    // Moves the column at display index from to display index to.
    void moveColumn(int from, int to);
    int indexOfColumn(const TableColumn* column) const;
    void setIndicatorImage(const std::string& name, TableColumn* column);

    // ---- rows
    appkit::Responder* dataSource() const { return dataSource_; }
    void setDataSource(appkit::Responder* d) { dataSource_ = d; }
    appkit::Responder* delegate() const { return delegate_; }
    void setDelegate(appkit::Responder* d) { delegate_ = d; }
    // Asks the data source for the row count again and redraws.
    void reloadData();
    // Tells of rows the data source has just gained or lost at a row,
    // without asking it again: the selection moves with the rows after them
    // and loses the rows removed.
    void insertRows(int row, int count);
    void removeRows(int row, int count);
    int numberOfRows() const { return rows_; }

    // ---- geometry
    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double h);
    appkit::FSize intercellSpacing() const { return spacing_; }
    void setIntercellSpacing(appkit::FSize s);
    // Row rectangles span the table's width and include the spacing; column
    // rectangles span its height; a cell is their meeting, less the spacing.
    FRect rectOfRow(int row) const;
    FRect rectOfColumn(int column) const;
    FRect frameOfCellAtColumn(int column, int row) const;
    int rowAtPoint(appkit::FPoint p) const;
    int columnAtPoint(appkit::FPoint p) const;

    // ---- selection
    const IndexSet& selectedRowIndexes() const { return selection_; }
    // Programmatic: the delegate is not told.
    void selectRowIndexes(const IndexSet& rows, bool extend);
    void deselectRow(int row);
    void deselectAll();
    bool isRowSelected(int row) const { return selection_.contains(row); }
    // The row selected last that is still selected; -1 for none.
    int selectedRow() const;
    int numberOfSelectedRows() const { return static_cast<int>(selection_.size()); }
    bool allowsMultipleSelection() const { return multiple_; }
    void setAllowsMultipleSelection(bool m) { multiple_ = m; }
    bool allowsEmptySelection() const { return emptyOK_; }
    void setAllowsEmptySelection(bool e) { emptyOK_ = e; }

    // ---- appearance and behaviour
    bool hasHeaderView() const { return wantsHeader_; }
    void setHasHeaderView(bool h);
    TableHeaderView* headerView() const { return header_; }
    double headerHeight() const { return header_ ? kHeaderHeight : 0; }
    bool allowsColumnReordering() const { return reordering_; }
    void setAllowsColumnReordering(bool r) { reordering_ = r; }
    bool allowsColumnResizing() const { return resizing_; }
    void setAllowsColumnResizing(bool r) { resizing_ = r; }
    int columnAutoresizingStyle() const { return autoresizing_; }
    void setColumnAutoresizingStyle(int s) { autoresizing_ = s; }
    int gridStyleMask() const { return grid_; }
    void setGridStyleMask(int g);
    const Color& gridColor() const { return gridColor_; }
    void setGridColor(const Color& c);
    const Color& backgroundColor() const { return background_; }
    void setBackgroundColor(const Color& c);
    bool showsFocusRing() const { return focusRing_; }
    void setShowsFocusRing(bool f) { focusRing_ = f; }
    const std::string& doubleAction() const { return doubleAction_; }
    void setDoubleAction(const std::string& selector) { doubleAction_ = selector; }
    int clickedRow() const { return clickedRow_; }
    int clickedColumn() const { return clickedColumn_; }
    bool isFirstResponder() const;

    // ---- scrolling
    void scrollRowToVisible(int row);
    void scrollColumnToVisible(int column);

    // ---- drawing and input
    // Fills the selected rows' backgrounds within the clip rectangle.
    virtual void highlightSelectionInClipRect(Painter& p, const FRect& clip);
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    bool isOpaque() const override { return true; }
    bool acceptsFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void mouseDown(const appkit::Event& e) override;
    bool keyDown(const appkit::Event& e) override;
    void resizeWithOldSuperviewSize(appkit::FSize old) override;
    // The press as a table takes it: the selection by the modifiers, the
    // clicked row and column, then the double action (second click) or the
    // action. The delegate hears of a changed selection.
    void defaultPress(const appkit::Event& e);
    // The title of a column was clicked: the delegate hears of it.
    virtual void didClickColumn(TableColumn* column);
    // Sizes the frame to the rows and columns (at least the clip view's
    // size) and puts the header into the scroll view.
    void tile();

protected:
    // Asks the data source; empty without one.
    std::string objectValue(TableColumn* column, int row);
    // Draws one cell of a row in its frame (an outline view indents its
    // outline column's cells and draws their expanders first).
    virtual void drawCell(Painter& p, Cell* cell, TableColumn* column, int row, const FRect& frame);

private:
    friend class TableColumn;
    void userSelected(const IndexSet& before);
    double rowPitch() const { return rowHeight_ + spacing_.height; }
    double totalWidth() const;

    std::vector<std::unique_ptr<TableColumn>> columns_;  // owned, any order
    std::vector<TableColumn*> order_;                    // display order
    appkit::Responder* dataSource_ = nullptr;
    appkit::Responder* delegate_ = nullptr;
    int rows_ = 0;
    double rowHeight_ = kDefaultRowHeight;
    appkit::FSize spacing_{3, 2};
    IndexSet selection_;
    int lastSelected_ = -1;
    int anchor_ = -1;
    bool multiple_ = false;
    bool emptyOK_ = true;
    bool wantsHeader_ = true;
    TableHeaderView* header_ = nullptr;  // owned by the scroll view once put in
    bool reordering_ = true;
    bool resizing_ = true;
    int autoresizing_ = 0;
    int grid_ = kGridNone;
    Color gridColor_ = rgb(look::kEdgeLight);
    Color background_ = rgb(look::kField);
    bool focusRing_ = true;
    std::string doubleAction_;
    int clickedRow_ = -1;
    int clickedColumn_ = -1;
};

}  // namespace platform::controls
