#include "src/PatchLibrarian.h"

#include "src/Halvoran.h"
#include "src/debugger.h"

PatchLibrarian::PatchLibrarian(Halvoran* plugIn) : plug(plugIn) {}

PatchLibrarian::~PatchLibrarian() {
    clearDataStructures(0);
    clearDataStructures(3);
    deleteBankList(bankFiles);
    deleteBankList(searchBankFiles);
}

void deleteBankList(std::vector<PatchFile*>& banks) {
    for (PatchFile* bank : banks) delete bank;
    banks.clear();
}

void PatchLibrarian::clearDataStructures(int which) {
    std::vector<FolderFiles*>* tree = which == 0 ? &folderTree : which == 3 ? &searchFolderTree : nullptr;
    if (!tree) return;
    for (FolderFiles* node : *tree) delete node;
    tree->clear();
}

void PatchLibrarian::log(const std::string& text) {
    if (!plug || !plug->debugLogOn) return;
    plug->log(text);
}

PatchFile* PatchLibrarian::upperBank() const {
    if (selectedBankUpper < 0 || selectedBankUpper >= static_cast<int>(bankFiles.size())) return nullptr;
    return bankFiles[selectedBankUpper];
}
