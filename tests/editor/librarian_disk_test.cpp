// The start-up scan against the world outside the editor: links in the bank
// folder, a kill at any point of a write or a move, two editors starting at
// once, and the temporaries that killed writers leave.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>

#include "librarian_testbanks.h"
#include "src/DataFolder.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarianWriteBank.h"
#include "src/Settings.h"
#include "support/ScopedEnv.h"
#include "support/TempDataDir.h"

// What the tests below do at each step of the writers; nothing by default.
void (*onWriterStep)(const char*) = nullptr;

void fileWriterStep(const char* step) {
    if (onWriterStep) onWriterStep(step);
}

namespace {

using namespace libtest;
namespace fs = std::filesystem;

Bytes bank(unsigned seed, int count = 128) { return rawBank(randomPrograms(count, seed)); }

Bytes slurp(const fs::path& p) {
    Bytes out(fs::file_size(p));
    std::ifstream(p, std::ios::binary)
        .read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return out;
}

// Every file below root with its bytes, links not followed (a link shows
// as "-> target").
std::map<std::string, Bytes> tree(const fs::path& root) {
    std::map<std::string, Bytes> out;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it) {
        const std::string name = it->path().lexically_relative(root).string();
        if (it->is_symlink()) {
            const std::string to = "-> " + fs::read_symlink(it->path()).string();
            out[name] = Bytes(to.begin(), to.end());
        } else if (it->is_regular_file()) {
            out[name] = slurp(it->path());
        }
    }
    return out;
}

std::vector<std::string> temporariesIn(const std::map<std::string, Bytes>& files) {
    std::vector<std::string> out;
    for (const auto& [name, bytes] : files)
        if (isWriterTemporary(fs::path(name).filename().string())) out.push_back(name);
    return out;
}

// A folder beside the data folder, as a musician's collection elsewhere.
struct Elsewhere {
    fs::path path;
    explicit Elsewhere(const fs::path& base) {
        std::string pattern = (base / "halvoran-elsewhere-XXXXXX").string();
        path = ::mkdtemp(pattern.data());
    }
    ~Elsewhere() { fs::remove_all(path); }
};

// What a start of the editor does on disk, in its order: the settings file
// (written when missing), then the bank scan.
struct DiskStart {
    PatchLibrarian lib{nullptr};
    DiskStart() {
        HalvoranSettings settings;
        const std::string path = settingsFilePath(halvoranDataFolder(), "Halvoran");
        bool found = false;
        if (!readSettingsFile(path, &settings, &found) && !found) writeSettingsFile(path, settings);
        lib.loadPatchesFromFilesystem(halvoranDataFolder() + "Patches");
    }
    std::vector<std::string> bankNames() const {
        std::vector<std::string> out;
        for (const PatchFile* b : lib.bankFiles) out.push_back(b->fileName);
        std::sort(out.begin(), out.end());
        return out;
    }
};

