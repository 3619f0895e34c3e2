#include "raster/RAST_PNG.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <strings.h>

#include <string>

#include "base/BASE_RegularFile.h"
#include "platform/corefoundation/Bundle.h"

namespace {

// Where the memory reader stands in the caller's block.
struct MemReader {
    const unsigned char* ptr;
    int left;
};

// Everything a load holds that must be let go on any way out. It lives in
// the caller's frame, not in the frame that calls setjmp, so nothing in it
// is left indeterminate by a longjmp.
struct PngLoad {
    png_structp png = nullptr;
    png_infop info = nullptr;
    RAST_IBitmap* created = nullptr;
    png_bytep* rows = nullptr;
    bool ok = false;

    ~PngLoad() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        free(rows);
        if (!ok) delete created;
    }
};

// Failures are reported by the null result alone.
void QuietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void QuietWarning(png_structp, png_const_charp) {}

// Red, green, blue, alpha bytes to alpha, red, green, blue: on a little-endian
// word, a rotation left by 8.
void AlphaToFront(unsigned int* p, int n) {
    for (int i = 0; i < n; ++i) p[i] = (p[i] << 8) | (p[i] >> 24);
}

// Decodes into the given bitmap, or into a new one kept in st->created.
// Input is already attached to st->png. With followFlip, rows follow a
// flipped bitmap's picture order.
RAST_IBitmap* Decode(PngLoad* st, RAST_IBitmap* given, bool followFlip) {
    png_set_longjmp_fn(st->png, longjmp, sizeof(jmp_buf));
    if (setjmp(png_jmpbuf(st->png))) return nullptr;

    png_read_info(st->png, st->info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, type = 0, interlace = 0, compression = 0, filter = 0;
    png_get_IHDR(st->png, st->info, &width, &height, &depth, &type, &interlace, &compression, &filter);

    if (type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(st->png);
    if (type == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(st->png);
    if (png_get_valid(st->png, st->info, PNG_INFO_tRNS)) {
        png_set_tRNS_to_alpha(st->png);
        type |= PNG_COLOR_MASK_ALPHA;
    }
    if (depth == 16)
        png_set_strip_16(st->png);
    else if (depth < 8)
        png_set_packing(st->png);
    if (type == PNG_COLOR_TYPE_GRAY || type == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(st->png);
    // Rows with alpha come out red, green, blue, alpha. libpng's own move of
    // the alpha byte to the front is a byte loop over every row; for a plain
    // (not interlaced) image each row is turned here instead, as one word
    // rotation while the row is still in the cache.
    const bool turnRows = (type & PNG_COLOR_MASK_ALPHA) && interlace == PNG_INTERLACE_NONE;
    if (type & PNG_COLOR_MASK_ALPHA) {
        if (!turnRows) png_set_swap_alpha(st->png);
    } else {
        png_set_filler(st->png, 255, PNG_FILLER_BEFORE);
    }

    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return nullptr;
    const int w = (int)width, h = (int)height;
    // Rows must come out as 4 bytes a pixel, or nothing is written.
    png_set_interlace_handling(st->png);
    png_read_update_info(st->png, st->info);
    if (png_get_rowbytes(st->png, st->info) != (size_t)w * 4) return nullptr;
    RAST_IBitmap* bm = given;
    if (bm) {
        bm->resize(w, h);
    } else {
        st->created = bm = new (std::nothrow) RAST_MemBitmap(w, h, 4);
        if (!bm) return nullptr;
    }
    // Never write through a short or missing block.
    unsigned int* bits = bm->getBits();
    const int span = bm->getRowSpan();
    if (bm->getWidth() != w || bm->getHeight() != h || !bits || span < w) return nullptr;

    st->rows = static_cast<png_bytep*>(malloc(sizeof(png_bytep) * (size_t)h));
    if (!st->rows) return nullptr;
    const bool flip = followFlip && bm->isFlipped();
    for (int i = 0; i < h; ++i) {
        int memRow = flip ? h - 1 - i : i;
        st->rows[i] = reinterpret_cast<png_bytep>(bits + (size_t)memRow * span);
    }
    if (!turnRows) {
        png_read_image(st->png, st->rows);
        return bm;
    }
    for (int i = 0; i < h; ++i) {
        png_read_row(st->png, st->rows[i], nullptr);
        AlphaToFront(reinterpret_cast<unsigned int*>(st->rows[i]), w);
    }
    return bm;
}

RAST_IBitmap* Finish(PngLoad& st, RAST_IBitmap* result) {
    st.ok = result != nullptr;
    return result;
}

bool MakeStructs(PngLoad& st) {
    st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, QuietError, QuietWarning);
    if (!st.png) return false;
    st.info = png_create_info_struct(st.png);
    return st.info != nullptr;
}

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    MemReader* r = static_cast<MemReader*>(png_get_io_ptr(png));
    size_t n = count < (size_t)r->left ? count : (size_t)r->left;
    if (n) memcpy(out, r->ptr, n);
    memset(out + n, 0, count - n);
    r->ptr += n;
    r->left -= (int)n;
}

const char kExtList[] = "PNG files (*.PNG)\0*.PNG\0";

const char* PngExtList() { return kExtList; }

RAST_ImageLoader_rec g_pngLoaderRec = {RAST_PNGLoader::loadfunc, PngExtList, nullptr};

// Linked in at start-up, at the head of the list.
struct PngLoaderRegistration {
    PngLoaderRegistration() {
        g_pngLoaderRec._next = RAST_ImageLoader_list;
        RAST_ImageLoader_list = &g_pngLoaderRec;
    }
} g_pngLoaderRegistration;

}  // namespace

// Constant-initialised, so registrations from any file may run first.
RAST_ImageLoader_rec* RAST_ImageLoader_list = nullptr;

// libpng's memory read callback.
void staticPngReadFunc(png_structp png, png_bytep out, png_size_t count) { ReadFromMemory(png, out, count); }

RAST_IBitmap* RAST_LoadPNG(const char* path, RAST_IBitmap* bitmap) {
    if (!path) return nullptr;
    FILE* fp = BASE_OpenRegularFileStream(path);
    if (!fp) return nullptr;
    RAST_IBitmap* result = nullptr;
    {
        PngLoad st;
        if (MakeStructs(st)) {
            png_init_io(st.png, fp);
            result = Finish(st, Decode(&st, bitmap, true));
        }
    }
    fclose(fp);
    return result;
}

RAST_IBitmap* RAST_LoadPNGFromMemory(const void* data, int size, RAST_IBitmap* bitmap) {
    if (!data || size < 8 || png_sig_cmp(static_cast<png_const_bytep>(data), 0, 8)) return nullptr;
    MemReader reader{static_cast<const unsigned char*>(data), size};
    PngLoad st;
    if (!MakeStructs(st)) return nullptr;
    png_set_read_fn(st.png, &reader, staticPngReadFunc);
    return Finish(st, Decode(&st, bitmap, false));
}

RAST_IBitmap* RAST_LoadPNGFromNamedResource(const char* name, RAST_IBitmap* bitmap) {
    if (!name || strlen(name) > 400) return nullptr;
    // The bundle is the folder of the library (or program) this code is in;
    // its resource folder is "resources".
    const platform::cf::Bundle bundle =
        platform::cf::Bundle::containing(reinterpret_cast<const void*>(&RAST_LoadPNGFromNamedResource));
    const std::string& root = bundle.root();
    if (!bundle.valid() || root.size() > 1536) return nullptr;
    return RAST_LoadPNG((root + "/resources/" + name).c_str(), bitmap);
}

RAST_IBitmap* RAST_LoadPNGFromResource(void* module, int id, RAST_IBitmap* bitmap) { return nullptr; }

RAST_IBitmap* RAST_PNGLoader::loadfunc(const char* path, bool checkFileName, RAST_IBitmap* bitmap) {
    if (!path) return nullptr;
    if (checkFileName) {
        const char* ext = path;
        for (const char* p = path; *p; ++p)
            if (*p == '.' || *p == '/' || *p == '\\') ext = p;
        if (strcasecmp(ext, ".png") != 0) return nullptr;
    }
    return RAST_LoadPNG(path, bitmap);
}

const char* RAST_PNGLoader::get_extlist() { return kExtList; }
