// Files named from outside are opened without blocking and used only when
// they are regular files: a pipe nobody writes to, or one a writer holds,
// a folder or a link to a pipe fail at once; a file over the limit is refused.
#include "base/BASE_RegularFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

struct Folder {
    std::string path;
    Folder() {
        std::string pattern = ::testing::TempDir() + "hv-regular-XXXXXX";
        path = ::mkdtemp(pattern.data()) + std::string("/");
    }
    ~Folder() { (void)!std::system(("rm -rf '" + path + "'").c_str()); }
};

TEST(RegularFile, OnlyARegularFileIsReadOrAppendedTo) {
    Folder dir;
    const std::string file = dir.path + "bank.syx", pipe = dir.path + "pipe", held = dir.path + "held";
    std::ofstream(file) << "F0 data";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo(held.c_str(), 0600), 0);
    ASSERT_EQ(::symlink(pipe.c_str(), (dir.path + "link").c_str()), 0);
    // A reader on the other end: a write-side open would then succeed.
    const int reader = ::open(held.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    const struct {
        const char* what;
        std::string path;
        size_t limit;
        int error;  // 0: read whole
    } rows[] = {
        {"a file", file, 7, 0},
        {"a file over the limit", file, 6, EFBIG},
        {"a pipe nobody writes to", pipe, 100, EINVAL},
        {"a pipe with a reader", held, 100, EINVAL},
        {"a link to a pipe", dir.path + "link", 100, EINVAL},
        {"a folder", dir.path, 100, EISDIR},
        {"nothing", dir.path + "none", 100, ENOENT},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        std::string text = "old";
        errno = 0;
        EXPECT_EQ(BASE_ReadRegularFile(row.path.c_str(), row.limit, text), row.error == 0);
        EXPECT_EQ(text, row.error ? "" : "F0 data");
        EXPECT_EQ(row.error ? errno : 0, row.error);
        FILE* log = BASE_OpenRegularFileStream(row.path.c_str(), BASE_FileUse::Append);
        EXPECT_EQ(log != nullptr, row.error == 0 || row.error == EFBIG);
        if (log) std::fclose(log);
    }
    ::close(reader);
    FILE* made = BASE_OpenRegularFileStream((dir.path + "new.txt").c_str(), BASE_FileUse::AppendOrCreate);
    ASSERT_NE(made, nullptr);
    std::fputs("line\n", made);
    std::fclose(made);
    std::string text;
    EXPECT_TRUE(BASE_ReadRegularFile((dir.path + "new.txt").c_str(), 100, text));
    EXPECT_EQ(text, "line\n");
}

}  // namespace
