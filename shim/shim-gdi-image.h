// Bitmap objects, icons and named images, blits between drawing contexts,
// clip regions, the dialog background, system colours and image lists, on
// the records of shim-gdi.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "shim/shim-gdi.h"

namespace platform {
// The toolkit's images: premultiplied pixels (bytes alpha, red, green, blue)
// behind a CoreGraphics image, a size and a flipped flag. Reference counted.
struct NSImage {
    std::atomic<int> refs{1};
    std::vector<uint8_t> pixels;
    CGImageRef image = nullptr;
    double width = 0, height = 0;
    bool flipped = false;
};
NSImage* NSImageRetain(NSImage* image);
void NSImageRelease(NSImage* image);
}  // namespace platform

// A new image over a copy of w x h premultiplied pixels (bytes alpha, red,
// green, blue); null for a bad size.
platform::NSImage* SHIM_NewImage(int w, int h, const unsigned char* argb);
// The widest and tallest image the toolkit loads from a PNG file: a larger
// one is refused from its header, before any pixel memory is taken (icon
// and cursor images stop at 1,024).
constexpr int SHIM_MAX_IMAGE_SIDE = 4096;
// An image file as the platform reads it (PNG, or an icon or cursor file);
// null when it cannot be read or is larger than the limits.
platform::NSImage* SHIM_LoadImageFile(const char* path);
// An icon or cursor file held in memory (its largest image); null when the
// data is not one.
platform::NSImage* SHIM_ImageFromIconData(const uint8_t* data, size_t size);
// The largest image file the toolkit reads.
constexpr size_t SHIM_MAX_IMAGE_FILE = 4096000;

struct ICONINFO {
    int fIcon;
    uint32_t xHotspot;
    uint32_t yHotspot;
    HGDIOBJ hbmMask;
    HGDIOBJ hbmColor;
};

struct SHIM_ImageList;
typedef SHIM_ImageList* HIMAGELIST;

// The blit mode whose source byte 0 is straight alpha blended over the
// destination; every other mode copies opaquely.
constexpr int SHIM_BLIT_SOURCE_ALPHA = (int)0xDEADBEEF;

// A bitmap object of w x h premultiplied pixels given as bytes alpha, red,
// green, blue, rows packed (null bits: transparent). Only 32 bits per pixel
// in one plane are made; null otherwise.
HGDIOBJ CreateBitmap(int w, int h, int planes, int bitsPerPixel, const unsigned char* bits);
// A bitmap object sharing the colour bitmap's image; null unless fIcon is
// set and hbmColor is a bitmap object with an image.
HGDIOBJ CreateIconIndirect(const ICONINFO* info);
// An image from a file (a name holding "/") or the bundle's image of that
// name, at most SHIM_MAX_IMAGE_SIDE a side; magenta (255, 0, 255) pixels
// become transparent when asked.
HGDIOBJ LoadNamedImage(const char* name, bool magentaTransparent);
// With size 8: the image's width and height, rounded (1); else zeros (0).
int GetObject(HGDIOBJ obj, int size, void* out);
platform::NSImage* GetNSImageFromHICON(HGDIOBJ obj);
// Draws the whole image upright into r, source over.
void DrawImageInRect(HDC hdc, HGDIOBJ bitmap, const RECT* r);

// Copies (and scales) pixels of a memory context into a context.
void BitBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int mode);
void StretchBlt(HDC dest, int x, int y, int w, int h, HDC src, int sx, int sy, int sw, int sh, int mode);

// Push and pop save and restore the whole graphics state; set intersects
// the clip with r.
void SHIM_PushClipRegion(HDC hdc);
void SHIM_SetClipRegion(HDC hdc, const RECT* r);
void SHIM_PopClipRegion(HDC hdc);

void SHIM_FillDialogBackground(HDC hdc, const RECT* r, int unused);
// The system colour table (0x00RRGGBB), indexes 0 to 9; 0 otherwise.
int GetSysColor(int index);

HIMAGELIST ImageList_CreateEx();
// Stores a new bitmap object sharing the icon's image at index (replacing
// and deleting what was there) or at the end; the index, or -1.
int ImageList_ReplaceIcon(HIMAGELIST list, int index, HGDIOBJ icon);
// A negative index empties the list; 1 when done, 0 for a bad list or index.
int ImageList_Remove(HIMAGELIST list, int index);
void ImageList_Destroy(HIMAGELIST list);
int ImageList_GetImageCount(HIMAGELIST list);
// The entry at index (null when removed or outside the list).
HGDIOBJ SHIM_ImageListGet(HIMAGELIST list, int index);
