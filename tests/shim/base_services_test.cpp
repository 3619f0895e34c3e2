#include "shim/shim-handles.h"
#include "shim/shim.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

namespace {

TEST(Time, SleepZeroSleepsAboutAHundredMicroseconds) {
    // The shortest of a few: a machine that holds the process meanwhile
    // only lengthens some.
    long shortest = LONG_MAX;
    for (int i = 0; i < 5; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        Sleep(0);
        auto us = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_GE(us, 100);
        shortest = std::min<long>(shortest, us);
    }
    EXPECT_LT(shortest, 100000);  // microseconds, not milliseconds
}

TEST(Time, SleepCountsMilliseconds) {
    auto t0 = std::chrono::steady_clock::now();
    Sleep(15);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(15));
}

TEST(Time, TickCountIsWallClockMilliseconds) {
    EXPECT_EQ(SHIM_TickCountAt(0, 999), 0u);
    EXPECT_EQ(SHIM_TickCountAt(12, 345678), 12345u);
    // 1.7e9 seconds is past 2^32 milliseconds: the count wraps.
    EXPECT_EQ(SHIM_TickCountAt(1700000000, 0), DWORD(1700000000ull * 1000 % 4294967296ull));
    DWORD a = GetTickCount();
    Sleep(20);
    DWORD b = GetTickCount();
    EXPECT_GE(b - a, 20u);
    EXPECT_LT(b - a, 60000u);
}

TEST(Time, TickDifferencesSurviveTheWrap) {
    // 4294967 s + 295 ms is the last millisecond before the counter wraps.
    DWORD before = SHIM_TickCountAt(4294967, 290000);
    DWORD at = SHIM_TickCountAt(4294967, 295000);
    DWORD after = SHIM_TickCountAt(4294967, 305000);
    EXPECT_EQ(before, 4294967290u);
    EXPECT_EQ(at, 4294967295u);
    EXPECT_EQ(after, 9u);
    EXPECT_EQ(after - before, 15u);
    EXPECT_EQ(after - at, 10u);
}

