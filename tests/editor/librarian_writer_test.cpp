// Writing bank files: the two layouts, reading them back, names, splitting,
// and failures that must leave the bank on disk whole.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/IGraphicsMac.h"
#include "librarian_testbanks.h"
#include "platform/appkit/HeadlessBackend.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "support/TempDataDir.h"

namespace {

using namespace libtest;
namespace fs = std::filesystem;

const Bytes kSmfStart = {0x4D, 0x54, 0x68, 0x64, 0x00, 0x00, 0x00, 0x06, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0,
                         0x4D, 0x54, 0x72, 0x6B, 0x00, 0x00, 0x00, 0x13, 0x00, 0xFF, 0x58, 0x04, 0x04, 0x02,
                         0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x00, 0xFF, 0x2F, 0x00, 0x4D,
                         0x54, 0x72, 0x6B, 0x00, 0x00, 0x96, 0x83, 0x00, 0xF0, 0x82, 0x28};

Bytes expectedMidiFile(const std::vector<Bytes>& dumps) {
    Bytes out = kSmfStart;
    for (size_t i = 0; i < dumps.size(); ++i) {
        if (i > 0) out.insert(out.end(), {0x83, 0x74, 0xF0, 0x82, 0x28});
        out.insert(out.end(), dumps[i].begin() + 1, dumps[i].end());
    }
    out.insert(out.end(), {0x00, 0xFF, 0x2F, 0x00});
    return out;
}

LibrarianPatch programOf(const Bytes& dump) {
    LibrarianPatch p;
    p.sysexMessages.push_back(PatchSysexMessage{dump});
    p.name = patchNameFromDump(dump.data(), dump.size());
    return p;
}

struct Librarian {
    Halvoran plug;
    PatchLibrarian lib{&plug};
    PatchFile* upper = new PatchFile;
    Librarian() { lib.bankFiles.push_back(upper); }
};

std::vector<Bytes> dumpsOf(const std::vector<ProgramData>& programs) {
    std::vector<Bytes> out;
    for (const auto& p : programs) out.push_back(programDump(p));
    return out;
}

PatchFile reload(const fs::path& file) {
    PatchLibrarian reader(nullptr);
    return loadBytes(reader, readFile(file));
}

TEST(LibrarianWriter, BothFormsAreByteExactAndNamedByExtension) {
    hvtest::TempDataDir dir;
    Librarian l;
    auto dumps = dumpsOf(randomPrograms(128));
    for (const auto& d : dumps) l.upper->patches.push_back(programOf(d));

    ASSERT_TRUE(l.lib.saveEditedPatch(dir.str() + "Pads.syx", "Pads.syx"));
    EXPECT_EQ(l.plug.upperBankName, "Pads.syx.hvx");
    Bytes raw = readFile(dir.path() / "Pads.syx");
    ASSERT_EQ(raw.size(), 38016u);
    EXPECT_EQ(raw, rawBank(randomPrograms(128)));

    ASSERT_TRUE(l.lib.saveEditedPatch(dir.str() + "Pads.mid", "Pads.mid"));
    EXPECT_EQ(l.plug.upperBankName, "Pads.mid.mid");
    Bytes smf = readFile(dir.path() / "Pads.mid");
    ASSERT_EQ(smf.size(), 38580u);
    EXPECT_EQ(smf, expectedMidiFile(dumps));
    const uint32_t track2 = (smf[45] << 24) | (smf[46] << 16) | (smf[47] << 8) | smf[48];
    EXPECT_EQ(track2, smf.size() - 49);

    ASSERT_TRUE(l.lib.saveEditedPatch(dir.str() + "Pads", "Pads"));
    EXPECT_EQ(l.plug.upperBankName, "Pads");
    EXPECT_EQ(readFile(dir.path() / "Pads"), raw);
    ASSERT_TRUE(l.lib.saveEditedPatch(dir.str() + "Keys.qzx", "Keys.qzx"));
    EXPECT_EQ(l.plug.upperBankName, "Keys.qzx.qzx");

    // The librarian's own bank is not changed by saving.
    EXPECT_EQ(l.upper->patches.size(), 128u);
    EXPECT_EQ(l.upper->patches[0].sysexMessages[0].data, dumps[0]);
}

TEST(LibrarianWriter, EverySlotKeepsItsPlaceWhenReadBack) {
    hvtest::TempDataDir dir;
    Librarian l;
    auto dumps = dumpsOf(randomPrograms(128, 8));
    for (const auto& d : dumps) l.upper->patches.push_back(programOf(d));
    const Bytes init(hvInitPatchData, hvInitPatchData + 297);
    l.upper->patches[0] = programOf(init);
    l.upper->patches[5] = LibrarianPatch();
    l.upper->patches[7].sysexMessages[0].data.resize(120);  // a fragment, no program
    l.upper->patches[9].sysexMessages.insert(l.upper->patches[9].sysexMessages.begin(), PatchSysexMessage{Bytes(40, 1)});
    l.upper->patches.resize(126);  // the last two slots hold nothing

    for (bool asMid : {false, true}) {
        fs::path file = dir.path() / (asMid ? "Odd.mid" : "Odd.hvx");
        ASSERT_TRUE(l.lib.savePatchAsPath(file.string(), asMid));
        EXPECT_EQ(fs::file_size(file), asMid ? 38580u : 38016u);
        PatchFile back = reload(file);
        ASSERT_EQ(back.patches.size(), 128u) << asMid;
        for (int i = 0; i < 128; ++i) {
            ASSERT_EQ(back.patches[i].sysexMessages.size(), 1u);
            const Bytes& got = back.patches[i].sysexMessages[0].data;
            if (i == 0 || i == 5 || i == 7 || i >= 126)
                EXPECT_EQ(got, init) << i;
            else
                EXPECT_EQ(got, dumps[i]) << i;
        }
    }
}

TEST(LibrarianWriter, SaveAsTakesFolderAndFileNameFromThePath) {
    hvtest::TempDataDir dir;
    Librarian l;
    l.upper->patches.push_back(programOf(programDump(randomPrograms(1)[0])));
    fs::create_directories(dir.path() / "Patches" / "Leads");
    ASSERT_TRUE(l.lib.savePatchAsPath(dir.str() + "Patches/Leads/My Bank.hvx", false));
    EXPECT_EQ(l.plug.upperBankFolder, "Leads");
    EXPECT_EQ(l.plug.upperBankName, "My Bank.hvx");
    EXPECT_EQ(fs::file_size(dir.path() / "Patches" / "Leads" / "My Bank.hvx"), 38016u);

    std::string text = "a/b\\c";
    removeCharsFromString(text, "/\\");
    EXPECT_EQ(text, "abc");
    removeCharsFromString(text, "");
    EXPECT_EQ(text, "abc");
}

TEST(LibrarianWriter, SaveAsAsksForTheFileInTheSaveDialog) {
    hvtest::TempDataDir dir;
    auto* backend = new platform::appkit::HeadlessBackend;
    platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));
    Librarian l;
    l.upper->patches.push_back(programOf(programDump(randomPrograms(1)[0])));
    EXPECT_FALSE(l.lib.savePatchAs("Pads.mid", dir.str(), true));  // no panel open
    l.plug.AttachGraphics(new IGraphicsMac(&l.plug, 100, 100));

    EXPECT_FALSE(l.lib.savePatchAs("Pads.mid", dir.str(), true));  // cancelled
    EXPECT_TRUE(l.plug.upperBankName.empty() && l.plug.upperBankFolder.empty());
    ASSERT_EQ(backend->fileRequests().size(), 1u);
    EXPECT_EQ(backend->fileRequests()[0].kind, platform::appkit::FilePanelKind::Save);
    EXPECT_EQ(backend->fileRequests()[0].fileName, "Pads.mid");
    EXPECT_EQ(backend->fileRequests()[0].directory, dir.str());
    EXPECT_EQ(backend->fileRequests()[0].extensions, std::vector<std::string>{"mid"});

    fs::create_directories(dir.path() / "Leads");
    backend->queueFileChoice(dir.str() + "Leads/Pads.mid");
    ASSERT_TRUE(l.lib.savePatchAs("Pads.mid", dir.str(), true));
    EXPECT_EQ(fs::file_size(dir.path() / "Leads" / "Pads.mid"), 38580u);
    EXPECT_EQ(l.plug.upperBankFolder, "Leads");
    EXPECT_EQ(l.plug.upperBankName, "Pads.mid");

    backend->queueFileChoice(dir.str() + "Pads.hvx");
    ASSERT_TRUE(l.lib.savePatchAs("Pads.hvx", dir.str(), false));
    EXPECT_EQ(backend->fileRequests().back().extensions, std::vector<std::string>{"hvx"});
    EXPECT_EQ(fs::file_size(dir.path() / "Pads.hvx"), 38016u);
}

