#pragma once
// The librarian: the banks loaded from the data folder and from the
// instrument, the folder trees over them, the pane selections, and the
// readers and writers of bank files.
#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include <Poco/File.h>
#include <Poco/Path.h>

#include "src/PatchLibrarianRecords.h"

class ByteChunk;
class Halvoran;

class PatchLibrarian {
public:
    explicit PatchLibrarian(Halvoran* plug);
    ~PatchLibrarian();
    PatchLibrarian(const PatchLibrarian&) = delete;
    PatchLibrarian& operator=(const PatchLibrarian&) = delete;

    // The librarian is the GUI thread's (see Halvoran::patchLibrarian): what
    // other threads may touch is marked below.
    int selectedBankUpper = 0;
    int selectedBankLower = -1;
    // Loop bound while an oversized bank is split; every block written sets
    // it anew.
    int splitBankCount = 0;
    bool rescanPending = false;
    // Set at the start of every chunk read, cleared when the chunk holds a
    // message of the instrument.
    bool headerMissing = true;
    bool bankConverted = false;
    std::stringstream logStream;
    // Number of the next program to cut out of a whole-bank dump, plus one.
    int importSlotCounter = 1;
    Halvoran* plug;
    // In request mode: programs of the requested bank dump handed on so far.
    int requestSlot = 0;
    // A requested bank dump is being read (on the GUI thread): the MIDI
    // input reads it, the requests' ends clear it.
    std::atomic<bool> requestMode{false};
    // The transfer jobs and the MIDI input move the selected slots while the
    // panel reads and sets them.
    std::atomic<int> selectedSlotUpper{0};
    std::atomic<int> selectedSlotLower{0};
    std::vector<std::string> folderList;
    std::vector<PatchFile*> bankFiles;        // owns its banks
    std::vector<PatchFile*> searchBankFiles;  // owns its banks
    std::vector<FolderFiles*> folderTree;     // owns its nodes, not the banks
    std::vector<FolderFiles*> searchFolderTree;

    // 0 empties folderTree, 3 searchFolderTree; other codes do nothing.
    // Banks are never deleted here.
    void clearDataStructures(int which);

    // Folder scan. Appends every bank file below rootPath to bankFiles and
    // folderTree; when a file was split, empties both and scans once more.
    void loadPatchesFromFilesystem(std::string rootPath);
    // Every folder below path, each after its own subfolders.
    void buildFolderStructure(const std::string& path, std::vector<std::string>* list);
    // Reads one bank file into a new bank, listed in bankFiles. Null when the
    // file was split and moved, could not be read, or held no program.
    PatchFile* parseFolderFiles(Poco::File file, Poco::Path path, int depth, int sourceIndex, std::string extension);
    // Files a bank into folderTree by its folder chain (three levels).
    void createFolderFilesStructure(PatchFile* bank);
    // Empties both bank lists and all trees, then scans patchesPath. A bank
    // that holds kept changes keeps them: the bank scanned from its file
    // takes them, or, its file gone, it stays listed as a bank not yet
    // written.
    void initBankFilesOnDiscard(std::string patchesPath);

    // ---- The edited bank
    // The name of the bank the editor makes where the bank folder holds none.
    static constexpr const char* kNewBankName = "New Bank";
    // When no bank was found, one empty bank of 128 slots, not yet saved, in
    // the bank folder at patchesPath, so that programs can be received and
    // saved; it is listed in bankFiles only. Null when there are banks.
    PatchFile* addNewBankWhenEmpty(const std::string& patchesPath);
    // Drops the bank's changes, kept ones too: it holds again what its file
    // holds (a new bank: empty slots). False, and the bank as it was, when
    // the file no longer yields a program.
    bool reloadBank(PatchFile* bank);
    // A bank file just written to path, listed at once as a scan would list
    // it, holding programs: the bank listed for that file takes them, else a
    // new bank joins bankFiles and the folder tree. Null when a scan would
    // not list the file (outside patchesRoot, or not a bank file).
    PatchFile* listWrittenBank(const std::string& path, const std::string& patchesRoot,
                               const std::vector<LibrarianPatch>& programs);
    // Takes a new bank out of bankFiles and releases it.
    void dropNewBank(PatchFile* bank);
    // The bank the upper pane shows, or null.
    PatchFile* upperBank() const;

