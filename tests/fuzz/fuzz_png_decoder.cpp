// Any bytes through the PNG loader beside libpng set up as the loader once
// set it up: the same verdict, and the same bytes in a given bitmap, the
// rows written before a failure included.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "raster/RAST_PNG.h"
#include "tests/raster/png_test_util.h"

namespace {

// The header's size, wherever the header is; false when there is none.
bool HeaderSize(const std::vector<uint8_t>& png, uint64_t* pixels) {
    for (size_t pos = 8; pos + 20 <= png.size();) {
        const uint32_t len = pngtest::Be32(&png[pos]);
        if (memcmp(&png[pos + 4], "IHDR", 4) == 0) {
            *pixels = (uint64_t)pngtest::Be32(&png[pos + 8]) * pngtest::Be32(&png[pos + 12]);
            return true;
        }
        pos += 12 + (size_t)len;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // A private copy, so that a read past the end trips the sanitizer.
    std::vector<uint8_t> bytes(data, data + size);
    uint64_t pixels = 0;
    // Both sides would take the memory of a large image.
    if (size > 1u << 24 || (HeaderSize(bytes, &pixels) && pixels > (1u << 20))) return 0;
    int w = 0, h = 0;
    std::vector<uint8_t> want;
    const bool ok = pngtest::LibpngDecode(bytes.data(), bytes.size()).run(&want, &w, &h, 0xA5);
    RAST_MemBitmap bm(w > 0 ? w : 1, h > 0 ? h : 1, 4);
    for (int y = 0; y < bm.getHeight(); ++y)
        memset(bm.getBits() + (size_t)y * bm.getRowSpan(), 0xA5, (size_t)bm.getWidth() * 4);
    RAST_IBitmap* got = RAST_LoadPNGFromMemory(bytes.data(), (int)bytes.size(), &bm);
    if ((got != nullptr) != ok) std::abort();
    if (w > 0 && (bm.getWidth() != w || bm.getHeight() != h)) std::abort();
    for (int y = 0; y < h; ++y)
        if (memcmp(bm.getBits() + (size_t)y * bm.getRowSpan(), want.data() + (size_t)y * w * 4, (size_t)w * 4))
            std::abort();
    return 0;
}
