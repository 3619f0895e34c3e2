#pragma once
// The records that collect program dumps requested from the instrument (or
// fed back in by the librarian view) on their way into a librarian slot.
#include <atomic>

#include "src/PatchLibrarianRecords.h"

// One program into the selected upper slot.
struct LibraryPatchRequest {
    // Armed by the jobs and the panel, read and cleared by the MIDI input.
    std::atomic<int> complete{1};
    std::atomic<bool> active{false};
    LibrarianPatch patch;

    // Appends a copy of the message to the program. A 297-byte message
    // completes it: the name grows by the name rule over the program's first
    // message, the record goes inactive, and the result is true.
    bool addMessageData(unsigned char* data, int length);
    // No messages, empty name.
    void empty() { patch = LibrarianPatch(); }
};

// The instrument's programs into the upper bank's slots, one after another.
struct LibraryPatchRequestAll : LibraryPatchRequest {};
