#pragma once
// What every bank writer shares: the 128-slot file image and a write that
// never leaves a half-written bank behind.
#include <string>
#include <vector>

#include "src/PatchLibrarianRecords.h"

class ByteChunk;

// The image of slots 0..127, raw (38016 bytes) or as a Standard MIDI File
// (38580 bytes). Each slot is written as its program dump; a slot that holds
// none (empty, past the end of the list, or only other messages) is written
// as the init program, so every slot keeps its place in the file. False when
// the image could not be built whole.
bool buildBankImage(const std::vector<LibrarianPatch>& patches, bool smf, ByteChunk* out);

// Writes the bytes to a new file in path's folder and renames it over path
// once every byte is on disk. On any failure the file at path is as it was
// and the result is false.
bool writeFileReplacing(const std::string& path, const ByteChunk& bytes);
