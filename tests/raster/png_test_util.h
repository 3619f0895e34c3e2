// Writes small PNG images with libpng for the loader tests, and edits their
// chunks (with fresh CRCs) to make damaged ones.
#pragma once

#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

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

inline void WriteToVector(png_structp png, png_bytep data, png_size_t n) {
    auto* v = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    v->insert(v->end(), data, data + n);
}
inline void NoFlush(png_structp) {}

// rows: samples per row (channels x width values).
inline std::vector<uint8_t> Encode(const PngShape& s, const std::vector<std::vector<unsigned>>& rows) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    std::vector<std::vector<uint8_t>> packed;
    std::vector<png_bytep> ptrs;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png encode failed");
    }
    png_set_write_fn(png, &out, WriteToVector, NoFlush);
    png_set_IHDR(png, info, s.width, s.height, s.depth, s.colorType,
                 s.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (!s.palette.empty()) png_set_PLTE(png, info, s.palette.data(), (int)s.palette.size());
    if (!s.paletteAlpha.empty()) png_set_tRNS(png, info, s.paletteAlpha.data(), (int)s.paletteAlpha.size(), nullptr);
    if (s.hasTrnsColor) png_set_tRNS(png, info, nullptr, 0, &s.trnsColor);
    for (const auto& r : rows) packed.push_back(PackRow(r, s.depth));
    for (auto& r : packed) ptrs.push_back(r.data());
    png_set_rows(png, info, ptrs.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
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
