// The list view and list box: a table view over rows of texts (or, in
// owner-data mode, over texts the owner gives as each row is drawn), its
// mouse handling with the drag threshold, its list-box messages and its
// cells.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "shim/shim-dlg.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-kb.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"

using namespace platform::appkit;
namespace ct = platform::controls;

namespace {
constexpr UINT kMouseMove = 0x200;  // WM_MOUSEMOVE
constexpr UINT kLButtonUp = 0x202;  // WM_LBUTTONUP
constexpr int kTextBuffer = 1024;

LPARAM PackPoint(int x, int y) {
    return static_cast<LPARAM>((static_cast<uint32_t>(x) & 0xFFFF) | (static_cast<uint32_t>(y) << 16));
}

// A point of the window in the view's coordinates, packed.
LPARAM ClientPoint(Responder* target, Point windowPoint) {
    auto* v = dynamic_cast<View*>(target);
    Point p = v ? v->convertFromWindow(windowPoint) : windowPoint;
    return PackPoint(p.x, p.y);
}
}  // namespace

void SHIM_FlagAncestorsDirty(View* v) {
    if (v) Shim_vHalvoran_hwnd::markDescendantDirty(v->superview());
}

Color SHIM_ColorOfValue(int colour) {
    return {((colour >> 16) & 0xFF) / 255.0, ((colour >> 8) & 0xFF) / 255.0, (colour & 0xFF) / 255.0, 1.0};
}

Shim_vHalvoran_listview* SHIM_ListViewOf(HWND h) {
    return Responder::isLive(h) ? dynamic_cast<Shim_vHalvoran_listview*>(h) : nullptr;
}

// --- rows ---------------------------------------------------------------------------

SHIM_ListView_Row::~SHIM_ListView_Row() {
    m_vals.Empty(true, [](char* s) { free(s); });
}

const char* SHIM_ListView_Row::text(int sub) const {
    const char* s = m_vals.Get(sub);
    return s ? s : "";
}

SHIM_ListView_Row* SHIM_ListView_Rows::Get(int index) const {
    const auto h = rows_.find(index);
    return h == rows_.kNone ? nullptr : rows_[h];
}

void SHIM_ListView_Rows::Insert(int index, SHIM_ListView_Row* row) {
    rows_.insert(index < 0 ? rows_.first() : rows_.find(index), row, 1);
}

void SHIM_ListView_Rows::Delete(int index) {
    const auto h = rows_.find(index);
    if (h == rows_.kNone) return;
    delete rows_[h];
    rows_.erase(h);
}

void SHIM_ListView_Rows::Empty() {
    for (auto h = rows_.first(); h != rows_.kNone; h = rows_.next(h)) delete rows_[h];
    rows_.clear();
}

std::vector<SHIM_ListView_Row*> SHIM_ListView_Rows::All() const {
    std::vector<SHIM_ListView_Row*> out;
    out.reserve(static_cast<size_t>(rows_.size()));
    for (auto h = rows_.first(); h != rows_.kNone; h = rows_.next(h)) out.push_back(rows_[h]);
    return out;
}

void SHIM_ListView_Rows::Reorder(const std::vector<SHIM_ListView_Row*>& rows) {
    size_t i = 0;
    for (auto h = rows_.first(); h != rows_.kNone && i < rows.size(); h = rows_.next(h)) rows_[h] = rows[i++];
}

// --- the view ---------------------------------------------------------------------------

Shim_vHalvoran_listview::Shim_vHalvoran_listview(Rect frame)
    : ct::TableView(frame), m_items(new SHIM_ListView_Rows()), m_cols(new BASE_PtrList<ct::TableColumn>()) {}

Shim_vHalvoran_listview::~Shim_vHalvoran_listview() {
    delete m_items;
    delete m_cols;
    delete m_selColors;
}

bool Shim_vHalvoran_listview::isOwnerData() const { return m_lbMode == 0 && (style & LVS_OWNERDATA); }

int Shim_vHalvoran_listview::rowCount() const { return isOwnerData() ? ownermode_cnt : m_items->GetSize(); }

int Shim_vHalvoran_listview::getColumnPos(int logical) const {
    ct::TableColumn* c = m_cols->Get(logical);
    return c ? indexOfColumn(c) : logical;
}

int Shim_vHalvoran_listview::getColumnIdx(int position) const {
    if (position < 0 || position >= numberOfColumns()) return position;
    return m_cols->Find(tableColumns()[static_cast<size_t>(position)]);
}

