// PNG images into raster bitmaps, decoded to 8-bit alpha, red, green, blue
// (straight alpha; alpha 255 for images without it; 16-bit samples keep
// their high byte). Every colour type, bit depth and interlacing is read;
// every chunk's CRC and the image data's Adler-32 are checked, and what
// libpng would accept or refuse is accepted or refused alike.
//
// Each loader fills and returns the bitmap given, or with none creates a
// RAST_MemBitmap that the caller then owns. Any failure (missing file, not a
// PNG, damaged data, a bitmap that cannot take the image's size) gives null
// and leaves nothing allocated. A header that is refused (a side over
// 1,000,000 pixels among others) leaves a given bitmap as it was; damaged
// image data leaves in it the rows decoded before the damage.
#pragma once

#include <cstddef>

#include "raster/RAST_Bitmap.h"

struct png_struct_def;
typedef struct png_struct_def png_struct;

RAST_IBitmap* RAST_LoadPNG(const char* path, RAST_IBitmap* bitmap);
// Rows go top-down from the bitmap's first memory row, flipped or not.
RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int size, RAST_IBitmap* bitmap);
// A file below the resource folder of the bundle this library is in (a
// relative path such as "img/knob.png"); names over 400 bytes give null.
RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bitmap);
// Numbered resources do not exist here: always null.
RAST_IBitmap* RAST_LoadPNGFromResource(void* module, int id, RAST_IBitmap* bitmap);

// The library's image formats, each a loader record in one process-wide list.
struct RAST_ImageLoader_rec {
    RAST_IBitmap* (*loadfunc)(const char* path, bool checkFileName, RAST_IBitmap* bitmap);
    // A file-dialog filter list: description, NUL, pattern, NUL, NUL.
    const char* (*get_extlist)();
    RAST_ImageLoader_rec* _next;
};
extern RAST_ImageLoader_rec* RAST_ImageLoader_list;

// libpng's read callback for memory blocks: zero-fills what lies past the end.
void staticPngReadFunc(png_struct* png, unsigned char* out, size_t count);

class RAST_PNGLoader {
public:
    // With checkFileName, only paths ending in ".png" (any case) are loaded.
    static RAST_IBitmap* loadfunc(const char* path, bool checkFileName, RAST_IBitmap* bitmap);
    static const char* get_extlist();
};
