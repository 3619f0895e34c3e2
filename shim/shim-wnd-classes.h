// The toolkit's own control classes over the platform's standard controls:
// the button with radio flags, user data and an image object; the edit
// field and label, the multi-line edit view and the group box; the two
// combo boxes; the list view (list box) with its rows and cells; and the
// owner-drawn cells that hand drawing to the dialog as WM_DRAWITEM.
#pragma once

#include <string>
#include <vector>

#include "base/BASE_PtrList.h"
#include "base/BASE_WeightedList.h"
#include "platform/controls/Box.h"
#include "platform/controls/Button.h"
#include "platform/controls/Choice.h"
#include "platform/controls/Table.h"
#include "platform/controls/TextField.h"
#include "platform/controls/TextView.h"
#include "shim/shim-wnd-controls.h"

// Flags the toolkit window objects above a view as holding a descendant
// that needs painting.
void SHIM_FlagAncestorsDirty(platform::appkit::View* v);

// A platform control as the toolkit holds it: it answers its tag as a
// toolkit object, and flags its window-object ancestors when it needs
// painting.
template <class Base>
class SHIM_ToolkitControl : public Base, public SHIM_Object {
public:
    using Base::Base;
    int tag() const override { return platform::appkit::Control::tag(); }
    void setTag(int t) override { platform::appkit::Control::setTag(t); }
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }
};

// One that keeps a window style of its own.
template <class Base>
class SHIM_StyledControl : public SHIM_ToolkitControl<Base> {
public:
    using SHIM_ToolkitControl<Base>::SHIM_ToolkitControl;
    uint64_t shimAnswers() const override { return SHIM_SEL_STYLE; }
    LONG getShimStyle() const override { return m_style; }
    void setShimStyle(LONG s) override { m_style = s; }

    LONG m_style = 0;
};

class Shim_vHalvoran_button : public SHIM_ToolkitControl<platform::controls::Button> {
public:
    using SHIM_ToolkitControl::SHIM_ToolkitControl;
    uint64_t shimAnswers() const override { return SHIM_SEL_RADIO | SHIM_SEL_USERDATA; }
    int shimGetRadioFlags() const override { return m_radioflags; }
    void shimSetRadioFlags(int f) override { m_radioflags = f; }
    LONG_PTR getShimUserData() const override { return m_userdata; }
    void setShimUserData(LONG_PTR v) override { m_userdata = v; }
    HGDIOBJ getShimGDIImage() const { return m_shimGDIimage; }
    void setShimGDIImage(HGDIOBJ image) { m_shimGDIimage = image; }

    HGDIOBJ m_shimGDIimage = nullptr;
    LONG_PTR m_userdata = 0;
    int m_radioflags = 0;
};

// Owner-drawn button: the dialog draws it on WM_DRAWITEM.
class Shim_vHalvoran_ODbuttoncell : public platform::controls::ButtonCell {
public:
    void drawWithFrame(platform::controls::Painter& p, const platform::appkit::FRect& frame,
                       platform::controls::Button* control) override;
    bool isTransparent() const override { return true; }
};

class Shim_vHalvoran_textfield : public SHIM_ToolkitControl<platform::controls::TextField> {
public:
    using SHIM_ToolkitControl::SHIM_ToolkitControl;
};

class Shim_vHalvoran_textview : public platform::controls::TextView, public SHIM_Object {
public:
    using platform::controls::TextView::TextView;
    uint64_t shimAnswers() const override { return SHIM_SEL_MESSAGE | SHIM_SEL_TAG | SHIM_SEL_SETTAG; }
    LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    int tag() const override { return m_tag; }
    void setTag(int t) override { m_tag = t; }
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    int m_tag = 0;
};

class Shim_vHalvoran_box : public platform::controls::Box, public SHIM_Object {
public:
    using platform::controls::Box::Box;
    uint64_t shimAnswers() const override { return SHIM_SEL_TAG | SHIM_SEL_SETTAG; }
    int tag() const override { return m_tag; }
    void setTag(int t) override { m_tag = t; }
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    int m_tag = 0;
};

class Shim_vHalvoran_cbox : public SHIM_StyledControl<platform::controls::ComboBox> {
public:
    using SHIM_StyledControl::SHIM_StyledControl;
    // One value per item: the item data.
    BASE_PtrList<void> m_ids;
};

class Shim_vHalvoran_pub : public SHIM_StyledControl<platform::controls::PopUpButton> {
public:
    using SHIM_StyledControl::SHIM_StyledControl;
};

// The data of a drop-down list's item, held by the item as its
// represented object.
class Shim_vHalvoran_sdh {
public:
    // initWithVal:
    explicit Shim_vHalvoran_sdh(LPARAM v) : m_data(v) {}
    LPARAM getValue() const { return m_data; }

    LPARAM m_data;
};

// One row of a list view: its texts (entry 0 the item text), its parameter
// and its image number.
struct SHIM_ListView_Row {
    SHIM_ListView_Row() = default;
    ~SHIM_ListView_Row();
    SHIM_ListView_Row(const SHIM_ListView_Row&) = delete;
    SHIM_ListView_Row& operator=(const SHIM_ListView_Row&) = delete;
    // The text of a sub-item; empty when missing.
    const char* text(int sub) const;

    BASE_PtrList<char> m_vals;
    LPARAM m_param = 0;
    int m_imageidx = 0;
    int m_tmp = 0;
};

