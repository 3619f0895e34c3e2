#pragma once
// The application object: the window system backend in use, the windows in
// front-to-back order with the key and main window, the screens, the
// delegate, termination and activities that keep the
// process from idling. Everything here belongs to the main thread except
// delegate(), which other threads may read.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/Geometry.h"

namespace platform::appkit {

class Backend;
class Menu;
class Responder;
class Window;

// A screen in screen coordinates (origin at the lower left of the main
// screen, y upward); the visible frame leaves out bars the desktop keeps.
struct Screen {
    FRect frame;
    FRect visibleFrame;
    friend bool operator==(const Screen&, const Screen&) = default;
};

class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    virtual void applicationWillTerminate() {}
};

// A delegate that offers the toolkit's posting methods; a hosting
// application that has none leaves the toolkit's message queue off.
class PostingDelegate : public ApplicationDelegate {
public:
    virtual int shimPostMessage(Responder* h, unsigned msg, uintptr_t wp, intptr_t lp) = 0;
    virtual void shimPostMessageClearQ(Responder* h) = 0;
    virtual void shimPostMessageTick() = 0;
};

// A begun activity (see Application::beginActivity).
struct Activity {
    uint64_t options = 0;
    std::string reason;
};

class Application {
public:
    // The backend in use; headless until another is installed.
    static Backend& backend();
    static void setBackend(std::unique_ptr<Backend> b);
    // Installs the X11 backend when a display can be opened; returns whether it did.
    static bool useDisplayIfAvailable();
    static bool isHeadless();

    // Every window, front to back; windows not on screen come last.
    static std::vector<Window*> windows();
    // The windows on screen, front to back.
    static std::vector<Window*> orderedWindows();
    static Window* keyWindow();
    static Window* mainWindow();

    // The backend's screens, the main one first; may be empty.
    static std::vector<Screen> screens();
    static std::optional<Screen> mainScreen();
    // Height of the main screen (0 without one): flips between screen and
    // window-system coordinates.
    static double mainScreenHeight();

    // The menu bar's menu: the titles of its items open their submenus.
    // Held while set; null for no menu bar. Key equivalents typed in any
    // window pick its items.
    static Menu* mainMenu();
    static void setMainMenu(Menu* m);

    // How the menu bar and the dock present themselves while the program is
    // active (bits as the Mac numbers them: 1 auto-hide dock, 2 hide dock,
    // 4 auto-hide menu bar). The desktops of Linux keep theirs: the options
    // are kept for those who ask.
    static uint32_t presentationOptions();
    static void setPresentationOptions(uint32_t options);

    // Not owned; other threads may read it.
    static void setDelegate(ApplicationDelegate* d);
    static ApplicationDelegate* delegate();

    // Tells the delegate, sets the terminating flag and stops the main run
    // loop; the process itself goes on (its owner decides when to exit).
    static void terminate();
    static bool isTerminating();
    // Hides every window on screen; unhide() shows them again.
    static void hide();
    static void unhide();
    static bool isHidden();
    // Active while not hidden.
    static bool isActive();

    // Takes one event from the window system, waiting up to timeoutMs, and
    // dispatches it; false when none came.
    static bool dispatchNextEvent(int timeoutMs);

    // Activities: while one is begun the system is asked not to idle the
    // process. The handle stays valid until endActivity.
    static Activity* beginActivity(uint64_t options, const std::string& reason);
    static void endActivity(Activity* a);
    static int activityCount();

private:
    friend class Window;
    static void addWindow(Window* w);
    static void removeWindow(Window* w);
    // Puts an on-screen window in front of those of its level or lower.
    static void orderWindowFront(Window* w);
    static void orderWindowOut(Window* w);
    static void setKeyWindow(Window* w);
};

}  // namespace platform::appkit
