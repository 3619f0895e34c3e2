// Splitting an oversized bank into 128-program bank files beside it.
#include <algorithm>
#include <cstring>
#include <sys/stat.h>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

bool pathExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool sameBytes(const std::string& path, const ByteChunk& bytes) {
    std::string have;
    // One byte more than the image shows a longer file for what it is.
    return BASE_ReadRegularFile(path.c_str(), static_cast<size_t>(bytes.Size()) + 1, have) &&
           have.size() == static_cast<size_t>(bytes.Size()) &&
           std::memcmp(have.data(), bytes.GetBytes(), have.size()) == 0;
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
    ByteChunk image;
    if (!buildBankImage(bank.patches, smf, &image)) return false;
    // A bank already there under the new name is never replaced; one that
    // holds exactly these bytes is this block, written by an earlier split.
    for (int copy = 1;; ++copy) {
        if (copy > 1) bank.fileName = stem + " Singles " + number + " (" + std::to_string(copy) + ")." + extension;
        const std::string target = folder + bank.fileName;
        if (!pathExists(target)) return writeFileReplacing(target, image);
        if (sameBytes(target, image)) return true;
    }
}
