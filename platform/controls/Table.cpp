#include "platform/controls/Table.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/appkit/Window.h"
#include "platform/controls/ScrollView.h"

namespace platform::controls {

using appkit::FPoint;
using appkit::FSize;

namespace {
constexpr double kCellInsetX = 2;
constexpr double kDividerGrab = 3;
constexpr double kDragThreshold = 4;
}  // namespace

// --- cells ---------------------------------------------------------------------------

std::optional<Color> Cell::highlightColorWithFrame(const FRect&, appkit::View*) const { return rgb(look::kAccent); }

void TextFieldCell::drawInteriorWithFrame(Painter& p, const FRect& frame, appkit::View* controlView) {
    Color c = textColor_ ? *textColor_ : rgb(look::kText);
    // Selected rows of a focused table show light text on the accent.
    auto* table = dynamic_cast<TableView*>(controlView);
    if (isHighlighted() && table && table->isFirstResponder() && highlightColorWithFrame(frame, controlView))
        c = rgb(0xFFFFFF);
    p.text(stringValue(), {frame.x + kCellInsetX, frame.y, frame.width - 2 * kCellInsetX, frame.height}, font(), c,
           alignment() == TextAlignment::Natural ? TextAlignment::Left : alignment());
}

// --- columns ---------------------------------------------------------------------------

TableColumn::TableColumn(std::string identifier)
    : identifier_(std::move(identifier)), dataCell_(std::make_unique<TextFieldCell>()) {
    header_.setFont(appkit::Font::system(11));
}

void TableColumn::changed() {
    if (table_) table_->tile();
}

void TableColumn::setWidth(double w) {
    if (!std::isfinite(w)) return;
    width_ = std::clamp(w, minWidth_, std::max(minWidth_, maxWidth_));
    changed();
}

void TableColumn::setMinWidth(double w) {
    minWidth_ = std::max(0.0, w);
    setWidth(width_);
}

void TableColumn::setMaxWidth(double w) {
    maxWidth_ = w;
    setWidth(width_);
}

void TableColumn::setHidden(bool h) {
    hidden_ = h;
    changed();
}

void TableColumn::setDataCell(std::unique_ptr<Cell> cell) {
    if (cell) dataCell_ = std::move(cell);
    if (table_) table_->setNeedsDisplay();
}

// --- header ---------------------------------------------------------------------------

TableHeaderView::TableHeaderView(TableView* table) : table_(table) {}

TableView* TableHeaderView::tableView() const { return appkit::Responder::isLive(table_) ? table_ : nullptr; }

double TableHeaderView::scrollX() const {
    auto* sv = dynamic_cast<appkit::ScrollView*>(superview());
    return sv ? sv->scrollPosition().x : 0;
}

int TableHeaderView::columnAtPoint(appkit::Point p) const {
    TableView* t = tableView();
    return t ? t->columnAtPoint({p.x + scrollX(), 0}) : -1;
}

void TableHeaderView::drawRect(appkit::Canvas& canvas, const appkit::Rect&) {
    Painter p(canvas);
    TableView* t = tableView();
    if (!p.ok() || !t) return;
    FRect b = boundsF();
    p.fill(b, look::kFace);
    double sx = scrollX();
    for (int i = 0; i < t->numberOfColumns(); ++i) {
        TableColumn* c = t->tableColumns()[static_cast<size_t>(i)];
        if (c->isHidden()) continue;
        FRect r = t->rectOfColumn(i);
        FRect cell{r.x - sx, 0, r.width, b.height};
        if (i == pressed_ && resizing_ < 0) p.fill(cell, look::kFacePressed);
        p.fill({cell.right() - 1, 2, 1, b.height - 4}, look::kEdgeLight);
        double arrowW = c->indicatorImageName().empty() ? 0 : 12;
        const TextFieldCell& h = c->headerCell();
        FRect text{cell.x + 4, 0, cell.width - 8 - arrowW, b.height};
        p.text(h.stringValue(), text, h.font(), h.textColor() ? *h.textColor() : rgb(look::kText),
               h.alignment() == TextAlignment::Natural ? TextAlignment::Left : h.alignment());
        if (arrowW > 0) {
            double cx = cell.right() - 9, cy = std::floor(b.height / 2);
            if (c->indicatorImageName() == "NSAscendingSortIndicator")
                p.fillPolygon({{cx - 4, cy + 2}, {cx + 4, cy + 2}, {cx, cy - 3}}, look::kEdge);
            else
                p.fillPolygon({{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 3}}, look::kEdge);
        }
    }
    p.fill({0, b.height - 1, b.width, 1}, look::kEdge);
}

void TableHeaderView::mouseDown(const appkit::Event& e) {
    TableView* t = tableView();
    if (!t || e.button != appkit::MouseButton::Left) return;
    appkit::Point p = convertFromWindow(e.location);
    pressX_ = p.x + scrollX();
    moved_ = false;
    resizing_ = -1;
    pressed_ = -1;
    // A press on the right edge of a title sizes its column.
    if (t->allowsColumnResizing())
        for (int i = 0; i < t->numberOfColumns(); ++i) {
            TableColumn* c = t->tableColumns()[static_cast<size_t>(i)];
            if (c->isHidden()) continue;
            if (std::fabs(t->rectOfColumn(i).right() - pressX_) <= kDividerGrab) {
                resizing_ = i;
                startWidth_ = c->width();
            }
        }
    if (resizing_ < 0) pressed_ = t->columnAtPoint({pressX_, 0});
    setNeedsDisplay();
}

void TableHeaderView::mouseDragged(const appkit::Event& e) {
    TableView* t = tableView();
    if (!t) return;
    double x = convertFromWindow(e.location).x + scrollX();
    if (std::fabs(x - pressX_) >= kDragThreshold) moved_ = true;
    if (resizing_ >= 0) {
        t->tableColumns()[static_cast<size_t>(resizing_)]->setWidth(startWidth_ + x - pressX_);
        setNeedsDisplay();
        return;
    }
    if (!moved_ || pressed_ < 0 || !t->allowsColumnReordering()) return;
    int over = t->columnAtPoint({x, 0});
    if (over >= 0 && over != pressed_) {
        t->moveColumn(pressed_, over);
        pressed_ = over;
    }
    setNeedsDisplay();
}

void TableHeaderView::mouseUp(const appkit::Event&) {
    TableView* t = tableView();
    int pressed = pressed_;
    bool click = !moved_ && resizing_ < 0;
    pressed_ = resizing_ = -1;
    setNeedsDisplay();
    if (t && click && pressed >= 0 && pressed < t->numberOfColumns())
        t->didClickColumn(t->tableColumns()[static_cast<size_t>(pressed)]);
}

// --- table ---------------------------------------------------------------------------

TableView::TableView(appkit::Rect frame) : appkit::Control(frame) {}

TableView::~TableView() {
    for (auto& c : columns_) c->table_ = nullptr;
    if (header_ && appkit::Responder::isLive(header_)) {
        header_->table_ = nullptr;
        auto* sv = appkit::enclosingScrollView(this);
        if (sv && sv->headerView() == header_) sv->setHeaderView(nullptr, 0);
    }
}

void TableView::addTableColumn(std::unique_ptr<TableColumn> column) {
    if (!column) return;
    column->table_ = this;
    order_.push_back(column.get());
    columns_.push_back(std::move(column));
    tile();
}

std::unique_ptr<TableColumn> TableView::removeTableColumn(TableColumn* column) {
    auto it = std::find_if(columns_.begin(), columns_.end(), [&](const auto& c) { return c.get() == column; });
    if (it == columns_.end()) return nullptr;
    std::unique_ptr<TableColumn> out = std::move(*it);
    columns_.erase(it);
    order_.erase(std::find(order_.begin(), order_.end(), column));
    out->table_ = nullptr;
    tile();
    return out;
}

void TableView::moveColumn(int from, int to) {
    int n = numberOfColumns();
    if (from < 0 || from >= n || to < 0 || to >= n || from == to) return;
    TableColumn* c = order_[static_cast<size_t>(from)];
    order_.erase(order_.begin() + from);
    order_.insert(order_.begin() + to, c);
    tile();
}

int TableView::indexOfColumn(const TableColumn* column) const {
    auto it = std::find(order_.begin(), order_.end(), column);
    return it == order_.end() ? -1 : static_cast<int>(it - order_.begin());
}

void TableView::setIndicatorImage(const std::string& name, TableColumn* column) {
    if (!column || column->table_ != this) return;
    column->indicator_ = name;
    if (header_) header_->setNeedsDisplay();
}

void TableView::reloadData() {
    int n = 0;
    if (auto* ds = delegateOf<TableViewDataSource>(dataSource_)) n = std::max(ds->numberOfRowsInTableView(this), 0);
    rows_ = n;
    selection_.removeRange(n, INT_MAX);
    if (lastSelected_ >= n) lastSelected_ = -1;
    tile();
    setNeedsDisplay();
}

void TableView::insertRows(int row, int count) {
    row = std::clamp(row, 0, rows_);
    count = std::clamp(count, 0, INT_MAX - rows_);
    if (!count) return;
    rows_ += count;
    selection_.shift(row, count);
    for (int* r : {&lastSelected_, &anchor_})
        if (*r >= row) *r += count;
    tile();
}

void TableView::removeRows(int row, int count) {
    row = std::clamp(row, 0, rows_);
    count = std::clamp(count, 0, rows_ - row);
    if (!count) return;
    rows_ -= count;
    selection_.shift(row + count, -count);
    for (int* r : {&lastSelected_, &anchor_})
        if (*r >= row + count)
            *r -= count;
        else if (*r >= row)
            *r = -1;
    tile();
}

std::string TableView::objectValue(TableColumn* column, int row) {
    auto* ds = delegateOf<TableViewDataSource>(dataSource_);
    return ds ? ds->tableViewObjectValue(this, column, row) : std::string();
}

void TableView::setRowHeight(double h) {
    if (!(h > 0)) return;
    rowHeight_ = h;
    tile();
}

void TableView::setIntercellSpacing(FSize s) {
    spacing_ = {std::max(s.width, 0.0), std::max(s.height, 0.0)};
    tile();
}

double TableView::totalWidth() const {
    double w = 0;
    for (TableColumn* c : order_)
        if (!c->isHidden()) w += c->width() + spacing_.width;
    return w;
}

FRect TableView::rectOfRow(int row) const {
    if (row < 0 || row >= rows_) return {};
    return {0, row * rowPitch(), frameF().width, rowPitch()};
}

FRect TableView::rectOfColumn(int column) const {
    if (column < 0 || column >= numberOfColumns()) return {};
    double x = 0;
    for (int i = 0; i < column; ++i)
        if (!order_[static_cast<size_t>(i)]->isHidden()) x += order_[static_cast<size_t>(i)]->width() + spacing_.width;
    TableColumn* c = order_[static_cast<size_t>(column)];
    double w = c->isHidden() ? 0 : c->width() + spacing_.width;
    return {x, 0, w, frameF().height};
}

FRect TableView::frameOfCellAtColumn(int column, int row) const {
    FRect c = rectOfColumn(column), r = rectOfRow(row);
    if (c.isEmpty() || r.isEmpty()) return {};
    return {c.x + std::floor(spacing_.width / 2), r.y + std::floor(spacing_.height / 2), c.width - spacing_.width,
            r.height - spacing_.height};
}

int TableView::rowAtPoint(FPoint p) const {
    if (p.y < 0 || p.x < 0 || p.x >= frameF().width) return -1;
    auto row = static_cast<long long>(std::floor(p.y / rowPitch()));
    return row < rows_ ? static_cast<int>(row) : -1;
}

int TableView::columnAtPoint(FPoint p) const {
    if (p.x < 0) return -1;
    double x = 0;
    for (int i = 0; i < numberOfColumns(); ++i) {
        TableColumn* c = order_[static_cast<size_t>(i)];
        if (c->isHidden()) continue;
        double w = c->width() + spacing_.width;
        if (p.x >= x && p.x < x + w) return i;
        x += w;
    }
    return -1;
}

void TableView::selectRowIndexes(const IndexSet& rows, bool extend) {
    if (!extend) selection_.clear();
    for (const IndexSet::Run& r : rows.runs()) {
        const int end = std::min(r.end, rows_);
        if (r.first >= end) break;
        selection_.addRange(r.first, end);
        lastSelected_ = end - 1;
    }
    setNeedsDisplay();
}

void TableView::deselectRow(int row) {
    if (!selection_.remove(row)) return;
    if (lastSelected_ == row) lastSelected_ = -1;
    setNeedsDisplay();
}

void TableView::deselectAll() {
    if (selection_.empty()) return;
    selection_.clear();
    lastSelected_ = -1;
    setNeedsDisplay();
}

int TableView::selectedRow() const {
    if (selection_.empty()) return -1;
    if (lastSelected_ >= 0 && selection_.contains(lastSelected_)) return lastSelected_;
    return selection_.last();
}

void TableView::setHasHeaderView(bool h) {
    wantsHeader_ = h;
    if (!h && header_) {
        if (auto* sv = appkit::enclosingScrollView(this); sv && sv->headerView() == header_)
            sv->setHeaderView(nullptr, 0);
        header_ = nullptr;
    }
    tile();
}

void TableView::setGridStyleMask(int g) {
    grid_ = g;
    setNeedsDisplay();
}

void TableView::setGridColor(const Color& c) {
    gridColor_ = c;
    setNeedsDisplay();
}

void TableView::setBackgroundColor(const Color& c) {
    background_ = c;
    setNeedsDisplay();
}

bool TableView::isFirstResponder() const { return window() && window()->firstResponder() == this; }

bool TableView::becomeFirstResponder() {
    setNeedsDisplay();
    return true;
}

bool TableView::resignFirstResponder() {
    setNeedsDisplay();
    return true;
}

void TableView::tile() {
    auto* sv = appkit::enclosingScrollView(this);
    if (sv && wantsHeader_ && (!header_ || sv->headerView() != header_)) {
        header_ = new TableHeaderView(this);
        sv->setHeaderView(header_, static_cast<int>(kHeaderHeight));
    }
    if (auto* csv = dynamic_cast<ScrollView*>(sv)) csv->setLineScroll(3 * rowPitch());
    FRect f = frameF();
    double w = totalWidth(), h = rows_ * rowPitch();
    if (auto* clip = superview(); clip && dynamic_cast<appkit::ClipView*>(clip)) {
        w = std::max(w, clip->frameF().width);
        h = std::max(h, clip->frameF().height);
    }
    if (w != f.width || h != f.height) {
        setFrameF({f.x, f.y, w, h});
        if (sv) sv->tile();
    }
    if (header_) header_->setNeedsDisplay();
    setNeedsDisplay();
}

void TableView::resizeWithOldSuperviewSize(FSize) { tile(); }

void TableView::scrollRowToVisible(int row) {
    auto* sv = appkit::enclosingScrollView(this);
    FRect r = rectOfRow(row);
    if (sv && !r.isEmpty()) sv->scrollRectToVisible({sv->documentVisibleRect().x, r.y, 1, r.height});
}

void TableView::scrollColumnToVisible(int column) {
    auto* sv = appkit::enclosingScrollView(this);
    FRect c = rectOfColumn(column);
    if (sv && column >= 0 && column < numberOfColumns())
        sv->scrollRectToVisible({c.x, sv->documentVisibleRect().y, c.width, 1});
}

void TableView::highlightSelectionInClipRect(Painter& p, const FRect& clip) {
    Color c = rgb(isFirstResponder() ? look::kAccent : look::kSelectionDim);
    // Only the selected rows the clip reaches.
    const int first = rows_ ? std::clamp(static_cast<int>(std::floor(clip.y / rowPitch())), 0, rows_) : 0;
    for (int row = selection_.indexAtOrAfter(first); row >= 0 && row < rows_;
         row = selection_.indexAtOrAfter(row + 1)) {
        FRect r = rectOfRow(row);
        if (r.y >= clip.bottom()) break;
        r = r.intersection(clip);
        if (!r.isEmpty()) p.fill(r, c);
    }
}

void TableView::drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) {
    Painter p(canvas);
    if (!p.ok()) return;
    FRect clip(dirty);
    p.fill(clip, background_);
    highlightSelectionInClipRect(p, clip);
    if (grid_ & kGridHorizontal)
        for (int row = std::max(rowAtPoint({0, clip.y}), 0); row < rows_; ++row) {
            FRect r = rectOfRow(row);
            if (r.y > clip.bottom()) break;
            p.fill({clip.x, r.bottom() - 1, clip.width, 1}, gridColor_);
        }
    if (grid_ & kGridVertical)
        for (int i = 0; i < numberOfColumns(); ++i)
            if (!order_[static_cast<size_t>(i)]->isHidden())
                p.fill({rectOfColumn(i).right() - 1, clip.y, 1, clip.height}, gridColor_);
    int first = rows_ ? std::clamp(static_cast<int>(std::floor(clip.y / rowPitch())), 0, rows_) : 0;
    auto* delegate = delegateOf<TableViewDelegate>(delegate_);
    for (int row = first; row < rows_; ++row) {
        FRect rr = rectOfRow(row);
        if (rr.y >= clip.bottom()) break;
        for (int i = 0; i < numberOfColumns(); ++i) {
            TableColumn* col = order_[static_cast<size_t>(i)];
            FRect cf = frameOfCellAtColumn(i, row);
            if (col->isHidden() || cf.isEmpty() || cf.intersection(clip).isEmpty()) continue;
            Cell* cell = col->dataCell();
            cell->setStringValue(objectValue(col, row));
            cell->setHighlighted(isRowSelected(row));
            if (delegate) delegate->tableViewWillDisplayCell(this, cell, col, row);
            if (!appkit::Responder::isLive(this)) return;
            drawCell(p, cell, col, row, cf);
        }
        // A delegate or a data source may have removed rows meanwhile.
        if (row >= rows_) break;
    }
}

