#pragma once
// The one PNG writer of the tree, for the tools, the host, the benchmarks and
// the tests (the editor itself only reads PNG). It writes no time or text
// chunks, so the same pixels always give the same bytes.
#include <string>
#include <vector>

class RAST_IBitmap;

// An image as PNG stores it.
struct RAST_PngImage {
    int width = 0, height = 0;
    int colorType = 2;  // PNG's: 0 grey, 2 RGB, 3 palette, 4 grey and alpha, 6 RGBA
    int depth = 8;      // bits per sample
    bool interlace = false;
    std::vector<std::vector<unsigned char>> rows;  // packed samples, top row first
    std::vector<unsigned char> palette;            // red, green, blue per entry
    std::vector<unsigned char> paletteAlpha;       // alpha per palette entry
    bool hasTransparentColour = false;
    unsigned short transparentColour[3] = {};  // red, green, blue; grey in [0]
    int compressionLevel = 9;
};

enum class RAST_PngAlpha { kDrop, kKeep, kWhenTranslucent };

// A raster bitmap's pixels as RGB or RGBA (straight alpha), top row first
// whichever way the bitmap's rows run.
RAST_PngImage RAST_PngFromBitmap(RAST_IBitmap& bitmap, RAST_PngAlpha alpha = RAST_PngAlpha::kWhenTranslucent);
// Pixels 0x00RRGGBB, rows of width pixels (a window's store, an X image), as
// RGB.
RAST_PngImage RAST_PngFromXRGB(const unsigned int* pixels, int width, int height);

// False when libpng refuses the image (a size of 0, a depth the colour type
// has not, rows too short).
bool RAST_EncodePng(const RAST_PngImage& image, std::vector<unsigned char>* out);
// False, and no file left behind, when the image or the file fails.
bool RAST_WritePng(const std::string& path, const RAST_PngImage& image);
