#include "tools/draw-images/PngWrite.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "raster/RAST_Pixel.h"

namespace drawimages {

namespace {

// The libpng calls alone, so that nothing this frame holds changes after the
// setjmp: the pixels are already bytes in rows.
bool encode(FILE* f, png_uint_32 w, png_uint_32 h, int colourType, png_bytepp rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, w, h, 8, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const std::string& path, RAST_IBitmap& bm) {
    const int w = bm.getWidth(), h = bm.getHeight(), span = bm.getRowSpan();
    const unsigned int* bits = bm.getBits();
    if (w < 1 || h < 1 || !bits) return false;
    bool opaque = true;
    for (int y = 0; y < h && opaque; y++)
        for (int x = 0; x < w; x++)
            if (RAST_PixelAlpha(bits[(size_t)y * span + x]) != 255) {
                opaque = false;
                break;
            }

    const int channels = opaque ? 3 : 4;
    std::vector<png_byte> bytes((size_t)w * h * channels);
    std::vector<png_bytep> rows(h);
    for (int y = 0; y < h; y++) {
        const unsigned int* src = bits + (size_t)(bm.isFlipped() ? h - 1 - y : y) * span;
        png_byte* out = rows[y] = bytes.data() + (size_t)y * w * channels;
        for (int x = 0; x < w; x++) {
            const unsigned int p = src[x];
            *out++ = (png_byte)RAST_PixelRed(p);
            *out++ = (png_byte)RAST_PixelGreen(p);
            *out++ = (png_byte)RAST_PixelBlue(p);
            if (!opaque) *out++ = (png_byte)RAST_PixelAlpha(p);
        }
    }

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written =
        encode(f, (png_uint_32)w, (png_uint_32)h, opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, rows.data());
    if (std::fclose(f) != 0 || !written) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}

}  // namespace drawimages
