// Writes the seed corpus of the bank fuzzers: every bank form the readers
// know, whole and cut short.
#include <filesystem>
#include <iostream>

#include "editor/librarian_testbanks.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

using namespace libtest;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: hv_fuzz_seeds <folder>\n";
        return 2;
    }
    std::filesystem::path dir = argv[1];
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);

    auto programs = randomPrograms(128, 1);
    PatchFile bank;
    for (const auto& p : programs) {
        bank.patches.emplace_back();
        bank.patches.back().sysexMessages.push_back(PatchSysexMessage{programDump(p)});
    }
    bank.patches[3] = LibrarianPatch();
    ByteChunk smf;
    buildBankImage(bank.patches, true, &smf);
    Bytes midi(smf.GetBytes(), smf.GetBytes() + smf.Size());
    Bytes initFirst(hvInitPatchData, hvInitPatchData + kProgramDumpSize);
    Bytes rest = rawBank(std::vector<ProgramData>(programs.begin() + 1, programs.begin() + 40));
    initFirst.insert(initFirst.end(), rest.begin(), rest.end());

    auto cut = [](Bytes b, size_t n) {
        b.resize(std::min(n, b.size()));
        return b;
    };
    const std::pair<const char*, Bytes> seeds[] = {
        {"raw.syx", rawBank(programs)},
        {"raw-channel-3.syx", rawBank(programs, 3)},
        {"init-first.hvx", initFirst},
        {"bank.mid", midi},
        {"packed.syx", packedBank(programs, 0, 0x4C)},
        {"packed-long.syx", packedBank(programs, 5, 0x50, true)},
        {"packed-cut.syx", cut(packedBank(programs), 3000)},
        {"raw-cut.syx", cut(rawBank(programs), 1200)},
        {"midi-cut.mid", cut(midi, 1500)},
        {"one.syx", programDump(programs[0])},
    };
    for (const auto& [name, bytes] : seeds) writeFile(dir / name, bytes);
    return 0;
}
