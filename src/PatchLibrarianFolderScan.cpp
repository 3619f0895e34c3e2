// Start-up loading: every bank file below the bank folder, filed into the
// folder tree that the bank menus show. Oversized banks are split into
// 128-program files, the source moved to "Converted Banks", and the folder
// scanned once more. A file-system error costs the folder or file it hit,
// never the scan.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>
#include <Poco/String.h>

#include "framework/ByteChunk.h"
#include "src/DataFolder.h"
#include "src/FolderWalk.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"

namespace {

constexpr int64_t kMinBankFileSize = 25001;

bool isBankExtension(const std::string& ext) { return ext == "mid" || ext == "syx" || ext == "qzx" || ext == "hvx"; }

// The bank file read whole into a chunk; false when it could not be.
bool readWholeFile(const std::string& path, ByteChunk& chunk) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    if (size < 0 || size > INT_MAX) return false;
    in.seekg(0, std::ios::beg);
    if (chunk.Resize(static_cast<int>(size)) != size) return false;
    if (size > 0) in.read(reinterpret_cast<char*>(chunk.GetBytes()), size);
    return in.gcount() == size;
}

}  // namespace

void PatchLibrarian::loadPatchesFromFilesystem(std::string rootPath) { scanFolders(rootPath, true); }

void PatchLibrarian::scanFolders(const std::string& rootPath, bool mayRescan) {
    bool found = false;
    try {
        found = Poco::File(rootPath).exists();
    } catch (const Poco::Exception&) {}
    if (!found) {
        log("PLUGIN IS NOT ABLE TO FIND PATCHES FOLDER...");
        return;
    }

    folderList.clear();
    std::vector<WalkedFolder> folders = walkFolderTree(rootPath, [this](const std::string& path, int error) {
        log("PATCH LIBRARIAN: skipped folder " + path + ": " + std::strerror(error));
    });
    for (const WalkedFolder& folder : folders) folderList.push_back(folder.path);

    for (WalkedFolder& folder : folders) {
        // In path order, bytes compared, so capitals come first.
        std::sort(folder.entries.begin(), folder.entries.end(),
                  [](const WalkedFolder::Entry& a, const WalkedFolder::Entry& b) { return a.name < b.name; });
        for (const WalkedFolder::Entry& entry : folder.entries) {
            const std::string extension = Poco::toLower(Poco::Path(entry.name).getExtension());
            if (!isBankExtension(extension)) continue;
            const std::string full = folder.path.empty() || folder.path.back() == '/' ? folder.path + entry.name
                                                                                      : folder.path + "/" + entry.name;
            if (entry.error) {
                log("PATCH LIBRARIAN: skipped file " + full + ": " + std::strerror(entry.error));
                continue;
            }
            if (!entry.regular || entry.size < kMinBankFileSize) continue;
            try {
                if (PatchFile* bank = parseFolderFiles(Poco::File(full), Poco::Path(full), folder.depth, 0, extension))
                    createFolderFilesStructure(bank);
            } catch (const Poco::Exception& e) {
                log("PATCH LIBRARIAN: skipped file " + full + ": " + e.displayText());
            } catch (const std::exception& e) {
                log("PATCH LIBRARIAN: skipped file " + full + ": " + e.what());
            }
        }
    }

    if (rescanPending) {
        rescanPending = false;
        // Once only: a file that could not be moved away must not make the
        // scan run for ever.
        if (mayRescan) {
            clearDataStructures(0);
            deleteBankList(bankFiles);
            scanFolders(rootPath, false);
        }
    }
}

void PatchLibrarian::buildFolderStructure(const std::string& path, std::vector<std::string>* list) {
    if (!list) return;
    std::vector<WalkedFolder> folders = walkFolderTree(path, [this](const std::string& folder, int error) {
        log("PATCH LIBRARIAN: skipped folder " + folder + ": " + std::strerror(error));
    });
    folders.pop_back();  // the root itself
    for (WalkedFolder& folder : folders) list->push_back(std::move(folder.path));
}