void TableView::drawCell(Painter& p, Cell* cell, TableColumn*, int, const FRect& frame) {
    p.save();
    p.clip(frame);
    cell->drawWithFrame(p, frame, this);
    p.restore();
}

void TableView::userSelected(const IndexSet& before) {
    if (before == selection_) return;
    if (auto* d = delegateOf<TableViewDelegate>(delegate_)) d->tableViewSelectionDidChange(this);
}

void TableView::defaultPress(const appkit::Event& e) {
    appkit::Point pt = convertFromWindow(e.location);
    FPoint p{static_cast<double>(pt.x), static_cast<double>(pt.y)};
    int row = rowAtPoint(p);
    clickedRow_ = row;
    clickedColumn_ = columnAtPoint(p);
    IndexSet before = selection_;
    bool toggle = e.modifiers.command || e.modifiers.control;
    if (row < 0) {
        if (emptyOK_ && !toggle && !e.modifiers.shift) deselectAll();
    } else if (multiple_ && toggle) {
        if (isRowSelected(row) && (emptyOK_ || selection_.size() > 1))
            deselectRow(row);
        else
            selectRowIndexes({row}, true);
        anchor_ = row;
    } else if (multiple_ && e.modifiers.shift && anchor_ >= 0) {
        IndexSet range;
        range.addRange(std::min(anchor_, row), std::max(anchor_, row) + 1);
        selectRowIndexes(range, false);
        lastSelected_ = row;
    } else {
        selectRowIndexes({row}, false);
        anchor_ = row;
    }
    if (row >= 0) scrollRowToVisible(row);
    userSelected(before);
    if (!appkit::Responder::isLive(this)) return;
    if (e.clickCount >= 2 && !doubleAction_.empty())
        sendAction(doubleAction_, target());
    else
        sendAction();
}

void TableView::didClickColumn(TableColumn* column) {
    if (auto* d = delegateOf<TableViewDelegate>(delegate_)) d->tableViewDidClickTableColumn(this, column);
}

void TableView::mouseDown(const appkit::Event& e) {
    if (isEnabled() && e.button == appkit::MouseButton::Left) defaultPress(e);
}

bool TableView::keyDown(const appkit::Event& e) {
    using appkit::Key;
    if (rows_ == 0) return false;
    int cur = selectedRow(), next;
    switch (e.key) {
        case Key::Up:
            next = cur < 0 ? rows_ - 1 : std::max(cur - 1, 0);
            break;
        case Key::Down:
            next = cur < 0 ? 0 : std::min(cur + 1, rows_ - 1);
            break;
        case Key::Home:
            next = 0;
            break;
        case Key::End:
            next = rows_ - 1;
            break;
        default:
            return false;
    }
    IndexSet before = selection_;
    selectRowIndexes({next}, false);
    anchor_ = next;
    scrollRowToVisible(next);
    userSelected(before);
    return true;
}

}  // namespace platform::controls
