#include "platform/appkit/X11Services.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

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

}  // namespace

bool refreshKeymap(XEvent& ev) {
    if (ev.type != MappingNotify) return false;
    XRefreshKeyboardMapping(&ev.xmapping);
    return true;
}

void fillKeyEvent(Display* d, XKeyEvent& k, Event& e) {
    e.timestamp = k.time / 1000.0;
    KeySym plain = XLookupKeysym(&k, 0);
    if (IsModifierKey(plain)) return;  // modifiers change flags, they type nothing
    e.keyCode = keyCodeOfXKey(d, k);
    // A key no ANSI keyboard has: numbered past the ANSI codes.
    if (e.keyCode < 0) e.keyCode = 128 + static_cast<int>(k.keycode);
    bool shift = k.state & ShiftMask;

    char buf[16] = {};
    KeySym typedSym = 0;
    int n = XLookupString(&k, buf, sizeof buf - 1, &typedSym, nullptr);
    char32_t typed = unicodeOfKeysym(typedSym);
    // Control makes control characters, as XLookupString gives them.
    if ((k.state & ControlMask) && n == 1 && static_cast<unsigned char>(buf[0]) < 0x20) typed = buf[0];
    KeySym shiftedSym = 0;
    unsigned mods = 0;
    XkbLookupKeySym(d, k.keycode, k.state & (ShiftMask | LockMask), &mods, &shiftedSym);
    char32_t ignoring = unicodeOfKeysym(shiftedSym);

    typed = platformCharacter(e.keyCode, shift, typed);
    ignoring = platformCharacter(e.keyCode, shift, ignoring);
    if (typed) e.characters = std::u32string(1, typed);
    if (ignoring) e.charactersIgnoringModifiers = std::u32string(1, ignoring);
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