TEST(ScanLinks, LinksAreReadButNothingOutsidePatchesChangesAndAStartAddsNothing) {
    hvtest::TempDataDir dir;
    Elsewhere outside(fs::temp_directory_path());
    const fs::path patches = dir.path() / "Patches";
    writeFile(outside.path / "Far.syx", bank(1, 140));
    writeFile(outside.path / "Near.syx", bank(2));
    writeFile(patches / "Own.syx", bank(3));
    writeFile(patches / "Sub" / "Big.syx", bank(4, 140));
    writeFile(dir.path() / "Loose.syx", bank(5, 140));
    fs::create_directory_symlink(outside.path, patches / "Collection");
    fs::create_directory_symlink("..", patches / "data");
    fs::create_directory_symlink("..", patches / "Sub" / "up");
    fs::create_symlink(outside.path / "Far.syx", patches / "Linked.syx");
    fs::create_symlink("../Converted Banks/Big.syx", patches / "Converted.syx");
    for (const char* pseudo : {"/proc", "/sys", "/dev"}) fs::create_directory_symlink(pseudo, patches / (pseudo + 1));
    // Left by killed writers: removed only in the editor's own folders.
    writeFile(patches / ".Own.syx.XyZ789", bank(3));
    writeFile(outside.path / ".Near.syx.AbC123", bank(2));
    writeFile(patches / ".notes.txt.abcdef", {1, 2, 3});
    const auto outsideBefore = tree(outside.path);

    std::map<std::string, Bytes> afterFirst;
    for (int start = 1; start <= 4; ++start) {
        SCOPED_TRACE("start " + std::to_string(start));
        DiskStart editor;
        EXPECT_EQ(editor.bankNames(),
                  (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx", "Far Singles 1.syx",
                                            "Far Singles 2.syx", "Linked Singles 1.syx", "Linked Singles 2.syx",
                                            "Loose Singles 1.syx", "Loose Singles 2.syx", "Near.syx", "Own.syx"}));
        for (const std::string& folder : editor.lib.folderList)
            for (const char* pseudo : {"proc", "sys", "dev"})
                EXPECT_NE(folder.rfind((patches / pseudo).string(), 0), 0u) << folder;
        EXPECT_EQ(tree(outside.path), outsideBefore);
        if (start == 1) {
            afterFirst = tree(dir.path());
            EXPECT_EQ(afterFirst["Converted Banks/Big.syx"], bank(4, 140));
            EXPECT_EQ(afterFirst["Loose.syx"], bank(5, 140));
            EXPECT_EQ(afterFirst.count("Patches/Sub/Big.syx"), 0u);
            EXPECT_EQ(afterFirst.count("Patches/Sub/Big Singles 2.syx"), 1u);
            EXPECT_EQ(afterFirst.count("Patches/.Own.syx.XyZ789"), 0u);
            EXPECT_EQ(afterFirst.count("Patches/.notes.txt.abcdef"), 1u);
        } else {
            EXPECT_EQ(tree(dir.path()), afterFirst);
        }
    }
}

// What the scan of a 140-program bank in Patches/Sub, or a rewrite of the
// settings, leaves when the process is killed at the k-th step of its
// writes and moves; and what the next start makes of that.
struct KillRoad {
    const char* name;
    bool scan;
    bool convertedElsewhere;  // "Converted Banks" on another file system
};

int stepsLeft = 0;

void killAtStep(const char*) {
    if (--stepsLeft == 0) ::raise(SIGKILL);
}

