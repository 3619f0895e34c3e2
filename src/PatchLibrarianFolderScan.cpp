// Start-up loading: every bank file below the bank folder, filed into the
// folder tree that the bank menus show. Oversized banks are split into
// 128-program files, the source moved to "Converted Banks", and the folder
// scanned once more. A file-system error costs the folder or file it hit,
// never the scan. Links are followed for reading, but the editor changes
// files only in its own "Patches" folder: an oversized bank anywhere else is
// split in memory, and its file is left as it is.
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <utility>

#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>
#include <Poco/String.h>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "src/DataFolder.h"
#include "src/FolderWalk.h"
#include "src/Halvoran.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"

namespace {

constexpr int64_t kMinBankFileSize = 25001;

bool isBankExtension(const std::string& ext) { return ext == "mid" || ext == "syx" || ext == "qzx" || ext == "hvx"; }

// The bank file read whole into a chunk; false when it could not be, or
// when something other than a file took its name since the scan saw it.
bool readWholeFile(const std::string& path, ByteChunk& chunk) {
    std::vector<uint8_t> bytes;
    if (!BASE_ReadRegularFile(path.c_str(), kMaxBankFileSize, bytes)) return false;
    chunk.Clear();
    return bytes.empty() || chunk.PutBytes(bytes.data(), static_cast<int>(bytes.size())) >= 0;
}

std::string resolved(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : path;
}

// path is folder or lies below it (both with every link resolved).
bool under(const std::string& path, const std::string& folder) {
    return path.compare(0, folder.size(), folder) == 0 &&
           (path.size() == folder.size() || path[folder.size()] == '/' || folder == "/");
}

// The real "Patches" folder when it lies in the data folder; "" when it is
// itself a link to somewhere else, where the editor changes nothing.
std::string ownPatchesFolder() {
    const std::string data = resolved(halvoranDataFolder()), patches = resolved(halvoranDataFolder() + "Patches");
    return under(patches, data) && patches != data ? patches : std::string();
}

// An oversized bank may be split and moved on disk only when it is a file
// of the editor's own "Patches" tree, not a link to one.
bool convertibleOnDisk(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const std::string own = ownPatchesFolder();
    return !own.empty() && under(resolved(path.substr(0, path.find_last_of('/'))), own);
}

bool holdsImage(const std::string& path, const ByteChunk& image) {
    ByteChunk have;
    return readWholeFile(path, have) && have.Size() == image.Size() &&
           std::memcmp(have.GetBytes(), image.GetBytes(), static_cast<size_t>(image.Size())) == 0;
}

// The programs of an oversized bank that is not the editor's to change, in
// 128-program banks named as a split on disk names its files. A file of
// that name beside it is listed as itself: with this block's bytes it
// stands for the block, with others the block takes the next free name.
void splitInMemory(PatchLibrarian& lib, const PatchFile& source, const std::string& extension, bool smf) {
    std::vector<const LibrarianPatch*> programs;
    for (const LibrarianPatch& p : source.patches)
        if (!p.sysexMessages.empty()) programs.push_back(&p);
    const std::string stem = source.fileName.substr(0, source.fileName.find_last_of('.'));
    for (size_t start = 0; start < programs.size(); start += kBankSlots) {
        auto* bank = new PatchFile;
        bank->folderName = source.folderName;
        bank->folderChain = source.folderChain;
        bank->folderPath = source.folderPath;
        bank->sourceIndex = source.sourceIndex;
        for (size_t i = start; i < programs.size() && i < start + kBankSlots; ++i)
            bank->patches.push_back(*programs[i]);
        lib.fillUncompletedBankFiles(bank);
        ByteChunk image;
        const std::string number = std::to_string(start / kBankSlots + 1);
        bool onDisk = false;
        for (int copy = 1; copy < 1000; ++copy) {
            bank->fileName =
                stem + " Singles " + number + (copy > 1 ? " (" + std::to_string(copy) + ")" : "") + "." + extension;
            struct stat st {};
            if (::stat((source.folderPath + "/" + bank->fileName).c_str(), &st) != 0) break;
            if (image.Size() == 0) buildBankImage(bank->patches, smf, &image);
            if ((onDisk = holdsImage(source.folderPath + "/" + bank->fileName, image))) break;
        }
        if (onDisk) {
            delete bank;
            continue;
        }
        lib.bankFiles.push_back(bank);
        lib.createFolderFilesStructure(bank);
    }
}

// "Converted Banks" and "Search Result" hold what the editor made out of
// banks: never sources, wherever a link leads into them.
std::vector<std::string> editorOutputFolders() {
    const std::string data = halvoranDataFolder();
    return {data + "Converted Banks", data + "Search Result"};
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

    const std::vector<std::string> output = editorOutputFolders();
    const std::string realConverted = resolved(output[0]), realResults = resolved(output[1]);
    const std::string own = ownPatchesFolder();
    removeStaleTemporaries(output[0]);

    folderList.clear();
    std::vector<WalkedFolder> folders = walkFolderTree(
        rootPath,
        [this](const std::string& path, int error) {
            log("PATCH LIBRARIAN: skipped folder " + path + ": " + std::strerror(error));
        },
        output);
    for (const WalkedFolder& folder : folders) folderList.push_back(folder.path);

    for (WalkedFolder& folder : folders) {
        // In path order, bytes compared, so capitals come first.
        std::sort(folder.entries.begin(), folder.entries.end(),
                  [](const WalkedFolder::Entry& a, const WalkedFolder::Entry& b) { return a.name < b.name; });
        const bool owned = !own.empty() && under(folder.realPath, own);
        for (const WalkedFolder::Entry& entry : folder.entries) {
            // What a killed writer left goes, and only where the editor writes.
            if (isWriterTemporary(entry.name)) {
                if (owned) removeStaleTemporary(folder.path, entry.name);
                continue;
            }
            const std::string extension = Poco::toLower(Poco::Path(entry.name).getExtension());
            if (!isBankExtension(extension)) continue;
            const std::string full = folder.path.empty() || folder.path.back() == '/' ? folder.path + entry.name
                                                                                      : folder.path + "/" + entry.name;
            if (entry.error) {
                log("PATCH LIBRARIAN: skipped file " + full + ": " + std::strerror(entry.error));
                continue;
            }
            if (!entry.regular || entry.size < kMinBankFileSize) continue;
            if (entry.size > kMaxBankFileSize) {
                log("PATCH LIBRARIAN: skipped file " + full + ": " + std::to_string(entry.size) +
                    " bytes, more than any bank file holds");
                continue;
            }
            if (entry.link) {
                const std::string real = resolved(full);
                if (under(real, realConverted) || under(real, realResults)) continue;
            }
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
    std::vector<WalkedFolder> folders = walkFolderTree(
        path,
        [this](const std::string& folder, int error) {
            log("PATCH LIBRARIAN: skipped folder " + folder + ": " + std::strerror(error));
        },
        editorOutputFolders());
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
        log("PATCH LIBRARIAN: could not read file " + full + ": " + std::strerror(errno));
        delete bank;
        return nullptr;
    }
    loadFromChunk(&chunk, chunk.Size(), bank, midiFileMode);

    if (bank->patches.size() > static_cast<size_t>(kBankSlots) && !convertibleOnDisk(full)) {
        log("PATCH LIBRARIAN: split file " + full + " in memory only: it is not a file of the Patches folder");
        splitInMemory(*this, *bank, extension, midiFileMode);
        delete bank;
        return nullptr;
    }
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
    const std::string folder = halvoranDataFolder() + "Converted Banks";
    Poco::File(folder).createDirectories();
    // A bank already there keeps its place; the newcomer takes a free name.
    if (!moveIntoFolder(file.path(), folder)) throw Poco::FileException(file.path(), std::strerror(errno));
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
    std::vector<PatchFile*> kept;
    for (PatchFile*& bank : bankFiles)
        if (bank && bank->kept) kept.push_back(std::exchange(bank, nullptr));
    for (int which = 0; which <= 3; ++which) clearDataStructures(which);
    deleteBankList(bankFiles);
    deleteBankList(searchBankFiles);
    loadPatchesFromFilesystem(patchesPath);
    for (PatchFile* bank : kept) {
        auto same = std::find_if(bankFiles.begin(), bankFiles.end(), [bank](const PatchFile* b) {
            return !bank->newBank && b && b->folderPath == bank->folderPath && b->fileName == bank->fileName;
        });
        if (same != bankFiles.end()) {
            (*same)->patches.swap(bank->patches);
            (*same)->kept = true;
            delete bank;
        } else {
            // OVERWRITE asks it a name, as it does a bank made here.
            bank->newBank = true;
            bankFiles.push_back(bank);
        }
    }
}
