#pragma once
// The X11 backend's helpers for cursors, keys, drops and alerts, each in a
// file of its own; X11Backend.cpp owns them and feeds them its events.

// Ours first: Xlib defines None, which our enumerations use.
#include "platform/appkit/Alert.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Drag.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Keyboard.h"
#include "platform/appkit/Menu.h"

#include <X11/Xlib.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace platform::appkit {

class Window;
class X11Text;

// How the window system's modal loops (menus, the text entry, alerts,
// drags) take their events: each goes to the loop's handler, while the main
// run loop's timers, posted work and redraws go on between them.
struct X11TrackOptions {
    // Ends the loop (looked at after every pass, and every pollMs when that
    // is not negative).
    std::function<bool()> stop;
    int pollMs = -1;
    std::optional<std::chrono::steady_clock::time_point> until;
    // Timers or posted work ran: what they changed may need showing.
    std::function<void()> afterWork;
    // The window the loop works for: the loop ends when it goes.
    const Window* owner = nullptr;
};

class X11Tracking {
public:
    // Hands the events to `handle` until it returns false (true), or until
    // the options end the loop (false).
    virtual bool track(const std::function<bool(XEvent&)>& handle, const X11TrackOptions& options = {}) = 0;
    // The program's own handling of an event that is not the loop's (another
    // window's painting).
    virtual void dispatch(XEvent& ev) = 0;

protected:
    ~X11Tracking() = default;
};

// Cursors through the cursor font and XRender, hiding through XFixes,
// warping and the pointer through the core protocol.
class X11CursorSystem : public CursorSystem {
public:
    explicit X11CursorSystem(Display* d);
    ~X11CursorSystem() override;
    // Toolkit windows show the current cursor.
    void addWindow(::Window w);
    void removeWindow(::Window w);
    // The pointer's move since the last motion event (root coordinates).
    // While the mouse is dissociated the pointer is put back where it was.
    Point motionDelta(int rootX, int rootY);

    void apply(const Cursor* c) override;
    void release(const Cursor* c) override;
    void setHidden(bool hidden) override;
    void setAssociated(bool associated) override;
    bool warp(double x, double yFromTop) override;
    PointF location() override;
    uint32_t buttons() override;
    uint32_t modifiers() override;
    double displayHeight() override;

private:
    ::Cursor xcursorOf(const Cursor* c);
    Display* dpy_;
    ::Window root_;
    std::map<const Cursor*, ::Cursor> made_;
    std::set<::Window> windows_;
    ::Cursor shown_ = 0;
    bool hidden_ = false;
    bool associated_ = true;
    bool haveLast_ = false;
    Point last_;
    Point anchor_;
};

// The modifiers of an X state mask.
Modifiers modifiersOfXState(unsigned state);

struct X11KeyText;
// The events a key press or release makes, from what it typed: the key's
// own event with its key code and texts, then one more per character when
// it typed several; text an input method composed comes as one event per
// character without a key code. Modifier keys keep key code -1.
std::vector<Event> x11KeyEvents(Display* d, XKeyEvent& k, const X11KeyText& typed);

// Takes a new keymap of the server in; true when the event was its notice.
bool refreshKeymap(XEvent& ev);

// The server's keymap as a layout.
class X11KeyboardLayout : public KeyboardLayout {
public:
    explicit X11KeyboardLayout(Display* d) : dpy_(d) {}
    int translate(int keyCode, uint32_t& deadKeyState, char16_t* out, int room) const override;

private:
    Display* dpy_;
};

