// The toolkit's message model: window and dialog procedures, the message
// numbers, and the protocol by which a toolkit object says which of the
// toolkit's operations it answers. Handles are platform views or windows;
// a toolkit class implements SHIM_Object beside its platform base and the
// toolkit asks it (SHIM_Answers) before calling an operation, so toolkit and
// plain platform objects mix in one tree.
#pragma once

#include <cstdint>

#include "shim/shim-input.h"
#include "shim/shim.h"

typedef int32_t LONG;
typedef intptr_t LONG_PTR;
typedef uintptr_t UINT_PTR;

typedef LRESULT (*WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef LRESULT (*DLGPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void (*TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
// Called for each property: (window, name, value, lParam); 0 stops the walk.
typedef BOOL (*PROPENUMPROCEX)(HWND, const char*, void*, LPARAM);

struct HMENU__;
typedef HMENU__* HMENU;

// Win32 message numbers (those of input are in shim-input.h).
enum : UINT {
    WM_CREATE = 0x0001,
    WM_DESTROY = 0x0002,
    WM_MOVE = 0x0003,
    WM_SIZE = 0x0005,
    WM_ACTIVATE = 0x0006,
    WM_PAINT = 0x000F,
    WM_CLOSE = 0x0010,
    WM_ERASEBKGND = 0x0014,
    WM_SHOWWINDOW = 0x0018,
    WM_GETMINMAXINFO = 0x0024,
    WM_CONTEXTMENU = 0x007B,
    WM_DISPLAYCHANGE = 0x007E,
    WM_NCCALCSIZE = 0x0083,
    WM_NCPAINT = 0x0085,
    WM_NCRBUTTONUP = 0x00A5,
    WM_INITDIALOG = 0x0110,
    WM_COMMAND = 0x0111,
    WM_TIMER = 0x0113,
    WM_CTLCOLORBTN = 0x0135,
    WM_CTLCOLORDLG = 0x0136,
    WM_CTLCOLORSTATIC = 0x0138,
    WM_CAPTURECHANGED = 0x0215,
};

// Window-long indices (DWL_DLGPROC in this toolkit's numbering).
enum : int {
    GWL_USERDATA = -21,
    GWL_EXSTYLE = -20,
    GWL_STYLE = -16,
    GWL_ID = -12,
    DWL_DLGPROC = -8,
    GWL_WNDPROC = -4,
};

enum : LONG { WS_EX_ACCEPTFILES = 0x10 };
// An answer to WM_INITDIALOG that focuses the dialog view itself.
constexpr LRESULT SHIM_INITDIALOG_FOCUS_SELF = 0xBEEF;

struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    void* lppos;
};

// One owned window of a toolkit window; newest first.
struct OwnedWindowListRec {
    HWND hwnd;
    OwnedWindowListRec* _next;
};

// Operations a toolkit object may answer (bits of SHIM_Object::shimAnswers).
enum SHIM_Selector : uint64_t {
    SHIM_SEL_MESSAGE = 1ull << 0,           // onShimMessage
    SHIM_SEL_WNDPROC = 1ull << 1,           // get/setShimWindowProc
    SHIM_SEL_DLGPROC = 1ull << 2,           // get/setShimDialogProc
    SHIM_SEL_USERDATA = 1ull << 3,          // get/setShimUserData
    SHIM_SEL_EXTRADATA = 1ull << 4,         // get/setShimExtraData
    SHIM_SEL_TAG = 1ull << 5,               // tag
    SHIM_SEL_SETTAG = 1ull << 6,            // setTag
    SHIM_SEL_EXSTYLE = 1ull << 7,           // shimGet/SetExtendedStyle
    SHIM_SEL_STYLE = 1ull << 8,             // get/setShimStyle
    SHIM_SEL_GETTEXT = 1ull << 9,           // onShimGetText
    SHIM_SEL_SETTEXT = 1ull << 10,          // onShimSetText
    SHIM_SEL_PROPS = 1ull << 11,            // shimSet/Get/EnumProps
    SHIM_SEL_TIMER = 1ull << 12,            // SHIM_Timer
    SHIM_SEL_CANPOST = 1ull << 13,          // shimCanPostMessage
    SHIM_SEL_DESTROYED = 1ull << 14,        // shimHasBeenDestroyed
    SHIM_SEL_CAPCHANGENOTIFY = 1ull << 15,  // shimCapChangeNotify
    SHIM_SEL_CREATEFLAGS = 1ull << 16,      // shimCreateWindowFlags
    SHIM_SEL_SETENABLED = 1ull << 17,       // setEnabled
    SHIM_SEL_MENU = 1ull << 18,             // shimGet/SetMenu
    SHIM_SEL_PAINTINFO = 1ull << 19,        // getShimPaintInfo
    SHIM_SEL_OWNER = 1ull << 20,            // shimGetOwner, shimSetOwner
    SHIM_SEL_OWNERHEAD = 1ull << 21,        // shimGetOwnerWindowHead
    SHIM_SEL_DESTROYOWNED = 1ull << 22,     // shimDestroyAllOwnedWindows
    SHIM_SEL_DESTROYSTUFF = 1ull << 23,     // shimDoDestroyStuff
    SHIM_SEL_INITIALKEY = 1ull << 24,       // the modeless window's first-show key flag
    SHIM_SEL_LASTOWNER = 1ull << 25,        // the last top-level owner kept by re-parenting
    SHIM_SEL_RADIO = 1ull << 26,            // a toolkit button's radio flags
    SHIM_SEL_OWNEDLIST = 1ull << 27,        // shimAdd/RemoveOwnedWindow
};

class SHIM_Object {
public:
    virtual ~SHIM_Object() = default;
    // Which SHIM_SEL_* operations this object answers.
    virtual uint64_t shimAnswers() const { return 0; }

    virtual LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) { return 0; }
    virtual WNDPROC getShimWindowProc() const { return nullptr; }
    virtual void setShimWindowProc(WNDPROC) {}
    virtual DLGPROC getShimDialogProc() const { return nullptr; }
    virtual void setShimDialogProc(DLGPROC) {}
    virtual LONG_PTR getShimUserData() const { return 0; }
    virtual void setShimUserData(LONG_PTR) {}
    virtual LONG getShimExtraData(int offset) const { return 0; }
    virtual void setShimExtraData(int offset, LONG value) {}
    virtual int tag() const { return 0; }
    virtual void setTag(int) {}
    virtual LONG shimGetExtendedStyle() const { return 0; }
    virtual void shimSetExtendedStyle(LONG) {}
    virtual LONG getShimStyle() const { return 0; }
    virtual void setShimStyle(LONG) {}
    virtual const char* onShimGetText() const { return nullptr; }
    virtual void onShimSetText(const char*) {}
    virtual BOOL shimSetProp(const char* name, void* value) { return FALSE; }
    virtual void* shimGetProp(const char* name, bool wantRemove) { return nullptr; }
    virtual int shimEnumProps(PROPENUMPROCEX proc, LPARAM lp) { return -1; }
    virtual void SHIM_Timer(UINT_PTR id) {}
    virtual bool shimCanPostMessage() const { return false; }
    virtual bool shimHasBeenDestroyed() const { return false; }
    virtual int shimCapChangeNotify() const { return 0; }
    virtual unsigned shimCreateWindowFlags() const { return 0; }
    virtual void setEnabled(bool) {}
    virtual HMENU shimGetMenu() const { return nullptr; }
    virtual void shimSetMenu(HMENU) {}
    // Toolkit top-level windows.
    virtual HWND shimGetOwner() const { return nullptr; }
    virtual void shimSetOwner(HWND) {}
    virtual OwnedWindowListRec** shimGetOwnerWindowHead() { return nullptr; }
    virtual void shimAddOwnedWindow(HWND) {}
    virtual void shimRemoveOwnedWindow(HWND) {}
    virtual void shimDestroyAllOwnedWindows() {}
    virtual void shimDoDestroyStuff() {}
    virtual bool wantInitialKeyWindowOnShow() const { return false; }
    virtual void setWantInitialKeyWindowOnShow(bool) {}
    virtual HWND lastTopLevelOwner() const { return nullptr; }
    virtual void setLastTopLevelOwner(HWND) {}
    // Toolkit buttons: 0 not a radio button, else bit 0 radio, bit 1 first of its group.
    virtual int shimGetRadioFlags() const { return 0; }
    virtual void shimSetRadioFlags(int) {}
};

// The toolkit object behind a live handle, or null (a stale handle, a plain
// platform object).
SHIM_Object* SHIM_ObjectOf(HWND h);
// Whether a live handle's object answers every operation of sel.
bool SHIM_Answers(HWND h, uint64_t sel);
