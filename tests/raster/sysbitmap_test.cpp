// The system bitmap: its pixels are its drawing context's, it keeps a larger
// context when shrinking and makes a new, cleared one when growing.
#include <gtest/gtest.h>

#include <climits>

#include "raster/RAST_Bitmap.h"
#include "raster/RAST_SysBitmap.h"
#include "shim/shim-gdi.h"

TEST(SysBitmap, SpanIsTheAllocatedWidthAndShrinkingKeepsTheContext) {
    RAST_SysBitmap bm(10, 10);
    ASSERT_NE(bm.getDC(), nullptr);
    EXPECT_EQ(bm.getRowSpan(), 12);
    EXPECT_FALSE(bm.isFlipped());
    EXPECT_EQ(static_cast<void*>(bm.getBits()), SHIM_GetCtxFrameBuffer(bm.getDC()));
    for (int i = 0; i < 12 * 10; ++i) ASSERT_EQ(bm.getBits()[i], 0u) << "new pixels are transparent black";

    bm.getBits()[3 * 12 + 2] = 0x11223344;
    HDC dc = bm.getDC();
    EXPECT_TRUE(bm.resize(5, 5));
    EXPECT_EQ(bm.getDC(), dc);
    EXPECT_EQ(bm.getRowSpan(), 12);
    EXPECT_EQ(bm.getWidth(), 5);
    EXPECT_EQ(bm.getBits()[3 * 12 + 2], 0x11223344u) << "shrinking keeps the pixels where they were";

    EXPECT_FALSE(bm.resize(5, 5)) << "the same size changes nothing";
    EXPECT_TRUE(bm.resize(12, 10));
    EXPECT_EQ(bm.getDC(), dc) << "back up to the allocated size";

    EXPECT_TRUE(bm.resize(20, 5));
    EXPECT_EQ(bm.getRowSpan(), 20);
    ASSERT_NE(bm.getBits(), nullptr);
    for (int i = 0; i < 20 * 5; ++i) ASSERT_EQ(bm.getBits()[i], 0u) << "growing starts from a cleared context";
    EXPECT_TRUE(bm.resize(20, 11));
    EXPECT_EQ(bm.getRowSpan(), 20);
}

TEST(SysBitmap, ToolkitDrawingLandsInTheRasterPixels) {
    RAST_SysBitmap bm(6, 4);
    HDC dc = bm.getDC();
    HGDIOBJ brush = CreateSolidBrush(0x102030);
    RECT r{1, 2, 3, 3};
    SHIM_FillRect(dc, &r, brush);
    DeleteObject(brush);
    // Row 2 (top-down), columns 1 and 2: red 0x10, green 0x20, blue 0x30.
    unsigned int p = bm.getBits()[2 * bm.getRowSpan() + 1];
    EXPECT_EQ((p >> 8) & 255, 0x10u);
    EXPECT_EQ((p >> 16) & 255, 0x20u);
    EXPECT_EQ(p >> 24, 0x30u);
    EXPECT_EQ(bm.getBits()[2 * bm.getRowSpan() + 3], 0u);
    EXPECT_EQ(bm.getBits()[1 * bm.getRowSpan() + 1], 0u);
}

TEST(SysBitmap, SidesBelowOneLeaveNoContextAndNullBits) {
    RAST_SysBitmap zeroWide(0, 10);
    EXPECT_EQ(zeroWide.getWidth(), 0);
    EXPECT_EQ(zeroWide.getHeight(), 10);
    EXPECT_EQ(zeroWide.getBits(), nullptr);
    EXPECT_EQ(zeroWide.getDC(), nullptr);

    RAST_SysBitmap bm(8, 8);
    ASSERT_NE(bm.getDC(), nullptr);
    bm.resize(-4, 5);
    EXPECT_EQ(bm.getDC(), nullptr) << "a negative side never reuses the old context";
    EXPECT_EQ(bm.getBits(), nullptr);
    bm.resize(4, -5);
    EXPECT_EQ(bm.getBits(), nullptr);
    bm.resize(INT_MAX, 2);
    EXPECT_EQ(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getWidth(), 0) << "a context that cannot be made leaves 0 x 0";
    EXPECT_EQ(bm.getHeight(), 0);
    EXPECT_TRUE(bm.resize(3, 3));
    EXPECT_NE(bm.getBits(), nullptr);
    EXPECT_EQ(bm.getRowSpan(), 4);
}

TEST(SysBitmap, RefusesTheSizesTheMemoryBitmapRefuses) {
    // 16384 x 32768 pixels of 4 bytes do not fit an int.
    RAST_SysBitmap sys(16384, 32768);
    RAST_MemBitmap mem(16384, 32768);
    EXPECT_EQ(sys.getBits(), nullptr);
    EXPECT_EQ(mem.getBits(), nullptr);
    EXPECT_EQ(sys.getWidth(), mem.getWidth());
}
