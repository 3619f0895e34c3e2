#include "platform/controls/OutlineView.h"

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
        if (shown) addRow(Rows::kNone, child, level);
        if (ds->outlineIsItemExpandable(this, child))
            addChildren(child, level + 1, shown && isItemExpanded(child), seen);
    }
}

void OutlineView::rebuild() {
    rows_.clear();
    handles_.clear();
    std::unordered_set<const void*> seen;
    addChildren(nullptr, 0, true, seen);
    // Items that left the tree forget their expansion, so that a new item
    // at the same address starts collapsed.
    for (auto it = expanded_.begin(); it != expanded_.end();)
        it = seen.count(*it) ? std::next(it) : expanded_.erase(it);
}

int OutlineView::numberOfRowsInTableView(TableView*) {
    rebuild();
    return rows_.size();
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
    IndexSet again;
    for (void* item : selected)
        if (int row = rowForItem(item); row >= 0) again.add(row);
    if (again != selectedRowIndexes()) selectRowIndexes(again, false);
}

OutlineView::Rows::Handle OutlineView::handleOf(const void* item) const {
    auto it = handles_.find(item);
    return it == handles_.end() ? Rows::kNone : it->second;
}

const OutlineView::Row* OutlineView::rowAt(int row) const {
    const Rows::Handle h = rows_.find(row);
    return h == Rows::kNone ? nullptr : &rows_[h];
}

OutlineView::Rows::Handle OutlineView::addRow(Rows::Handle before, void* item, int level) {
    const Rows::Handle h = rows_.insert(before, {item, level}, 1);
    handles_[item] = h;
    return h;
}

OutlineView::Rows::Handle OutlineView::endOfSubtree(Rows::Handle h) const {
    const int level = rows_[h].level;
    do h = rows_.next(h);
    while (h != Rows::kNone && rows_[h].level > level);
    return h;
}

void OutlineView::insertItem(void* parent, int index) {
    OutlineViewDataSource* ds = source();
    void* child = ds ? ds->outlineChild(this, index, parent) : nullptr;
    if (!child) return;
    expanded_.erase(child);
    // Shown already, or its sibling before it not shown: the data source
    // told another story.
    if (handleOf(child) != Rows::kNone) return reloadData();
    Rows::Handle at = rows_.first();
    int level = 0;
    if (parent) {
        const Rows::Handle p = handleOf(parent);
        if (p == Rows::kNone || !isItemExpanded(parent)) return;  // not shown: no row changes
        at = rows_.next(p);
        level = rows_[p].level + 1;
    }
    if (index > 0) {
        const Rows::Handle before = handleOf(ds->outlineChild(this, index - 1, parent));
        if (before == Rows::kNone) return reloadData();
        at = endOfSubtree(before);
    }
    insertRows(static_cast<int>(rows_.weightBefore(addRow(at, child, level))), 1);
}

void OutlineView::forgetExpansion(void* item, std::unordered_set<const void*>& seen) {
    if (expanded_.empty() || !seen.insert(item).second) return;
    expanded_.erase(item);
    if (OutlineViewDataSource* ds = source())
        for (int i = 0, n = ds->outlineNumberOfChildren(this, item); i < n; ++i)
            if (void* child = ds->outlineChild(this, i, item)) forgetExpansion(child, seen);
}

void OutlineView::removeItem(void* item) {
    if (!item) return;
    Rows::Handle h = handleOf(item);
    std::unordered_set<const void*> seen;
    forgetExpansion(item, seen);
    if (h == Rows::kNone) return;
    const int row = static_cast<int>(rows_.weightBefore(h));
    int count = 0;
    for (const Rows::Handle end = endOfSubtree(h); h != end; ++count) {
        const Rows::Handle next = rows_.next(h);
        handles_.erase(rows_[h].item);
        rows_.erase(h);
        h = next;
    }
    removeRows(row, count);
}

void* OutlineView::itemAtRow(int row) const {
    const Row* r = rowAt(row);
    return r ? r->item : nullptr;
}

int OutlineView::rowForItem(const void* item) const {
    const Rows::Handle h = handleOf(item);
    return h == Rows::kNone ? -1 : static_cast<int>(rows_.weightBefore(h));
}

int OutlineView::levelForRow(int row) const {
    const Row* r = rowAt(row);
    return r ? r->level : -1;
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
