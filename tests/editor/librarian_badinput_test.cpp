// Damaged and foreign bank files of every extension: nothing crashes, the
// file is left as it was, and only real programs load.
#include <gtest/gtest.h>

#include <map>
#include <set>

#include "librarian_testbanks.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"
#include "support/TempDataDir.h"

namespace {

using namespace libtest;
namespace fs = std::filesystem;

struct Case {
    std::string what;
    Bytes bytes;
};

std::vector<Case> damagedFiles() {
    auto programs = randomPrograms(128, 77);
    Bytes raw = rawBank(programs);
    Bytes packed = packedBank(programs, 4);
    PatchFile bank;
    for (const auto& p : programs) {
        LibrarianPatch lp;
        lp.sysexMessages.push_back(PatchSysexMessage{programDump(p)});
        bank.patches.push_back(lp);
    }
    ByteChunk smfChunk;
    buildBankImage(bank.patches, true, &smfChunk);
    Bytes smf(smfChunk.GetBytes(), smfChunk.GetBytes() + smfChunk.Size());

    std::mt19937 rng(1234);
    auto random = [&](size_t n) {
        Bytes b(n);
        for (auto& x : b) x = static_cast<uint8_t>(rng());
        return b;
    };
    auto cut = [](Bytes b, size_t n) {
        b.resize(n);
        return b;
    };
    auto patched = [](Bytes b, size_t at, uint8_t v) {
        b[at] = v;
        return b;
    };
    Bytes longer = raw;
    Bytes more = rawBank(randomPrograms(172, 78));
    longer.insert(longer.end(), more.begin(), more.end());
    Bytes junkAfter = packed;
    Bytes junk = random(5000);
    junkAfter.insert(junkAfter.end(), junk.begin(), junk.end());

    return {
        {"zero-length", {}},
        {"raw truncated", cut(raw, 25001)},
        {"raw one byte short", cut(raw, 38015)},
        {"packed truncated", cut(packed, 30000)},
        {"midi truncated", cut(smf, 26000)},
        {"midi header only", cut(smf, 14)},
        {"raw oversized", longer},
        {"packed with junk after", junkAfter},
        {"raw wrong maker", patched(raw, 1, 0x41)},
        {"raw wrong model", patched(raw, 3, 0x57)},
        {"packed wrong function", patched(packed, 4, 0x4D)},
        {"midi wrong track length", patched(smf, 47, 0xFF)},
        {"midi header length huge", patched(smf, 4, 0x7F)},
        {"random", random(38016)},
        {"random 7-bit", [&] { Bytes b = random(40000); for (auto& x : b) x &= 0x7F; b[0] = 0xF0; return b; }()},
    };
}

TEST(LibrarianBadInput, EveryExtensionEveryDamage) {
    hvtest::TempDataDir dir;
    auto programs = randomPrograms(128, 77);
    auto more = randomPrograms(172, 78);
    std::set<Bytes> real;
    for (const auto& p : programs) real.insert(programDump(p)), real.insert(programDump(p, 4));
    for (const auto& p : more) real.insert(programDump(p));
    real.insert(Bytes(hvInitPatchData, hvInitPatchData + 297));

    for (const std::string ext : {"mid", "syx", "hvx", "qzx", "SYX"}) {
        for (const Case& c : damagedFiles()) {
            fs::path file = dir.path() / ("bank." + ext);
            writeFile(file, c.bytes);
            auto stamp = fs::last_write_time(file);

            Bytes onDisk = readFile(file);
            ByteChunk chunk = chunkOf(onDisk);
            PatchLibrarian lib(nullptr);
            PatchFile bank;
            lib.loadFromChunk(&chunk, chunk.Size(), &bank, ext == "mid");

            EXPECT_EQ(readFile(file), c.bytes) << c.what;
            EXPECT_EQ(fs::last_write_time(file), stamp) << c.what;
            EXPECT_TRUE(bank.patches.empty() || bank.patches.size() >= 128u) << c.what;
            for (const LibrarianPatch& p : bank.patches) {
                ASSERT_EQ(p.sysexMessages.size(), 1u) << c.what;
                EXPECT_TRUE(real.count(p.sysexMessages[0].data)) << c.what << ": a program that was never written";
            }
        }
    }
}

TEST(LibrarianBadInput, FolderScanChangesNothingOnDisk) {
    hvtest::TempDataDir dir;
    auto programs = randomPrograms(128, 77);
    std::set<Bytes> real;
    for (const auto& p : programs) real.insert(programDump(p));
    real.insert(Bytes(hvInitPatchData, hvInitPatchData + 297));

    std::map<fs::path, Bytes> before;
    int index = 0;
    for (const std::string ext : {"mid", "syx", "hvx", "qzx", "MID"}) {
        for (const Case& c : damagedFiles()) {
            if (c.what == "raw oversized") continue;  // split on purpose
            fs::path file = dir.path() / "Patches" / (std::to_string(index++) + " " + c.what + "." + ext);
            fs::create_directories(file.parent_path());
            writeFile(file, c.bytes);
            before[file] = c.bytes;
        }
    }
    Halvoran plug;
    PatchLibrarian lib(&plug);
    lib.loadPatchesFromFilesystem(plug.getPatchesFolderStr());

    std::map<fs::path, Bytes> after;
    for (auto& e : fs::recursive_directory_iterator(dir.path()))
        if (e.is_regular_file()) after[e.path()] = readFile(e.path());
    EXPECT_TRUE(after == before);
    EXPECT_FALSE(lib.bankFiles.empty());
    for (const PatchFile* bank : lib.bankFiles) {
        ASSERT_EQ(bank->patches.size(), 128u) << bank->fileName;
        for (const LibrarianPatch& p : bank->patches) EXPECT_TRUE(real.count(p.sysexMessages.at(0).data)) << bank->fileName;
    }
}

}  // namespace
