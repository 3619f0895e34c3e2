// Writing bank files: both layouts byte for byte, reading them back, the
// save dialog, splitting, and failures that must leave the old bank whole.
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <unistd.h>

#include "framework/IGraphicsMac.h"
#include "librarian_testbanks.h"
#include "platform/appkit/HeadlessBackend.h"
#include "src/Halvoran.h"
#include "support/TempDataDir.h"

namespace {

using namespace libtest;
namespace fs = std::filesystem;

const Bytes kSmfStart = {0x4D, 0x54, 0x68, 0x64, 0,    0,    0,    6,    0,    1,    0,    2,    0x01, 0xE0,
                         0x4D, 0x54, 0x72, 0x6B, 0,    0,    0,    0x13, 0,    0xFF, 0x58, 4,    4,    2,
                         0x18, 8,    0,    0xFF, 0x51, 3,    0x07, 0xA1, 0x20, 0,    0xFF, 0x2F, 0,    0x4D,
                         0x54, 0x72, 0x6B, 0,    0,    0x96, 0x83, 0,    0xF0, 0x82, 0x28};

struct Librarian {
    hvtest::TempDataDir dir;
    Halvoran plug;
    PatchLibrarian lib{&plug};
    PatchFile* upper = new PatchFile;
    std::vector<Bytes> dumps;
    explicit Librarian(unsigned seed = 1) {
        lib.bankFiles.push_back(upper);
        for (const auto& p : randomPrograms(128, seed)) dumps.push_back(programDump(p));
        for (const Bytes& d : dumps) upper->patches.emplace_back().sysexMessages.push_back(PatchSysexMessage{d});
    }
    fs::path at(const std::string& name) const { return dir.path() / name; }
    std::vector<Bytes> reload(const std::string& name) {
        PatchLibrarian reader(nullptr);
        return dumpsOf(loadBytes(reader, readFile(at(name))));
    }
};

TEST(LibrarianWriter, BothLayoutsByteForByteAndNamedByExtension) {
    Librarian l;
    ASSERT_TRUE(l.lib.saveEditedPatch(l.at("Pads.syx").string(), "Pads.syx"));
    EXPECT_EQ(l.plug.upperBankName, "Pads.syx.hvx");
    EXPECT_EQ(readFile(l.at("Pads.syx")), rawBank(randomPrograms(128, 1)));

    ASSERT_TRUE(l.lib.saveEditedPatch(l.at("Pads.mid").string(), "Pads.mid"));
    EXPECT_EQ(l.plug.upperBankName, "Pads.mid.mid");
    Bytes smf = kSmfStart;
    for (size_t i = 0; i < 128; ++i) {
        if (i > 0) smf.insert(smf.end(), {0x83, 0x74, 0xF0, 0x82, 0x28});
        smf.insert(smf.end(), l.dumps[i].begin() + 1, l.dumps[i].end());
    }
    smf.insert(smf.end(), {0x00, 0xFF, 0x2F, 0x00});
    EXPECT_EQ(smf.size(), 38580u);
    EXPECT_EQ(readFile(l.at("Pads.mid")), smf);

    ASSERT_TRUE(l.lib.saveEditedPatch(l.at("Pads").string(), "Pads"));
    EXPECT_EQ(l.plug.upperBankName, "Pads");
    EXPECT_EQ(fs::file_size(l.at("Pads")), 38016u);
}

TEST(LibrarianWriter, EverySlotReadsBackInItsPlace) {
    Librarian l(8);
    l.upper->patches[0].sysexMessages[0].data = initProgram();
    l.upper->patches[5] = LibrarianPatch();
    l.upper->patches[7].sysexMessages[0].data.resize(120);  // a fragment
    auto& nine = l.upper->patches[9].sysexMessages;
    nine.insert(nine.begin(), PatchSysexMessage{Bytes(40, 1)});
    l.upper->patches.resize(126);
    auto expected = l.dumps;
    for (int i : {0, 5, 7, 126, 127}) expected[i] = initProgram();
    for (bool asMid : {false, true}) {
        ASSERT_TRUE(l.lib.savePatchAsPath(l.at("Odd").string(), asMid));
        EXPECT_EQ(l.reload("Odd"), expected) << asMid;
    }
    EXPECT_EQ(l.upper->patches.size(), 128u);  // squared by the copy
}

TEST(LibrarianWriter, SaveAsThroughTheSaveDialog) {
    auto* backend = new platform::appkit::HeadlessBackend;
    platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));
    Librarian l;
    EXPECT_FALSE(l.lib.savePatchAs("Pads.mid", l.dir.str(), true));  // no panel
    l.plug.AttachGraphics(new IGraphicsMac(&l.plug, 100, 100));
    EXPECT_FALSE(l.lib.savePatchAs("Pads.mid", l.dir.str(), true));  // cancelled
    EXPECT_TRUE(l.plug.upperBankName.empty() && l.plug.upperBankFolder.empty());
    ASSERT_EQ(backend->fileRequests().size(), 1u);
    EXPECT_EQ(backend->fileRequests()[0].kind, platform::appkit::FilePanelKind::Save);
    EXPECT_EQ(backend->fileRequests()[0].extensions, std::vector<std::string>{"mid"});

    fs::create_directories(l.at("Patches/Leads"));
    backend->queueFileChoice(l.dir.str() + "Patches/Leads/My Bank.hvx");
    ASSERT_TRUE(l.lib.savePatchAs("Pads.hvx", l.dir.str(), false));
    EXPECT_EQ(backend->fileRequests()[1].extensions, std::vector<std::string>{"hvx"});
    EXPECT_EQ(l.plug.upperBankFolder, "Leads");
    EXPECT_EQ(l.plug.upperBankName, "My Bank.hvx");
    EXPECT_EQ(l.reload("Patches/Leads/My Bank.hvx"), l.dumps);

    l.lib.selectedBankUpper = 1;  // no upper bank: nothing to write
    EXPECT_FALSE(l.lib.saveEditedPatch(l.at("X.syx").string(), "X.syx"));
    EXPECT_FALSE(fs::exists(l.at("X.syx")));
}

