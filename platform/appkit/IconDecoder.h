#pragma once
// The image reader for Windows icon and cursor files (".ico", ".cur"),
// working on the file's bytes in memory. Every offset and size in the file
// is checked against the data's length before it is used: a file that
// points past its end, or holds an image it cannot describe, gives nothing.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "platform/appkit/Cursor.h"

namespace platform::appkit {

// The largest image of the file: uncompressed bitmaps of 1, 4, 8, 24 or 32
// bits per pixel with their transparency mask, or embedded PNG images.
std::optional<CursorImage> decodeIconFile(const uint8_t* data, size_t size);

}  // namespace platform::appkit
