#include "framework/ByteChunk.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ByteChunk, PutAppendsNativeBytesAndGetReadsThemBack) {
    ByteChunk c;
    EXPECT_EQ(c.Size(), 0);
    EXPECT_EQ(c.GetBytes(), nullptr);
    EXPECT_EQ(c.HeapBuf().GetGranul(), 4096);
    uint32_t word = 0x01000000;
    double d = -2.5;
    EXPECT_EQ(c.Put(&word), 4);
    EXPECT_EQ(c.Put(&d), 12);
    EXPECT_EQ(c.At(3), 0x01);  // little-endian
    EXPECT_EQ(c.At(0), 0x00);
    uint32_t w2 = 0;
    double d2 = 0;
    EXPECT_EQ(c.Get(&w2, 0), 4);
    EXPECT_EQ(c.Get(&d2, 4), 12);
    EXPECT_EQ(w2, word);
    EXPECT_EQ(d2, d);
}

TEST(ByteChunk, GetFailsWhenTheValueDoesNotFitOrThePositionIsBad) {
    ByteChunk c;
    double d = 1.0;
    c.Put(&d);
    double out = 7;
    EXPECT_EQ(c.Get(&out, 1), -1);
    EXPECT_EQ(c.Get(&out, 8), -1);
    EXPECT_EQ(c.Get(&out, -1), -1);  // a failed read stays failed
    EXPECT_EQ(c.Get(&out, 1 << 30), -1);
    EXPECT_EQ(out, 7);
    uint8_t b = 0;
    EXPECT_EQ(c.Get(&b, 7), 8);
    EXPECT_EQ(c.At(8), 0);
    EXPECT_EQ(c.At(-1), 0);
}

TEST(ByteChunk, StringsResizeClearAndAppendingChunks) {
    ByteChunk c;
    EXPECT_EQ(c.PutStr("MIDI Out"), 12);
    std::string s;
    EXPECT_EQ(c.GetStr(&s, 0), 12);
    EXPECT_EQ(s, "MIDI Out");
    // A negative or oversized length fails rather than reading past the end.
    ByteChunk bad;
    int32_t len = -3;
    bad.Put(&len);
    EXPECT_EQ(bad.GetStr(&s, 0), -1);
    ByteChunk big;
    len = 100;
    big.Put(&len);
    big.PutBytes("abc", 3);
    EXPECT_EQ(big.GetStr(&s, 0), -1);

    ByteChunk r;
    r.PutBytes("xy", 2);
    EXPECT_EQ(r.Resize(6000), 6000);
    EXPECT_EQ(r.At(0), 'x');
    EXPECT_EQ(r.At(5999), 0);
    EXPECT_EQ(r.Resize(1), 1);
    EXPECT_EQ(r.At(0), 'x');
    r.Resize(3);
    EXPECT_EQ(r.At(2), 0);  // zeroed when it grows again

    c.PutChunk(&r);
    EXPECT_EQ(c.Size(), 15);
    EXPECT_EQ(c.At(12), 'x');
    ByteChunk same;
    same.PutChunk(&c);
    EXPECT_TRUE(same.IsEqual(c));
    c.Clear();
    EXPECT_EQ(c.Size(), 0);
    EXPECT_FALSE(same.IsEqual(c));
    EXPECT_EQ(c.PutBytes(nullptr, 0), 0);
}

}  // namespace
