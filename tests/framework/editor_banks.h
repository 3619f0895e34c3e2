#pragma once
// The librarian's bank menu and the windows it opens, for the editor's
// window tests.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <string>
#include <vector>

#include "editor_window.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"

namespace guitest {

// The bank menu (at 861,39 on the librarian page), an item of it that opens
// a submenu (after `items` items and `separators` separators), and the
// submenu's item `sub` (after `subSeparators` separators).
inline void chooseFromBankMenu(EditorWindow& e, hvtest::XProbe& x, int items, int separators, int sub,
                               int subSeparators = 0) {
    e.clickAt(900, 49);
    std::vector<XWindow> menus;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 1; }));
    x.moveTo(menus[0], 40, 2 + items * 20 + separators * 7 + 10);
    ASSERT_TRUE(hvtest::waitUntil([&] { return (menus = x.popups()).size() == 2; }));
    x.moveTo(menus[1], 40, 2 + sub * 20 + subSeparators * 7 + 10);
    x.click();
}

// The window of that title once it shows and has the keyboard.
inline XWindow focusedWindow(hvtest::XProbe& x, const std::string& title) {
    XWindow w = 0;
    if (!hvtest::waitUntil([&] { return (w = x.findWindow(title)) && x.viewable(w); }, 10000)) return 0;
    const bool focused = hvtest::waitUntil([&] {
        ::Window focus = 0;
        int revert = 0;
        XGetInputFocus(x.display(), &focus, &revert);
        return focus == w;
    });
    return focused ? w : 0;
}

}  // namespace guitest
