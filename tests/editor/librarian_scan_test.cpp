// The start-up folder scan on temporary folder trees: order, gates, tree
// shapes, splitting, file-system trouble and damaged files.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <unistd.h>

#include "librarian_testbanks.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"
#include "support/TempDataDir.h"

namespace {

using namespace libtest;
namespace fs = std::filesystem;

class FolderScan : public ::testing::Test {
protected:
    hvtest::TempDataDir dir;
    Halvoran plug;
    PatchLibrarian lib{&plug};
    fs::path patches = dir.path() / "Patches";

    void SetUp() override {
        plug.debugLogOn = true;
        plug.debugLogPath = dir.str() + "log.txt";
        fs::create_directories(patches);
    }
    void put(const std::string& relative, const Bytes& bytes) { writeFile(patches / relative, bytes); }
    static Bytes bank(unsigned seed, int count = 128) { return rawBank(randomPrograms(count, seed)); }
    void scan() { lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr()); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const PatchFile* b : lib.bankFiles) out.push_back(b->fileName);
        return out;
    }
    bool logged(const std::string& line) { return dir.read("log.txt").find("\t " + line) != std::string::npos; }
    // Where the tree files a bank: "name", "/sub" or "/sub/sub2", one entry per place.
    std::vector<std::string> placesOf(const PatchFile* b) const {
        std::vector<std::string> out;
        auto has = [b](const std::vector<PatchFile*>& v) { return std::count(v.begin(), v.end(), b); };
        for (const FolderFiles* top : lib.folderTree) {
            for (int i = has(top->files); i > 0; --i) out.push_back(top->name);
            for (const SubFolderFiles& s : top->subFolders) {
                for (int i = has(s.files); i > 0; --i) out.push_back(top->name + "/" + s.name);
                for (const SubFolderFiles2& s2 : s.subFolders)
                    for (int i = has(s2.files); i > 0; --i) out.push_back(top->name + "/" + s.name + "/" + s2.name);
            }
        }
        return out;
    }
};

TEST_F(FolderScan, MissingFolderAndOneBank) {
    fs::remove(patches);
    scan();
    EXPECT_TRUE(lib.bankFiles.empty() && lib.folderTree.empty() && !fs::exists(patches));
    EXPECT_TRUE(logged("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...\n"));

    put("Pads.syx", bank(1));
    scan();
    ASSERT_EQ(names(), std::vector<std::string>{"Pads.syx"});
    const PatchFile* b = lib.bankFiles[0];
    EXPECT_EQ(b->folderName, "Patches");
    EXPECT_EQ(b->folderChain, std::vector<std::string>{"Patches"});
    EXPECT_EQ(b->folderPath, patches.string());
    EXPECT_EQ(b->patches.size(), 128u);
    EXPECT_EQ(placesOf(b), std::vector<std::string>{"Patches"});
    EXPECT_TRUE(logged("PATCH LIBRARIAN: loaded file " + (patches / "Pads.syx").string() + "\n"));
}

TEST_F(FolderScan, OrderGatesAndTreeShapes) {
    Bytes full = bank(2);
    put("a.syx", full);
    put("B.syx", full);
    put("Caps.SYX", full);
    put("notes.txt", full);
    put("Small.syx", Bytes(full.begin(), full.begin() + 25000));
    put("Just.qzx", Bytes(full.begin(), full.begin() + 25001));  // 84 whole dumps
    put("A/one.hvx", full);
    put("A/two.syx", full);
    put("B/three.syx", full);
    put("A/Deep/four.MID", full);
    put("A/Deep/Deeper/five.syx", full);
    put("dir.syx/six.syx", full);
    scan();

    // Subfolders before their parent; in a folder, by path with capitals first.
    auto n = names();
    ASSERT_EQ(n.size(), 10u);
    EXPECT_EQ(std::vector<std::string>(n.end() - 4, n.end()),
              (std::vector<std::string>{"B.syx", "Caps.SYX", "Just.qzx", "a.syx"}));
    auto index = [&](const std::string& name) { return std::find(n.begin(), n.end(), name) - n.begin(); };
    EXPECT_LT(index("five.syx"), index("four.MID"));
    EXPECT_EQ(dumpsOf(*lib.bankFiles[index("Just.qzx")])[84], initProgram());

    std::map<std::string, std::vector<std::string>> places;
    for (const PatchFile* b : lib.bankFiles) places[b->fileName] = placesOf(b);
    using V = std::vector<std::string>;
    EXPECT_EQ(places["a.syx"], V{"Patches"});
    EXPECT_EQ(places["two.syx"], V{"/A"});
    EXPECT_EQ(places["three.syx"], V{"/B"});
    EXPECT_EQ(places["four.MID"], V{"/A/Deep"});
    EXPECT_EQ(places["five.syx"], V{});  // three folders down: listed, not filed
    EXPECT_EQ(lib.bankFiles[index("five.syx")]->folderChain, (V{"Patches", "A", "Deep", "Deeper"}));
}

