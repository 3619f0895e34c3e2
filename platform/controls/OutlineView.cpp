#include "platform/controls/OutlineView.h"

#include <set>

namespace platform::controls {

OutlineView::OutlineView(appkit::Rect frame) : TableView(frame) { TableView::setDataSource(this); }

OutlineViewDataSource* OutlineView::source() const { return delegateOf<OutlineViewDataSource>(outlineSource_); }

// Children are shown while every item above them is expanded; the rest of
// the tree is walked only to learn which expanded items are still in it.
void OutlineView::addChildren(void* parent, int level, bool shown, std::unordered_set<const void*>& seen) {
    OutlineViewDataSource* ds = source();
    if (!ds) return;
    int n = ds->outlineNumberOfChildren(this, parent);
    for (int i = 0; i < n; ++i) {
        void* child = ds->outlineChild(this, i, parent);
        if (!child || !seen.insert(child).second) continue;  // a tree, not a graph
        if (shown) rows_.push_back({child, level});
        if (ds->outlineIsItemExpandable(this, child))
            addChildren(child, level + 1, shown && isItemExpanded(child), seen);
    }
}

void OutlineView::rebuild() {
    rows_.clear();
    std::unordered_set<const void*> seen;
    addChildren(nullptr, 0, true, seen);
    // Items that left the tree forget their expansion, so that a new item
    // at the same address starts collapsed.
    for (auto it = expanded_.begin(); it != expanded_.end();)
        it = seen.count(*it) ? std::next(it) : expanded_.erase(it);
}

int OutlineView::numberOfRowsInTableView(TableView*) {
    rebuild();
    return static_cast<int>(rows_.size());
}

std::string OutlineView::tableViewObjectValue(TableView*, TableColumn* column, int row) {
    OutlineViewDataSource* ds = source();
    void* item = itemAtRow(row);
    return ds && item ? ds->outlineObjectValue(this, column, item) : std::string();
}

void OutlineView::reloadData() {
    std::vector<void*> selected;
    for (int row : selectedRowIndexes())
        if (void* item = itemAtRow(row)) selected.push_back(item);
    TableView::reloadData();
    std::set<int> again;
    for (void* item : selected)
        if (int row = rowForItem(item); row >= 0) again.insert(row);
    if (again != selectedRowIndexes()) selectRowIndexes(again, false);
}

void* OutlineView::itemAtRow(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)].item : nullptr;
}

int OutlineView::rowForItem(const void* item) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].item == item) return static_cast<int>(i);
    return -1;
}

int OutlineView::levelForRow(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<size_t>(row)].level : -1;
}

bool OutlineView::isExpandable(void* item) {
    OutlineViewDataSource* ds = source();
    return ds && item && ds->outlineIsItemExpandable(this, item);
}

void OutlineView::expandItem(void* item) {
    if (!isExpandable(item) || isItemExpanded(item)) return;
    expanded_.insert(item);
    reloadData();
}

void OutlineView::collapseItem(void* item) {
    if (!item || !isItemExpanded(item)) return;
    expanded_.erase(item);
    reloadData();
}

void OutlineView::setIndentationPerLevel(double px) {
    indent_ = std::max(px, 0.0);
    setNeedsDisplay();
}

TableColumn* OutlineView::outlineTableColumn() const {
    if (outlineColumn_ && indexOfColumn(outlineColumn_) >= 0) return outlineColumn_;
    return tableColumns().empty() ? nullptr : tableColumns().front();
}

FRect OutlineView::expanderRect(int row) {
    TableColumn* col = outlineTableColumn();
    if (!col || !isExpandable(itemAtRow(row))) return {};
    FRect c = frameOfCellAtColumn(indexOfColumn(col), row);
    return {c.x + levelForRow(row) * indent_, c.y, indent_, c.height};
}

void OutlineView::drawCell(Painter& p, Cell* cell, TableColumn* column, int row, const FRect& frame) {
    if (column != outlineTableColumn()) {
        TableView::drawCell(p, cell, column, row, frame);
        return;
    }
    FRect ex = expanderRect(row);
    if (!ex.isEmpty()) {
        double cx = ex.x + ex.width / 2, cy = ex.y + ex.height / 2;
        uint32_t c = cell->isHighlighted() ? look::kField : look::kText;
        if (isItemExpanded(itemAtRow(row)))
            p.fillPolygon({{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}}, c);
        else
            p.fillPolygon({{cx - 2, cy - 4}, {cx + 3, cy}, {cx - 2, cy + 4}}, c);
    }
    double in = (levelForRow(row) + 1) * indent_;
    FRect rest{frame.x + in, frame.y, std::max(frame.width - in, 0.0), frame.height};
    TableView::drawCell(p, cell, column, row, rest);
}

void OutlineView::mouseDown(const appkit::Event& e) {
    if (isEnabled() && e.button == appkit::MouseButton::Left) {
        appkit::Point pt = convertFromWindow(e.location);
        FPoint fp{static_cast<double>(pt.x), static_cast<double>(pt.y)};
        int row = rowAtPoint(fp);
        if (row >= 0 && expanderRect(row).contains(fp)) {
            void* item = itemAtRow(row);
            if (isItemExpanded(item))
                collapseItem(item);
            else
                expandItem(item);
            return;
        }
    }
    TableView::mouseDown(e);
}

bool OutlineView::keyDown(const appkit::Event& e) {
    void* item = itemAtRow(selectedRow());
    if (item && e.key == appkit::Key::Right) {
        expandItem(item);
        return true;
    }
    if (item && e.key == appkit::Key::Left) {
        collapseItem(item);
        return true;
    }
    return TableView::keyDown(e);
}

}  // namespace platform::controls
