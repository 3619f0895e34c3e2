#pragma once
// The window system behind the views: either headless (a backing store only,
// events injected and modal panels answered by script) or a real display.
// One backend serves the whole process; Application holds it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Drag.h"
#include "platform/appkit/Geometry.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Panels.h"

namespace platform::appkit {

class Window;
class CursorSystem;
class KeyboardLayout;
class PasteboardStore;

// The backend's side of one window. The window keeps the model (frame,
// order, key state); a peer mirrors it on the window system and reports
// back what the user changed there through the window.
class WindowPeer {
public:
    virtual ~WindowPeer() = default;
    virtual void show() = 0;
    virtual void hide() = 0;
    // The backing store changed in the given area (window coordinates).
    virtual void present(const Rect& area) = 0;
    // The window's frame in screen coordinates changed.
    virtual void setFrame(const FRect& screenFrame) {}
    virtual void setTitle(const std::string& title) {}
    // Whether the user may resize it, and within which content sizes.
    virtual void setSizeLimits(bool resizable, FSize min, FSize max) {}
    // The style mask changed (title bar, close and minimise buttons).
    virtual void setStyle(unsigned styleMask) {}
    // The window stands over another (null: over none): its owner's, as a
    // dialog over its document window, or its parent's, as a child window.
    // And whether it runs modally now.
    virtual void setOwner(Window* over) {}
    virtual void setModal(bool modal) {}
    virtual void orderFront() {}
    // Give it the keyboard focus.
    virtual void makeKey() {}
    virtual void miniaturize() {}
    // The window's opacity, 0 to 1, where the window system composites.
    virtual void setAlpha(double alpha) {}
    // Clicks on it go to what lies below.
    virtual void setIgnoresMouse(bool ignore) {}
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual const char* name() const = 0;
    virtual std::unique_ptr<WindowPeer> createPeer(Window& w) = 0;
    // Delivers pending events, waiting up to timeoutMs for one (0: no wait).
    virtual void processEvents(int timeoutMs) = 0;
    // Waits, delivering nothing, until an event is pending, wakeFd (when not
    // negative) is readable, or timeoutMs (negative: no limit) has passed.
    virtual void waitForEvents(int timeoutMs, int wakeFd);
    // Delivers one event, waiting up to timeoutMs for it; false when none came.
    virtual bool dispatchNextEvent(int timeoutMs);
    // Modal: shows the menu at a point of the window and returns the choice.
    virtual MenuChoice popUpMenu(Window* w, const Menu& menu, Point at) = 0;
    // The windows on screen changed order: front to back as given.
    virtual void restack(const std::vector<Window*>& frontToBack) {}
    // The application's menu bar now shows this menu (null: none).
    virtual void setMenuBar(Menu* m) {}
    // Modal: the entered text, or nothing when cancelled.
    virtual std::optional<std::string> runTextEntry(Window* w, const TextEntryRequest& r) = 0;
    // File panels run as modal windows of the program; a backend that
    // answers them by script (headless) gives its answer here, others none.
    virtual std::optional<FilePanelAnswer> scriptedFilePanel(Window* w, const FilePanelRequest& r) {
        return std::nullopt;
    }
    virtual bool openURL(const std::string& url) = 0;
    // The workspace: opens a document (with the desktop's choice of program
    // when app is empty) or starts a program. Started, never waited for.
    virtual bool openFile(const std::string& path, const std::string& app);
    // As openFile, then tells opened whether it worked: false at once when
    // the program cannot start; else, from a thread of its own, false when
    // it fails within patienceMs, and true when it ends well or still runs
    // then (the program shows the document itself).
    virtual void openFileThen(const std::string& path, const std::string& app, int patienceMs,
                              std::function<void(bool)> opened);
    virtual bool launchApplication(const std::string& app);
    // The screens, the main one first.
    virtual std::vector<Screen> screens() { return {}; }
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

// Starts a program with the argument vector (no shell), searching PATH for
// argv[0], and reaps it in the background; false when it could not start.
bool spawnDetached(const std::vector<std::string>& argv);

}  // namespace platform::appkit