    // Stores a copy of the program into the slot of the upper bank, brought
    // to 128 slots first. No upper bank or slot: nothing happens, and the
    // result is false.
    bool storeInUpperSlot(const LibrarianPatch& patch, int slot);
    // The same into the selected upper slot.
    bool setSysexDatatoSelectedSlot(LibrarianPatch* patch);

    // Replaces the search results by the programs whose name holds text
    // (bytes compared exactly), in banks of at most 128.
    void createNewSearchPatchFiles(std::string text);

    // Bank reader. Appends the programs found in the first `size` bytes of
    // the chunk to bank: single program dumps (raw back to back, or the
    // SysEx events of a Standard MIDI File) and whole-bank dumps. Anything
    // else loads nothing. A bank that received programs is padded to 128.
    void loadFromChunk(ByteChunk* chunk, int size, PatchFile* bank, int midiFileMode = 0);
    // Reads the next SysEx message from pos and takes what it holds into
    // bank. Returns the position after it, or -1 at the end of the chunk.
    int processSysExFile(ByteChunk* chunk, int& pos, PatchFile* bank);
    // Pads bank with init programs up to 128.
    void fillUncompletedBankFiles(PatchFile* bank);

    // Packed whole-bank import (the chunk is one dump, from its F0): cuts the
    // program numbered by importSlotCounter, rebuilds it as a single program
    // dump and appends it when it lay wholly inside the chunk. Returns the
    // next position; 0 or less ends the caller's loop.
    int importSysExFile(ByteChunk* chunk, int& pos, PatchFile* bank);

    // Writes the 128-program bank for `block` (-1 for the first 128 programs)
    // of an oversized source next to it. False when a file could not be
    // written whole.
    bool createNewPatchFile(PatchFile* source, std::string folderName, std::string sourceFileName,
                            std::string extension, std::string sourcePath, int sourceIndex, int block, bool smf);

    // Writes the upper bank to path in the form the name's extension calls
    // for. False when there is no upper bank or the file was not written;
    // the file at path is then as it was.
    bool saveEditedPatch(std::string path, std::string name);
    // Asks for a file name in the save dialog (fileName and directory are
    // the proposals), then writes the upper bank there as savePatchAsPath
    // does. False when the dialog was cancelled or nothing was written;
    // chosenPath, when given, receives the path chosen ("" for a cancel).
    bool savePatchAs(const char* fileName, std::string directory, bool asMid, std::string* chosenPath = nullptr);
    // Writes the upper bank to a path the user chose, raw or as a Standard
    // MIDI File, and names the upper pane's bank after it. False when there
    // is no upper bank or the file was not written.
    bool savePatchAsPath(const std::string& path, bool asMid);

private:
    void log(const std::string& text);
    void scanFolders(const std::string& rootPath, bool mayRescan);
    void moveToConvertedBanks(Poco::File& file, const std::string& fileName);
    void importWholeBank(const uint8_t* bytes, int size, PatchFile* bank);
    void takeMessage(const uint8_t* bytes, int size, PatchFile* bank);
    void readMidiFile(const uint8_t* bytes, int size, PatchFile* bank);
    bool bankImported_ = false;
};

// From pos on, finds the next byte equal to value and leaves pos just past
// it. At the end of the chunk pos becomes -1 and the result is false.
bool findByte(ByteChunk* chunk, int& pos, int value);

// Removes every occurrence of each character of chars from text.
void removeCharsFromString(std::string& text, const char* chars);

// Empties a bank list, releasing its banks.
void deleteBankList(std::vector<PatchFile*>& banks);
