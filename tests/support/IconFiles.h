#pragma once
// Windows icon and cursor files built in memory, for the decoder's tests and
// fuzz seeds.
#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

namespace icontest {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

// One bitmap image: straight 0xAARRGGBB pixels, top row first. Depths of 8
// bits or less get a palette of the opaque colours (in order of first use);
// pixels with alpha below 128 are cleared by the mask.
inline Bytes bitmapImage(int w, int h, int bpp, const std::vector<uint32_t>& argb, bool withMask = true) {
    Bytes b;
    put32(b, 40);
    put32(b, uint32_t(w));
    put32(b, uint32_t(h * 2));
    put16(b, 1);
    put16(b, uint16_t(bpp));
    for (int i = 0; i < 6; ++i) put32(b, 0);
    std::vector<uint32_t> palette;
    if (bpp <= 8) {
        for (uint32_t p : argb)
            if ((p >> 24) >= 128 && palette.size() < (1u << bpp) &&
                std::find(palette.begin(), palette.end(), p | 0xFF000000u) == palette.end())
                palette.push_back(p | 0xFF000000u);
        palette.resize(1u << bpp, 0);
        for (uint32_t c : palette) put32(b, c & 0xFFFFFF);
    }
    const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4, maskStride = ((size_t(w) + 31) / 32) * 4;
    for (int y = h - 1; y >= 0; --y) {
        Bytes row(stride, 0);
        for (int x = 0; x < w; ++x) {
            uint32_t p = argb[size_t(y) * w + x];
            if (bpp == 32) {
                for (int k = 0; k < 4; ++k) row[x * 4 + k] = uint8_t(p >> (8 * k));
            } else if (bpp == 24) {
                for (int k = 0; k < 3; ++k) row[x * 3 + k] = uint8_t(p >> (8 * k));
            } else {
                auto it = std::find(palette.begin(), palette.end(), p | 0xFF000000u);
                uint32_t index = (p >> 24) >= 128 && it != palette.end() ? uint32_t(it - palette.begin()) : 0;
                int perByte = 8 / bpp;
                row[x / perByte] |= uint8_t(index << ((perByte - 1 - x % perByte) * bpp));
            }
        }
        b.insert(b.end(), row.begin(), row.end());
    }
    if (withMask)
        for (int y = h - 1; y >= 0; --y) {
            Bytes row(maskStride, 0);
            for (int x = 0; x < w; ++x)
                if ((argb[size_t(y) * w + x] >> 24) < 128) row[x / 8] |= uint8_t(0x80 >> (x % 8));
            b.insert(b.end(), row.begin(), row.end());
        }
    return b;
}

// The file: type 1 icon, 2 cursor; entries in order, images after them.
// A cursor's entry carries its hot spot where an icon has planes and depth.
inline Bytes iconFile(uint16_t type, const std::vector<std::pair<int, Bytes>>& sizedImages,
                      std::pair<uint16_t, uint16_t> hot = {0, 0}) {
    Bytes f;
    put16(f, 0);
    put16(f, type);
    put16(f, uint16_t(sizedImages.size()));
    uint32_t offset = uint32_t(6 + 16 * sizedImages.size());
    for (const auto& [side, image] : sizedImages) {
        f.push_back(uint8_t(side));
        f.push_back(uint8_t(side));
        f.push_back(0);
        f.push_back(0);
        put16(f, type == 2 ? hot.first : 1);
        put16(f, type == 2 ? hot.second : 32);
        put32(f, uint32_t(image.size()));
        put32(f, offset);
        offset += uint32_t(image.size());
    }
    for (const auto& sized : sizedImages) f.insert(f.end(), sized.second.begin(), sized.second.end());
    return f;
}

}  // namespace icontest
