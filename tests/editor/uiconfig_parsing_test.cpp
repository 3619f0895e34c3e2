// Tokenising, hexadecimal SysEx texts and the attribute value parsers.
#include "uiconfig_log_fixture.h"

#include <gtest/gtest.h>

namespace {

using Strings = std::vector<std::string>;

TEST(Tokenize, RunsOfDelimitersGiveNoEmptyTokens) {
    UIConfigManager m;
    Strings t;
    m.Tokenize("a  b ", t, " ");
    EXPECT_EQ(t, (Strings{"a", "b"}));
    t.clear();
    m.Tokenize("+x+", t, "+");
    EXPECT_EQ(t, (Strings{"x"}));
    m.Tokenize("1,,2,", t, ",");  // appends to what is there
    EXPECT_EQ(t, (Strings{"x", "1", "2"}));
    t.clear();
    m.Tokenize("a:b,c;;d", t, ",;:");  // a set of characters, not a sequence
    EXPECT_EQ(t, (Strings{"a", "b", "c", "d"}));
    t.clear();
    m.Tokenize("", t, ",");
    m.Tokenize(",,,", t, ",");
    EXPECT_TRUE(t.empty());
    m.Tokenize("whole", t, "");
    EXPECT_EQ(t, (Strings{"whole"}));
}

TEST(SysExText, HexTokens) {
    UIConfigManager m;
    EXPECT_EQ(m.convertStringSysextoVector("F0 7f zz"), (std::vector<int>{240, 127, 0}));
    EXPECT_EQ(m.convertStringSysextoVector("  F0   42 30 58 41 10 00 00 F7 "),
              (std::vector<int>{0xF0, 0x42, 0x30, 0x58, 0x41, 0x10, 0, 0, 0xF7}));
    EXPECT_EQ(m.convertStringSysextoVector("0x7F 1g -1 G1"), (std::vector<int>{127, 1, -1, 0}));
    EXPECT_TRUE(m.convertStringSysextoVector("").empty());
}

TEST(CSValues, CountsAndDefaults) {
    UIConfigManager m;
    int v[4] = {-7, -7, -7, -7};
    m.getCSValues("10, 20", v, 2);
    EXPECT_EQ(v[0], 10);
    EXPECT_EQ(v[1], 20);
    EXPECT_EQ(v[2], -7);

    int w[4] = {1, 2, 3, 4};
    m.getCSValues("5", w, 4);
    EXPECT_EQ(w[0], 5);
    EXPECT_EQ(w[1], 2);
    EXPECT_EQ(w[3], 4);

    int x[4] = {0, 0, 9, 9};
    m.getCSValues("1,2,3,4,5", x, 2);
    EXPECT_EQ(x[0], 1);
    EXPECT_EQ(x[1], 2);
    EXPECT_EQ(x[2], 9);

    int y[2] = {42, 0};
    m.getCSValues("x,7", y, 2);
    EXPECT_EQ(y[0], 42);
    EXPECT_EQ(y[1], 7);

    int z[3] = {8, 8, 8};
    m.getCSValues("12px,,-3,", z, 3);  // doubled and trailing commas vanish
    EXPECT_EQ(z[0], 12);
    EXPECT_EQ(z[1], -3);
    EXPECT_EQ(z[2], 8);
    m.getCSValues("99999999999,1", z, 2);  // too large for an int: default stays
    EXPECT_EQ(z[0], 12);
    EXPECT_EQ(z[1], 1);
    m.getCSValues("5,5", z, 0);
    m.getCSValues("5,5", nullptr, 2);
    EXPECT_EQ(z[0], 12);
}

TEST(BiDirectLink, NamesOffsetsAndCounts) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    m.initParams();
    const int a = m.getParamByName("kVPatchSrc1");   // 73
    const int b = m.getParamByName("kVPatchDest1");  // 81
    int link[3] = {5, 5, 5};
    m.getBiDirectLinkValues("kVPatchSrc1", link, -1);
    EXPECT_EQ(link[0], -1);
    EXPECT_EQ(link[1], -1);
    EXPECT_EQ(link[2], -1);

    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1", link, -1);
    EXPECT_EQ(link[0], a);
    EXPECT_EQ(link[1], b);
    EXPECT_EQ(link[2], -1);

    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1,2", link, -1);
    EXPECT_EQ(link[2], 2);
    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1,2,9", link, -1);
    EXPECT_EQ(link[0], a);
    EXPECT_EQ(link[2], -1);
    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1,two", link, -1);
    EXPECT_EQ(link[2], -1);

    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1", link, 2);
    EXPECT_EQ(link[0], a + 2);
    EXPECT_EQ(link[1], b + 2);
    m.getBiDirectLinkValues("kVPatchSrc1,kVPatchDest1", link, 0);
    EXPECT_EQ(link[0], a);
}

TEST(BiDirectLink, UnknownNameStaysMinusOne) {
    hvtest::LoggedManager t;
    UIConfigManager& m = t.manager;
    m.initParams();
    t.clearLog();
    LinkInfo info;
    int* link = info.values;
    // Inside the second copy an unknown name must not turn into index 0.
    m.getBiDirectLinkValues("kNoSuchThing,kAmpPan", link, 1);
    EXPECT_EQ(link[0], -1);
    EXPECT_EQ(link[1], 41);
    EXPECT_FALSE(info.present());
    EXPECT_EQ(t.lines(), (Strings{"CONFIG READER: parameter kNoSuchThing NOT FOUND!"}));
}

}  // namespace
