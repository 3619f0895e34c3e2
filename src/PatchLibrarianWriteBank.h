#pragma once
// What every bank writer shares: the 128-slot file image, a write that
// never leaves a half-written bank behind, the move of a bank into another
// folder, and the removal of what a killed writer left.
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

// What a write to a name that is a link replaces: the file the link leads
// to, or the link itself (its target then stays as it is).
enum class AtLink { ReplaceTarget, ReplaceLink };

// Writes the bytes to a new file in path's folder and renames it over path
// once every byte is on disk. On any failure the file at path is as it was
// and the result is false.
bool writeFileReplacing(const std::string& path, const ByteChunk& bytes, AtLink atLink = AtLink::ReplaceTarget);

// Writes the bytes as a new file in folder, named name or, when a file has
// that name, the first free "NAME (k).EXT": never in place of a file, and
// under its name only once every byte is on disk. placedName (when given)
// receives the name. False, with errno set and nothing left, otherwise.
bool writeNewFile(const std::string& folder, const std::string& name, const ByteChunk& bytes,
                  std::string* placedName = nullptr);

// Moves the file at `from` into `folder` under its own name, or under the
// first free "NAME (k).EXT" when a file with other bytes has that name; a
// file there with the same bytes is this one, moved before (or by another
// editor at the same time), and `from` is then only removed. Within one file
// system a rename; across file systems a copy under a temporary name, on
// disk before it takes its real name and before `from` goes. A file under a
// real name is never half written. placedName (when given) receives the
// name in `folder`. False, with errno set, when it could not be moved; `from`
// is then where it was.
bool moveIntoFolder(const std::string& from, const std::string& folder, std::string* placedName = nullptr);

// A name the writers above give their temporary files: "." + the name of a
// bank, settings or log file + "." + six letters or digits.
bool isWriterTemporary(const std::string& name);

// Removes folder/name when it is such a temporary of ours that no living
// writer holds: its writer was killed. True when it was removed.
bool removeStaleTemporary(const std::string& folder, const std::string& name);

// Removes every stale temporary in folder; with `of`, only those of the
// file of that name. Returns how many went.
int removeStaleTemporaries(const std::string& folder, const std::string& of = "");

// Called after each step of a write or a move after which a kill leaves
// something on disk: "temporary made", "half written" (a copy's first
// block), "on disk", "renamed", "placed". The editor's own does nothing; a
// test program that defines the function takes the steps instead.
void fileWriterStep(const char* step);
