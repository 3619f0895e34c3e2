#pragma once
// The records that collect program dumps requested from the instrument (or
// fed back in by the librarian view) on their way into a librarian slot.
#include <atomic>
#include <mutex>

#include "src/PatchLibrarianRecords.h"

// One program into the selected upper slot.
struct LibraryPatchRequest {
    // Armed by the jobs and the panel, read and cleared by the MIDI input.
    std::atomic<int> complete{1};
    std::atomic<bool> active{false};
    // The program collected so far. The MIDI input appends to it while a job
    // or the panel empties it to arm the record again: every change and every
    // copy of it goes through the record's lock. Read directly only where no
    // other thread can reach the record.
    LibrarianPatch patch;

    // Appends a copy of the message to the program. A 297-byte message
    // completes it: the name grows by the name rule over the program's first
    // message, the record goes inactive, and the result is true. The program
    // as it then stands is copied into `collected` when given.
    bool addMessageData(unsigned char* data, int length, LibrarianPatch* collected = nullptr);
    // No messages, empty name.
    void empty();

private:
    std::mutex mLock;
};

// The instrument's programs into the upper bank's slots, one after another.
struct LibraryPatchRequestAll : LibraryPatchRequest {};
