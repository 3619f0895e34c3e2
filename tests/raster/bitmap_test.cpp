#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

#include "raster/RAST_Bitmap.h"

namespace {

TEST(RastPixel, ChannelsSitInTheirBytes) {
    unsigned int p = RAST_MakePixel(0x11, 0x22, 0x33, 0x44);
    EXPECT_EQ(p, 0x44332211u);
    const unsigned char* b = (const unsigned char*)&p;
    EXPECT_EQ(b[RAST_BYTE_ALPHA], 0x11);
    EXPECT_EQ(b[RAST_BYTE_RED], 0x22);
    EXPECT_EQ(b[RAST_BYTE_GREEN], 0x33);
    EXPECT_EQ(b[RAST_BYTE_BLUE], 0x44);
    EXPECT_EQ(RAST_PixelAlpha(p), 0x11u);
    EXPECT_EQ(RAST_PixelRed(p), 0x22u);
    EXPECT_EQ(RAST_PixelGreen(p), 0x33u);
    EXPECT_EQ(RAST_PixelBlue(p), 0x44u);
    // Channels are masked to 8 bits.
    EXPECT_EQ(RAST_MakePixel(0x1FF, -1, 0x100, 2), 0x0200FFFFu);
    EXPECT_EQ(RAST_PixelToShimColor(p), 0x223344);
    EXPECT_EQ(RAST_ModeChanCopy(RAST_BYTE_ALPHA, RAST_BYTE_RED), 0xF4);
    EXPECT_EQ(RAST_ModeChanCopy(RAST_BYTE_RED, RAST_BYTE_RED), 0xF5);
}

TEST(RastPixel, OpacityTruncatesAndStaysBounded) {
    EXPECT_EQ(RAST_AlphaToInt(1.0), 256);
    EXPECT_EQ(RAST_AlphaToInt(0.5), 128);
    EXPECT_EQ(RAST_AlphaToInt(0.3), 76);
    EXPECT_EQ(RAST_AlphaToInt(0.001), 0);
    EXPECT_EQ(RAST_AlphaToInt(-0.3), -76);
    EXPECT_EQ(RAST_AlphaToInt(1e30), RAST_ALPHA_LIMIT);
    EXPECT_EQ(RAST_AlphaToInt(-1e30), -RAST_ALPHA_LIMIT);
    EXPECT_EQ(RAST_AlphaToInt(__builtin_nan("")), 0);
}

TEST(RastMemBitmap, EmptyBitmap) {
    RAST_MemBitmap bm(0, 0, 4);
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth(), 0);
    EXPECT_EQ(bm.getHeight(), 0);
    EXPECT_EQ(bm.getRowSpan(), 0);
    EXPECT_FALSE(bm.resize(0, 0));
    EXPECT_FALSE(bm.isFlipped());
    EXPECT_EQ(bm.getDC(), nullptr);
    EXPECT_EQ(bm.Extended(1, nullptr), 0);
}

TEST(RastMemBitmap, SpanAlignmentAndBits) {
    RAST_MemBitmap bm(5, 3, 4);
    EXPECT_EQ(bm.getWidth(), 5);
    EXPECT_EQ(bm.getHeight(), 3);
    EXPECT_EQ(bm.getRowSpan(), 8);
    EXPECT_EQ(bm.getAllocatedSize(), 96);
    ASSERT_NE(bm.getBits(), nullptr);
    EXPECT_EQ((uintptr_t)bm.getBits() % 64, 0u);
    // Every usable byte is writable (ASan would object otherwise).
    for (int i = 0; i < 8 * 3; i++) bm.getBits()[i] = (unsigned)i;

    EXPECT_EQ(RAST_MemBitmap(5, 1, 1).getRowSpan(), 5);
    EXPECT_EQ(RAST_MemBitmap(5, 1, 0).getRowSpan(), 5);
    EXPECT_EQ(RAST_MemBitmap(5, 1, 16).getRowSpan(), 16);
    EXPECT_EQ(RAST_MemBitmap(5, 1, 12).getRowSpan(), 8);    // lowest set bit of 12 is 4
    EXPECT_EQ(RAST_MemBitmap(17, 1, 64).getRowSpan(), 32);  // capped at 16 pixels
    EXPECT_EQ(RAST_MemBitmap(17, 1, 0x80000000u).getRowSpan(), 32);
}

TEST(RastMemBitmap, BlockOnlyGrowsByAQuarter) {
    RAST_MemBitmap bm(100, 100, 4);
    EXPECT_EQ(bm.getAllocatedSize(), 40000);
    unsigned int* bits = bm.getBits();
    bits[0] = 0xDEADBEEF;
    EXPECT_FALSE(bm.resize(100, 100));
    EXPECT_TRUE(bm.resize(50, 50));
    EXPECT_EQ(bm.getBits(), bits);
    EXPECT_EQ(bm.getAllocatedSize(), 40000);
    EXPECT_EQ(bm.getRowSpan(), 52);
    EXPECT_EQ(bits[0], 0xDEADBEEF);  // contents kept
    EXPECT_TRUE(bm.resize(100, 100));
    EXPECT_EQ(bm.getBits(), bits);
    EXPECT_TRUE(bm.resize(101, 100));
    EXPECT_EQ(bm.getRowSpan(), 104);
    EXPECT_EQ(bm.getAllocatedSize(), 104 * 100 * 4 * 5 / 4);
    EXPECT_EQ((uintptr_t)bm.getBits() % 64, 0u);
    for (int i = 0; i < 104 * 100; i++) bm.getBits()[i] = 1;
}

TEST(RastMemBitmap, SideBelowOneGivesEmptyBitmap) {
    RAST_MemBitmap bm(10, 10, 4);
    EXPECT_TRUE(bm.resize(0, 10));
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth(), 0);
    EXPECT_EQ(bm.getHeight(), 0);

    // Two negative sides must not multiply out to a positive byte count.
    RAST_MemBitmap neg(-5, -5, 4);
    EXPECT_EQ(neg.getBits(), nullptr);
    EXPECT_EQ(neg.getWidth(), 0);
    EXPECT_EQ(neg.getHeight(), 0);
    EXPECT_EQ(neg.getRowSpan(), 0);
    EXPECT_EQ(neg.getAllocatedSize(), 0);

    RAST_MemBitmap one(1, -1, 4);
    EXPECT_EQ(one.getBits(), nullptr);
    EXPECT_EQ(one.getHeight(), 0);
}

TEST(RastMemBitmap, OversizedIsAnAllocationFailureNotAShortBlock) {
    // 65536 x 65536 x 4 bytes wraps to 0 in 32-bit arithmetic; 40000 x 40000 x 4
    // wraps to a small positive number.
    for (int side : {65536, 40000, INT_MAX}) {
        RAST_MemBitmap bm(side, side, 4);
        EXPECT_EQ(bm.getBits(), nullptr) << side;
        EXPECT_EQ(bm.getWidth(), 0) << side;
        EXPECT_EQ(bm.getHeight(), 0) << side;
    }
    // Growing an existing bitmap past the limit empties it too.
    RAST_MemBitmap bm(10, 10, 4);
    EXPECT_TRUE(bm.resize(40000, 40000));
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth(), 0);
    EXPECT_TRUE(bm.resize(3, 3));
    ASSERT_NE(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getRowSpan(), 4);
}

TEST(RastMemBitmap, DeletedThroughTheBase) {
    RAST_IBitmap* bm = new RAST_MemBitmap(7, 7, 4);
    EXPECT_EQ(bm->getRowSpan(), 8);
    delete bm;
}

}  // namespace