TEST_F(FolderScan, OversizedBanksAreSplitMovedAndScannedOnce) {
    put("Sub/Big.syx", bank(10, 300));
    put("Keep.syx", bank(11));
    scan();
    EXPECT_EQ(names(),
              (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx", "Big Singles 3.syx", "Keep.syx"}));
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big.syx"), bank(10, 300));
    EXPECT_FALSE(fs::exists(patches / "Sub" / "Big.syx"));
    EXPECT_TRUE(logged("PATCH LIBRARIAN: moved file Big.syx because it is not Mirren 1 standard formatted!\n"));
    for (const PatchFile* b : lib.bankFiles) EXPECT_EQ(placesOf(b).size(), 1u);

    // The next one of that name keeps the converted one.
    put("Big.syx", bank(12, 200));
    lib.initBankFilesOnDiscard(plug.getPatchesFolderStr());
    EXPECT_EQ(lib.bankFiles.size(), 6u);
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big.syx"), bank(10, 300));
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big (2).syx"), bank(12, 200));

    // A source that cannot be moved stays whole, and the scan ends.
    fs::remove_all(dir.path() / "Converted Banks");
    writeFile(dir.path() / "Converted Banks", {1});
    put("Huge.mid", bank(13, 260));
    lib.initBankFilesOnDiscard(plug.getPatchesFolderStr());
    EXPECT_EQ(readFile(patches / "Huge.mid"), bank(13, 260));
    EXPECT_EQ(fs::file_size(patches / "Huge Singles 3.mid"), 38580u);
    EXPECT_TRUE(logged("PATCH LIBRARIAN: skipped file " + (patches / "Huge.mid").string()));
    EXPECT_EQ(lib.bankFiles.size(), 9u);
    EXPECT_FALSE(lib.rescanPending);
}

TEST_F(FolderScan, FileSystemTroubleIsSkipped) {
    put("Good.syx", bank(14));
    put("Locked/Hidden.syx", bank(15));
    fs::create_symlink(patches / "nowhere.syx", patches / "Gone.syx");
    fs::create_directory_symlink(patches, patches / "Loop");
    for (const fs::path& p : {dir.path(), patches, patches / "Good.syx"}) fs::permissions(p, fs::perms::all);
    fs::permissions(patches / "Locked", fs::perms::none);
    // Where the tests run as root the folder's permissions would not hold.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
            PatchLibrarian scanner(nullptr);
            scanner.loadPatchesFromFilesystem(patches.string());
            _exit(scanner.bankFiles.size() == 1 && scanner.bankFiles[0]->fileName == "Good.syx" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    fs::permissions(patches / "Locked", fs::perms::all);
    scan();
    EXPECT_EQ(names(), (std::vector<std::string>{"Hidden.syx", "Good.syx"}));
    EXPECT_TRUE(logged("PATCH LIBRARIAN: skipped file " + (patches / "Gone.syx").string()));
}

// A library of many banks saved as one file is split as ever; a file larger
// than any bank file can be is named in the log and not read, however large.
TEST_F(FolderScan, AFileLargerThanAnyBankIsNamedAndNotRead) {
    put("Library.syx", bank(16, 20 * 128));
    const std::pair<const char*, int64_t> large[] = {
        {"At The Bound.syx", kMaxBankFileSize}, {"Over.syx", kMaxBankFileSize + 1}, {"Huge.mid", int64_t{3} << 30}};
    for (const auto& [name, size] : large) {
        std::ofstream(patches / name).put('\xF0');
        fs::resize_file(patches / name, static_cast<uintmax_t>(size));
    }
    scan();
    EXPECT_EQ(lib.bankFiles.size(), 20u);
    const std::vector<std::string> listed = names();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), "Library Singles 20.syx"), 1);
    for (const auto& [name, size] : large) {
        const std::string path = (patches / name).string();
        const bool read = size <= kMaxBankFileSize;
        EXPECT_EQ(logged("PATCH LIBRARIAN: loaded file " + path + "\n"), read) << name;
        EXPECT_EQ(logged("PATCH LIBRARIAN: skipped file " + path + ": " + std::to_string(size) +
                         " bytes, more than any bank file holds\n"),
                  !read)
            << name;
    }
}

