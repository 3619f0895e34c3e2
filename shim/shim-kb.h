// Keyboard and cursor: platform key events as Win32 virtual keys with
// accelerator flags, the state of keys and buttons right now, and mouse
// cursors (standard, built-in, from cursor files and resources), the cursor's
// visibility, position and the relative-mouse mode of a hidden cursor.
//
// Screen positions are the toolkit's: origin at the lower-left of the main
// display, y upward.
#pragma once

#include <cstdint>

#include "shim/SHIM_Types.h"
#include "shim/shim.h"

namespace platform {
struct NSImage;
namespace appkit {
class Cursor;
struct CursorImage;
class View;
struct Event;
}  // namespace appkit
}  // namespace platform

typedef platform::appkit::Cursor* HCURSOR;

// Accelerator flags of a translated key. The platform's Command key plays
// Windows' Ctrl (FCONTROL); its Control key is 0x20.
enum : int {
    FVIRTKEY = 1,
    FSHIFT = 4,
    FCONTROL = 8,
    FALT = 0x10,
    SHIM_FLAG_MACCONTROL = 0x20,
};

enum : int {
    VK_LBUTTON = 1,
    VK_RBUTTON = 2,
    VK_MBUTTON = 4,
    VK_BACK = 8,
    VK_TAB = 9,
    VK_RETURN = 13,
    VK_SHIFT = 16,
    VK_CONTROL = 17,
    VK_MENU = 18,
    VK_ESCAPE = 27,
    VK_SPACE = 32,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_LWIN = 91,
    VK_NUMPAD0 = 0x60,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_NUMLOCK = 0x90,
};

// Standard cursor ids of SHIM_LoadCursor (this toolkit's numbering).
enum : int {
    IDC_ARROW = -999,
    IDC_SIZEWE = -1000,
    IDC_SIZENS = -1001,
    IDC_SIZEALL = -1002,
    IDC_NO = -1003,
    IDC_UPARROW = -1004,
    IDC_IBEAM = -1005,
    IDC_SIZENWSE = -1006,
    IDC_SIZENESW = -1007,
    IDC_HAND = 32649,
};

// The right-click emulation flag (Control-click as a right click).
void SHIM_EnableRightClickEmulate(bool on);
bool IsRightClickEmulateEnabled();

// ---- keyboard
// A key event (null: the event being delivered now) as a virtual-key code or
// character, with its flags in *flags when given. Mode 1 prefers the text
// typed with modifiers and asks the keyboard layout for keys without text.
int SHIM_MacKeyToWindowsKeyEx(const platform::appkit::Event* e, int* flags, int mode);
int SHIM_MacKeyToWindowsKey(const platform::appkit::Event* e, int* flags);
// Shift plus a digit key (flags exactly FVIRTKEY | FSHIFT) as the US
// keyboard's shifted character, *newFlags set to 0; else 0.
int SHIM_KeyToASCII(int code, int flags, int* newFlags);
// 0x8000 while the key or mouse button is down.
short GetAsyncKeyState(int vk);

// ---- cursors
// An image's pixels with straight alpha, rows upside down when flip is set;
// false for no image.
bool SHIM_StraightPixels(const platform::NSImage* image, bool flip, platform::appkit::CursorImage* out);
// One cursor resource of the module: its id and file, filled as it is used.
struct SHIM_CursorResourceIndex {
    int resid;
    const char* resname;
    int hsx, hsy;
    HCURSOR cachedCursor;
    SHIM_CursorResourceIndex* _next;
};
extern SHIM_CursorResourceIndex* SHIM_curmodule_cursorresource_head;

// Standard and built-in cursors belong to the toolkit; resource cursors are
// kept for the life of the process. Null for an unknown id.
HCURSOR SHIM_LoadCursor(int id);
// A new cursor the caller owns (delete it with SHIM_DestroyCursor); null
// when no image loads.
HCURSOR SHIM_LoadCursorFromFile(const char* path);
void SHIM_DestroyCursor(HCURSOR c);
// A cursor from a built-in 16 x 16 bitmap: per byte, grey in the high four
// bits, opacity in the low four. Hot spot (8, 8).
HCURSOR MakeCursorFromData(const unsigned char* bits);

void SHIM_SetCursor(HCURSOR c);
HCURSOR SHIM_GetCursor();
HCURSOR SHIM_GetLastSetCursor();
// Moves the show/hide counter by one and returns it; visible at 0 and above.
int SHIM_ShowCursor(bool show);
bool SHIM_IsCursorVisible();
BOOL SHIM_SetCursorPos(int x, int y);
void GetCursorPos(POINT* p);
DWORD GetMessagePos();

// The image of a cursor name: a bundle resource (".cur" added) or a file;
// hotspot, when given and the file is a cursor file, gets its hot spot.
// The caller owns the image.
platform::NSImage* shim_imageFromCursorString(const char* name, POINT* hotspot);

// An event's position in a view's coordinates (relative-mouse mode: the
// virtual position, moved by a WM_MOUSEMOVE's deltas).
struct SHIM_PointF {
    double x, y;
};
SHIM_PointF shimProcessMouseEvent(int msg, platform::appkit::View* view, const platform::appkit::Event* e);
// The one road of every mouse message to a window object (its hit test
// first, the cursor after); -1 when the window cannot take it.
LRESULT SHIM_SendMouseMessage(platform::appkit::View* view, UINT msg, const platform::appkit::Event* e);
