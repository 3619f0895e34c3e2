// Profile calls on real files in a fresh folder: the format as read and as
// written, the cache of parsed files, and writes that must not report a
// failure as done or lose another writer's change.
#include "shim/shim-ini.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

class IniFiles : public testing::Test {
protected:
    std::string path(const std::string& name) { return (dir_.path() / name).string(); }
    std::string write(const std::string& name, const std::string& text) { return dir_.write(name, text).string(); }
    std::string read(const std::string& name) { return dir_.read(name); }
    std::string get(const char* section, const char* key, const std::string& file, const char* def = "-") {
        char buf[256];
        GetPrivateProfileString(section, key, def, buf, sizeof buf, file.c_str());
        return buf;
    }
    // Rewrites the file in place to text of the same size and puts back its
    // modification time to the nanosecond: only the cache can tell.
    static void rewriteKeepingStamp(const std::string& file, const std::string& text) {
        struct stat st;
        ASSERT_EQ(stat(file.c_str(), &st), 0);
        ASSERT_EQ(off_t(text.size()), st.st_size);
        std::fstream(file, std::ios::in | std::ios::out | std::ios::binary)
            .write(text.data(), std::streamsize(text.size()));
        timespec times[2] = {st.st_atim, st.st_mtim};
        ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    }

    hvtest::TempDataDir dir_;
};

const char* kSample =
    "stray=1\n"
    "[A]\n"
    "  Key = value  \n"
    "q1='x y'\n"
    "q2=  \"a\"  \n"
    "lone='\n"
    "[C\n"
    "cont=3\n"
    "=nokey\n"
    "; a comment\n"
    "[B] trailing text\n"
    "old=1\n"
    "[b]\n"
    "new=2\n"
    "dup=first\n"
    "DUP=last\n"
    "[]\n"
    "ignored=1\n"
    "[Nums]\n"
    "zero=0\n"
    "hex=0x10\n"
    "num=12abc\n"
    "word=abc\n"
    "empty=\n"
    "neg0=-0\n"
    "neg=-5";  // no line feed at the end

TEST_F(IniFiles, ReadsTheFormatAsWritten) {
    std::string f = write("sample.ini", kSample);
    struct Case {
        const char *section, *key, *expected;
    } cases[] = {
        {"a", "key ", "value"},                      // case-blind names; the blank before "=" belongs to the key
        {"A", "Key", "-"},      {"A", "q1", "x y"},  // one pair of quotes goes
        {"A", "q2", "a"},       {"A", "lone", "'"},
        {"A", "cont", "3"},                         // a header without "]" is ignored and the section goes on
        {"A", "stray", "-"},    {"B", "old", "-"},  // a header given again starts its section afresh
        {"B", "new", "2"},      {"B", "dup", "last"},
        {"B", "ignored", "-"},  // "[]" ends the section
        {"Nums", "neg", "-5"},  // the last line needs no line feed
        {"Missing", "k", "-"},
    };
    for (const Case& c : cases) EXPECT_EQ(get(c.section, c.key, f), c.expected) << c.section << "/" << c.key;

    struct IntCase {
        const char* key;
        int expected;
    } ints[] = {{"zero", 0}, {"hex", 0}, {"num", 12}, {"word", 7}, {"empty", 7}, {"neg0", 7}, {"neg", -5}, {"no", 7}};
    for (const IntCase& c : ints) EXPECT_EQ(GetPrivateProfileInt("nums", c.key, 7, f.c_str()), c.expected) << c.key;
}

TEST_F(IniFiles, GivesUpOnAFileWithNoSectionInItsFirst256KiB) {
    struct Case {
        size_t junkLines;  // of 16 bytes each
        const char* expected;
    } cases[] = {{16000, "v"}, {17000, "-"}};
    for (const Case& c : cases) {
        std::string text;
        for (size_t i = 0; i < c.junkLines; ++i) text += "not an ini line\n";
        std::string f = write("junk.ini", text + "[S]\nk=v\n");
        EXPECT_EQ(get("S", "k", f), c.expected) << c.junkLines;
    }
}

