// The toolkit's common controls as Win32 code drives them: the button,
// combo-box, trackbar and edit messages, control notifications, the
// combo-box and trackbar functions, control creation in dialog units, and
// the list view (its rows, columns, header, selection, hit tests and
// scrolling), with the toolkit's own numbering where it differs from Win32.
#pragma once

#include <cstdint>

#include "shim/shim-object.h"
#include "shim/shim-wnd.h"

struct SHIM_ImageList;

// ---- messages
enum : UINT {
    WM_SETFONT = 0x0030,
    WM_DRAWITEM = 0x002B,
    WM_NOTIFY = 0x004E,
    WM_HSCROLL = 0x0114,

    BM_GETCHECK = 0x00F0,
    BM_SETCHECK = 0x00F1,
    BM_GETIMAGE = 0x00F6,
    BM_SETIMAGE = 0x00F7,

    CB_ADDSTRING = 0x0143,
    CB_DELETESTRING = 0x0144,
    CB_DIR = 0x0145,
    CB_GETCOUNT = 0x0146,
    CB_GETCURSEL = 0x0147,
    CB_GETLBTEXT = 0x0148,
    CB_GETLBTEXTLEN = 0x0149,
    CB_INSERTSTRING = 0x014A,
    CB_RESETCONTENT = 0x014B,
    CB_FINDSTRING = 0x014C,
    CB_SELECTSTRING = 0x014D,
    CB_SETCURSEL = 0x014E,
    CB_SHOWDROPDOWN = 0x014F,
    CB_GETITEMDATA = 0x0150,
    CB_SETITEMDATA = 0x0151,
    CB_FINDSTRINGEXACT = 0x0158,
    CB_MSGMAX = 0x0161,

    TBM_GETPOS = 0x0400,
    TBM_GETRANGEMIN = 0x0401,
    TBM_GETRANGEMAX = 0x0402,
    TBM_GETTIC = 0x0403,
    TBM_SETTIC = 0x0404,
    TBM_SETPOS = 0x0405,
    TBM_SETRANGE = 0x0406,

    // The toolkit's own numbers for the edit messages.
    EM_GETSEL = 0xF0B0,
    EM_SETSEL = 0xF0B1,
    EM_SCROLL = 0xF0B5,

    LB_ADDSTRING = 384,
    LB_INSERTSTRING = 385,
    LB_DELETESTRING = 386,
    LB_GETTEXT = 387,
    LB_RESETCONTENT = 388,
    LB_SETSEL = 389,
    LB_SETCURSEL = 390,
    LB_GETSEL = 391,
    LB_GETCURSEL = 392,
    LB_GETCOUNT = 395,
    LB_GETSELCOUNT = 400,
    LB_GETITEMDATA = 409,
    LB_SETITEMDATA = 410,
};
enum { SB_TOP = 6, SB_BOTTOM = 7 };
enum { IMAGE_BITMAP = 0, IMAGE_ICON = 1 };

// ---- notification codes
enum : int {
    BN_CLICKED = 0,
    CBN_SELCHANGE = 1,
    CBN_EDITCHANGE = 5,
    CBN_DROPDOWN = 7,
    LBN_SELCHANGE = 1,
    LBN_DBLCLK = 2,
    NM_CLICK = -2,
    NM_DBLCLK = -3,
    NM_RCLICK = -5,
    LVN_ITEMCHANGED = -101,
    LVN_COLUMNCLICK = -108,
    LVN_BEGINDRAG = -109,
    LVN_GETDISPINFO = -150,
    TVN_SELCHANGED = -402,
};

// ---- styles
enum : LONG {
    BS_OWNERDRAW = 11,
    BS_LEFTTEXT = 0x20,
    BS_CENTER = 0x300,
    SHIM_BS_GROUPBOX = 0x20000000,
    SHIM_BS_DEFPUSHBUTTON = 0x10000000,
    SHIM_BS_PUSHBUTTON = 0x08000000,
    ES_CENTER = 1,
    ES_RIGHT = 2,
    ES_PASSWORD = 0x20,
    ES_READONLY = 0x800,
    WS_HSCROLL = 0x00100000,
    WS_VSCROLL = 0x00200000,
    SS_CENTER = 1,
    SS_RIGHT = 2,
    SS_BLACKRECT = 4,
    SS_LEFTNOWORDWRAP = 0xC,
    SS_NOTIFY = 0x100,
    CBS_DROPDOWNLIST = 3,
    CBS_SORT = 0x100,
    LBS_SORT = 2,
    LBS_OWNERDRAWFIXED = 0x10,
    LBS_EXTENDEDSEL = 0x800,
    LVS_REPORT = 1,
    LVS_SINGLESEL = 4,
    LVS_SORTASCENDING = 0x10,
    LVS_SORTDESCENDING = 0x20,
    LVS_OWNERDATA = 0x1000,
    LVS_NOCOLUMNHEADER = 0x4000,
    LVS_NOSORTHEADER = 0x8000,
    LVS_EX_GRIDLINES = 1,
    LVS_EX_HEADERDRAGDROP = 0x10,
};

