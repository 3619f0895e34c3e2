#pragma once
// The librarian's records: a program as the SysEx it travels in, a bank of
// programs, and the three levels of the folder tree the bank menus show.
#include <cstdint>
#include <string>
#include <vector>

class ByteChunk;

// One complete SysEx message, F0 through F7.
struct PatchSysexMessage {
    std::vector<uint8_t> data;
};

// One program. A loaded program holds exactly one 297-byte dump; an empty
// program holds none and has an empty name.
struct LibrarianPatch {
    std::string name;
    std::vector<PatchSysexMessage> sysexMessages;

    LibrarianPatch() = default;
    LibrarianPatch(const LibrarianPatch&) = default;
    LibrarianPatch& operator=(const LibrarianPatch&) = default;
    LibrarianPatch(LibrarianPatch&&) noexcept = default;
    LibrarianPatch& operator=(LibrarianPatch&&) noexcept = default;

    // Appends every message to out: raw, or as Standard MIDI File SysEx
    // events (F0 left out; every event but the bank's first gets the 500-tick
    // head before it). The caller writes the file's start and end.
    void save(ByteChunk* out, bool smf, int slot) const;
};

// One bank.
struct PatchFile {
    int status = 0;
    std::vector<LibrarianPatch> patches;
    std::string fileName;
    std::string folderName;
    std::vector<std::string> folderChain;
    std::string folderPath;
    int sourceIndex = 0;
    // Made in the editor and never written: no file holds it yet.
    bool newBank = false;
    // Holds changes the user kept without saving them; a rescan keeps them.
    bool kept = false;

    // A copy of the programs and the file name, owned by the caller. When this
    // bank does not hold exactly 128 programs, its own list is then brought
    // to 128 (empty programs appended, or cut after slot 127); the copy keeps
    // the count it copied.
    PatchFile* clone();
};

struct SubFolderFiles2 {
    std::string name;
    std::vector<PatchFile*> files;
};

struct SubFolderFiles {
    std::string name;
    std::vector<SubFolderFiles2> subFolders;
    std::vector<PatchFile*> files;
};

// A tree node points at banks that a bank list owns; it never frees them.
struct FolderFiles {
    std::string name;
    std::vector<SubFolderFiles> subFolders;
    std::vector<PatchFile*> files;
};

// Brings a program list to exactly 128 entries with empty programs.
void resizeToBankSlots(std::vector<LibrarianPatch>& patches);
