// The start-up folder scan on temporary folder trees: order, gates, tree
// shapes, splitting of oversized banks, and file-system trouble.
#include <gtest/gtest.h>

#include <unistd.h>

#include "librarian_testbanks.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
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
    void put(const std::string& relative, const Bytes& bytes) {
        fs::create_directories((patches / relative).parent_path());
        writeFile(patches / relative, bytes);
    }
    Bytes bank(unsigned seed, int count = 128) { return rawBank(randomPrograms(count, seed)); }
    void scan() { lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr()); }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const PatchFile* b : lib.bankFiles) out.push_back(b->fileName);
        return out;
    }
    std::string logText() { return dir.read("log.txt"); }
    int filedCount(const PatchFile* b) const {
        int n = 0;
        for (const FolderFiles* top : lib.folderTree) {
            n += std::count(top->files.begin(), top->files.end(), b);
            for (const SubFolderFiles& s : top->subFolders) {
                n += std::count(s.files.begin(), s.files.end(), b);
                for (const SubFolderFiles2& s2 : s.subFolders) n += std::count(s2.files.begin(), s2.files.end(), b);
            }
        }
        return n;
    }
};

TEST_F(FolderScan, MissingBankFolderLoadsNothingAndSaysSo) {
    fs::remove(patches);
    scan();
    EXPECT_TRUE(lib.bankFiles.empty());
    EXPECT_TRUE(lib.folderTree.empty());
    EXPECT_NE(logText().find("\t PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...\n"), std::string::npos);
    EXPECT_FALSE(fs::exists(patches));
}

TEST_F(FolderScan, OneRawBankInTheBankFolder) {
    put("Pads.syx", bank(1));
    scan();
    ASSERT_EQ(lib.bankFiles.size(), 1u);
    const PatchFile* b = lib.bankFiles[0];
    EXPECT_EQ(b->fileName, "Pads.syx");
    EXPECT_EQ(b->folderName, "Patches");
    EXPECT_EQ(b->folderChain, std::vector<std::string>{"Patches"});
    EXPECT_EQ(b->folderPath, patches.string());
    EXPECT_EQ(b->patches.size(), 128u);
    ASSERT_EQ(lib.folderTree.size(), 1u);
    EXPECT_EQ(lib.folderTree[0]->name, "Patches");
    EXPECT_EQ(lib.folderTree[0]->files, std::vector<PatchFile*>{lib.bankFiles[0]});
    EXPECT_NE(logText().find("\t PATCH LIBRARIAN: loaded file " + (patches / "Pads.syx").string() + "\n"),
              std::string::npos);
}

TEST_F(FolderScan, GatesOnTypeExtensionAndSize) {
    Bytes full = bank(2);
    put("Caps.SYX", full);
    put("Other.HvX", full);
    put("notes.txt", full);
    put("folder.syx/inside.syx", full);
    Bytes small(full.begin(), full.begin() + 25000);
    put("Small.syx", small);
    small.push_back(0);
    put("Just.qzx", small);  // 25001 bytes: 84 whole dumps
    scan();
    EXPECT_EQ(names(), (std::vector<std::string>{"inside.syx", "Caps.SYX", "Just.qzx", "Other.HvX"}));
    ASSERT_EQ(lib.bankFiles[2]->patches.size(), 128u);
    EXPECT_EQ(lib.bankFiles[2]->patches[83].sysexMessages[0].data, programDump(randomPrograms(128, 2)[83]));
    EXPECT_TRUE(isInitProgram(lib.bankFiles[2]->patches[84].sysexMessages[0].data.data(), 297));
}

TEST_F(FolderScan, OrderAndTreeShapes) {
    put("a.syx", bank(3));
    put("B.syx", bank(4));
    put("A/one.syx", bank(5));
    put("A/two.syx", bank(6));
    put("B/three.syx", bank(7));
    put("A/Deep/four.syx", bank(8));
    put("A/Deep/Deeper/five.syx", bank(9));
    scan();

    // Capitals sort first in a folder; subfolders come before their parent,
    // so the bank folder's own files come last.
    auto n = names();
    ASSERT_EQ(n.size(), 7u);
    EXPECT_EQ(std::vector<std::string>(n.end() - 2, n.end()), (std::vector<std::string>{"B.syx", "a.syx"}));
    auto at = [&](const std::string& name) { return std::find(n.begin(), n.end(), name) - n.begin(); };
    EXPECT_LT(at("five.syx"), at("four.syx"));
    EXPECT_LT(at("four.syx"), at("one.syx"));
    EXPECT_LT(at("one.syx"), at("two.syx"));

    const PatchFile* five = lib.bankFiles[at("five.syx")];
    EXPECT_EQ(five->folderChain, (std::vector<std::string>{"Patches", "A", "Deep", "Deeper"}));
    EXPECT_EQ(filedCount(five), 0);

    const FolderFiles* root = nullptr;
    std::vector<const SubFolderFiles*> firstLevel;
    for (const FolderFiles* top : lib.folderTree) {
        if (top->name == "Patches") {
            root = top;
        } else {
            EXPECT_TRUE(top->name.empty());
        }
        for (const SubFolderFiles& s : top->subFolders) firstLevel.push_back(&s);
    }
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->files.size(), 2u);
    ASSERT_EQ(firstLevel.size(), 2u);
    const SubFolderFiles* a = firstLevel[0]->name == "A" ? firstLevel[0] : firstLevel[1];
    const SubFolderFiles* b = firstLevel[0]->name == "B" ? firstLevel[0] : firstLevel[1];
    EXPECT_EQ(a->files.size(), 2u);
    EXPECT_EQ(b->files.size(), 1u);
    ASSERT_EQ(a->subFolders.size(), 1u);
    EXPECT_EQ(a->subFolders[0].name, "Deep");
    EXPECT_EQ(a->subFolders[0].files.size(), 1u);
    for (const PatchFile* f : lib.bankFiles)
        EXPECT_EQ(filedCount(f), f == five ? 0 : 1) << f->fileName;
}

