#pragma once
// Key codes and the keyboard layout service. A key code names a key by its
// place on an ANSI keyboard (the platform's numbering: 0 is the key that
// types "a" on a US layout, 126 the up arrow), whatever the layout prints on
// it. The layout service says which character a key types in the layout the
// user has chosen.

#include <cstdint>

namespace platform::appkit {

namespace keycode {
enum : int {
    Return = 36,
    Tab = 48,
    Space = 49,
    Delete = 51,
    Escape = 53,
    KeypadEnter = 76,
    F1 = 122,
    Left = 123,
    Right = 124,
    Down = 125,
    Up = 126,
};
}  // namespace keycode

// The key code of an X keysym as the key's unshifted symbol on a US layout;
// -1 for a keysym that names no key of the ANSI keyboard.
int keyCodeOfKeysym(unsigned long keysym);
// The key code of a Linux input (evdev) key number, and back; -1 when none.
int keyCodeOfEvdev(int evdev);
int evdevOfKeyCode(int keyCode);
// The Unicode character of an X keysym, 0 when it types none.
char32_t unicodeOfKeysym(unsigned long keysym);
// The accent a dead keysym stands for, as a spacing character; 0 when the
// keysym is not a dead key.
char32_t spacingAccentOfDeadKeysym(unsigned long keysym);

// The translation of the platform's layout data: what key code k types
// pressed alone (no modifiers). A dead key types nothing and leaves its
// accent in deadKeyState; translating the space key with that state then
// types the accent itself. Returns the number of UTF-16 units written.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    virtual int translate(int keyCode, uint32_t& deadKeyState, char16_t* out, int room) const = 0;
};

// The built-in US layout (the headless session's).
const KeyboardLayout& usKeyboardLayout();

// Writes a character as UTF-16; returns the units written (0 when no room).
int putUtf16(char32_t c, char16_t* out, int room);

}  // namespace platform::appkit