// The XDND drop target for file lists (text/uri-list), version 5.
class X11DropTarget {
public:
    using WindowOf = std::function<Window*(::Window)>;
    X11DropTarget(Display* d, WindowOf lookup);
    // Marks a window as one that takes drops.
    void announce(::Window w);
    // True when the event was part of a drag.
    bool handle(const XEvent& ev);

private:
    struct Drag {
        ::Window source = 0;
        ::Window target = 0;
        bool uris = false;
        bool haveData = false;
        bool entered = false;
        bool positionPending = false;
        bool dropPending = false;
        Point root;
        unsigned long time = 0;
        std::vector<std::string> files;
    };
    void deliverPosition();
    void deliverDrop();
    void sendStatus(int operation);
    void sendFinished(bool ok);
    void sendToSource(::Atom type, long l1, long l2, long l4);
    void reset();
    Display* dpy_;
    WindowOf lookup_;
    Drag drag_;
    ::Atom aware_, enter_, position_, status_, leave_, drop_, finished_, selection_, typeList_, actionCopy_, uriList_,
        property_;
};

// Files named by a text/uri-list: local file URIs only, decoded.
std::vector<std::string> filesOfUriList(const std::string& list);

// Drags files out of the source window to other X clients over XDND
// (X11DragSource.cpp): existing files as a text/uri-list, promised ones
// through the Direct Save extension. Runs until the button is released or
// Escape is typed, or the grab is lost, and for at most two seconds more
// while a target takes the drop; other windows' events that are not input
// go to the program. False when there is nothing to drag, the list is too
// large for one property, or another client holds the pointer or the
// keyboard.
bool runX11Drag(X11Tracking& t, Display* d, ::Window source, const DragSourceRequest& r, unsigned long time);

// The look pop-up windows share (menus, the line editor).
constexpr unsigned long kMenuBg = 0xE8E8E8, kMenuFg = 0x101010, kMenuEdge = 0x606060;
constexpr int kMenuItemH = 20;
// A bordered window of that look at a root rectangle, shown, which the
// window manager leaves alone.
::Window x11MakePopup(Display* d, Visual* visual, int depth, Rect rootRect);
// Under a grab: waits for the release of the button (handing what is
// exposed meanwhile to `expose`), or until the button is up with its
// release gone elsewhere.
void x11AwaitRelease(X11Tracking& t, Display* d, unsigned button, const std::function<void(XEvent&)>& expose);
// A menu popped up at a root point (X11PopUpMenu.cpp) for a window (null:
// none) and the choice made in it. Moves count from where the press that
// opened it went down (the pointer's place when no press did); other
// windows are painted meanwhile.
MenuChoice runX11PopUpMenu(X11Tracking& t, Display* d, Visual* visual, int depth, const X11Text& text, const Menu& menu,
                           const Window* owner, Point origin, std::optional<Point> pressedAt);

// A small modal alert window over its owner (0: none), asking for the
// focus with the time of the user's last input; other windows are painted
// meanwhile, their input waits for the answer.
int runX11Alert(X11Tracking& t, Display* d, Visual* visual, int depth, const X11Text& text, ::Window owner,
                Time userTime, const AlertRequest& r);

// The menu bar: a strip along the top of the screen showing the titles of
// the main menu's items; a press on a title opens its submenu below it
// through the pop-up menu code, and the item picked there sends its action.
class X11MenuBar {
public:
    // Shows a menu at a root point and returns the choice.
    using PopUp = std::function<MenuChoice(const Menu& menu, Point root)>;
    X11MenuBar(Display* d, Visual* visual, int depth, const X11Text& text, PopUp popUp);
    ~X11MenuBar();
    X11MenuBar(const X11MenuBar&) = delete;
    X11MenuBar& operator=(const X11MenuBar&) = delete;
    // Null takes the strip away.
    void setMenu(Menu* m);
    // True when the event was the strip's.
    bool handle(XEvent& ev);
    ::Window window() const { return win_; }
    static constexpr int kHeight = 22;

private:
    // Titles' extents across the strip, by item index (empty for items
    // that open nothing).
    std::vector<std::pair<int, int>> layOut() const;
    void draw();
    void open(int item);

    Display* dpy_;
    Visual* visual_;
    int depth_;
    const X11Text& text_;
    PopUp popUp_;
    ::Window win_ = 0;
    unsigned long colormap_ = 0;
    Menu* menu_ = nullptr;
    int open_ = -1;  // the title whose submenu shows
};

}  // namespace platform::appkit
