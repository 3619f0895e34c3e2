// Win32-shaped value types and handle types shared by the toolkit and the
// raster library. The records behind the handles belong to the toolkit's
// drawing-context code; here they are only declared.
#pragma once

#include <cstdint>

struct RECT {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

struct POINT {
    int32_t x;
    int32_t y;
};

struct HDC__;
typedef HDC__* HDC;
struct HGDIOBJ__;
typedef HGDIOBJ__* HGDIOBJ;

namespace platform::appkit {
class Responder;
}  // namespace platform::appkit
// A window handle: a platform view or window.
typedef platform::appkit::Responder* HWND;