TEST(LibrarianWriter, NothingIsWrittenWithoutAnUpperBank) {
    hvtest::TempDataDir dir;
    Halvoran plug;
    PatchLibrarian lib(&plug);
    EXPECT_FALSE(lib.saveEditedPatch(dir.str() + "A.syx", "A.syx"));
    EXPECT_FALSE(lib.savePatchAsPath(dir.str() + "B.hvx", false));
    lib.bankFiles.push_back(new PatchFile);
    lib.selectedBankUpper = 1;
    EXPECT_FALSE(lib.saveEditedPatch(dir.str() + "A.syx", "A.syx"));
    EXPECT_TRUE(fs::is_empty(dir.path()));
}

class FailingWrite : public ::testing::Test {
protected:
    hvtest::TempDataDir dir;
    Librarian l;
    fs::path file;
    Bytes before;
    void SetUp() override {
        for (const auto& d : dumpsOf(randomPrograms(128, 1))) l.upper->patches.push_back(programOf(d));
        file = dir.path() / "Bank.hvx";
        before = rawBank(randomPrograms(128, 2));
        writeFile(file, before);
    }
    void expectOldBankWhole() {
        EXPECT_EQ(readFile(file), before);
        int entries = 0;
        for (auto& e : fs::directory_iterator(dir.path())) entries += e.is_regular_file();
        EXPECT_EQ(entries, 1) << "a temporary file was left behind";
    }
};

