// The debug log line format and the data-folder rules every component uses.
#include "src/DataFolder.h"
#include "src/debugger.h"
#include "support/Regex.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

TEST(DebugLog, AppendsStampedLinesAndIgnoresUnopenablePaths) {
    hvtest::TempDataDir dir;
    std::string path = dir.str() + "Halvoran LOG.txt";
    DebuggerOutput log;
    log.printDebugInfo(path, "PATCH LIBRARIAN: first");
    log.printDebugInfo(path, "second");
    std::string text = dir.read("Halvoran LOG.txt");
    std::regex line(R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t PATCH LIBRARIAN: first\n)"
                    R"(\d{4}-\d{2}-\d{2}\.\d{2}:\d{2}:\d{2}\t second\n)");
    EXPECT_TRUE(std::regex_match(text, line)) << text;

    log.printDebugInfo(dir.str() + "no/such/folder/log.txt", "lost");  // must not throw or create
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no"));
}

TEST(DebugLog, SysExBytesAsHex) {
    hvtest::TempDataDir dir;
    DebuggerOutput log(dir.str() + "log.txt");
    unsigned char bytes[] = {0xF0, 0x42, 0x30, 0x58, 0x0E, 0xF7};
    log.logSysExOutMessageByte(bytes, 6);
    log.logSysExOutMessageByte(bytes, 0);
    std::string text = dir.read("log.txt");
    EXPECT_NE(text.find("\t SYSEX OUT: F0 42 30 58 0E F7\n"), std::string::npos) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST(DataFolder, EnvironmentThenXdgThenHome) {
    {
        hvtest::TempDataDir dir;
        EXPECT_EQ(halvoranDataFolder(), dir.str());
    }
    setenv("XDG_DATA_HOME", "/x/share/", 1);
    EXPECT_EQ(halvoranDataFolder(), "/x/share/Tallowmere Audio/Brem Halvoran Editor/");
    unsetenv("XDG_DATA_HOME");
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(halvoranDataFolder(), "/home/u/.local/share/Tallowmere Audio/Brem Halvoran Editor/");
}

}  // namespace