int Shim_vHalvoran_listview::logicalColumnAtPoint(FPoint p) const { return getColumnIdx(columnAtPoint(p)); }

int Shim_vHalvoran_listview::sortedPlace(const char* text, bool descending) const {
    int n = m_items->GetSize(), lo = 0, len = n;
    auto textAt = [&](int i) {
        SHIM_ListView_Row* r = m_items->Get(i);
        return r ? r->text(0) : "";
    };
    auto cmp = [&](const char* a, const char* b) { return descending ? std::strcmp(b, a) : std::strcmp(a, b); };
    if (n == 0) return 0;
    while (true) {
        int mid = lo + len / 2;
        int c = cmp(text, textAt(mid));
        if (c == 0) return mid;
        if (c < 0) {
            len /= 2;
            if (len == 0) return 0;
            continue;
        }
        lo = mid + 1;
        if (lo == n) return n;
        if (cmp(text, textAt(lo)) <= 0) return lo;
        len = (len - 1) / 2;
        if (len == 0) return 0;
    }
}

std::string Shim_vHalvoran_listview::tableViewObjectValue(ct::TableView*, ct::TableColumn* column, int row) {
    int logical = m_cols->Find(column);
    std::string text;
    int image = 0;
    if (!isOwnerData()) {
        SHIM_ListView_Row* r = m_items->Get(row);
        text = r ? r->text(logical) : "";
        if (r && (m_status_imagelist_type == 1 || m_status_imagelist_type == 2)) image = r->m_imageidx;
    } else {
        char buf[kTextBuffer] = {};
        NMLVDISPINFO nm{};
        nm.hdr = {this, static_cast<UINT_PTR>(tag()), LVN_GETDISPINFO};
        nm.item.mask = LVIF_TEXT | (m_status_imagelist_type == 2   ? LVIF_IMAGE
                                    : m_status_imagelist_type == 1 ? LVIF_STATE
                                                                   : 0u);
        nm.item.iItem = row;
        nm.item.iSubItem = logical;
        nm.item.iImage = -1;
        nm.item.pszText = buf;
        nm.item.cchTextMax = kTextBuffer - 1;
        SendMessage(target(), WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&nm));
        // The owner may fill the buffer or point elsewhere.
        if (nm.item.pszText) text = nm.item.pszText;
        if (m_status_imagelist_type == 2)
            image = nm.item.iImage + 1;
        else if (m_status_imagelist_type == 1)
            image = static_cast<int>((nm.item.state >> 16) & 0xFF);
        if (!Responder::isLive(this)) return text;
    }
    ct::Cell* cell = column ? column->dataCell() : nullptr;
    if (!isOwnerData() && (style & 0x10))
        if (auto* od = dynamic_cast<Shim_vHalvoran_ODlistviewcell*>(cell)) od->setItemIdx(row);
    if (!m_lbMode && m_status_imagelist)
        if (auto* sc = dynamic_cast<Shim_vHalvoran_statuscell*>(cell)) {
            platform::NSImage* img = nullptr;
            if (image > 0 && image <= ImageList_GetImageCount(m_status_imagelist))
                img = GetNSImageFromHICON(SHIM_ImageListGet(m_status_imagelist, image - 1));
            sc->setStatusImage(img ? img->image : nullptr);
        }
    return text;
}

void Shim_vHalvoran_listview::highlightSelectionInClipRect(ct::Painter& p, const FRect& clip) {
    size_t idx = GetFocus() == static_cast<HWND>(this) ? 0 : 2;
    if (!m_selColors || idx >= m_selColors->size()) {
        ct::TableView::highlightSelectionInClipRect(p, clip);
        return;
    }
    const Color& colour = (*m_selColors)[idx];
    int n = rowCount();
    for (int row = std::max(rowAtPoint({0, clip.y}), 0); row < n; ++row) {
        FRect r = rectOfRow(row);
        if (r.y >= clip.bottom()) break;
        if (!isRowSelected(row)) continue;
        FRect part = r.intersection(clip);
        if (!part.isEmpty()) p.fill(part, colour);
    }
}

// --- mouse ---------------------------------------------------------------------------

LRESULT Shim_vHalvoran_listview::notifyClick(int code, Point windowPoint) {
    Point pt = convertFromWindow(windowPoint);
    FPoint fp{static_cast<double>(pt.x), static_cast<double>(pt.y)};
    NMLISTVIEW nm{};
    nm.hdr = {this, static_cast<UINT_PTR>(tag()), code};
    nm.iItem = rowAtPoint(fp);
    nm.iSubItem = logicalColumnAtPoint(fp);
    nm.ptAction = {pt.x, pt.y};
    if (code == NM_CLICK)
        if (SHIM_ListView_Row* r = isOwnerData() ? nullptr : row(nm.iItem)) nm.lParam = r->m_param;
    return SendMessage(target(), WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&nm));
}

