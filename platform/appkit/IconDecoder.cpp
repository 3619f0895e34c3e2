#include "platform/appkit/IconDecoder.h"

#include <png.h>

#include <cstring>
#include <vector>

namespace platform::appkit {

namespace {

// Icons are small; this bounds what a hostile header can make us allocate.
constexpr int kMaxSide = 1024;

// Little-endian reads from a range that the caller has checked.
uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t u32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

// A byte range inside the data; every read asks it first.
struct Span {
    const uint8_t* data;
    size_t size;
    bool has(uint64_t offset, uint64_t length) const { return offset <= size && length <= size - offset; }
};

std::optional<CursorImage> decodePng(Span s) {
    png_image img;
    std::memset(&img, 0, sizeof img);
    img.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&img, s.data, s.size)) return std::nullopt;
    if (img.width < 1 || img.height < 1 || img.width > kMaxSide || img.height > kMaxSide) {
        png_image_free(&img);
        return std::nullopt;
    }
    img.format = PNG_FORMAT_BGRA;  // bytes B, G, R, A: little-endian 0xAARRGGBB words
    CursorImage out;
    out.width = static_cast<int>(img.width);
    out.height = static_cast<int>(img.height);
    out.argb.resize(static_cast<size_t>(out.width) * out.height);
    if (!png_image_finish_read(&img, nullptr, out.argb.data(), 0, nullptr)) {
        png_image_free(&img);
        return std::nullopt;
    }
    return out;
}

std::optional<CursorImage> decodeBitmap(Span s) {
    if (!s.has(0, 40)) return std::nullopt;
    const uint32_t headerSize = u32(s.data);
    const auto width = static_cast<int32_t>(u32(s.data + 4));
    const auto doubledHeight = static_cast<int32_t>(u32(s.data + 8));
    const uint16_t bpp = u16(s.data + 14);
    const uint32_t compression = u32(s.data + 16);
    const uint32_t used = u32(s.data + 32);
    if (headerSize < 40 || !s.has(0, headerSize)) return std::nullopt;
    // The height counts the colour rows and the mask rows.
    const int32_t height = doubledHeight / 2;
    if (width < 1 || width > kMaxSide || height < 1 || height > kMaxSide || compression != 0) return std::nullopt;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32) return std::nullopt;
    uint64_t colours = 0;
    if (bpp <= 8) {
        colours = used ? used : (1u << bpp);
        if (colours > 256) return std::nullopt;
    }
    const uint64_t paletteAt = headerSize;
    const uint64_t pixelsAt = paletteAt + colours * 4;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bpp + 31) / 32) * 4;
    const uint64_t maskAt = pixelsAt + stride * height;
    const uint64_t maskStride = ((static_cast<uint64_t>(width) + 31) / 32) * 4;
    if (!s.has(paletteAt, colours * 4) || !s.has(pixelsAt, stride * height)) return std::nullopt;
    const bool mask = s.has(maskAt, maskStride * height);
    if (!mask && bpp != 32) return std::nullopt;  // only colours with alpha can do without

    CursorImage out;
    out.width = width;
    out.height = height;
    out.argb.resize(static_cast<size_t>(width) * height);
    bool anyAlpha = false;
    for (int y = 0; y < height; ++y) {
        // Rows are stored bottom-up.
        const uint8_t* row = s.data + pixelsAt + stride * (height - 1 - y);
        for (int x = 0; x < width; ++x) {
            uint32_t px = 0;
            if (bpp == 32) {
                px = u32(row + x * 4);
                anyAlpha = anyAlpha || (px >> 24) != 0;
            } else if (bpp == 24) {
                const uint8_t* p = row + x * 3;
                px = 0xFF000000u | (p[2] << 16) | (p[1] << 8) | p[0];
            } else {
                const int perByte = 8 / bpp;
                const uint8_t byte = row[x / perByte];
                const int shift = (perByte - 1 - x % perByte) * bpp;
                const uint32_t index = (byte >> shift) & ((1u << bpp) - 1);
                if (index < colours) {
                    const uint8_t* c = s.data + paletteAt + index * 4;
                    px = 0xFF000000u | (c[2] << 16) | (c[1] << 8) | c[0];
                }
            }
            out.argb[static_cast<size_t>(y) * width + x] = px;
        }
    }
    // The mask gives the transparency unless the colours carry their own.
    if (mask && !(bpp == 32 && anyAlpha)) {
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = s.data + maskAt + maskStride * (height - 1 - y);
            for (int x = 0; x < width; ++x) {
                const bool clear = (row[x / 8] >> (7 - x % 8)) & 1;
                uint32_t& px = out.argb[static_cast<size_t>(y) * width + x];
                px = clear ? 0 : (px | 0xFF000000u);
            }
        }
    }
    return out;
}

}  // namespace

std::optional<CursorImage> decodeIconFile(const uint8_t* data, size_t size) {
    const Span file{data, data ? size : 0};
    if (!file.has(0, 6)) return std::nullopt;
    const uint16_t type = u16(data + 2), count = u16(data + 4);
    if (u16(data) != 0 || (type != 1 && type != 2) || count == 0 || !file.has(6, uint64_t(count) * 16))
        return std::nullopt;
    // The largest image that decodes.
    std::optional<CursorImage> best;
    for (int i = 0; i < count; ++i) {
        const uint8_t* entry = data + 6 + i * 16;
        const uint32_t length = u32(entry + 8), offset = u32(entry + 12);
        if (!file.has(offset, length)) continue;
        const Span image{data + offset, length};
        static const uint8_t kPng[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
        auto decoded =
            image.has(0, 8) && std::memcmp(image.data, kPng, 8) == 0 ? decodePng(image) : decodeBitmap(image);
        if (decoded && (!best || int64_t(decoded->width) * decoded->height > int64_t(best->width) * best->height))
            best = std::move(decoded);
    }
    return best;
}

}  // namespace platform::appkit