TEST_F(FailingWrite, FullDiskLeavesTheOldBank) {
    struct rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 10000;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = l.lib.saveEditedPatch(file.string(), "Bank.hvx");
    bool savedAs = l.lib.savePatchAsPath(file.string(), true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(savedAs);
    expectOldBankWhole();
}

TEST_F(FailingWrite, ReadOnlyFolderLeavesTheOldBank) {
    // Run as an unprivileged user where the tests run as root, so that the
    // folder's permissions hold.
    fs::permissions(dir.path(), fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                    fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
            bool a = l.lib.saveEditedPatch(file.string(), "Bank.hvx");
            bool b = l.lib.savePatchAsPath((dir.path() / "New.hvx").string(), false);
            _exit(a || b ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    expectOldBankWhole();
}

TEST_F(FailingWrite, ModeOfTheReplacedFileIsKept) {
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(l.lib.saveEditedPatch(file.string(), "Bank.hvx"));
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_NE(readFile(file), before);
    EXPECT_FALSE(l.lib.saveEditedPatch((dir.path() / "missing" / "X.hvx").string(), "X.hvx"));
}

TEST(LibrarianSplit, BlocksOfAnOversizedBankFollowTheNumbering) {
    hvtest::TempDataDir dir;
    PatchLibrarian lib(nullptr);
    auto dumps = dumpsOf(randomPrograms(300, 30));
    PatchFile source;
    for (const auto& d : dumps) source.patches.push_back(programOf(d));
    const std::string sourcePath = dir.str() + "Big.syx";

    lib.splitBankCount = 300 / 128;
    std::vector<int> counts;
    for (int block = -1; block < lib.splitBankCount; ++block) {
        ASSERT_TRUE(lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", sourcePath, 0, block, false));
        counts.push_back(lib.splitBankCount);
    }
    EXPECT_EQ(counts, (std::vector<int>{2, 2, 3, 2}));
    for (int k = 0; k < 3; ++k) {
        PatchFile bank = reload(dir.path() / ("Big Singles " + std::to_string(k + 1) + ".syx"));
        ASSERT_EQ(bank.patches.size(), 128u);
        for (int i = 0; i < 128; ++i) {
            const Bytes& got = bank.patches[i].sysexMessages[0].data;
            if (128 * k + i < 300)
                EXPECT_EQ(got, dumps[128 * k + i]);
            else
                EXPECT_EQ(bank.patches[i].name, "\x0F\x02\x05Init Prog");
        }
    }
    EXPECT_FALSE(fs::exists(dir.path() / "Big Singles 4.syx"));

    // A bank already under the new name is never replaced.
    Bytes mine = rawBank(randomPrograms(128, 99));
    writeFile(dir.path() / "Big Singles 1.syx", mine);
    ASSERT_TRUE(lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", sourcePath, 0, -1, false));
    EXPECT_EQ(readFile(dir.path() / "Big Singles 1.syx"), mine);
    EXPECT_EQ(reload(dir.path() / "Big Singles 1 (2).syx").patches[0].sysexMessages[0].data, dumps[0]);

    // Standard MIDI File sources split into Standard MIDI Files.
    ASSERT_TRUE(lib.createNewPatchFile(&source, "Patches", "Big.mid", "mid", dir.str() + "Big.mid", 0, 1, true));
    EXPECT_EQ(fs::file_size(dir.path() / "Big Singles 3.mid"), 38580u);
    // A block that cannot be written is reported.
    EXPECT_FALSE(lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", dir.str() + "gone/Big.syx", 0, 0, false));
}

}  // namespace
