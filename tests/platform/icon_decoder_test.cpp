#include <gtest/gtest.h>

#include "platform/appkit/IconDecoder.h"
#include "support/IconFiles.h"

using namespace icontest;
using platform::appkit::decodeIconFile;

namespace {

// Four colours and a transparent corner, 3 x 2 (odd widths pad every row).
const std::vector<uint32_t> kPixels = {0x00000000, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF, 0xFF102030};

std::vector<uint32_t> decoded(const Bytes& file) {
    auto img = decodeIconFile(file.data(), file.size());
    return img ? img->argb : std::vector<uint32_t>{};
}

Bytes withByte(Bytes b, size_t at, uint8_t v) {
    b.at(at) = v;
    return b;
}

Bytes with32(Bytes b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b.at(at + i) = uint8_t(v >> (8 * i));
    return b;
}

}  // namespace

TEST(IconDecoder, EveryDepthWithItsMask) {
    for (int bpp : {1, 4, 8, 24, 32}) {
        SCOPED_TRACE(bpp);
        std::vector<uint32_t> in = kPixels;
        if (bpp == 1)  // two colours: one and the transparent corner
            for (auto& p : in)
                if (p) p = 0xFFFF0000;
        EXPECT_EQ(decoded(iconFile(1, {{3, bitmapImage(3, 2, bpp, in)}})), in);
    }
}

TEST(IconDecoder, AlphaOrMask) {
    std::vector<uint32_t> soft = kPixels;
    soft[1] = 0x80FF0000;  // half transparent red, kept as it is
    EXPECT_EQ(decoded(iconFile(1, {{3, bitmapImage(3, 2, 32, soft, false)}})), soft);
    // Colours without any alpha take the mask's.
    std::vector<uint32_t> noAlpha = kPixels;
    for (auto& p : noAlpha) p &= 0xFFFFFF;
    Bytes masked = bitmapImage(3, 2, 32, noAlpha);
    // The mask clears pixel 0 only.
    for (size_t i = masked.size() - 8; i < masked.size(); ++i) masked[i] = 0;
    masked[masked.size() - 4] = 0x80;
    std::vector<uint32_t> want = kPixels;
    want[0] = 0;
    EXPECT_EQ(decoded(iconFile(1, {{3, masked}})), want);
}

TEST(IconDecoder, TakesTheLargestImage) {
    std::vector<uint32_t> big(16 * 16, 0xFF123456);
    auto img = decodeIconFile(nullptr, 0);
    EXPECT_FALSE(img);
    Bytes file = iconFile(1, {{3, bitmapImage(3, 2, 8, kPixels)}, {16, bitmapImage(16, 16, 24, big)}});
    img = decodeIconFile(file.data(), file.size());
    ASSERT_TRUE(img);
    EXPECT_EQ(img->width, 16);
    EXPECT_EQ(img->argb, big);
}

TEST(IconDecoder, RefusesWhatPointsPastTheData) {
    const Bytes good = iconFile(1, {{3, bitmapImage(3, 2, 8, kPixels)}});
    const size_t entry = 6, image = 6 + 16;
    Bytes truncatedPixels = good;
    truncatedPixels.resize(image + 40 + 256 * 4 + 4);
    truncatedPixels = with32(truncatedPixels, entry + 8, uint32_t(truncatedPixels.size() - image));
    const struct {
        const char* what;
        Bytes file;
    } bad[] = {
        {"header cut", Bytes(good.begin(), good.begin() + 5)},
        {"reserved word", withByte(good, 0, 1)},
        {"type 3", withByte(good, 2, 3)},
        {"no images", withByte(good, 4, 0)},
        {"more entries than bytes", withByte(good, 4, 200)},
        {"offset past the end", with32(good, entry + 12, uint32_t(good.size()))},
        {"offset wraps", with32(good, entry + 12, 0xFFFFFFF0u)},
        {"length past the end", with32(good, entry + 8, uint32_t(good.size()))},
        {"header size too small", with32(good, image, 12)},
        {"header size past the image", with32(good, image, 0x10000)},
        {"width 0", with32(good, image + 4, 0)},
        {"width beyond bounds", with32(good, image + 4, 5000)},
        {"negative height", with32(good, image + 8, uint32_t(-4))},
        {"compressed", with32(good, image + 16, 1)},
        {"16 bits", withByte(good, image + 14, 16)},
        {"palette of 300", with32(good, image + 32, 300)},
        {"pixels cut short", truncatedPixels},
        {"mask cut from 8 bits", Bytes(good.begin(), good.end() - 1)},
    };
    for (const auto& b : bad) {
        SCOPED_TRACE(b.what);
        // A copy of exactly the data, so a read beyond it trips the sanitizer.
        std::vector<uint8_t> exact(b.file);
        EXPECT_FALSE(decodeIconFile(exact.data(), exact.size()));
    }
}