// The rows of a list view in order, owned: a row is found, inserted or
// deleted by its number in O(log rows), however many there are.
class SHIM_ListView_Rows {
public:
    SHIM_ListView_Rows() = default;
    ~SHIM_ListView_Rows() { Empty(); }
    SHIM_ListView_Rows(const SHIM_ListView_Rows&) = delete;
    SHIM_ListView_Rows& operator=(const SHIM_ListView_Rows&) = delete;

    int GetSize() const { return rows_.size(); }
    // Null outside the list.
    SHIM_ListView_Row* Get(int index) const;
    // Before index (clamped into 0..count); the list takes the row.
    void Insert(int index, SHIM_ListView_Row* row);
    // Deletes the row as well.
    void Delete(int index);
    void Empty();
    // The rows in order, and the same rows put back in another order.
    std::vector<SHIM_ListView_Row*> All() const;
    void Reorder(const std::vector<SHIM_ListView_Row*>& rows);

private:
    BASE_WeightedList<SHIM_ListView_Row*> rows_;  // each weighs 1
};

class Shim_vHalvoran_listview : public platform::controls::TableView,
                                public platform::controls::TableViewDataSource,
                                public SHIM_Object {
public:
    explicit Shim_vHalvoran_listview(platform::appkit::Rect frame = {});
    ~Shim_vHalvoran_listview() override;
    int tag() const override { return platform::appkit::Control::tag(); }
    void setTag(int t) override { platform::appkit::Control::setTag(t); }

    uint64_t shimAnswers() const override { return SHIM_SEL_MESSAGE | SHIM_SEL_STYLE; }
    LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    LONG getShimStyle() const override { return static_cast<LONG>(style); }
    void setShimStyle(LONG s) override { style = s; }
    int getShimNotificationMode() const { return m_lbMode; }
    void setShimNotificationMode(int m) { m_lbMode = m; }

    // Logical column <-> display position.
    int getColumnPos(int logical) const;
    int getColumnIdx(int position) const;
    // The logical column under a point, or -1.
    int logicalColumnAtPoint(platform::appkit::FPoint p) const;

    bool isOwnerData() const;
    int rowCount() const;
    SHIM_ListView_Row* row(int i) const { return m_items ? m_items->Get(i) : nullptr; }
    // Where text goes in the rows sorted by item text (ascending, or with
    // the operands swapped for descending).
    int sortedPlace(const char* text, bool descending) const;

    // TableViewDataSource
    int numberOfRowsInTableView(platform::controls::TableView*) override { return rowCount(); }
    std::string tableViewObjectValue(platform::controls::TableView*, platform::controls::TableColumn* column,
                                     int row) override;

    void highlightSelectionInClipRect(platform::controls::Painter& p, const platform::appkit::FRect& clip) override;
    void mouseDown(const platform::appkit::Event& e) override;
    void mouseDragged(const platform::appkit::Event& e) override;
    void mouseUp(const platform::appkit::Event& e) override;
    void rightMouseUp(const platform::appkit::Event& e);
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    // Sends a notification of the point to the target.
    LRESULT notifyClick(int code, platform::appkit::Point windowPoint);

    int m_leftmousemovecnt = 0;
    bool m_leftpressed = false;  // a left press of this view awaits its release
    bool m_fakerightmouse = false;
    long style = 0;
    int ownermode_cnt = 0;
    int m_start_item = -1;
    int m_start_subitem = -1;
    int m_start_item_clickmode = 0;
    int m_lbMode = 0;
    SHIM_ListView_Rows* m_items = nullptr;
    BASE_PtrList<platform::controls::TableColumn>* m_cols = nullptr;
    SHIM_ImageList* m_status_imagelist = nullptr;
    int m_status_imagelist_type = -1;
    int m_fastClickMask = 0;
    std::optional<platform::appkit::Color> m_fgColor;
    std::vector<platform::appkit::Color>* m_selColors = nullptr;
};

// The text cell of every list-view column.
class Shim_vHalvoran_listviewcell : public platform::controls::TextFieldCell {
public:
    std::optional<platform::appkit::Color> highlightColorWithFrame(const platform::appkit::FRect& frame,
                                                                   platform::appkit::View* view) const override;
};

// The first column's cell when an image list is set: the image in a square
// at the left, the text after it.
class Shim_vHalvoran_statuscell : public Shim_vHalvoran_listviewcell {
public:
    void setStatusImage(platform::CGImageRef image) { status = image; }
    void drawWithFrame(platform::controls::Painter& p, const platform::appkit::FRect& frame,
                       platform::appkit::View* view) override;
    platform::CGImageRef status = nullptr;  // not retained
};

// The owner-drawn row of a list box: the dialog draws it on WM_DRAWITEM.
class Shim_vHalvoran_ODlistviewcell : public platform::controls::Cell {
public:
    void setOwnerControl(Shim_vHalvoran_listview* v) {
        m_ownctl = v;
        m_lastidx = 0;
    }
    void setItemIdx(int i) { m_lastidx = i; }
    void drawInteriorWithFrame(platform::controls::Painter& p, const platform::appkit::FRect& frame,
                               platform::appkit::View* view) override;

    Shim_vHalvoran_listview* m_ownctl = nullptr;
    int m_lastidx = 0;
};

// The live toolkit list view behind a handle, or null.
Shim_vHalvoran_listview* SHIM_ListViewOf(HWND h);
// A colour value (red in bits 16 to 23) as a platform colour.
platform::appkit::Color SHIM_ColorOfValue(int colour);
// The selection of a field editor's or text view's range as EM_SETSEL
// limits it: end -1 is the length, start -1 gives (0, 0), start limited
// unsigned and end signed to the length, and an end below the start swapped
// with it.
platform::controls::TextRange SHIM_EditSelection(int length, WPARAM start, LPARAM end);