TEST(Time, GetFileTimeUsesItsOwnEpochOffset) {
    char path[] = "/tmp/hv-filetime-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    struct stat st;
    ASSERT_EQ(fstat(fd, &st), 0);
    FILETIME c{}, a{}, w{};
    EXPECT_EQ(GetFileTime(fd, &c, &a, &w), 1);
    auto whole = [](FILETIME f) { return (uint64_t(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    EXPECT_EQ(whole(w), uint64_t(st.st_mtime) * 10000000u + 116447544000000000ull);
    EXPECT_EQ(whole(c), uint64_t(st.st_ctime) * 10000000u + 116447544000000000ull);
    EXPECT_EQ(GetFileTime(fd, nullptr, nullptr, &w), 1);
    close(fd);
    unlink(path);
    EXPECT_EQ(GetFileTime(-1, &c, &a, &w), 0);
    EXPECT_EQ(GetFileTime(fd, &c, &a, &w), 0);  // closed now
}

TEST(Rects, SetAndOffset) {
    RECT r;
    EXPECT_EQ(WinSetRect(&r, 1, 2, 3, 4), 1);
    EXPECT_EQ(WinOffsetRect(&r, 10, -20), 1);
    EXPECT_EQ(r.left, 11);
    EXPECT_EQ(r.top, -18);
    EXPECT_EQ(r.right, 13);
    EXPECT_EQ(r.bottom, -16);
    EXPECT_EQ(WinSetRect(nullptr, 0, 0, 1, 1), 0);
    EXPECT_EQ(WinOffsetRect(nullptr, 1, 1), 0);
}

TEST(Rects, Intersect) {
    RECT a{0, 0, 10, 10}, b{5, 5, 20, 20}, d{9, 9, 9, 9};
    EXPECT_EQ(WinIntersectRect(&d, &a, &b), 1);
    EXPECT_EQ(d.left, 5);
    EXPECT_EQ(d.bottom, 10);
    // Touching at an edge only: 0, with dst filled as the (empty) overlap.
    RECT c{10, 0, 20, 10};
    EXPECT_EQ(WinIntersectRect(&d, &a, &c), 0);
    EXPECT_EQ(d.left, 10);
    EXPECT_EQ(d.right, 10);
    EXPECT_EQ(d.top, 0);
    EXPECT_EQ(d.bottom, 10);
    // An empty source zeroes dst.
    RECT e{3, 3, 3, 8};
    EXPECT_EQ(WinIntersectRect(&d, &a, &e), 0);
    EXPECT_EQ(d.left | d.top | d.right | d.bottom, 0);
}

TEST(Rects, UnionTakesEmptyRectsIntoAccount) {
    RECT a{0, 0, 10, 10}, empty{50, 50, 50, 50}, d;
    WinUnionRect(&d, &a, &empty);
    EXPECT_EQ(d.right, 50);
    EXPECT_EQ(d.bottom, 50);
    EXPECT_EQ(d.left, 0);
}

TEST(Rects, PointInsideWithEitherVerticalOrder) {
    RECT r{0, 10, 10, 0};  // bottom above top
    EXPECT_TRUE(SHIM_PtInRect(&r, POINT{0, 0}));
    EXPECT_TRUE(SHIM_PtInRect(&r, POINT{9, 9}));
    EXPECT_FALSE(SHIM_PtInRect(&r, POINT{10, 5}));
    EXPECT_FALSE(SHIM_PtInRect(&r, POINT{5, 10}));
    EXPECT_FALSE(SHIM_PtInRect(nullptr, POINT{0, 0}));
}

TEST(Numbers, MulDiv) {
    EXPECT_EQ(MulDiv(7, 3, 2), 10);
    EXPECT_EQ(MulDiv(-7, 3, 2), -10);
    EXPECT_EQ(MulDiv(1, 1, 0), 0);
    EXPECT_EQ(MulDiv(1 << 30, 1 << 10, 1 << 20), 1 << 20);  // no 32-bit overflow inside
    EXPECT_EQ(MulDiv(1 << 30, 8, 1), -1);                   // does not fit an int
}

TEST(Numbers, ControlfpChangesOnlyRounding) {
    unsigned before = _controlfp(0, 0);
    unsigned chop = _controlfp(0x300, 0x300);
    EXPECT_EQ(chop & 0x300, 0x300u);
    EXPECT_EQ(chop & ~0x300u, before & ~0x300u);
    EXPECT_EQ(_controlfp(0, 0) & 0x300, 0x300u);  // it was loaded
    // Bits outside the rounding field are not taken from value.
    unsigned stray = _controlfp(0x0100 | 0x3, 0x300);
    EXPECT_EQ(stray & 0x300, 0x100u);
    EXPECT_EQ(stray & ~0x300u, before & ~0x300u);
    _controlfp(before & 0x300, 0x300);
    EXPECT_EQ(_controlfp(0, 0), before);
}

TEST(GlobalMemory, Blocks) {
    HGLOBAL h = GlobalAlloc(0, 10);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GlobalSize(h), 10);
    auto p = static_cast<char*>(GlobalLock(h));
    EXPECT_EQ(p, h);
    std::memcpy(p, "0123456789", 10);
    GlobalLock(h);
    EXPECT_EQ(GlobalUnlock(h), 1);  // still locked once
    EXPECT_EQ(GlobalUnlock(h), 0);
    EXPECT_EQ(GlobalUnlock(h), 0);
    EXPECT_EQ(GlobalFree(h), nullptr);

    HGLOBAL z = GlobalAlloc(0, -5);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(GlobalSize(z), 0);
    GlobalFree(z);

    EXPECT_EQ(GlobalSize(nullptr), 0);
    EXPECT_EQ(GlobalLock(nullptr), nullptr);
    EXPECT_EQ(GlobalUnlock(nullptr), 0);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
}

TEST(Strings, Lstrcpyn) {
    char buf[8];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_EQ(lstrcpyn(buf, "abcdef", 4), buf);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(buf[4], 'x');
    lstrcpyn(buf, "ab", 8);
    EXPECT_STREQ(buf, "ab");
    buf[0] = 'q';
    lstrcpyn(buf, "zz", 0);  // nothing written
    EXPECT_EQ(buf[0], 'q');
    lstrcpyn(buf, "zz", 1);
    EXPECT_STREQ(buf, "");
}

TEST(Strings, GuidsAreFreshEachTime) {
    std::set<std::string> seen;
    for (int i = 0; i < 50; i++) {
        GUID g{};
        SHIM_GenerateGUID(&g);
        seen.insert(std::string(reinterpret_cast<const char*>(&g), sizeof g));
    }
    EXPECT_EQ(seen.size(), 50u);
    SHIM_GenerateGUID(nullptr);
}

TEST(Strings, ToPlatformString) {
    EXPECT_EQ(SHIM_CStringToCFString(nullptr), "");
    EXPECT_EQ(SHIM_CStringToCFString("Gr\xC3\xBC\xC3\x9F"
                                     "e"),
              "Gr\xC3\xBC\xC3\x9F"
              "e");
    // Not UTF-8 (Latin-1 bytes, a lone continuation byte): the ASCII stays.
    EXPECT_EQ(SHIM_CStringToCFString("Gr\xFC\xDF"
                                     "e \x80"),
              "Gr??e ?");
    EXPECT_EQ(SHIM_CStringToCFString("\xE0\x80\x80"), "???");  // overlong form
}

TEST(Strings, FromPlatformString) {
    char buf[6];
    EXPECT_TRUE(SHIM_CFStringToCString("abc", buf, sizeof buf));
    EXPECT_STREQ(buf, "abc");
    EXPECT_FALSE(SHIM_CFStringToCString("abcdefgh", buf, sizeof buf));
    EXPECT_STREQ(buf, "abcde");
    // A character that does not fit whole is left out.
    EXPECT_FALSE(SHIM_CFStringToCString("abcd\xC3\xBC", buf, sizeof buf));
    EXPECT_STREQ(buf, "abcd");
    buf[0] = 'x';
    EXPECT_FALSE(SHIM_CFStringToCString("abc", buf, 1));
    EXPECT_STREQ(buf, "");
    buf[0] = 'x';
    SHIM_CFStringToCString("abc", buf, 0);
    EXPECT_EQ(buf[0], 'x');
}

}  // namespace