TEST_F(FolderScan, DamagedFilesChangeNothingAndLoadOnlyRealPrograms) {
    auto programs = randomPrograms(128, 77);
    Bytes raw = rawBank(programs), packed = packedBank(programs, 4);
    ByteChunk image;
    ASSERT_TRUE(buildBankImage(loadBytes(lib, raw).patches, true, &image));
    const Bytes midi(image.GetBytes(), image.GetBytes() + image.Size());

    std::mt19937 rng(1234);
    Bytes noise(38016);
    for (auto& x : noise) x = static_cast<uint8_t>(rng());
    auto cut = [](Bytes b, size_t n) { return b.resize(n), b; };
    auto poke = [](Bytes b, size_t at, uint8_t v) { return b[at] = v, b; };
    const std::map<std::string, Bytes> damaged = {{"empty", {}},
                                                  {"raw cut", cut(raw, 25001)},
                                                  {"raw short", cut(raw, 38015)},
                                                  {"packed cut", cut(packed, 30000)},
                                                  {"midi cut", cut(midi, 26000)},
                                                  {"midi head", cut(midi, 14)},
                                                  {"wrong maker", poke(raw, 1, 0x41)},
                                                  {"wrong function", poke(packed, 4, 0x4D)},
                                                  {"track length", poke(midi, 47, 0xFF)},
                                                  {"header length", poke(midi, 4, 0x7F)},
                                                  {"noise", noise}};
    std::map<fs::path, Bytes> before;
    for (const std::string ext : {"mid", "syx", "hvx", "qzx", "MID"})
        for (const auto& [what, bytes] : damaged)
            writeFile(before.emplace(patches / (what + "." + ext), bytes).first->first, bytes);
    scan();

    std::map<fs::path, Bytes> after;
    for (auto& e : fs::recursive_directory_iterator(patches)) after[e.path()] = readFile(e.path());
    EXPECT_TRUE(after == before);
    auto real = dumpsOf(loadBytes(lib, raw));
    real.push_back(initProgram());
    EXPECT_FALSE(lib.bankFiles.empty());
    for (const PatchFile* b : lib.bankFiles)
        for (const Bytes& d : dumpsOf(*b)) EXPECT_NE(std::find(real.begin(), real.end(), d), real.end()) << b->fileName;
}

// Deeper than the walk holds folders open: with a side folder at every
// level, half the levels wait for their side folder while the walk is below.
TEST_F(FolderScan, ANestedTreeIsWalkedWholeSubfoldersFirst) {
    fs::path folder = patches, mid;
    for (int level = 0; level < 150; ++level) {
        const bool even = level % 2 == 0;
        fs::create_directories(folder / (even ? "y" : "x"));
        if (level == 70) {
            mid = folder;
            writeFile(folder / (even ? "y" : "x") / "Side.syx", bank(21));
        }
        folder /= even ? "x" : "y";
    }
    writeFile(folder / "Deep.syx", bank(22));
    writeFile(mid / "Mid.syx", bank(23));
    put("Top.syx", bank(24));
    scan();

    // The side folder and the chain below it come in the directory's order.
    const std::vector<std::string> n = names(), deepFirst{"Deep.syx", "Side.syx", "Mid.syx", "Top.syx"},
                                   sideFirst{"Side.syx", "Deep.syx", "Mid.syx", "Top.syx"};
    EXPECT_TRUE(n == deepFirst || n == sideFirst) << ::testing::PrintToString(n);
    ASSERT_EQ(lib.bankFiles.size(), 4u);
    EXPECT_EQ(lib.folderList.size(), 301u);
    for (const PatchFile* b : lib.bankFiles) {
        if (b->fileName == "Deep.syx") {
            EXPECT_EQ(b->folderChain.size(), 151u);
        }
    }
}

}  // namespace
