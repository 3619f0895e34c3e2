#pragma once
// The window system behind the views: either headless (a backing store only,
// events injected and modal panels answered by script) or a real display.
// One backend serves the whole process; Application holds it.

#include <memory>
#include <optional>
#include <string>

#include "platform/appkit/Alert.h"
#include "platform/appkit/Drag.h"
#include "platform/appkit/Geometry.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Panels.h"

namespace platform::appkit {

class Window;
class CursorSystem;
class KeyboardLayout;
class PasteboardStore;

// The backend's side of one window.
class WindowPeer {
public:
    virtual ~WindowPeer() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
    // The backing store changed in the given area (window coordinates).
    virtual void present(const Rect& area) = 0;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    virtual std::unique_ptr<WindowPeer> createPeer(Window& w) = 0;
    // Delivers pending events, waiting up to timeoutMs for one (0: no wait).
    virtual void processEvents(int timeoutMs) = 0;
    // Modal: shows the menu at a point of the window and returns the choice.
    virtual MenuChoice popUpMenu(Window* w, const Menu& menu, Point at) = 0;
    // Modal: the entered text, or nothing when cancelled.
    virtual std::optional<std::string> runTextEntry(Window* w, const TextEntryRequest& r) = 0;
    // Modal: the chosen full path, or nothing when cancelled.
    virtual std::optional<std::string> runFilePanel(Window* w, const FilePanelRequest& r) = 0;
    virtual bool openURL(const std::string& url) = 0;
    // Modal: the index of the button chosen.
    virtual int runAlert(Window* w, const AlertRequest& r) = 0;
    virtual CursorSystem& cursors() = 0;
    // The layout the user types with; null when the session offers no
    // layout translation.
    virtual const KeyboardLayout* keyboardLayout() = 0;
    // Starts dragging files out of a window; false when the session cannot.
    virtual bool beginDrag(const DragSourceRequest& r) = 0;
    // Where pasteboards keep their contents: in this process unless the
    // window system shares them with other programs.
    virtual PasteboardStore& pasteboards();
};

class Application {
public:
    // The backend in use; headless until another is installed.
    static Backend& backend();
    static void setBackend(std::unique_ptr<Backend> b);
    // Installs the X11 backend when a display can be opened; returns whether it did.
    static bool useDisplayIfAvailable();
    static bool isHeadless();
};

}  // namespace platform::appkit
