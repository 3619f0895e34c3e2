// Name search over every loaded bank; the matches become in-memory banks of
// at most 128 programs, "Search Results 1", "Search Results 2", ...
#include <algorithm>

#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

void PatchLibrarian::createNewSearchPatchFiles(std::string text) {
    clearDataStructures(3);
    deleteBankList(searchBankFiles);

    std::vector<const LibrarianPatch*> matches;
    for (const PatchFile* bank : bankFiles) {
        if (!bank) continue;
        for (const LibrarianPatch& p : bank->patches)
            if (!p.sysexMessages.empty() && p.name.find(text) != std::string::npos) matches.push_back(&p);
    }

    const size_t n = matches.size();
    for (size_t first = 0, k = 0; first < n; first += kBankSlots, ++k) {
        auto* bank = new PatchFile;
        bank->status = 0;
        bank->fileName = "Search Results " + std::to_string(k + 1);
        bank->folderName = "Patches";
        bank->sourceIndex = static_cast<int>(k);
        const size_t last = std::min(n, first + kBankSlots);
        bank->patches.reserve(last - first);
        for (size_t i = first; i < last; ++i) {
            const LibrarianPatch& match = *matches[i];
            LibrarianPatch copy;
            const size_t kept = std::min<size_t>(2, match.sysexMessages.size());
            copy.sysexMessages.assign(match.sysexMessages.begin(), match.sysexMessages.begin() + kept);
            const std::vector<uint8_t>& dump = copy.sysexMessages.front().data;
            copy.name = patchNameFromDump(dump.data(), dump.size());
            bank->patches.push_back(std::move(copy));
        }
        searchBankFiles.push_back(bank);
        if (searchFolderTree.empty()) {
            auto* node = new FolderFiles;
            node->name = bank->folderName;
            searchFolderTree.push_back(node);
        }
        searchFolderTree.front()->files.push_back(bank);
    }
}
