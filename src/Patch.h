#pragma once
// The state snapshot and the five names that the patch manager is built on.
#include <string>
#include <vector>

#include "framework/ByteChunk.h"

struct Patch {
    ByteChunk snapshot;  // empty; grows in steps of 4096 bytes
    std::vector<std::string> names = std::vector<std::string>(5, "- INIT -");
};