PatchFile* PatchLibrarian::parseFolderFiles(Poco::File file, Poco::Path path, int depth, int sourceIndex,
                                            std::string extension) {
    bankConverted = false;
    auto* bank = new PatchFile;
    bank->fileName = path.getFileName();
    const int levels = path.depth();
    const std::string& full = file.path();
    const size_t cut = full.find_last_of('/');
    bank->folderPath = cut == std::string::npos ? std::string() : full.substr(0, cut);
    bank->folderName = levels > 0 ? path.directory(levels - 1) : std::string();
    for (int i = std::max(0, levels - depth - 1); i < levels; ++i) bank->folderChain.push_back(path.directory(i));
    bank->sourceIndex = sourceIndex;
    const bool midiFileMode = extension == "mid";

    log("PATCH LIBRARIAN: loaded file " + full);
    // A bank file holds a whole bank as a rule: room for it is made once.
    bank->patches.reserve(kBankSlots);
    ByteChunk chunk;
    if (!readWholeFile(full, chunk)) {
        log("PATCH LIBRARIAN: could not read file " + full);
        delete bank;
        return nullptr;
    }
    loadFromChunk(&chunk, chunk.Size(), bank, midiFileMode);

    if (bank->patches.size() > static_cast<size_t>(kBankSlots)) {
        splitBankCount = static_cast<int>(bank->patches.size()) / kBankSlots;
        bool written = true;
        for (int block = -1; written && block < splitBankCount; ++block)
            written = createNewPatchFile(bank, bank->folderName, bank->fileName, extension, full, sourceIndex, block,
                                         midiFileMode);
        if (!written) {
            // The source stays where it is, whole, and is tried again next time.
            log("PATCH LIBRARIAN: could not split file " + bank->fileName);
            delete bank;
            return nullptr;
        }
        bankConverted = true;
        rescanPending = true;
    }

    if (bankConverted) {
        const std::string fileName = bank->fileName;
        delete bank;
        moveToConvertedBanks(file, fileName);
        return nullptr;
    }
    if (bank->patches.empty()) {
        // Nothing to show: such a bank is neither listed nor filed.
        log("PATCH LIBRARIAN: no program in file " + full);
        delete bank;
        return nullptr;
    }
    fillUncompletedBankFiles(bank);
    if (bank->status == 0) bankFiles.push_back(bank);
    return bank;
}

void PatchLibrarian::moveToConvertedBanks(Poco::File& file, const std::string& fileName) {
    const std::string folder = halvoranDataFolder() + "Converted Banks/";
    Poco::File(folder).createDirectories();
    // A bank already there keeps its place; the newcomer takes a free name.
    Poco::Path name(fileName);
    for (int copy = 1;; ++copy) {
        if (copy > 999) throw Poco::FileExistsException(folder + fileName);
        std::string target = folder + fileName;
        if (copy > 1) {
            const std::string ext = name.getExtension();
            target = folder + name.getBaseName() + " (" + std::to_string(copy) + ")" + (ext.empty() ? "" : "." + ext);
        }
        try {
            file.moveTo(target, Poco::File::OPT_FAIL_ON_OVERWRITE);
            break;
        } catch (const Poco::FileExistsException&) {}
    }
    log("PATCH LIBRARIAN: moved file " + fileName + " because it is not Mirren 1 standard formatted!");
}

void PatchLibrarian::createFolderFilesStructure(PatchFile* bank) {
    if (!bank) return;
    const std::vector<std::string>& chain = bank->folderChain;
    const size_t n = chain.size();
    if (n < 1 || n > 3) return;

    bool matched = false;
    for (FolderFiles* top : folderTree) {
        if (n == 1) {
            if (top->name == bank->folderName) top->files.push_back(bank), matched = true;
            continue;
        }
        for (SubFolderFiles& sub : top->subFolders) {
            if (n == 2) {
                if (sub.name == bank->folderName) sub.files.push_back(bank), matched = true;
                continue;
            }
            for (SubFolderFiles2& sub2 : sub.subFolders)
                if (sub2.name == bank->folderName) sub2.files.push_back(bank), matched = true;
        }
    }
    if (matched) return;

    auto* node = new FolderFiles;
    if (n == 1) {
        node->name = chain[0];
        node->files.push_back(bank);
    } else {
        SubFolderFiles sub;
        sub.name = chain[1];
        if (n == 2) {
            sub.files.push_back(bank);
        } else {
            SubFolderFiles2 sub2;
            sub2.name = chain[2];
            sub2.files.push_back(bank);
            sub.subFolders.push_back(std::move(sub2));
        }
        node->subFolders.push_back(std::move(sub));
    }
    folderTree.push_back(node);
}

void PatchLibrarian::initBankFilesOnDiscard(std::string patchesPath) {
    for (int which = 0; which <= 3; ++which) clearDataStructures(which);
    deleteBankList(bankFiles);
    deleteBankList(searchBankFiles);
    loadPatchesFromFilesystem(patchesPath);
}