TEST_F(FolderScan, OversizedBankIsSplitMovedAndScannedOnce) {
    put("Sub/Big.syx", bank(10, 300));
    put("Keep.syx", bank(11));
    scan();
    EXPECT_EQ(names(), (std::vector<std::string>{"Big Singles 1.syx", "Big Singles 2.syx", "Big Singles 3.syx",
                                                 "Keep.syx"}));
    EXPECT_FALSE(fs::exists(patches / "Sub" / "Big.syx"));
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big.syx"), bank(10, 300));
    EXPECT_NE(logText().find("\t PATCH LIBRARIAN: moved file Big.syx because it is not Mirren 1 standard formatted!\n"),
              std::string::npos);
    EXPECT_FALSE(lib.rescanPending);
    auto programs = randomPrograms(300, 10);
    EXPECT_EQ(lib.bankFiles[2]->patches[43].sysexMessages[0].data, programDump(programs[299]));
    for (const PatchFile* f : lib.bankFiles) EXPECT_EQ(filedCount(f), 1) << f->fileName;
    EXPECT_EQ(lib.folderTree.size(), 2u);

    // A second oversized file of the same name keeps the converted one.
    put("Big.syx", bank(12, 200));
    scan();
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big.syx"), bank(10, 300));
    EXPECT_EQ(readFile(dir.path() / "Converted Banks" / "Big (2).syx"), bank(12, 200));
}

TEST_F(FolderScan, UnmovableSourceStopsAfterOneRescan) {
    writeFile(dir.path() / "Converted Banks", Bytes{1, 2, 3});  // a file where the folder should be
    put("Big.mid", bank(13, 260));
    scan();
    // The blocks were written beside it and listed; the source stays whole.
    EXPECT_EQ(names(), (std::vector<std::string>{"Big Singles 1.mid", "Big Singles 2.mid", "Big Singles 3.mid"}));
    EXPECT_EQ(readFile(patches / "Big.mid"), bank(13, 260));
    EXPECT_EQ(fs::file_size(patches / "Big Singles 3.mid"), 38580u);
    EXPECT_FALSE(lib.rescanPending);
    EXPECT_NE(logText().find("PATCH LIBRARIAN: skipped file " + (patches / "Big.mid").string()), std::string::npos);
    // Scanning again writes no second copy of the blocks.
    scan();
    int files = 0;
    for (auto& e : fs::directory_iterator(patches)) files += e.is_regular_file();
    EXPECT_EQ(files, 4);
}

TEST_F(FolderScan, FileSystemTroubleIsSkipped) {
    put("Good.syx", bank(14));
    put("Locked/Hidden.syx", bank(15));
    fs::create_symlink(patches / "nowhere.syx", patches / "Gone.syx");
    fs::create_directory_symlink(patches, patches / "Loop");
    fs::permissions(dir.path(), fs::perms::all);
    fs::permissions(patches, fs::perms::all);
    fs::permissions(patches / "Good.syx", fs::perms::all);
    fs::permissions(patches / "Locked", fs::perms::none);
    // As root the folder's permissions would not hold: scan as nobody.
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
    EXPECT_NE(logText().find("PATCH LIBRARIAN: skipped file " + (patches / "Gone.syx").string()), std::string::npos);
}

TEST_F(FolderScan, DiscardAndReloadStartsAfresh) {
    put("One.syx", bank(16));
    scan();
    lib.createNewSearchPatchFiles("Prog");
    ASSERT_FALSE(lib.searchBankFiles.empty());
    put("Two.syx", bank(17));
    lib.initBankFilesOnDiscard(plug.getPatchesFolderStr());
    EXPECT_EQ(names(), (std::vector<std::string>{"One.syx", "Two.syx"}));
    EXPECT_TRUE(lib.searchBankFiles.empty() && lib.searchFolderTree.empty());
    EXPECT_EQ(lib.folderTree.size(), 1u);
}

}  // namespace
