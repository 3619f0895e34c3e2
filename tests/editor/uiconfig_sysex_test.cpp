// Expansion of SysEx templates into one message per parameter value.
#include "uiconfig_log_fixture.h"

#include <gtest/gtest.h>

namespace {

using Msg = std::vector<int>;
const std::string kTemplate = "F0 42 30 58 41 10 00 00 F7";
const Msg kBytes = {0xF0, 0x42, 0x30, 0x58, 0x41, 0x10, 0x00, 0x00, 0xF7};

// The template with byte pos set to value (and byte 7 to b7 when b7 >= 0).
Msg with(Msg m, std::size_t pos, int value, int b7 = -1) {
    m[pos] = value;
    if (b7 >= 0) m[7] = b7;
    return m;
}

TEST(SysExExpansion, PlainMember) {
    UIConfigManager m;
    ControlActionSysExMessage out;
    out.messages = {{1, 2, 3}};  // replaced whole
    m.calculateSysexWithChangingByte(kTemplate, 8, 3, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 3u);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(out.messages[i], with(kBytes, 7, i)) << i;

    m.calculateSysexWithChangingByte(kTemplate, 8, 3, &out, -1, -1);
    ASSERT_EQ(out.messages.size(), 3u);
    EXPECT_EQ(out.messages[0], kBytes);
    EXPECT_EQ(out.messages[1], with(kBytes, 7, 0));
    EXPECT_EQ(out.messages[2], with(kBytes, 7, 1));

    // Past 127 the value wraps: 127, 0 for 128, then 1, 2.
    m.calculateSysexWithChangingByte(kTemplate, 7, 4, &out, 127, -1);
    ASSERT_EQ(out.messages.size(), 4u);
    EXPECT_EQ(out.messages[0][6], 127);
    EXPECT_EQ(out.messages[1][6], 0);
    EXPECT_EQ(out.messages[2][6], 1);
    EXPECT_EQ(out.messages[3][6], 2);
    // With the template's own byte as start, 128 would be the only wrap point too.
    m.calculateSysexWithChangingByte("F0 42 30 58 41 10 7F 00 F7", 7, 3, &out, -1, -1);
    EXPECT_EQ(out.messages[1][6], 127);
    EXPECT_EQ(out.messages[2][6], 0);
}

TEST(SysExExpansion, CopyRule) {
    UIConfigManager m;
    ControlActionSysExMessage out;
    const std::string t = "F0 42 58 41 75 01 00 00 F7";
    m.calculateSysexWithChangingByte(t, 7, 2, &out, 0, 1);
    ASSERT_EQ(out.messages.size(), 2u);
    EXPECT_EQ(out.messages[0][4], 0x05);
    EXPECT_EQ(out.messages[0][5], 0x02);
    EXPECT_EQ(out.messages[1][6], 1);
    m.calculateSysexWithTwoChangingBytes(t, 7, 1, &out, 0, 1);
    EXPECT_EQ(out.messages[0][4], 0x05);
    EXPECT_EQ(out.messages[0][5], 0x03);
    // Without wrap byte 4 goes up by 16; byte 5 goes up either way.
    m.calculateSysexWithChangingByte("F0 42 58 41 10 00 00 00 F7", 7, 1, &out, 0, 1);
    EXPECT_EQ(out.messages[0][4], 0x20);
    EXPECT_EQ(out.messages[0][5], 0x01);
    // Offsets other than 1 and the tempo and swing members leave bytes 4 and 5 alone.
    for (int offset : {-1, 0, 2}) {
        m.calculateSysexWithChangingByte(t, 7, 1, &out, 0, offset);
        EXPECT_EQ(out.messages[0][4], 0x75);
        EXPECT_EQ(out.messages[0][5], 0x01);
    }
    m.calculateSysexWithChangingByteTempo(t, 7, 1, &out, 0, 1);
    EXPECT_EQ(out.messages[0][4], 0x75);
    m.calculateSysexWithChangingByteSwing(t, 7, 1, &out, 0, 1);
    EXPECT_EQ(out.messages[0][5], 0x01);
    // The template message itself is never shifted.
    m.calculateSysexWithChangingByteEQ(t, 7, 2, &out, -1, 1);
    EXPECT_EQ(out.messages[0][4], 0x75);
    EXPECT_EQ(out.messages[1][4], 0x05);
}

TEST(SysExExpansion, SignedEncodings) {
    UIConfigManager m;
    ControlActionSysExMessage out;
    const std::string t = "F0 42 58 41 10 00 00 01 F7";  // byte 7 = 1 supplies the sign

    m.calculateSysexWithChangingByteEQ(t, 7, 25, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 25u);
    for (int i = 0; i <= 11; ++i) {
        EXPECT_EQ(out.messages[i][6], 116 + i);
        EXPECT_EQ(out.messages[i][7], 1);
    }
    for (int i = 12; i <= 24; ++i) {
        EXPECT_EQ(out.messages[i][6], i - 12);
        EXPECT_EQ(out.messages[i][7], 0);
    }

    m.calculateSysexWithChangingByteTranspose(t, 7, 49, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 49u);
    EXPECT_EQ(out.messages[0][6], 104);
    EXPECT_EQ(out.messages[23][6], 127);
    EXPECT_EQ(out.messages[23][7], 1);
    EXPECT_EQ(out.messages[24][6], 0);
    EXPECT_EQ(out.messages[24][7], 0);
    EXPECT_EQ(out.messages[48][6], 24);

    m.calculateSysexWithChangingByteTuning(t, 7, 101, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 101u);
    EXPECT_EQ(out.messages[0][6], 78);
    EXPECT_EQ(out.messages[49][6], 127);
    EXPECT_EQ(out.messages[49][7], 1);
    EXPECT_EQ(out.messages[50][6], 0);
    EXPECT_EQ(out.messages[50][7], 0);
    EXPECT_EQ(out.messages[100][6], 50);

    m.calculateSysexWithChangingByteModSeq(t, 7, 128, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 128u);
    EXPECT_EQ(out.messages[0][6], 64);
    EXPECT_EQ(out.messages[63][6], 127);
    EXPECT_EQ(out.messages[63][7], 1);
    EXPECT_EQ(out.messages[64][6], 0);
    EXPECT_EQ(out.messages[64][7], 0);
    EXPECT_EQ(out.messages[127][6], 63);
}

TEST(SysExExpansion, TempoAndSwing) {
    UIConfigManager m;
    ControlActionSysExMessage out;
    const std::string t = "F0 42 58 41 10 00 00 05 F7";
    m.calculateSysexWithChangingByteTempo(t, 7, 281, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 281u);
    EXPECT_EQ(out.messages[0][6], 20);
    EXPECT_EQ(out.messages[0][7], 0);
    EXPECT_EQ(out.messages[107][6], 127);
    EXPECT_EQ(out.messages[107][7], 0);
    EXPECT_EQ(out.messages[108][6], 0);
    EXPECT_EQ(out.messages[108][7], 1);
    EXPECT_EQ(out.messages[235][6], 127);
    EXPECT_EQ(out.messages[235][7], 1);
    EXPECT_EQ(out.messages[236][6], 0);
    EXPECT_EQ(out.messages[236][7], 2);
    EXPECT_EQ(out.messages[280][6], 44);
    EXPECT_EQ(out.messages[280][7], 2);

    m.calculateSysexWithChangingByteSwing(t, 7, 202, &out, 0, -1);
    ASSERT_EQ(out.messages.size(), 202u);
    EXPECT_EQ(out.messages[0][6], 28);
    EXPECT_EQ(out.messages[0][7], 5);
    EXPECT_EQ(out.messages[99][6], 127);
    EXPECT_EQ(out.messages[99][7], 5);
    EXPECT_EQ(out.messages[100][6], 0);
    EXPECT_EQ(out.messages[100][7], 0);
    EXPECT_EQ(out.messages[200][6], 100);
    EXPECT_EQ(out.messages[201][6], 0);  // past the range the template byte stays
    EXPECT_EQ(out.messages[201][7], 5);

    // A value byte at position 8 ends up holding the byte-7 store.
    m.calculateSysexWithChangingByteTempo(t, 8, 110, &out, 0, -1);
    EXPECT_EQ(out.messages[0][7], 0);
    EXPECT_EQ(out.messages[109][7], 1);
}

TEST(SysExExpansion, ShortTemplatesAndEmptyRangesAreRefused) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    ControlActionSysExMessage out;
    out.messages = {kBytes};
    m.calculateSysexWithChangingByteEQ("F0 42 30 58 41 10 F7", 6, 5, &out, 0, 1);
    EXPECT_TRUE(out.messages.empty());
    out.messages = {kBytes};
    m.calculateSysexWithChangingByte(kTemplate, 10, 5, &out, 0, -1);
    EXPECT_TRUE(out.messages.empty());
    m.calculateSysexWithChangingByte(kTemplate, 0, 5, &out, 0, -1);
    EXPECT_TRUE(out.messages.empty());
    m.calculateSysexWithChangingByte(kTemplate, 8, 0, &out, 0, -1);
    EXPECT_TRUE(out.messages.empty());
    m.calculateSysexWithChangingByte(kTemplate, 8, -3, &out, 5, -1);
    EXPECT_TRUE(out.messages.empty());
    m.calculateSysexWithChangingByte("", 1, 2, &out, 0, -1);
    EXPECT_TRUE(out.messages.empty());
    const auto lines = t.lines();
    ASSERT_EQ(lines.size(), 6u);
    for (const auto& line : lines) {
        EXPECT_EQ(line.rfind("CONFIG READER: SysEx template ", 0), 0u) << line;
        EXPECT_NE(line.find("REFUSED!"), std::string::npos) << line;
    }
    EXPECT_NE(lines[0].find("calculateSysexWithChangingByteEQ"), std::string::npos);

    // With the template as first message even an empty range yields one message.
    m.calculateSysexWithChangingByte(kTemplate, 8, 0, &out, -1, -1);
    EXPECT_EQ(out.messages, (std::vector<Msg>{kBytes}));
    m.calculateSysexWithChangingByte(kTemplate, 8, 1, nullptr, 0, -1);  // no output: nothing happens
}

}  // namespace
