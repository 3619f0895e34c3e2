// Two processes add keys to one ini file at once while a third reads it in a
// loop: no change is lost and no read sees a partial file.
#include "shim/shim-ini.h"

#include <gtest/gtest.h>

#include "support/TempDataDir.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

pid_t startPeer(std::vector<std::string> args, const std::string& out) {
    args.insert(args.begin(), HV_SHIM_PEER);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&fa);
    return pid;
}

int exitStatus(pid_t pid) {
    int st = 0;
    if (waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
}

TEST(IniProcesses, TwoWritersLoseNoKeyAndReadersSeeOnlyWholeFiles) {
    hvtest::TempDataDir dir;
    const int kPerWriter = 500;
    std::string file = dir.write("shared.ini", "[seed]\nk=v\n\n").string();
    std::string stop = (dir.path() / "stop").string(), watchOut = (dir.path() / "watch.txt").string();
    pid_t watcher = startPeer({"ini-watch", file, stop}, watchOut);
    pid_t a = startPeer({"ini-add", file, "keys", "a", std::to_string(kPerWriter)}, "/dev/null");
    pid_t b = startPeer({"ini-add", file, "keys", "b", std::to_string(kPerWriter)}, "/dev/null");
    ASSERT_GT(watcher, 0);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(exitStatus(a), 0);
    EXPECT_EQ(exitStatus(b), 0);
    std::ofstream(stop).put('\n');
    EXPECT_EQ(exitStatus(watcher), 0);
    EXPECT_EQ(dir.read("watch.txt").rfind("reads ", 0), 0u) << dir.read("watch.txt");

    std::vector<char> keys(64 * 1024);
    int n = GetPrivateProfileString("keys", nullptr, "", keys.data(), int(keys.size()), file.c_str());
    int count = 0;
    for (int i = 0; i < n; i += int(std::strlen(keys.data() + i)) + 1) ++count;
    EXPECT_EQ(count, 2 * kPerWriter);
    char value[64];
    for (const char* prefix : {"a", "b"}) {
        for (int i = 0; i < kPerWriter; ++i) {
            std::string key = prefix + std::to_string(i);
            GetPrivateProfileString("keys", key.c_str(), "", value, sizeof value, file.c_str());
            ASSERT_EQ(std::string(value), "value of " + key);
        }
    }
    EXPECT_EQ(GetPrivateProfileInt("seed", "k", 1, file.c_str()), 1);  // "v" is not a number
}

}  // namespace
