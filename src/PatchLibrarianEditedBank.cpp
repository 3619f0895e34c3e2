// The bank the upper pane edits: a new one when the bank folder holds none,
// read again from its file when its changes are dropped, and a file just
// written listed at once, as the next scan would list it.
#include <algorithm>
#include <cctype>
#include <climits>
#include <string>

#include <Poco/Path.h>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

const std::string kPatchesFolder = "Patches";

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

bool isBankFileName(const std::string& fileName) {
    const std::string ext = lowerCase(Poco::Path(fileName).getExtension());
    return ext == "mid" || ext == "syx" || ext == "hvx" || ext == "qzx";
}

// The folders from the bank folder down to the one that holds path, or false
// when path does not lie below root.
bool foldersBelow(const std::string& root, const std::string& path, std::vector<std::string>& folders) {
    std::string base = root;
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    if (path.size() <= base.size() + 1 || path.compare(0, base.size(), base) != 0 || path[base.size()] != '/')
        return false;
    folders.clear();
    std::string rest = path.substr(base.size() + 1);
    for (size_t slash; (slash = rest.find('/')) != std::string::npos; rest.erase(0, slash + 1)) {
        const std::string folder = rest.substr(0, slash);
        if (folder.empty() || folder == "." || folder == "..") return false;
        folders.push_back(folder);
    }
    return !rest.empty();
}

}  // namespace

PatchFile* PatchLibrarian::addNewBankWhenEmpty(const std::string& patchesPath) {
    if (!bankFiles.empty()) return nullptr;
    auto* bank = new PatchFile;
    bank->fileName = kNewBankName;
    bank->folderName = kPatchesFolder;
    bank->folderChain = {kPatchesFolder};
    bank->folderPath = patchesPath;
    bank->newBank = true;
    resizeToBankSlots(bank->patches);
    bankFiles.push_back(bank);
    return bank;
}

bool PatchLibrarian::reloadBank(PatchFile* bank) {
    if (!bank) return false;
    PatchFile fresh;
    if (bank->newBank) {
        resizeToBankSlots(fresh.patches);
    } else {
        std::string bytes;
        if (!BASE_ReadRegularFile((bank->folderPath + "/" + bank->fileName).c_str(), kMaxBankFileSize, bytes))
            return false;
        ByteChunk chunk;
        chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size()));
        loadFromChunk(&chunk, chunk.Size(), &fresh, lowerCase(Poco::Path(bank->fileName).getExtension()) == "mid");
        // A file that yields no program any more keeps what the bank holds.
        if (fresh.patches.empty()) return false;
        resizeToBankSlots(fresh.patches);
    }
    bank->patches.swap(fresh.patches);
    bank->kept = false;
    return true;
}

PatchFile* PatchLibrarian::listWrittenBank(const std::string& path, const std::string& patchesRoot,
                                           const std::vector<LibrarianPatch>& programs) {
    std::vector<std::string> folders;
    if (!foldersBelow(patchesRoot, path, folders) || !isBankFileName(Poco::Path(path).getFileName())) return nullptr;
    const size_t cut = path.find_last_of('/');
    const std::string folderPath = path.substr(0, cut), fileName = path.substr(cut + 1);

    std::vector<LibrarianPatch> copy(programs);
    resizeToBankSlots(copy);
    for (PatchFile* bank : bankFiles) {
        if (!bank || bank->newBank || bank->folderPath != folderPath || bank->fileName != fileName) continue;
        bank->patches.swap(copy);
        return bank;
    }
    auto* bank = new PatchFile;
    bank->fileName = fileName;
    bank->folderPath = folderPath;
    bank->folderName = folders.empty() ? kPatchesFolder : folders.back();
    bank->folderChain = {kPatchesFolder};
    bank->folderChain.insert(bank->folderChain.end(), folders.begin(), folders.end());
    bank->patches.swap(copy);
    bankFiles.push_back(bank);
    createFolderFilesStructure(bank);
    return bank;
}

void PatchLibrarian::dropNewBank(PatchFile* bank) {
    if (!bank || !bank->newBank) return;
    auto it = std::find(bankFiles.begin(), bankFiles.end(), bank);
    if (it == bankFiles.end()) return;
    bankFiles.erase(it);
    delete bank;
}