void Shim_vHalvoran_listview::mouseDown(const Event& e) {
    if (e.button != MouseButton::Left) return;
    m_leftpressed = true;
    if (e.modifiers.control && IsRightClickEmulateEnabled()) {
        m_fakerightmouse = true;
        m_start_item = m_start_subitem = -1;
        return;
    }
    m_leftmousemovecnt = 0;
    m_fakerightmouse = false;
    Point pt = convertFromWindow(e.location);
    FPoint fp{static_cast<double>(pt.x), static_cast<double>(pt.y)};
    m_start_item = rowAtPoint(fp);
    m_start_subitem = logicalColumnAtPoint(fp);
    m_start_item_clickmode = 0;
    if (m_start_item < 0) return;
    if (m_start_subitem >= 0 && ((m_fastClickMask >> (m_start_subitem & 31)) & 1)) {
        notifyClick(NM_CLICK, e.location);
        m_start_item_clickmode = 4;
    } else if (m_status_imagelist_type == 1 && m_status_imagelist && pt.x <= rowHeight()) {
        m_start_item_clickmode = 1;
    }
}

void Shim_vHalvoran_listview::mouseDragged(const Event& e) {
    if (!e.leftDown) return;
    ++m_leftmousemovecnt;
    if (m_leftmousemovecnt == 4 && m_start_item >= 0 && !(m_start_item_clickmode & 3) && !m_lbMode) {
        if (!(m_start_item_clickmode & 4) && !isRowSelected(m_start_item))
            selectRowIndexes({m_start_item}, (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0);
        NMLISTVIEW nm{};
        nm.hdr = {this, static_cast<UINT_PTR>(tag()), LVN_BEGINDRAG};
        nm.iItem = m_start_item;
        nm.iSubItem = m_start_subitem;
        SendMessage(target(), WM_NOTIFY, static_cast<WPARAM>(tag()), reinterpret_cast<LPARAM>(&nm));
        m_start_item_clickmode += 2;
    } else if (m_leftmousemovecnt >= 5 && !(m_start_item_clickmode & 1)) {
        SendMessage(target(), kMouseMove, 0, ClientPoint(target(), e.location));
    }
}

void Shim_vHalvoran_listview::mouseUp(const Event& e) {
    if (e.button == MouseButton::Right) {
        rightMouseUp(e);
        return;
    }
    // A release whose press went elsewhere (a menu over the list) is no click.
    if (e.button != MouseButton::Left || !m_leftpressed) return;
    m_leftpressed = false;
    if (m_fakerightmouse || e.modifiers.control) {
        rightMouseUp(e);
    } else if (!(m_start_item_clickmode & 1)) {
        if (!(m_start_item_clickmode & 4) && m_leftmousemovecnt <= 3) {
            if (m_lbMode && !allowsMultipleSelection()) deselectAll();
            defaultPress(e);
            if (!Responder::isLive(this)) return;
        } else if (m_leftmousemovecnt > 3) {
            SendMessage(target(), kLButtonUp, 0, ClientPoint(target(), e.location));
            if (!Responder::isLive(this)) return;
        }
    }
    if (!m_lbMode && !(m_start_item_clickmode & 2) && !(m_start_item_clickmode & 4)) notifyClick(NM_CLICK, e.location);
}

void Shim_vHalvoran_listview::rightMouseUp(const Event& e) {
    if (!m_lbMode) {
        Point pt = convertFromWindow(e.location);
        int r = rowAtPoint({static_cast<double>(pt.x), static_cast<double>(pt.y)});
        if (r >= 0 && !isRowSelected(r)) selectRowIndexes({r}, false);
        if (notifyClick(NM_RCLICK, e.location)) {
            if (Responder::isLive(this)) m_fakerightmouse = false;
            return;
        }
        if (!Responder::isLive(this)) return;
    }
    POINT screen{};
    GetCursorPos(&screen);
    SendMessage(target(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(static_cast<HWND>(this)),
                PackPoint(screen.x, screen.y));
    if (Responder::isLive(this)) m_fakerightmouse = false;
}

// --- list-box messages ---------------------------------------------------------------------------

LRESULT Shim_vHalvoran_listview::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
    HWND h = this;
    int n = rowCount();
    auto insert = [&](int index, const char* text) {
        LVITEM it{};
        it.mask = LVIF_TEXT;
        it.iItem = index;
        it.pszText = const_cast<char*>(text ? text : "");
        ListView_InsertItem(h, &it);
        return index;
    };
    switch (msg) {
        case LB_ADDSTRING: {
            auto* text = reinterpret_cast<const char*>(lp);
            bool sorted = m_lbMode && (style & LBS_SORT);
            return insert(sorted ? sortedPlace(text ? text : "", false) : n, text);
        }
        case LB_INSERTSTRING:
            return insert(wp >= static_cast<WPARAM>(n) ? n : static_cast<int>(wp), reinterpret_cast<const char*>(lp));
        case LB_DELETESTRING:
            ListView_DeleteItem(h, static_cast<int>(wp));
            return 0;
        case LB_GETTEXT:
            if (auto* out = reinterpret_cast<char*>(lp)) {
                SHIM_ListView_Row* r = row(static_cast<int>(wp));
                lstrcpyn(out, r ? r->text(0) : "", 4096);
            }
            return 0;
        case LB_RESETCONTENT:
            ownermode_cnt = 0;
            m_items->Empty();
            reloadData();
            return 0;
        case LB_SETSEL:
            ListView_SetItemState(h, static_cast<int>(lp), wp ? static_cast<UINT>(LVIS_SELECTED) : 0u, LVIS_SELECTED);
            return 0;
        case LB_SETCURSEL:
            if (wp < static_cast<WPARAM>(n))
                selectRowIndexes({static_cast<int>(wp)}, false);
            else
                deselectAll();
            return 0;
        case LB_GETSEL:
            return wp < static_cast<WPARAM>(n) && isRowSelected(static_cast<int>(wp)) ? 1 : 0;
        case LB_GETCURSEL:
            return selectedRow();
        case LB_GETCOUNT:
            return n;
        case LB_GETSELCOUNT:
            return numberOfSelectedRows();
        case LB_GETITEMDATA: {
            SHIM_ListView_Row* r = row(static_cast<int>(wp));
            return r ? r->m_param : 0;
        }
        case LB_SETITEMDATA:
            if (SHIM_ListView_Row* r = row(static_cast<int>(wp))) r->m_param = lp;
            return 0;
        default:
            return 0;
    }
}

// --- cells ---------------------------------------------------------------------------

std::optional<Color> Shim_vHalvoran_listviewcell::highlightColorWithFrame(const FRect& frame, View* view) const {
    // With colours of its own the list draws the selection, and the text
    // keeps the colour the owner gives it.
    if (auto* list = dynamic_cast<Shim_vHalvoran_listview*>(view); list && list->m_selColors) return std::nullopt;
    return ct::TextFieldCell::highlightColorWithFrame(frame, view);
}

void Shim_vHalvoran_statuscell::drawWithFrame(ct::Painter& p, const FRect& frame, View* view) {
    double side = frame.height;
    if (status) p.drawImage({frame.x, frame.y, side, side}, status);
    ct::TextFieldCell::drawWithFrame(p, {frame.x + side + 2, frame.y, frame.width - side - 2, frame.height}, view);
}

void Shim_vHalvoran_ODlistviewcell::drawInteriorWithFrame(ct::Painter& p, const FRect& frame, View* view) {
    Shim_vHalvoran_listview* owner = m_ownctl && Responder::isLive(m_ownctl) ? m_ownctl : nullptr;
    if (!owner) {
        ct::Cell::drawInteriorWithFrame(p, frame, view);
        return;
    }
    LPARAM data = 0;
    if (SHIM_ListView_Row* r = owner->row(m_lastidx)) data = r->m_param;
    HDC hdc = GetDC(view);
    if (!hdc) return;
    DRAWITEMSTRUCT dis{};
    dis.CtlType = ODT_LISTBOX;
    dis.CtlID = static_cast<UINT>(owner->tag());
    dis.itemID = static_cast<UINT>(m_lastidx);
    dis.hwndItem = owner;
    dis.hDC = hdc;
    int left = static_cast<int>(frame.x + 0.5), top = static_cast<int>(frame.y + 0.5);
    dis.rcItem = {left, top, left + static_cast<int>(frame.width + 0.5), top + static_cast<int>(frame.height + 0.5)};
    dis.itemData = static_cast<uintptr_t>(data);
    SendMessage(GetParent(owner), WM_DRAWITEM, static_cast<WPARAM>(owner->tag()), reinterpret_cast<LPARAM>(&dis));
    ReleaseDC(view, hdc);
}
