#pragma once
// Pasteboards as X selections, so other programs on the display share them.
#include <memory>

#include "platform/appkit/Pasteboard.h"

namespace platform::appkit {

// Opens a connection of its own to the display; null when it cannot.
std::unique_ptr<PasteboardStore> createX11Pasteboards(const char* display);

}  // namespace platform::appkit
