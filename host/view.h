// The host's side of a plug-in's view: a window that holds it, shown on the
// display when there is one, otherwise rendered once to a PNG file.
#pragma once

#include <string>

namespace platform::appkit {
class Window;
}

struct HostViewOptions {
    double seconds = 0.0;  // how long to show the window; 0 until the user closes it
    std::string png;       // where to render without a display ("" = a temporary file)
};

// Shows the window (whose content view already holds the plug-in's view).
// Returns the process exit status.
int hostShowWindow(platform::appkit::Window& window, const HostViewOptions& options);
