// Splitting an oversized bank into 128-program bank files beside it.
#include <algorithm>
#include <sys/stat.h>

#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

}  // namespace

bool PatchLibrarian::createNewPatchFile(PatchFile* source, std::string folderName, std::string sourceFileName,
                                        std::string extension, std::string sourcePath, int sourceIndex, int block,
                                        bool smf) {
    if (!source) return true;
    // Every slot that holds a program moves to the new banks.
    std::vector<const LibrarianPatch*> selected;
    for (const LibrarianPatch& p : source->patches)
        if (!p.sysexMessages.empty()) selected.push_back(&p);
    const int n = static_cast<int>(selected.size());
    const int start = kBankSlots * (block + 1);
    splitBankCount = n / kBankSlots + (n - start >= 1 && n - start <= kBankSlots - 1 ? 1 : 0);
    if (n <= start) return true;

    PatchFile bank;
    bank.status = 0;
    const int count = std::min(kBankSlots, n - start);
    for (int i = 0; i < count; ++i) bank.patches.push_back(*selected[start + i]);
    const size_t dot = sourceFileName.find_last_of('.');
    const std::string stem = sourceFileName.substr(0, dot);
    const std::string number = std::to_string(block + 2);
    bank.fileName = stem + " Singles " + number + "." + extension;
    bank.folderName = folderName;
    bank.sourceIndex = sourceIndex;
    fillUncompletedBankFiles(&bank);

    const size_t cut = sourcePath.find_last_of("/\\");
    const std::string folder = cut == std::string::npos ? std::string() : sourcePath.substr(0, cut + 1);
    // A bank already there under that name is never replaced.
    std::string target = folder + bank.fileName;
    for (int copy = 2; pathExists(target); ++copy) {
        bank.fileName = stem + " Singles " + number + " (" + std::to_string(copy) + ")." + extension;
        target = folder + bank.fileName;
    }

    ByteChunk image;
    return buildBankImage(bank.patches, smf, &image) && writeFileReplacing(target, image);
}
