// What a desktop reads of a window to present it: its title in UTF-8, the
// program it belongs to (class, process, machine), whether it is a dialog
// of another window, modal, how it takes the keyboard, and the group of
// the program's windows it belongs to.
#include <X11/Xatom.h>
#include <X11/Xresource.h>
#include <X11/Xutil.h>
#include <errno.h>
#include <unistd.h>

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <string>

#include "platform/appkit/X11Frames.h"

namespace platform::appkit {

namespace {

Atom atom(Display* d, const char* name) { return XInternAtom(d, name, False); }

void setAtoms(Display* d, ::Window w, const char* property, const std::vector<Atom>& values) {
    XChangeProperty(d, w, atom(d, property), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(values.data()), static_cast<int>(values.size()));
}

std::string programName() {
    // ICCCM: RESOURCE_NAME names the instance, else the program.
    if (const char* r = std::getenv("RESOURCE_NAME"); r && *r) return r;
    const char* n = program_invocation_short_name;
    return n && *n ? n : "halvoran";
}

void setMachine(Display* d, ::Window w) {
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0) return;
    char* hosts[] = {host};
    XTextProperty text{};
    if (XStringListToTextProperty(hosts, 1, &text)) {
        XSetWMClientMachine(d, w, &text);
        XFree(text.value);
    }
}

// One unmapped window leads this program's windows as a group: a manager
// that prevents focus stealing lets a program's new window come up over
// the one the user works in only when both are of one group.
::Window groupLeader(Display* d) {
    static const XContext kLeader = XUniqueContext();
    const ::Window root = DefaultRootWindow(d);
    XPointer found = nullptr;
    if (XFindContext(d, root, kLeader, &found) == 0) return static_cast<::Window>(reinterpret_cast<uintptr_t>(found));
    XSetWindowAttributes a{};
    ::Window leader = XCreateWindow(d, root, -1, -1, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent, 0, &a);
    XChangeProperty(d, leader, atom(d, "WM_CLIENT_LEADER"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&leader), 1);
    long pid = getpid();
    XChangeProperty(d, leader, atom(d, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    setMachine(d, leader);
    XSaveContext(d, root, kLeader, reinterpret_cast<XPointer>(static_cast<uintptr_t>(leader)));
    return leader;
}

}  // namespace

void x11SetTitle(Display* d, ::Window w, const std::string& title) {
    // The legacy name in the encoding older readers know (Latin-1, or
    // compound text beyond it); the desktops' own in UTF-8.
    char* list[] = {const_cast<char*>(title.c_str())};
    XTextProperty text{};
    if (Xutf8TextListToTextProperty(d, list, 1, XStdICCTextStyle, &text) >= Success) {
        XSetWMName(d, w, &text);
        XSetWMIconName(d, w, &text);
        XFree(text.value);
    }
    Atom utf8 = atom(d, "UTF8_STRING");
    for (const char* p : {"_NET_WM_NAME", "_NET_WM_ICON_NAME"})
        XChangeProperty(d, w, atom(d, p), utf8, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
}

void x11SetIdentity(Display* d, ::Window w) {
    std::string name = programName(), cls = name;
    cls[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(cls[0])));
    XClassHint hint{name.data(), cls.data()};
    XSetClassHint(d, w, &hint);
    long pid = getpid();
    XChangeProperty(d, w, atom(d, "_NET_WM_PID"), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    setMachine(d, w);
    ::Window leader = groupLeader(d);
    XChangeProperty(d, w, atom(d, "WM_CLIENT_LEADER"), XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&leader), 1);
    // It takes the keyboard when the manager gives it (the passive model).
    x11SetTakesFocus(d, w, true);
}

void x11SetOwner(Display* d, ::Window w, ::Window owner, X11WindowType type) {
    if (owner)
        XSetTransientForHint(d, w, owner);
    else
        XDeleteProperty(d, w, XA_WM_TRANSIENT_FOR);
    const char* name = type == X11WindowType::Dialog    ? "_NET_WM_WINDOW_TYPE_DIALOG"
                       : type == X11WindowType::Utility ? "_NET_WM_WINDOW_TYPE_UTILITY"
                                                        : "_NET_WM_WINDOW_TYPE_NORMAL";
    setAtoms(d, w, "_NET_WM_WINDOW_TYPE", {atom(d, name)});
}

void x11SetTakesFocus(Display* d, ::Window w, bool takes) {
    XWMHints* wm = XAllocWMHints();
    if (!wm) return;
    wm->flags = InputHint | StateHint | WindowGroupHint;
    wm->input = takes ? True : False;
    wm->initial_state = NormalState;
    wm->window_group = groupLeader(d);
    XSetWMHints(d, w, wm);
    XFree(wm);
}

void x11SetModalState(Display* d, ::Window w, bool shown, bool modal) {
    Atom state = atom(d, "_NET_WM_STATE"), modalAtom = atom(d, "_NET_WM_STATE_MODAL");
    if (!shown) {
        // Before the map the window sets its state itself.
        if (modal)
            setAtoms(d, w, "_NET_WM_STATE", {modalAtom});
        else
            XDeleteProperty(d, w, state);
        return;
    }
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = state;
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = modal ? 1 : 0;  // add, remove
    ev.xclient.data.l[1] = static_cast<long>(modalAtom);
    ev.xclient.data.l[3] = 1;  // from an application
    XSendEvent(d, DefaultRootWindow(d), False, SubstructureRedirectMask | SubstructureNotifyMask, &ev);
}

}  // namespace platform::appkit
