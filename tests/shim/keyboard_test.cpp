#include <gtest/gtest.h>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/HeadlessBackend.h"
#include "shim/shim-kb.h"

using namespace platform::appkit;

namespace {

HeadlessBackend& headless() { return dynamic_cast<HeadlessBackend&>(Application::backend()); }

Event key(int code, uint32_t mods, std::u32string typed, std::u32string plain) {
    Event e;
    e.type = EventType::KeyDown;
    e.keyCode = code;
    e.modifiers = Modifiers::fromFlags(mods);
    e.characters = std::move(typed);
    e.charactersIgnoringModifiers = std::move(plain);
    return e;
}

struct KeyCase {
    const char* what;
    int code;
    uint32_t mods;
    std::u32string typed, plain;
    int mode;
    bool emulate, layout;
    int wantCode, wantFlags;
};

}  // namespace

TEST(KeyTranslation, VirtualKeysCharactersAndFlags) {
    const uint32_t shift = kShiftKeyMask, cmd = kCommandKeyMask, ctrl = kControlKeyMask, opt = kAlternateKeyMask;
    const KeyCase cases[] = {
        {"keypad Enter", 76, 0, U"\x03", U"\x03", 0, false, true, 0x800D, FVIRTKEY},
        {"Return through its text", 36, 0, U"\r", U"\r", 0, false, true, 13, FVIRTKEY},
        {"Command+A", 0, cmd, U"a", U"a", 0, false, true, 'A', FCONTROL | FVIRTKEY},
        {"Shift+1 in mode 1", 18, shift, U"!", U"!", 1, false, true, '!', 0},
        {"Shift+Tab back-tab", 48, shift, U"\x19", U"\x19", 0, false, true, 9, FSHIFT | FVIRTKEY},
        {"no text, no layout character", 74, 0, U"", U"", 1, false, true, 0x44A, FVIRTKEY},
        {"layout character in mode 1", 0, shift, U"", U"", 1, false, true, 'a', 0},
        {"layout functions missing", 0, 0, U"", U"", 1, false, false, 0x400, FVIRTKEY},
        {"mode 0 asks no layout", 0, 0, U"", U"", 0, false, true, 0x400, FVIRTKEY},
        {"Control without emulation", 7, ctrl, U"\x18", U"x", 0, false, true, 'X', 0x20 | FVIRTKEY},
        {"Control with emulation", 7, ctrl, U"\x18", U"x", 0, true, true, 'X', FVIRTKEY},
        {"Option", 1, opt, U"s", U"s", 0, false, true, 'S', FALT | FVIRTKEY},
        {"keypad 5", 87, 0, U"5", U"5", 0, false, true, 0x65, FVIRTKEY},
        {"keypad 9", 92, 0, U"9", U"9", 0, false, true, 0x69, FVIRTKEY},
        {"F1", 122, 0, U"\uF704", U"\uF704", 0, false, true, VK_F1, FVIRTKEY},
        {"F12", 111, shift, U"", U"", 0, false, true, VK_F1 + 11, FSHIFT | FVIRTKEY},
        {"Escape", 53, 0, U"\x1b", U"\x1b", 0, false, true, 27, FVIRTKEY},
        {"minus is a character", 27, shift, U"_", U"_", 0, false, true, '_', 0},
        {"mode 1 takes the modified text", 12, opt, U"\u0153", U"q", 1, false, true, 0x153, FALT},
        {"up arrow", 126, 0, U"\uF700", U"\uF700", 0, false, true, VK_UP, FVIRTKEY},
    };
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        SHIM_EnableRightClickEmulate(c.emulate);
        headless().setKeyboardLayoutAvailable(c.layout);
        Event e = key(c.code, c.mods, c.typed, c.plain);
        int flags = -1;
        EXPECT_EQ(SHIM_MacKeyToWindowsKeyEx(&e, &flags, c.mode), c.wantCode);
        EXPECT_EQ(flags, c.wantFlags);
    }
    SHIM_EnableRightClickEmulate(false);
    headless().setKeyboardLayoutAvailable(true);
}

TEST(KeyTranslation, NullEventIsTheOneBeingDelivered) {
    int flags = -1;
    EXPECT_EQ(SHIM_MacKeyToWindowsKey(nullptr, &flags), 0);
    EXPECT_EQ(flags, 0);
    Event e = key(123, 0, U"\uF702", U"\uF702");
    CurrentEventScope delivering(e);
    EXPECT_EQ(SHIM_MacKeyToWindowsKeyEx(nullptr, &flags, 0), VK_LEFT);
    EXPECT_EQ(flags, FVIRTKEY);
}

TEST(KeyTranslation, ShiftedDigitsAsAscii) {
    const struct {
        int code, flags, want;
    } cases[] = {{'2', 5, '@'}, {'0', 5, ')'}, {'9', 5, '('}, {'2', 1, 0}, {'2', 13, 0}, {'A', 5, 0}};
    for (const auto& c : cases) {
        int newFlags = 77;
        EXPECT_EQ(SHIM_KeyToASCII(c.code, c.flags, &newFlags), c.want) << char(c.code) << " " << c.flags;
        EXPECT_EQ(newFlags, c.want ? 0 : 77);
    }
}

TEST(KeyTranslation, AsyncKeyState) {
    auto& p = headless().pointer();
    const struct {
        uint32_t buttons, mods;
        bool emulate;
        int vk;
        short want;
    } cases[] = {
        {1, 0, false, VK_LBUTTON, short(0x8000)},
        {2, 0, false, VK_LBUTTON, 0},
        {2, 0, false, VK_RBUTTON, short(0x8000)},
        {4, 0, false, VK_MBUTTON, short(0x8000)},
        {0, kCommandKeyMask, false, VK_CONTROL, short(0x8000)},
        {0, kControlKeyMask, false, VK_CONTROL, 0},
        {0, kControlKeyMask, false, VK_LWIN, short(0x8000)},
        {0, kControlKeyMask, true, VK_LWIN, 0},
        {0, kShiftKeyMask, false, VK_SHIFT, short(0x8000)},
        {0, kAlternateKeyMask, false, VK_MENU, short(0x8000)},
        {0xFF, 0xFFFFFFFF, false, 'A', 0},
    };
    for (const auto& c : cases) {
        p.pressedButtons = c.buttons;
        p.modifierFlags = c.mods;
        SHIM_EnableRightClickEmulate(c.emulate);
        EXPECT_EQ(GetAsyncKeyState(c.vk), c.want) << c.vk << " " << c.mods;
    }
    p.pressedButtons = p.modifierFlags = 0;
    SHIM_EnableRightClickEmulate(false);
}