// Runs the road in a child killed at step k; true when it was killed.
bool runKilledAt(const KillRoad& road, int k, const std::string& patches, const std::string& settings) {
    const pid_t child = ::fork();
    if (child == 0) {
        stepsLeft = k;
        onWriterStep = killAtStep;
        if (road.scan) {
            PatchLibrarian(nullptr).loadPatchesFromFilesystem(patches);
        } else {
            writeSettingsFile(settings,
                              HalvoranSettings{HalvoranSettings::kSizeSmall, HalvoranSettings::kSkinPlatinum, false});
        }
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// Where a second file system is at hand, the data folders of these runs
// lie on /dev/shm, whose fsyncs cost nothing, and "Converted Banks" may be a
// link to the disk; the result is that disk folder, or empty.
fs::path useMemoryFileSystem(std::optional<hvtest::ScopedEnv>& tmpdir) {
    const fs::path disk = fs::temp_directory_path();
    struct stat onDisk {
    }, shm{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(disk.c_str(), &onDisk) != 0 || shm.st_dev == onDisk.st_dev) return {};
    tmpdir.emplace("TMPDIR", "/dev/shm");
    return disk;
}

// The data folder's files, with those of "Converted Banks" where it is a
// link to another file system.
std::map<std::string, Bytes> dataFiles(const fs::path& data, const fs::path& converted) {
    auto files = tree(data);
    if (converted.parent_path() != data)
        for (auto& [name, bytes] : tree(converted)) files["Converted Banks/" + name] = bytes;
    return files;
}

TEST(ScanKills, AKillAtAnyStepLeavesNoHalfFileAndTheNextStartTidiesUp) {
    std::optional<hvtest::ScopedEnv> tmpdir;
    const fs::path disk = useMemoryFileSystem(tmpdir);
    const KillRoad roads[] = {{"split and move", true, false},
                              {"split and move across file systems", true, true},
                              {"settings rewrite", false, false}};
    const std::string oldSettings = "large\nlegacy\nfirst run: no\n", newSettings = "small\nplatinum\nfirst run: no\n";

    // The split files as an undisturbed scan writes them.
    const Bytes source = bank(6, 140);
    std::map<std::string, Bytes> splitFiles;
    {
        hvtest::TempDataDir clean;
        writeFile(clean.path() / "Patches" / "Sub" / "Big.syx", bank(6, 140));
        PatchLibrarian(nullptr).loadPatchesFromFilesystem(clean.str() + "Patches");
        for (const auto& [name, bytes] : tree(clean.path() / "Patches" / "Sub")) splitFiles[name] = bytes;
        ASSERT_EQ(splitFiles.size(), 2u);
    }

    for (const KillRoad& road : roads) {
        if (road.convertedElsewhere && disk.empty()) {
            std::cout << "[ NOTE ] no second file system at /dev/shm: \"" << road.name << "\" is not run\n";
            continue;
        }
        bool finished = false;
        for (int k = 1; !finished && k < 64; ++k) {
            SCOPED_TRACE(std::string(road.name) + ", killed at step " + std::to_string(k));
            hvtest::TempDataDir dir;
            std::unique_ptr<Elsewhere> converted;
            const std::string patches = dir.str() + "Patches", settings = dir.str() + "Halvoran UI.txt";
            writeFile(dir.path() / "Patches" / "Sub" / "Big.syx", bank(6, 140));
            writeFile(settings, Bytes(oldSettings.begin(), oldSettings.end()));
            fs::path convertedFolder = dir.path() / "Converted Banks";
            if (road.convertedElsewhere) {
                converted = std::make_unique<Elsewhere>(disk);
                fs::create_directory_symlink(converted->path, convertedFolder);
                convertedFolder = converted->path;
            }
            finished = !runKilledAt(road, k, patches, settings);

            // Under a real name only whole files: the source, a split file,
            // the settings as they were or as they are meant to be.
            int sources = 0;
            for (const auto& [name, bytes] : dataFiles(dir.path(), convertedFolder)) {
                const std::string base = fs::path(name).filename().string();
                if (isWriterTemporary(base) || fs::is_symlink(dir.path() / name)) continue;
                if (bytes == source) {
                    ++sources;
                } else if (base == "Halvoran UI.txt") {
                    const std::string text(bytes.begin(), bytes.end());
                    EXPECT_TRUE(text == oldSettings || text == newSettings) << text;
                } else {
                    EXPECT_EQ(bytes, splitFiles[base]) << name;
                }
            }
            EXPECT_GE(sources, road.scan ? 1 : 0);

            // The next start: what the kill left is gone, and what it started
            // is done once; the start after changes nothing.
            { DiskStart next; }
            const auto tidy = dataFiles(dir.path(), convertedFolder);
            EXPECT_EQ(temporariesIn(tidy), std::vector<std::string>{});
            if (road.scan) {
                EXPECT_EQ(tidy.at("Converted Banks/Big.syx"), source);
                EXPECT_EQ(tidy.count("Converted Banks/Big (2).syx"), 0u);
                EXPECT_EQ(tidy.count("Patches/Sub/Big.syx"), 0u);
                for (const auto& [name, bytes] : splitFiles) EXPECT_EQ(tidy.at("Patches/Sub/" + name), bytes) << name;
            } else {
                const std::string text(tidy.at("Halvoran UI.txt").begin(), tidy.at("Halvoran UI.txt").end());
                EXPECT_TRUE(text == oldSettings || text == newSettings) << text;
            }
            { DiskStart again; }
            EXPECT_EQ(dataFiles(dir.path(), convertedFolder), tidy);
        }
        EXPECT_TRUE(finished) << road.name;
    }
}

// One editor stops just before it moves the split bank (or, across file
// systems, with its copy on disk) while a second one starts and moves it.
TEST(ScanKills, TwoEditorsStartingTogetherMakeOneCopy) {
    struct Row {
        const char* name;
        bool convertedElsewhere;
        int pauseAt;  // two split files of three steps each, then the copy's first three
    };
    std::optional<hvtest::ScopedEnv> tmpdir;
    const fs::path disk = useMemoryFileSystem(tmpdir);
    for (const Row& row : {Row{"one file system", false, 6}, Row{"across file systems", true, 9}}) {
        SCOPED_TRACE(row.name);
        if (row.convertedElsewhere && disk.empty()) continue;
        hvtest::TempDataDir dir;
        std::unique_ptr<Elsewhere> elsewhere;
        fs::path converted = dir.path() / "Converted Banks";
        if (row.convertedElsewhere) {
            elsewhere = std::make_unique<Elsewhere>(disk);
            fs::create_directory_symlink(elsewhere->path, converted);
            converted = elsewhere->path;
        }
        writeFile(dir.path() / "Patches" / "Sub" / "Big.syx", bank(7, 140));

        int ready[2], go[2];
        ASSERT_EQ(::pipe(ready), 0);
        ASSERT_EQ(::pipe(go), 0);
        static int pauseAt, readyFd, goFd;
        pauseAt = row.pauseAt, readyFd = ready[1], goFd = go[0];
        const pid_t first = ::fork();
        if (first == 0) {
            onWriterStep = [](const char*) {
                if (--pauseAt != 0) return;
                char c = 1;
                if (::write(readyFd, &c, 1) != 1 || ::read(goFd, &c, 1) != 1) ::_exit(3);
            };
            PatchLibrarian(nullptr).loadPatchesFromFilesystem(dir.str() + "Patches");
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        { DiskStart second; }
        // A copy that a living editor is still making is not taken for a leftover.
        EXPECT_EQ(temporariesIn(tree(converted)).size(), row.convertedElsewhere ? 1u : 0u);
        EXPECT_EQ(::write(go[1], &c, 1), 1);
        int status = 0;
        ::waitpid(first, &status, 0);
        ::close(ready[0]);
        ::close(go[1]);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

        const auto files = dataFiles(dir.path(), converted);
        EXPECT_EQ(files.at("Converted Banks/Big.syx"), bank(7, 140));
        EXPECT_EQ(files.count("Converted Banks/Big (2).syx"), 0u);
        EXPECT_EQ(files.count("Patches/Sub/Big.syx"), 0u);
        EXPECT_EQ(temporariesIn(files), std::vector<std::string>{});
    }
}

// An import fills the bank folder only with whole banks, never over one of
// the same name: a disk that fills half way leaves nothing behind.
TEST(ScanKills, AnImportOntoAFullDiskLeavesNoHalfBank) {
    hvtest::TempDataDir dir;
    const Bytes theirs = bank(9), imported = bank(8);
    writeFile(dir.path() / "Patches" / "Pads.syx", theirs);
    for (bool full : {true, false}) {
        const pid_t child = ::fork();
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit room{imported.size() / 2, imported.size() / 2};
            if (full) ::setrlimit(RLIMIT_FSIZE, &room);
            Halvoran plug;
            plug.patchLibrarian = new PatchLibrarian(&plug);
            ::_exit(plug.saveImportedFile("/elsewhere/Pads.syx", std::string(imported.begin(), imported.end())) ? 0
                                                                                                                : 1);
        }
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == (full ? 1 : 0)) << full;
        std::map<std::string, Bytes> expected{{"Pads.syx", theirs}};
        if (!full) expected["Pads (2).syx"] = imported;
        EXPECT_EQ(tree(dir.path() / "Patches"), expected) << full;
    }
}

}  // namespace
