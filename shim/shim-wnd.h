// Win32-style functions on window handles: navigation, window longs, item
// text and numbers, visibility, destruction, geometry, focus, invalidation,
// modal sessions (window management); focus and point helpers, painting
// entry points, capture, DefWindowProc, properties, dropped files, system
// metrics, child search and enumeration, opening files (window utilities);
// and SendMessage.
//
// A handle is a live platform view or window; anything else makes a call a
// no-op with its neutral result.
#pragma once

#include "shim/shim-gdi-window.h"
#include "shim/shim-object.h"

namespace platform::appkit {
class Window;
struct Event;
}  // namespace platform::appkit

// ShowWindow commands in the toolkit's own numbering.
enum { SW_HIDE = 0, SW_SHOWNA = 1, SW_SHOW = 2, SW_SHOWMINIMIZED = 3 };
// SetWindowPos flags in the toolkit's own numbering.
enum { SWP_NOMOVE = 1, SWP_NOSIZE = 2, SWP_NOZORDER = 4 };
// GetWindow commands.
enum { GW_HWNDFIRST = 0, GW_HWNDLAST = 1, GW_HWNDNEXT = 2, GW_HWNDPREV = 3, GW_OWNER = 4, GW_CHILD = 5 };
#define HWND_TOP ((HWND)(intptr_t)0)
#define HWND_BOTTOM ((HWND)(intptr_t)1)
#define HWND_TOPMOST ((HWND)(intptr_t)-1)
#define HWND_NOTOPMOST ((HWND)(intptr_t)-2)
enum { BST_UNCHECKED = 0, BST_CHECKED = 1, BST_INDETERMINATE = 2 };
enum { SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYVSCROLL = 20, SM_CXHSCROLL = 21 };
enum { IDCANCEL = 2 };
enum : UINT { EN_CHANGE = 0x300 };

// Toolkit class numbers answered for GWL_STYLE.
enum : LONG {
    BS_AUTOCHECKBOX = 3,
    BS_AUTO3STATE = 6,
    BS_AUTORADIOBUTTON = 9,
    WS_GROUP = 0x20000,
    WS_THICKFRAME = 0x40000,
    WS_CAPTION = 0xC00000,
    WS_CHILD = 0x40000000,
};

// ---- message dispatch
LRESULT SendMessage(HWND h, UINT msg, WPARAM wp, LPARAM lp);

// ---- navigation and lookup
HWND GetParent(HWND h);
HWND GetDlgItem(HWND h, int id);
HWND GetWindow(HWND h, int cmd);
BOOL IsChild(HWND parent, HWND child);
BOOL IsWindow(HWND h);
HWND SetParent(HWND h, HWND newParent);
HWND SHIM_NavigateUpScrollClipViews(HWND h);
BOOL IsEquivalentTextView(HWND a, HWND b);

// ---- window longs (32-bit: ids, styles, extra words; procedures and user
// data through the pointer-sized pair)
LONG GetWindowLong(HWND h, int index);
LONG SetWindowLong(HWND h, int index, LONG value);
LONG_PTR GetWindowLongPtr(HWND h, int index);
LONG_PTR SetWindowLongPtr(HWND h, int index, LONG_PTR value);

// ---- text and numbers
BOOL GetDlgItemText(HWND h, int id, char* buf, int size);
BOOL SetDlgItemText(HWND h, int id, const char* text);
BOOL SetDlgItemInt(HWND h, int id, int value, BOOL isSigned);
int GetDlgItemInt(HWND h, int id, BOOL* translated, BOOL isSigned);
void CheckDlgButton(HWND h, int id, int check);
int IsDlgButtonChecked(HWND h, int id);

// ---- visibility, focus and life
BOOL IsWindowVisible(HWND h);
void ShowWindow(HWND h, int cmd);
void DestroyWindow(HWND h);
void SHIM_CloseWindow(HWND h);
void EnableWindow(HWND h, BOOL enable);
void SetFocus(HWND h);
void SetForegroundWindow(HWND h);
HWND GetForegroundWindow();
HWND GetCapture();
void SHIM_HideApp();
void CenterWindow(HWND h);

// ---- geometry
BOOL GetWindowRect(HWND h, RECT* r);
void GetWindowContentViewRect(HWND h, RECT* r);
void GetClientRect(HWND h, RECT* r);
void ClientToScreen(HWND h, POINT* p);
void ScreenToClient(HWND h, POINT* p);
void SHIM_GetViewPort(RECT* out, const RECT* src, bool workArea);
void SetWindowPos(HWND h, HWND insertAfter, int x, int y, int cx, int cy, int flags);
void InvalidateRect(HWND h, const RECT* r, BOOL erase);

// ---- modal sessions
void* SHIM_ModalWindowStart(HWND h);
BOOL SHIM_ModalWindowRun(void* session, int* ret);
void SHIM_ModalWindowEnd(void* session);

// ---- gestures: copies the record a gesture message's lParam points to;
// false for a null pointer or a record whose cbSize is below our size
BOOL SHIM_GetGestureInfo(LPARAM lp, GESTUREINFO* out);

// ---- focus, points and painting
HWND GetFocus();
HWND WindowFromPoint(POINT p);
void UpdateWindow(HWND h);
void SHIM_FlushWindow(HWND h);
HDC BeginPaint(HWND h, PAINTSTRUCT* ps);
BOOL EndPaint(HWND h, PAINTSTRUCT* ps);

// ---- capture
HWND SetCapture(HWND h);
void ReleaseCapture();

// ---- properties
BOOL SetProp(HWND h, const char* name, void* value);
void* GetProp(HWND h, const char* name);
void* RemoveProp(HWND h, const char* name);
int EnumPropsEx(HWND h, PROPENUMPROCEX proc, LPARAM lp);

// ---- dropped files: a global memory block in the DROPFILES layout
struct DROPFILES {
    uint32_t pFiles;
    POINT pt;
    int32_t fNC;
    int32_t fWide;
};
typedef HGLOBAL HDROP;
BOOL DragQueryPoint(HDROP h, POINT* p);
UINT DragQueryFile(HDROP h, UINT index, char* buf, UINT size);
void DragFinish(HDROP h);

// ---- other
LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp);
void SHIM_BroadcastMessage(UINT msg, WPARAM wp, LPARAM lp);
int GetSystemMetrics(int index);
BOOL ScrollWindow(HWND h, int dx, int dy, const RECT* scrollRect, const RECT* clipRect);
HWND FindWindowEx(HWND parent, HWND after, const char* className, const char* title);
typedef BOOL (*WNDENUMPROC)(HWND, LPARAM);
BOOL EnumChildWindows(HWND h, WNDENUMPROC proc, LPARAM lp);
// Hands a raw mouse event of a window to a view that claims it as a
// non-client part; TRUE when one took it.
BOOL SHIM_HandleMouseEvent(platform::appkit::Window* w, const platform::appkit::Event& e);
BOOL ShellExecute(HWND h, const char* verb, const char* file, const char* parms, const char* dir, int show);
