#include "platform/appkit/X11Services.h"
#include "platform/appkit/X11Input.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

// Xlib's None would hide our enumerators of the same name.
#undef None

namespace platform::appkit {

namespace {

// Servers of today number their keys as Linux does, plus 8; older ones had
// their own numbering, where only the keysym tells the key.
bool evdevKeycodes(Display* d) {
    static Display* asked = nullptr;
    static bool evdev = false;
    if (asked != d) {
        asked = d;
        evdev = XKeysymToKeycode(d, XK_Up) == 103 + 8 && XKeysymToKeycode(d, XK_Escape) == 1 + 8;
    }
    return evdev;
}

int keyCodeOfXKey(Display* d, XKeyEvent& k) {
    if (evdevKeycodes(d)) {
        int code = keyCodeOfEvdev(static_cast<int>(k.keycode) - 8);
        if (code >= 0) return code;
    }
    return keyCodeOfKeysym(XLookupKeysym(&k, 0));
}

// The text of keys that type none on X11 but do on the platform: its
// function-key characters, Delete as DEL, back-tab for Shift-Tab.
char32_t platformCharacter(int keyCode, bool shift, char32_t typed) {
    switch (keyCode) {
        case keycode::Tab:
            return shift ? 0x19 : 9;
        case keycode::Delete:
            return 0x7F;
        case keycode::KeypadEnter:
            return 3;
        case keycode::Return:
            return 13;
        case keycode::Up:
            return 0xF700;
        case keycode::Down:
            return 0xF701;
        case keycode::Left:
            return 0xF702;
        case keycode::Right:
            return 0xF703;
        case 115:
            return 0xF729;  // Home
        case 119:
            return 0xF72B;  // End
        case 116:
            return 0xF72C;  // Page Up
        case 121:
            return 0xF72D;  // Page Down
        case 117:
            return 0xF728;  // forward Delete
        case 114:
            return 0xF746;  // Help
        default:
            break;
    }
    static constexpr int kFunctionKeys[] = {122, 120, 99,  118, 96,  97,  98, 100, 101, 109,
                                            103, 111, 105, 107, 113, 106, 64, 79,  80,  90};
    for (int i = 0; i < 20; ++i)
        if (kFunctionKeys[i] == keyCode) return 0xF704 + i;
    return typed;
}

Key namedKey(KeySym sym) {
    switch (sym) {
        case XK_Up:
        case XK_KP_Up:
            return Key::Up;
        case XK_Down:
        case XK_KP_Down:
            return Key::Down;
        case XK_Left:
        case XK_KP_Left:
            return Key::Left;
        case XK_Right:
        case XK_KP_Right:
            return Key::Right;
        case XK_Return:
        case XK_KP_Enter:
            return Key::Return;
        case XK_Escape:
            return Key::Escape;
        case XK_BackSpace:
            return Key::Backspace;
        case XK_Delete:
            return Key::Delete;
        case XK_Tab:
        case XK_ISO_Left_Tab:
            return Key::Tab;
        case XK_Home:
            return Key::Home;
        case XK_End:
            return Key::End;
        case XK_space:
            return Key::Space;
        default:
            return Key::None;
    }
}

}  // namespace

bool refreshKeymap(XEvent& ev) {
    if (ev.type != MappingNotify) return false;
    XRefreshKeyboardMapping(&ev.xmapping);
    return true;
}

std::vector<Event> x11KeyEvents(Display* d, XKeyEvent& k, const X11KeyText& typed) {
    Event e;
    e.type = k.type == KeyPress ? EventType::KeyDown : EventType::KeyUp;
    e.location = {k.x, k.y};
    e.modifiers = modifiersOfXState(k.state);
    e.timestamp = k.time / 1000.0;
    e.key = namedKey(typed.sym);
    if (e.key == Key::Space) e.character = U' ';
    // Text an input method composed or committed: no key of its own, one
    // event per character.
    if (!k.keycode || (!typed.sym && !typed.text.empty())) {
        std::vector<Event> out;
        for (char32_t c : typed.text) {
            Event one = e;
            one.key = c == U' ' ? Key::Space : Key::Character;
            one.character = c;
            one.characters = one.charactersIgnoringModifiers = std::u32string(1, c);
            out.push_back(one);
        }
        return out;
    }
    KeySym plain = XLookupKeysym(&k, 0);
    if (IsModifierKey(plain)) return {e};  // modifiers change flags, they type nothing
    e.keyCode = keyCodeOfXKey(d, k);
    // A key no ANSI keyboard has: numbered past the ANSI codes.
    if (e.keyCode < 0) e.keyCode = 128 + static_cast<int>(k.keycode);
    bool shift = k.state & ShiftMask;
    if (e.key == Key::None && !typed.text.empty()) {
        e.key = Key::Character;
        char32_t first = typed.text[0];
        // A control character stands for the key's own character.
        e.character = first >= 0x20 && first != 0x7F ? first : unicodeOfKeysym(typed.sym);
        if (e.character < 0x20 || e.character == 0x7F) e.key = Key::None;
    }
    KeySym shiftedSym = 0;
    unsigned mods = 0;
    XkbLookupKeySym(d, k.keycode, k.state & (ShiftMask | LockMask), &mods, &shiftedSym);
    char32_t special = platformCharacter(e.keyCode, shift, 0);
    e.characters = special ? std::u32string(1, special) : typed.text;
    char32_t ignoring = special ? special : unicodeOfKeysym(shiftedSym);
    if (ignoring) e.charactersIgnoringModifiers = std::u32string(1, ignoring);
    std::vector<Event> out{e};
    // The rest of a longer text typed by one key, a character at a time.
    for (size_t i = 1; e.key == Key::Character && i < typed.text.size(); ++i) {
        Event more = e;
        more.character = typed.text[i];
        more.characters = more.charactersIgnoringModifiers = std::u32string(1, typed.text[i]);
        out.push_back(more);
    }
    return out;
}

int X11KeyboardLayout::translate(int keyCode, uint32_t& deadKeyState, char16_t* out, int room) const {
    KeyCode xkc = 0;
    if (evdevKeycodes(dpy_)) {
        int evdev = evdevOfKeyCode(keyCode);
        if (evdev >= 0) xkc = static_cast<KeyCode>(evdev + 8);
    } else {
        uint32_t none = 0;
        char16_t us[2];
        if (usKeyboardLayout().translate(keyCode, none, us, 2) == 1) xkc = XKeysymToKeycode(dpy_, us[0]);
    }
    if (!xkc) return 0;
    XkbStateRec st{};
    XkbGetState(dpy_, XkbUseCoreKbd, &st);
    KeySym ks = XkbKeycodeToKeysym(dpy_, xkc, st.group, 0);
    if (ks == NoSymbol && st.group) ks = XkbKeycodeToKeysym(dpy_, xkc, 0, 0);
    if (deadKeyState) {
        // A key after a dead key: the accent itself when it is the space bar.
        char32_t accent = spacingAccentOfDeadKeysym(deadKeyState);
        deadKeyState = 0;
        if (keyCode == keycode::Space) return putUtf16(accent, out, room);
    }
    if (spacingAccentOfDeadKeysym(ks)) {
        deadKeyState = static_cast<uint32_t>(ks);
        return 0;
    }
    char32_t c = unicodeOfKeysym(ks);
    return c ? putUtf16(c, out, room) : 0;
}

}  // namespace platform::appkit
