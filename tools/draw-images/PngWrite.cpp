#include "tools/draw-images/PngWrite.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "raster/RAST_Pixel.h"

namespace drawimages {

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

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const int channels = opaque ? 3 : 4;
    std::vector<png_byte> row((size_t)w * channels);
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        std::remove(path.c_str());
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, (png_uint_32)w, (png_uint_32)h, 8, opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < h; y++) {
        const unsigned int* src = bits + (size_t)(bm.isFlipped() ? h - 1 - y : y) * span;
        png_byte* out = row.data();
        for (int x = 0; x < w; x++) {
            const unsigned int p = src[x];
            *out++ = (png_byte)RAST_PixelRed(p);
            *out++ = (png_byte)RAST_PixelGreen(p);
            *out++ = (png_byte)RAST_PixelBlue(p);
            if (!opaque) *out++ = (png_byte)RAST_PixelAlpha(p);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

}  // namespace drawimages
