#pragma once
// Window management on X11: where a window stands and how big it is, whether
// the user may resize it, raising, iconifying and the keyboard focus, the
// screen list, and the events through which the window manager (or the
// user through it) reports moves, resizes and focus changes.
//
// Screen coordinates have their origin at the lower left of the main screen
// with y upward; X's root window has it at the top left with y downward.

#include <X11/Xlib.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/Geometry.h"

namespace platform::appkit {

class Window;

// What a peer keeps of its X window's state.
struct X11FrameState {
    bool shown = false;      // asked to be on screen (restacked from then on)
    bool everShown = false;  // placed on screen once (its frame constrained then)
    bool mapped = false;
    bool wantFocus = false;  // focus asked for before the window was mapped
    Time wantFocusTime = 0;
};

// The program's latest focus request on a display. Focus events X reported
// before it tell of a focus the request has since moved: they do not count.
struct X11FocusRequest {
    unsigned long serial = 0;  // the request's sequence number; 0: none yet
};

// Whether a window manager has taken the screen (it frames, stacks and
// focuses top-level windows; requests for them go through it).
bool x11WindowManagerRunning(Display* d);
// Whether the running manager lists the EWMH atom as supported.
bool x11ManagerSupports(Display* d, const char* atom);

// Root-window position of a frame's top-left corner.
XPoint x11RootPosition(Display* d, const FRect& screenFrame);
// Size limits (a window the user may not resize is held at its size) and
// the position, which names the content's corner.
void x11SetSizeHints(Display* d, ::Window w, bool resizable, FSize min, FSize max, const FRect& screenFrame);
void x11SetFrame(Display* d, ::Window w, const FRect& screenFrame);

// What a window manager's frame adds on each side of a window's content.
struct X11FrameExtents {
    long left = 0, right = 0, top = 0, bottom = 0;
};
// The extents the manager gives the window; for a window it does not frame
// yet it is asked first, and its answer awaited up to patience. None
// without a manager or an answer.
std::optional<X11FrameExtents> x11FrameExtents(Display* d, ::Window w,
                                               std::chrono::milliseconds patience = std::chrono::milliseconds(250));
// A titled window whose frame would stand above or left of the screen's
// work area (its title bar out of reach) moved in so that it stands within,
// as the Mac constrains a window's frame when it is shown.
FRect x11ConstrainedFrame(Display* d, ::Window w, const FRect& screenFrame);
// The decorations and the functions (move, resize, minimise, close) a
// window manager offers for the window, by its style mask.
void x11SetStyle(Display* d, ::Window w, unsigned style);
void x11Raise(Display* d, ::Window w);
// Gives the window the keyboard: through the window manager where one runs
// (with the time of the user's last input), else directly; a window not yet
// mapped takes it once it is. The request is noted in latest.
void x11MakeKey(Display* d, ::Window w, X11FrameState& s, Time userTime, X11FocusRequest* latest = nullptr);
void x11Iconify(Display* d, ::Window w);
void x11Unmapped(X11FrameState& s);

// Hints (X11Hints.cpp): the title in UTF-8 (and in the legacy encoding);
// the program a window belongs to (class, process id, machine) and that it
// takes the keyboard (or, for a window the pointer passes through, not);
// the window it stands over (0: none) and its kind; whether it runs
// modally (a shown window asks the manager).
enum class X11WindowType { Normal, Dialog, Utility };
void x11SetTitle(Display* d, ::Window w, const std::string& utf8);
void x11SetIdentity(Display* d, ::Window w);
void x11SetTakesFocus(Display* d, ::Window w, bool takes);
void x11SetOwner(Display* d, ::Window w, ::Window owner, X11WindowType type);
void x11SetModalState(Display* d, ::Window w, bool shown, bool modal);

// Appearance (X11Appearance.cpp): the opacity property compositing managers
// read, clicks passing through (an empty input shape), and our windows
// stacked front to back as the model orders them, the front one above
// other programs' windows (under a window manager, by asking it).
void x11SetOpacity(Display* d, ::Window w, double alpha);
void x11SetInputPassThrough(Display* d, ::Window w, bool through);
void x11Restack(Display* d, const std::vector<::Window>& frontToBack);

// Handles the frame, map and focus events of one of our windows; true when
// the event was one of them. Focus events older than the latest request
// change nothing.
bool x11HandleFrameEvent(Display* d, XEvent& ev, Window& w, X11FrameState& s, X11FocusRequest& latest);

// The display's screen as the only one (with the work area the desktop
// publishes as its visible frame).
std::vector<Screen> x11Screens(Display* d);

}  // namespace platform::appkit
