// Window input: the numbers of mouse, key and gesture messages, and how
// platform wheel and gesture amounts become their arguments.
#pragma once

#include <cstdint>

#include "shim/SHIM_Types.h"
#include "shim/shim.h"

#define WM_KEYDOWN 0x100
#define WM_KEYUP 0x101
#define WM_GESTURE 0x119
#define WM_MOUSEMOVE 0x200
#define WM_LBUTTONDOWN 0x201
#define WM_LBUTTONUP 0x202
#define WM_LBUTTONDBLCLK 0x203
#define WM_RBUTTONDOWN 0x204
#define WM_RBUTTONUP 0x205
#define WM_RBUTTONDBLCLK 0x206
#define WM_MBUTTONDOWN 0x207
#define WM_MBUTTONUP 0x208
#define WM_MBUTTONDBLCLK 0x209
#define WM_MOUSEWHEEL 0x20A
#define WM_MOUSEHWHEEL 0x20E
#define WM_NCMOUSEMOVE 0xA0
#define WM_NCHITTEST 0x84
#define WM_SETCURSOR 0x20
#define WM_MOUSEACTIVATE 0x21
#define WM_GETOBJECT 0x3D
#define HTCLIENT 1

#define GF_BEGIN 1
#define GF_END 4
#define GID_ZOOM 3
#define GID_PAN 4
#define GID_ROTATE 5

// The record a WM_GESTURE's lParam points at. cbSize holds its size, 56
// bytes with 8-byte window handles; a record that says less is refused.
struct GESTUREINFO {
    uint32_t cbSize;  // sizeof(GESTUREINFO)
    uint32_t dwFlags;
    uint32_t dwID;
    HWND hwndTarget;
    struct {
        int16_t x, y;
    } ptsLocation;
    uint32_t dwInstanceID;
    uint32_t dwSequenceID;
    uint64_t ullArguments;
    uint32_t cbExtraArgs;
};
static_assert(sizeof(GESTUREINFO) == 56, "one layout for the gesture record");

// The wheel wParam of a platform scroll delta: the delta times 60, truncated
// toward zero, in the high 16 bits (0 for a delta that is not a number).
WPARAM SHIM_WheelParam(double delta);
// The end arguments of a zoom step (1024 is no change, 512 to 2048) and of a
// rotation in degrees (32767 is none, 0 to 65535).
uint64_t SHIM_ZoomGestureArgument(double magnification);
uint64_t SHIM_RotateGestureArgument(double degrees);
