#include "src/PatchManager.h"

#include <cstring>

#include "framework/ByteChunk.h"
#include "src/Halvoran.h"

PatchManager::PatchManager(Halvoran* plugIn) : plug(plugIn) {}

void PatchManager::init() {
    ByteChunk fresh;
    if (plug) plug->SerializeState2(&fresh, false);
    snapshot.Clear();
    snapshot.PutChunk(&fresh);
}

void PatchManager::putStringToChunk(ByteChunk* chunk, std::string text, int maxLength) { chunk->PutStr(text.c_str()); }

bool PatchManager::saveAllToChunk(ByteChunk* chunk) {
    if (!chunk) return false;
    ByteChunk block;
    uint32_t version = kVersionWord;
    block.Put(&version);
    block.Put(&version);
    uint32_t n = static_cast<uint32_t>(snapshot.Size());
    uint8_t length[4] = {uint8_t(n >> 24), uint8_t(n >> 16), uint8_t(n >> 8), uint8_t(n)};
    block.PutBytes(length, 4);
    block.PutChunk(&snapshot);
    for (int i = 0; i < kNumNames; ++i) putStringToChunk(&block, names[i], i < 3 ? kShortNameLength : 32);
    return chunk->PutChunk(&block) >= 0;
}

int PatchManager::blockEnd(const ByteChunk* chunk, int pos) {
    if (!chunk || pos < 0) return -1;
    uint8_t length[4] = {};
    pos = chunk->GetBytes(length, 4, pos + 8);
    if (pos < 0) return -1;
    int64_t end = int64_t(pos) + ((int64_t(length[0]) << 24) | (length[1] << 16) | (length[2] << 8) | length[3]);
    for (int i = 0; i < kNumNames && end >= 0; ++i) {
        int32_t len = 0;
        if (end > chunk->Size() || chunk->Get(&len, static_cast<int>(end)) < 0 || len < 0) return -1;
        end += 4 + int64_t(len);
    }
    return end <= chunk->Size() ? static_cast<int>(end) : -1;
}

int PatchManager::loadAllFromChunk(ByteChunk* chunk, int pos) {
    if (!chunk) return -1;
    uint32_t version = 0;
    pos = chunk->Get(&version, pos);
    pos = chunk->Get(&version, pos);
    uint8_t length[4] = {};
    pos = chunk->GetBytes(length, 4, pos);
    uint64_t n = (uint64_t(length[0]) << 24) | (uint64_t(length[1]) << 16) | (uint64_t(length[2]) << 8) | length[3];

    snapshot.Clear();
    if (pos >= 0 && uint64_t(pos) + n <= uint64_t(chunk->Size())) {
        snapshot.PutBytes(chunk->GetBytes() + pos, static_cast<int>(n));
        pos += static_cast<int>(n);
    } else {
        pos = -1;
    }

    for (int i = 0; i < kNumNames; ++i) {
        std::string& name = names[i];
        name.clear();
        int32_t len = 0;
        pos = chunk->Get(&len, pos);
        if (pos < 0 || len < 0) {
            pos = -1;
        } else if (len > 0) {
            // Bytes that run past the end give an empty name; the position
            // still moves, so every later read fails.
            if (int64_t(pos) + len <= chunk->Size()) {
                const char* text = reinterpret_cast<const char*>(chunk->GetBytes() + pos);
                name.assign(text, strnlen(text, static_cast<size_t>(len)));
            }
            pos = int64_t(pos) + len > INT32_MAX ? -1 : pos + len;
        }
        if (i < 3) name.resize(kShortNameLength, '\0');
    }
    return pos;
}