// ---- list view records and numbers (the toolkit's where they differ)
enum : UINT { LVIF_TEXT = 1, LVIF_IMAGE = 2, LVIF_PARAM = 4, LVIF_STATE = 8 };
enum : UINT { LVIS_SELECTED = 1, LVIS_FOCUSED = 2, LVIS_STATEIMAGEMASK = 0xFF0000 };
enum : UINT { LVCF_FMT = 1, LVCF_WIDTH = 2, LVCF_TEXT = 4 };
enum { LVCFMT_LEFT = 0, LVCFMT_RIGHT = 1, LVCFMT_CENTER = 2 };
enum { LVNI_SELECTED = 1, LVNI_FOCUSED = 2 };
enum { LVSIL_STATE = 1, LVSIL_SMALL = 2 };
enum : UINT {
    LVHT_NOWHERE = 1,
    LVHT_ONITEMLABEL = 4,
    LVHT_ONITEMSTATEICON = 8,
    LVHT_ABOVE = 0x10,
    LVHT_BELOW = 0x20,
    LVHT_TORIGHT = 0x40,
    LVHT_TOLEFT = 0x80,
};
enum : UINT { HDI_FORMAT = 4 };
enum { HDF_SORTDOWN = 0x200, HDF_SORTUP = 0x400 };
enum { ODT_LISTBOX = 2, ODT_BUTTON = 4 };

struct NMHDR {
    HWND hwndFrom;
    UINT_PTR idFrom;
    int code;
};

struct NMLISTVIEW {
    NMHDR hdr;
    int iItem;
    int iSubItem;
    UINT uNewState;
    UINT uOldState;
    UINT uChanged;
    POINT ptAction;
    LPARAM lParam;
};

