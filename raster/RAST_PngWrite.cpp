#include "raster/RAST_PngWrite.h"

#include <png.h>

#include <cstdio>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_Pixel.h"

namespace {

void appendToVector(png_structp png, png_bytep data, png_size_t n) {
    auto* v = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
    v->insert(v->end(), data, data + n);
}
void noFlush(png_structp) {}

// The libpng calls alone, so that nothing this frame holds changes after the
// setjmp: the rows and the chunks' data are ready before.
bool encode(const RAST_PngImage& im, png_bytepp rows, png_colorp palette, int paletteSize, png_color_16p transparent,
            std::vector<unsigned char>* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendToVector, noFlush);
    png_set_compression_level(png, im.compressionLevel);
    png_set_IHDR(png, info, static_cast<png_uint_32>(im.width), static_cast<png_uint_32>(im.height), im.depth,
                 im.colorType, im.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (paletteSize > 0) png_set_PLTE(png, info, palette, paletteSize);
    if (!im.paletteAlpha.empty())
        png_set_tRNS(png, info, const_cast<png_bytep>(im.paletteAlpha.data()), static_cast<int>(im.paletteAlpha.size()),
                     nullptr);
    if (transparent) png_set_tRNS(png, info, nullptr, 0, transparent);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

RAST_PngImage RAST_PngFromBitmap(RAST_IBitmap& bm, RAST_PngAlpha alpha) {
    RAST_PngImage im;
    const int w = bm.getWidth(), h = bm.getHeight(), span = bm.getRowSpan();
    const unsigned int* bits = bm.getBits();
    if (w < 1 || h < 1 || !bits) return im;
    bool keep = alpha == RAST_PngAlpha::kKeep;
    if (alpha == RAST_PngAlpha::kWhenTranslucent)
        for (int y = 0; y < h && !keep; y++)
            for (int x = 0; x < w && !keep; x++) keep = RAST_PixelAlpha(bits[(size_t)y * span + x]) != 255;
    im.width = w;
    im.height = h;
    im.colorType = keep ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB;
    im.rows.resize(h);
    for (int y = 0; y < h; y++) {
        const unsigned int* src = bits + (size_t)(bm.isFlipped() ? h - 1 - y : y) * span;
        std::vector<unsigned char>& row = im.rows[y];
        row.reserve((size_t)w * (keep ? 4 : 3));
        for (int x = 0; x < w; x++) {
            row.push_back((unsigned char)RAST_PixelRed(src[x]));
            row.push_back((unsigned char)RAST_PixelGreen(src[x]));
            row.push_back((unsigned char)RAST_PixelBlue(src[x]));
            if (keep) row.push_back((unsigned char)RAST_PixelAlpha(src[x]));
        }
    }
    return im;
}

RAST_PngImage RAST_PngFromXRGB(const unsigned int* pixels, int width, int height) {
    RAST_PngImage im;
    if (!pixels || width < 1 || height < 1) return im;
    im.width = width;
    im.height = height;
    im.rows.resize(height);
    for (int y = 0; y < height; y++) {
        std::vector<unsigned char>& row = im.rows[y];
        row.reserve((size_t)width * 3);
        for (int x = 0; x < width; x++) {
            const unsigned int p = pixels[(size_t)y * width + x];
            row.push_back((unsigned char)(p >> 16));
            row.push_back((unsigned char)(p >> 8));
            row.push_back((unsigned char)p);
        }
    }
    return im;
}

bool RAST_EncodePng(const RAST_PngImage& im, std::vector<unsigned char>* out) {
    if (!out || im.width < 1 || im.height < 1 || (int)im.rows.size() != im.height) return false;
    // libpng reads each row for as many bytes as the header says.
    int channels = 1;
    if (im.colorType == PNG_COLOR_TYPE_RGB) channels = 3;
    if (im.colorType == PNG_COLOR_TYPE_GRAY_ALPHA) channels = 2;
    if (im.colorType == PNG_COLOR_TYPE_RGBA) channels = 4;
    const size_t rowBytes = ((size_t)im.width * channels * im.depth + 7) / 8;
    std::vector<png_bytep> rows;
    for (const auto& r : im.rows) {
        if (r.size() < rowBytes) return false;
        rows.push_back(const_cast<png_bytep>(r.data()));
    }
    std::vector<png_color> palette;
    for (size_t i = 0; i + 2 < im.palette.size(); i += 3)
        palette.push_back(png_color{im.palette[i], im.palette[i + 1], im.palette[i + 2]});
    png_color_16 transparent{};
    transparent.red = transparent.gray = im.transparentColour[0];
    transparent.green = im.transparentColour[1];
    transparent.blue = im.transparentColour[2];
    out->clear();
    return encode(im, rows.data(), palette.data(), (int)palette.size(),
                  im.hasTransparentColour ? &transparent : nullptr, out);
}

bool RAST_WritePng(const std::string& path, const RAST_PngImage& image) {
    std::vector<unsigned char> bytes;
    if (!RAST_EncodePng(image, &bytes)) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !written) {
        std::remove(path.c_str());
        return false;
    }
    return true;
}
