#pragma once
// The patch manager: the state snapshot taken at start-up (or taken over from
// a recalled project) and five names kept in the saved state, among them the
// MIDI ports' names, by which a recalled project reopens its ports.
#include <string>

#include "src/Patch.h"

class ByteChunk;
class Halvoran;

// Its names and snapshot are guarded by the plug-in mutex: the MIDI input
// and the transfer jobs set the program's name while the host saves state.
class PatchManager : public Patch {
public:
    // Positions in names.
    enum { kPatchNameIdx = 0, kMIDIInNameIdx = 3, kMIDIOutNameIdx = 4, kNumNames = 5 };
    // Names 0 to 2 are held at exactly this many characters after a recall.
    static constexpr int kShortNameLength = 12;
    static constexpr uint32_t kVersionWord = 0x01000000;

    explicit PatchManager(Halvoran* plug);

    // The snapshot := the plug-in's state without this block.
    void init();
    // Appends the block: two version words, the snapshot's length (big-endian)
    // and bytes, then the five names.
    bool saveAllToChunk(ByteChunk* chunk);
    // Reads the block from pos; the position after it, or -1.
    int loadAllFromChunk(ByteChunk* chunk, int pos);
    // Where a block that starts at pos ends, when the chunk holds all of it
    // (its snapshot and every name); -1 otherwise. Reads nothing into this.
    static int blockEnd(const ByteChunk* chunk, int pos);
    // An int32 length and the text up to its first NUL; maxLength does not
    // limit what is written.
    void putStringToChunk(ByteChunk* chunk, std::string text, int maxLength);

    int bankIndex = 0;
    int programIndex = 0;
    Halvoran* plug;
};