struct LVITEM {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    char* pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

struct NMLVDISPINFO {
    NMHDR hdr;
    LVITEM item;
};

struct LVCOLUMN {
    UINT mask;
    int fmt;
    int cx;
    char* pszText;
};

struct LVHITTESTINFO {
    POINT pt;
    UINT flags;
    int iItem;
    int iSubItem;
};

struct HDITEM {
    UINT mask;
    int fmt;
};

struct DRAWITEMSTRUCT {
    UINT CtlType;
    UINT CtlID;
    UINT itemID;
    UINT itemAction;
    UINT itemState;
    HWND hwndItem;
    HDC hDC;
    RECT rcItem;
    uintptr_t itemData;
};

// ---- combo boxes (either kind) and trackbars; id 0 addresses the handle
int SHIM_CB_AddString(HWND h, int id, const char* text);
int SHIM_CB_InsertString(HWND h, int id, int pos, const char* text);
void SHIM_CB_DeleteString(HWND h, int id, int index);
int SHIM_CB_GetNumItems(HWND h, int id);
int SHIM_CB_GetCurSel(HWND h, int id);
void SHIM_CB_SetCurSel(HWND h, int id, int index);
BOOL SHIM_CB_GetItemText(HWND h, int id, int index, char* buf, int size);
void SHIM_CB_Empty(HWND h, int id);
LPARAM SHIM_CB_GetItemData(HWND h, int id, int index);
void SHIM_CB_SetItemData(HWND h, int id, int index, LPARAM value);
int SHIM_CB_FindString(HWND h, int id, int startAfter, const char* text, bool exact);
// The "add" position of SHIM_CB_InsertString: at the end, or sorted.
constexpr int SHIM_CB_ADD_POSITION = -1000;

int SHIM_TB_GetPos(HWND h, int id);
void SHIM_TB_SetPos(HWND h, int id, int pos);
void SHIM_TB_SetRange(HWND h, int id, int low, int high);
void SHIM_TB_SetTic(HWND h, int id, int pos);

// ---- control creation in dialog units
void SHIM_MakeSetCurParms(float x_scale, float y_scale, float x_offset, float y_offset, HWND parent, bool auto_shift,
                          bool size_to_fit);
HWND SHIM_MakeButton(int is_default, const char* label, int id, int x, int y, int w, int h, int flags);
HWND SHIM_MakeEditField(int id, int x, int y, int w, int h, int flags);
HWND SHIM_MakeLabel(int align, const char* label, int id, int x, int y, int w, int h, int flags);
HWND SHIM_MakeCheckBox(const char* text, int id, int x, int y, int w, int h, int flags);
HWND SHIM_MakeListBox(int id, int x, int y, int w, int h, int style);
HWND SHIM_MakeCombo(int id, int x, int y, int w, int h, int flags);
HWND SHIM_MakeGroupBox(const char* text, int id, int x, int y, int w, int h, int style);
HWND SHIM_MakeControl(const char* text, int id, const char* class_name, int style, int x, int y, int w, int h,
                      int ex_style);
typedef HWND (*SHIM_ControlCreator)(HWND parent, const char* text, int id, const char* class_name, int style, int x,
                                    int y, int w, int h);
void SHIM_RegisterCustomControlCreator(SHIM_ControlCreator proc);
void SHIM_UnregisterCustomControlCreator(SHIM_ControlCreator proc);
// The class name of the horizontal fader (a slider without the mini size).
constexpr const char* SHIM_FADER_CLASS = "SHIM_Fader";
// 1 selects the flat look for push buttons and drop-down lists.
extern int32_t g_shim_want_nice_style;

// ---- list views
int ListView_GetItemCount(HWND h);
int ListView_InsertItem(HWND h, const LVITEM* item);
void ListView_DeleteItem(HWND h, int i);
void ListView_DeleteAllItems(HWND h);
void ListView_SetItemCount(HWND h, int n);
void ListView_SetItemText(HWND h, int i, int sub, const char* text);
BOOL ListView_GetItemText(HWND h, int i, int sub, char* buf, int size);
BOOL ListView_GetItem(HWND h, LVITEM* item);
BOOL ListView_SetItem(HWND h, LVITEM* item);
BOOL ListView_SetItemState(HWND h, int i, UINT state, UINT mask);
UINT ListView_GetItemState(HWND h, int i, UINT mask);
void ListView_RedrawItems(HWND h, int first, int last);
int ListView_GetNextItem(HWND h, int start, int flags);
int ListView_GetSelectedCount(HWND h);
int ListView_GetSelectionMark(HWND h);
typedef int (*PFNLVCOMPARE)(LPARAM a, LPARAM b, LPARAM sort);
void ListView_SortItems(HWND h, PFNLVCOMPARE compare, LPARAM sort);

void ListView_InsertColumn(HWND h, int pos, const LVCOLUMN* col);
void ListView_SetColumn(HWND h, int col, const LVCOLUMN* lvc);
BOOL ListView_DeleteColumn(HWND h, int col);
int ListView_GetColumnWidth(HWND h, int col);
void ListView_SetColumnWidth(HWND h, int col, int w);
BOOL ListView_GetColumnOrderArray(HWND h, int n, int* out);
BOOL ListView_SetColumnOrderArray(HWND h, int n, const int* order);
HWND ListView_GetHeader(HWND h);
int Header_GetItemCount(HWND h);
BOOL Header_GetItem(HWND h, int col, HDITEM* item);
BOOL Header_SetItem(HWND h, int col, const HDITEM* item);
int SHIM_GetListViewHeaderHeight(HWND h);

void ListView_SetExtendedListViewStyleEx(HWND h, int mask, int style);
void SHIM_SetListViewFastClickMask(HWND h, int mask);
void ListView_SetImageList(HWND h, SHIM_ImageList* list, int which);
void ListView_SetBkColor(HWND h, int colour);
void ListView_SetGridColor(HWND h, int colour);
void ListView_SetTextColor(HWND h, int colour);
void ListView_SetTextBkColor(HWND h, int colour);
void ListView_SetSelColors(HWND h, const int* colours, int n);

int ListView_HitTest(HWND h, LVHITTESTINFO* info);
int ListView_SubItemHitTest(HWND h, LVHITTESTINFO* info);
BOOL ListView_GetItemRect(HWND h, int i, RECT* r, int code);
BOOL ListView_GetSubItemRect(HWND h, int i, int sub, int code, RECT* r);
void ListView_EnsureVisible(HWND h, int i, BOOL partial);
int ListView_GetTopIndex(HWND h);
int ListView_GetCountPerPage(HWND h);
BOOL ListView_Scroll(HWND h, int dx, int dy);
BOOL ListView_GetScroll(HWND h, POINT* p);
