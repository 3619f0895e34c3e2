#pragma once
// Typing through the user's X input method: dead keys, compose sequences
// and the method's own windows all end in whole characters. Where no method
// can be opened, keys are translated by the server's keymap alone.
//
// An input method reads the character type of the user's locale; only that
// part of the locale is taken, so numbers in files, states and messages
// keep one format whatever the user's locale.

#include <X11/Xlib.h>

#include <cstddef>
#include <deque>
#include <map>
#include <string>

namespace platform::appkit {

// Takes the character type (LC_CTYPE) from the environment unless the
// program chose one already, and falls back to "C" where Xlib cannot work
// in it. Other parts of the locale are left alone.
void x11AdoptUserCharacterType();

// What a key press typed: its keysym (0 for text an input method composed)
// and the characters, as the method committed them or the keymap gives them.
struct X11KeyText {
    KeySym sym = 0;
    std::u32string text;
};

// The keymap's translation alone, for windows without an input context.
X11KeyText x11PlainKeyText(XKeyEvent& k);

class X11InputMethod {
public:
    explicit X11InputMethod(Display* d);
    ~X11InputMethod();
    X11InputMethod(const X11InputMethod&) = delete;
    X11InputMethod& operator=(const X11InputMethod&) = delete;

    // Whether a method is open (else keys take the plain road).
    bool isOpen() const { return im_ != nullptr; }
    // Offers an event to the method first; true when it took it (a key in
    // the middle of a compose sequence, the method's own traffic): the
    // caller then drops it.
    bool filter(XEvent& ev);
    // The keyboard focus came to or left a window. A window's context is
    // made at its first key; the focus goes to the context it has.
    void setFocus(::Window w, bool in);
    // The window is going away: its input context goes first, and events
    // still on their way for it make none again.
    void forget(::Window w);
    // What a key event typed; a release gives its keysym alone.
    X11KeyText lookup(XKeyEvent& k);
    // How many windows the methods of this process hold a context for.
    static size_t contextCount();

private:
    // The window's context, made when asked and allowed; null for none.
    XIC contextOf(::Window w, bool make);
    void focus(::Window w, bool make);

    Display* dpy_;
    XIM im_ = nullptr;
    XIMStyle style_ = 0;
    std::map<::Window, XIC> contexts_;
    ::Window focused_ = 0;  // the window whose context has the method's focus
    // Windows forgotten lately, the latest last: a focus change or key
    // already queued for one must not ask X about it. A window leaves the
    // list at its DestroyNotify (its last event) or when it is the oldest
    // of more than kGoneKept.
    static constexpr size_t kGoneKept = 64;
    std::deque<::Window> gone_;
};

}  // namespace platform::appkit
