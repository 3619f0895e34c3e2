#include "base/BASE_String.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

TEST(String, EmptyReadsAsEmptyText) {
    BASE_String s;
    EXPECT_STREQ(s.Get(), "");
    EXPECT_EQ(s.GetLength(), 0);
    EXPECT_EQ(s.GetWritable(), nullptr);
    BASE_String n(nullptr);
    EXPECT_STREQ(n.Get(), "");
    s.Set("x");
    s.Set("");
    EXPECT_STREQ(s.Get(), "");
}

TEST(String, SetAppendInsertDelete) {
    BASE_String s("Patches");
    s.Append("/Bank", 3);  // "/Ba"
    EXPECT_STREQ(s.Get(), "Patches/Ba");
    s.Insert(">", 0);
    s.Insert("<", 100);  // clamped to the end
    EXPECT_STREQ(s.Get(), ">Patches/Ba<");
    s.DeleteSub(1, 7);
    EXPECT_STREQ(s.Get(), ">/Ba<");
    s.DeleteSub(3, 100);
    EXPECT_STREQ(s.Get(), ">/B");
    s.DeleteSub(-2, 3);  // only byte 0 lies in range
    EXPECT_STREQ(s.Get(), "/B");
    s.DeleteSub(5, 1);
    EXPECT_STREQ(s.Get(), "/B");
    s.Set("abcdef", 4);
    EXPECT_STREQ(s.Get(), "abcd");
    EXPECT_EQ(s.GetLength(), 4);
}

TEST(String, OwnTextAsSource) {
    BASE_String s("abc");
    for (int i = 0; i < 8; i++) s.Append(s.Get());  // grows through reallocations
    EXPECT_EQ(s.GetLength(), 3 * 256);
    EXPECT_EQ(std::string(s.Get()).substr(0, 6), "abcabc");
    s.Set(s.Get() + 1, 2);
    EXPECT_STREQ(s.Get(), "bc");
    s.Insert(s.Get(), 1);
    EXPECT_STREQ(s.Get(), "bbcc");
}

TEST(String, SetLen) {
    BASE_String s("hello");
    s.SetLen(2);
    EXPECT_STREQ(s.Get(), "he");
    s.SetLen(10);
    EXPECT_EQ(s.GetLength(), 2);
    std::memcpy(s.GetWritable() + 2, "llo world", 8);
    EXPECT_STREQ(s.Get(), "hello worl");
    s.SetLen(0);
    EXPECT_STREQ(s.Get(), "");
}

TEST(String, Formatted) {
    BASE_String s;
    s.SetFormatted(0, "%s-%03d", "slot", 7);
    EXPECT_STREQ(s.Get(), "slot-007");
    s.AppendFormatted(3, "%d", 123456);
    EXPECT_STREQ(s.Get(), "slot-007123");
    s.SetFormatted(0, "%s|%s", s.Get(), s.Get());
    EXPECT_STREQ(s.Get(), "slot-007123|slot-007123");
}

TEST(String, CopiesAreIndependent) {
    BASE_String a("one");
    BASE_String b(a);
    b.Append("two");
    EXPECT_STREQ(a.Get(), "one");
    EXPECT_STREQ(b.Get(), "onetwo");
    a = b;
    EXPECT_STREQ(a.Get(), "onetwo");
}

}  // namespace
