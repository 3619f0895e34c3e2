#pragma once
// The display's status line holds this many characters, of the widest, at a
// size read without effort on every panel size. A status that names
// something of the user's (a bank, a file, a path) cuts the name to keep
// within it.
#include <cstddef>
#include <string>

constexpr size_t kStatusRoom = 44;

// head + name + tail, the name cut in its middle (an ellipsis in place of
// what went) as far as the whole needs to stay within kStatusRoom characters.
std::string statusNaming(const std::string& head, const std::string& name, const std::string& tail = "");
