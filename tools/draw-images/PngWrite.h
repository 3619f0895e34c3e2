// Writes a raster bitmap as a PNG file: RGB when every pixel is opaque, else
// RGBA with straight alpha. No time or text chunks, so the same pixels always
// give the same bytes.
#pragma once

#include <string>

#include "raster/RAST_Bitmap.h"

namespace drawimages {

bool writePng(const std::string& path, RAST_IBitmap& bitmap);

}  // namespace drawimages
