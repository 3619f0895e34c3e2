// Writes small PNG images of every shape for the loader tests, and edits
// their chunks (with fresh CRCs) to make damaged ones.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "raster/RAST_PngWrite.h"

namespace pngtest {

struct PngShape {
    int width = 0, height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int depth = 8;
    bool interlace = false;
    std::vector<png_color> palette;
    std::vector<uint8_t> paletteAlpha;  // tRNS for palette images
    bool hasTrnsColor = false;
    png_color_16 trnsColor{};
};

inline int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_GRAY:
        case PNG_COLOR_TYPE_PALETTE:
            return 1;
        case PNG_COLOR_TYPE_GRAY_ALPHA:
            return 2;
        case PNG_COLOR_TYPE_RGB:
            return 3;
        default:
            return 4;
    }
}

// Packs one row of samples (one value per channel and pixel) at the depth,
// most significant bits first, 16-bit samples big-endian.
inline std::vector<uint8_t> PackRow(const std::vector<unsigned>& samples, int depth) {
    std::vector<uint8_t> out;
    if (depth == 16) {
        for (unsigned s : samples) out.push_back((uint8_t)(s >> 8)), out.push_back((uint8_t)s);
        return out;
    }
    if (depth == 8) {
        for (unsigned s : samples) out.push_back((uint8_t)s);
        return out;
    }
    int perByte = 8 / depth, bit = 0;
    uint8_t cur = 0;
    for (unsigned s : samples) {
        cur |= (uint8_t)((s & ((1u << depth) - 1)) << (8 - depth - bit * depth));
        if (++bit == perByte) out.push_back(cur), cur = 0, bit = 0;
    }
    if (bit) out.push_back(cur);
    return out;
}

// rows: samples per row (channels x width values).
inline std::vector<uint8_t> Encode(const PngShape& s, const std::vector<std::vector<unsigned>>& rows) {
    RAST_PngImage im;
    im.width = s.width;
    im.height = s.height;
    im.colorType = s.colorType;
    im.depth = s.depth;
    im.interlace = s.interlace;
    im.compressionLevel = -1;
    for (const auto& r : rows) im.rows.push_back(PackRow(r, s.depth));
    for (const png_color& c : s.palette) im.palette.insert(im.palette.end(), {c.red, c.green, c.blue});
    im.paletteAlpha = s.paletteAlpha;
    im.hasTransparentColour = s.hasTrnsColor;
    im.transparentColour[0] = s.colorType == PNG_COLOR_TYPE_GRAY ? s.trnsColor.gray : s.trnsColor.red;
    im.transparentColour[1] = s.trnsColor.green;
    im.transparentColour[2] = s.trnsColor.blue;
    std::vector<uint8_t> out;
    if (!RAST_EncodePng(im, &out)) throw std::runtime_error("png encode failed");
    return out;
}

struct Chunk {
    size_t offset;  // of the length field
    uint32_t length;
    std::string type;
};

inline uint32_t Be32(const uint8_t* p) { return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | p[2] << 8 | p[3]; }
inline void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = (uint8_t)(v >> 24), p[1] = (uint8_t)(v >> 16), p[2] = (uint8_t)(v >> 8), p[3] = (uint8_t)v;
}

inline std::vector<Chunk> Chunks(const std::vector<uint8_t>& png) {
    std::vector<Chunk> out;
    size_t pos = 8;
    while (pos + 12 <= png.size()) {
        uint32_t len = Be32(&png[pos]);
        out.push_back(Chunk{pos, len, std::string(reinterpret_cast<const char*>(&png[pos + 4]), 4)});
        pos += 12 + (size_t)len;
    }
    return out;
}

// Recomputes the CRC of the chunk at offset.
inline void FixCrc(std::vector<uint8_t>& png, const Chunk& c) {
    uint32_t crc = (uint32_t)crc32(0, &png[c.offset + 4], 4 + c.length);
    PutBe32(&png[c.offset + 8 + c.length], crc);
}

}  // namespace pngtest