class FailingWrite : public ::testing::Test {
protected:
    Librarian l;
    Bytes before = rawBank(randomPrograms(128, 2));
    void SetUp() override { writeFile(l.at("Bank.hvx"), before); }
    void expectOldBankWhole() {
        EXPECT_EQ(readFile(l.at("Bank.hvx")), before);
        EXPECT_EQ(std::distance(fs::directory_iterator(l.dir.path()), fs::directory_iterator()), 1)
            << "a temporary file was left behind";
    }
};

TEST_F(FailingWrite, FullDisk) {
    rlimit old{}, small{};
    getrlimit(RLIMIT_FSIZE, &old);
    small = old;
    small.rlim_cur = 10000;
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    bool saved = l.lib.saveEditedPatch(l.at("Bank.hvx").string(), "Bank.hvx");
    bool savedAs = l.lib.savePatchAsPath(l.at("Bank.hvx").string(), true);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);
    EXPECT_FALSE(saved || savedAs);
    expectOldBankWhole();
}

TEST_F(FailingWrite, ReadOnlyFolder) {
    fs::permissions(l.dir.path(), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec |
                                      fs::perms::group_read | fs::perms::others_read);
    fs::permissions(l.dir.path(), fs::perms::owner_write, fs::perm_options::remove);
    // Where the tests run as root the folder's permissions would not hold.
    EXPECT_EXIT(
        {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
            bool a = l.lib.saveEditedPatch(l.at("Bank.hvx").string(), "Bank.hvx");
            bool b = l.lib.savePatchAsPath(l.at("New.hvx").string(), false);
            _exit(a || b ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    expectOldBankWhole();
}

TEST(LibrarianSplit, BlocksOfAnOversizedBankNeverReplaceAFile) {
    Librarian l;
    auto programs = randomPrograms(300, 30);
    PatchFile source;
    for (const auto& p : programs)
        source.patches.emplace_back().sysexMessages.push_back(PatchSysexMessage{programDump(p)});
    const std::string big = l.at("Big.syx").string();
    l.lib.splitBankCount = 2;
    std::vector<int> counts;
    for (int block = -1; block < l.lib.splitBankCount; ++block) {
        ASSERT_TRUE(l.lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", big, 0, block, false));
        counts.push_back(l.lib.splitBankCount);
    }
    EXPECT_EQ(counts, (std::vector<int>{2, 2, 3, 2}));
    std::vector<Bytes> all;
    for (int k = 1; k <= 3; ++k) {
        auto bank = l.reload("Big Singles " + std::to_string(k) + ".syx");
        all.insert(all.end(), bank.begin(), bank.end());
    }
    for (int i = 0; i < 384; ++i) EXPECT_EQ(all[i], i < 300 ? programDump(programs[i]) : initProgram()) << i;

    // Written again: the same bytes are left alone, other bytes go beside.
    ASSERT_TRUE(l.lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", big, 0, 0, false));
    writeFile(l.at("Big Singles 1.syx"), l.dumps[0]);
    ASSERT_TRUE(l.lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", big, 0, -1, false));
    EXPECT_EQ(readFile(l.at("Big Singles 1.syx")), l.dumps[0]);
    EXPECT_FALSE(fs::exists(l.at("Big Singles 2 (2).syx")));
    EXPECT_EQ(l.reload("Big Singles 1 (2).syx")[0], programDump(programs[0]));

    ASSERT_TRUE(l.lib.createNewPatchFile(&source, "Patches", "Big.mid", "mid", l.at("Big.mid").string(), 0, 1, true));
    EXPECT_EQ(fs::file_size(l.at("Big Singles 3.mid")), 38580u);
    EXPECT_FALSE(
        l.lib.createNewPatchFile(&source, "Patches", "Big.syx", "syx", l.dir.str() + "gone/Big.syx", 0, 0, false));
}

}  // namespace
