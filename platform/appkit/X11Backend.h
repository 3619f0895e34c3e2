#pragma once
// The backend for a person at a display: Xlib windows that show the backing
// store, real mouse and keyboard input, popup menus, text entry and file
// prompts drawn as small windows of their own.

#include <memory>

#include "platform/appkit/Backend.h"

namespace platform::appkit {

// Opens the display named by DISPLAY; null when there is none.
std::unique_ptr<Backend> createX11Backend();

}  // namespace platform::appkit