TEST_F(IniFiles, ListsSectionsKeysAndEntriesAndCutsThemToTheBuffer) {
    std::string f = write("sample.ini", kSample);
    char buf[64];
    int n = GetPrivateProfileString(nullptr, nullptr, "", buf, sizeof buf, f.c_str());
    EXPECT_EQ(std::string(buf, size_t(n) + 2), std::string("A\0B\0Nums\0\0", 10));
    n = GetPrivateProfileString("b", nullptr, "", buf, sizeof buf, f.c_str());
    EXPECT_EQ(std::string(buf, size_t(n) + 2), std::string("DUP\0new\0\0", 9));  // the last of a key given twice
    n = GetPrivateProfileString(nullptr, nullptr, "", buf, 5, f.c_str());
    EXPECT_EQ(std::string(buf, 5), std::string("A\0B\0\0", 5));
    EXPECT_EQ(n, 3);
    n = GetPrivateProfileString("none", nullptr, "", buf, sizeof buf, f.c_str());
    EXPECT_EQ(n, 0);
    EXPECT_EQ(std::string(buf, 2), std::string("\0\0", 2));

    n = GetPrivateProfileSection("A", buf, sizeof buf, f.c_str());
    std::string all("cont=3\0Key =value\0lone='\0q1=x y\0q2=a\0", 37);
    EXPECT_EQ(std::string(buf, size_t(n) + 1), all + '\0');
    n = GetPrivateProfileSection("A", buf, 10, f.c_str());
    EXPECT_EQ(n, 8);
    EXPECT_EQ(std::string(buf, 10), std::string("cont=3\0K\0\0", 10));

    // A buffer below one byte is never written.
    std::memset(buf, 'X', sizeof buf);
    EXPECT_EQ(GetPrivateProfileString("A", "q1", "d", buf, 0, f.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileString("A", "q1", "d", buf, -3, f.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileSection("A", buf, 0, f.c_str()), 0);
    EXPECT_EQ(GetPrivateProfileStruct("A", "q1", buf, 0, f.c_str()), FALSE);
    EXPECT_EQ(buf[0], 'X');
}

TEST_F(IniFiles, WritesSortedSectionsWithAnEmptyLineAfterEach) {
    std::string f = write("out.ini", "; comment\n[zeta]\nb=1\n[Alpha]\nz=2\n");
    EXPECT_EQ(WritePrivateProfileString("alpha", "M", " spaced ", f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("Beta", "k", "v", f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("zeta", "a", "0", f.c_str()), TRUE);
    EXPECT_EQ(read("out.ini"), "[Alpha]\nM= spaced \nz=2\n\n[Beta]\nk=v\n\n[zeta]\na=0\nb=1\n\n");
    EXPECT_EQ(WritePrivateProfileString("zeta", "b", nullptr, f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("Beta", nullptr, nullptr, f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileSection("alpha", "x=1\0y\0x=2\0w=\0", f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileSection("Empty", "", f.c_str()), TRUE);  // nothing to write
    EXPECT_EQ(read("out.ini"), "[Alpha]\nw=\nx=2\n\n[zeta]\na=0\n\n");
    EXPECT_FALSE(fs::exists(path(".out.ini.new")));
}

TEST_F(IniFiles, StructsRoundTripAsHexWithAChecksum) {
    std::string f = path("s.ini");
    const unsigned char data[3] = {0x01, 0x02, 0xFF};
    ASSERT_EQ(WritePrivateProfileStruct("S", "k", data, 3, f.c_str()), TRUE);
    EXPECT_EQ(get("S", "k", f), "0102FF02");
    write("raw.ini", "[S]\nlower=0102ff02\nsum=0102FF03\nbad=01G2FF02\n");
    struct Case {
        const char* file;
        const char* key;
        int size;
        BOOL expected;
    } cases[] = {
        {"s.ini", "k", 3, TRUE},       {"s.ini", "k", 2, FALSE},     {"s.ini", "k", 4, FALSE},
        {"raw.ini", "lower", 3, TRUE}, {"raw.ini", "sum", 3, FALSE}, {"raw.ini", "bad", 3, FALSE},
    };
    for (const Case& c : cases) {
        unsigned char out[4] = {};
        EXPECT_EQ(GetPrivateProfileStruct("S", c.key, out, c.size, path(c.file).c_str()), c.expected) << c.key;
        if (c.expected) {
            EXPECT_EQ(std::memcmp(out, data, 3), 0);
        }
    }
}

TEST_F(IniFiles, WritersRefuseWhatWouldReadBackAsSomethingElse) {
    std::string f = write("r.ini", "[A]\nk=v\n\n");
    struct Case {
        const char *section, *key, *value;
    } cases[] = {
        {nullptr, "k", "v"}, {"", "k", "v"},       {"A]", "k", "v"},  {"A\n", "k", "v"},
        {"A", "", "v"},      {"A", "k=1", "v"},    {"A", "k\r", "v"}, {"A", " k", "v"},
        {"A", "[k", "v"},    {"A", "k", "v\nx=1"}, {"A", "k", "v\r"},
    };
    for (const Case& c : cases) EXPECT_EQ(WritePrivateProfileString(c.section, c.key, c.value, f.c_str()), FALSE);
    EXPECT_EQ(WritePrivateProfileSection("A", "k=v\nx=1\0", f.c_str()), FALSE);
    EXPECT_EQ(WritePrivateProfileSection("A]", "k=v\0", f.c_str()), FALSE);
    EXPECT_EQ(read("r.ini"), "[A]\nk=v\n\n");

    // Paths of 1015 bytes and more are refused, not cut to another file's name.
    std::string deep = dir_.path().string();
    while (deep.size() < 1014 - 20) deep += "/" + std::string(std::min<size_t>(100, 1014 - 20 - deep.size()), 'd');
    fs::create_directories(deep);
    std::string fits = deep + "/" + std::string(1014 - deep.size() - 1, 'f');
    ASSERT_EQ(fits.size(), 1014u);
    EXPECT_EQ(WritePrivateProfileString("A", "k", "long", fits.c_str()), TRUE);
    EXPECT_EQ(get("A", "k", fits), "long");
    std::string tooLong = fits + "g";
    EXPECT_EQ(WritePrivateProfileString("A", "k", "v", tooLong.c_str()), FALSE);
    EXPECT_EQ(get("A", "k", tooLong), "-");
    EXPECT_FALSE(fs::exists(tooLong));
}

TEST_F(IniFiles, FileNamesAreCaseSensitive) {
    std::string upper = path("Settings.ini"), lower = path("settings.ini");
    EXPECT_EQ(WritePrivateProfileString("S", "k", "upper", upper.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "lower", lower.c_str()), TRUE);
    EXPECT_EQ(get("S", "k", upper), "upper");
    EXPECT_EQ(read("settings.ini"), "[S]\nk=lower\n\n");
}

TEST_F(IniFiles, CacheSeesEveryChangeOnDiskButNoOther) {
    std::string f = write("c.ini", "[S]\nk=1\n");
    EXPECT_EQ(get("S", "k", f), "1");
    // Size and time to the nanosecond unchanged: the parsed file is used.
    rewriteKeepingStamp(f, "[S]\nk=2\n");
    EXPECT_EQ(get("S", "k", f), "1");

    // Another process's rewrite in the same second at the same size.
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    std::ofstream(f, std::ios::binary | std::ios::trunc) << "[S]\nk=3\n";
    timespec sameSecond[2] = {st.st_atim, {st.st_mtim.tv_sec, (st.st_mtim.tv_nsec + 1) % 1000000000}};
    ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), sameSecond, 0), 0);
    EXPECT_EQ(get("S", "k", f), "3");
    // A new file renamed into place with the old size and time: a new inode.
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    std::string other = write("other.ini", "[S]\nk=4\n");
    timespec same[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, other.c_str(), same, 0), 0);
    ASSERT_EQ(rename(other.c_str(), f.c_str()), 0);
    EXPECT_EQ(get("S", "k", f), "4");
}

TEST_F(IniFiles, UnchangedWriteLeavesTheFileAlone) {
    std::string f = path("u.ini");
    ASSERT_EQ(WritePrivateProfileString("S", "k", "v", f.c_str()), TRUE);
    timespec old[2] = {{1000000000, 5}, {1000000000, 5}};
    ASSERT_EQ(utimensat(AT_FDCWD, f.c_str(), old, 0), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("S", "missing", nullptr, f.c_str()), TRUE);
    EXPECT_EQ(WritePrivateProfileString("Missing", nullptr, nullptr, f.c_str()), TRUE);
    struct stat st;
    ASSERT_EQ(stat(f.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);
}

TEST_F(IniFiles, FailedWriteReportsZeroAndReadsShowTheDisk) {
    std::string f = write("w.ini", "[S]\nk=disk\n");
    fs::create_directory(path(".w.ini.new"));  // the temporary file cannot be made
    EXPECT_EQ(WritePrivateProfileString("S", "k", "lost", f.c_str()), FALSE);
    EXPECT_EQ(get("S", "k", f), "disk");
    EXPECT_EQ(read("w.ini"), "[S]\nk=disk\n");
    fs::remove(path(".w.ini.new"));
    EXPECT_EQ(WritePrivateProfileString("S", "k", "kept", f.c_str()), TRUE);
    EXPECT_EQ(read("w.ini"), "[S]\nk=kept\n\n");
}

TEST_F(IniFiles, TheThirtyThirdFileTakesTheLeastRecentlyUsedContext) {
    std::vector<std::string> files;
    for (int i = 0; i < 33; ++i) files.push_back(write("f" + std::to_string(i) + ".ini", "[S]\nk=old\n"));
    for (int i = 0; i < 32; ++i) EXPECT_EQ(get("S", "k", files[size_t(i)]), "old");
    EXPECT_EQ(get("S", "k", files[0]), "old");  // f1 is now the least recently used
    EXPECT_EQ(get("S", "k", files[32]), "old");
    rewriteKeepingStamp(files[0], "[S]\nk=new\n");
    rewriteKeepingStamp(files[1], "[S]\nk=new\n");
    EXPECT_EQ(get("S", "k", files[0]), "old");  // still parsed
    EXPECT_EQ(get("S", "k", files[1]), "new");  // read again
}

}  // namespace
