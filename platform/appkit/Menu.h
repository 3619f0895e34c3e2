#pragma once
// A context menu as the window system shows it: items with titles, check
// marks, separators and submenus. The menu does not own its submenus.

#include <string>
#include <vector>

namespace platform::appkit {

struct Menu;

struct MenuItem {
    std::string title;
    bool checked = false;
    bool separator = false;
    bool enabled = true;
    const Menu* submenu = nullptr;
};

struct Menu {
    std::vector<MenuItem> items;
};

// The item the user chose: the menu that holds it (the shown one or one of its
// submenus) and its index there. No menu means the user dismissed it.
struct MenuChoice {
    const Menu* menu = nullptr;
    int index = -1;
    explicit operator bool() const { return menu != nullptr && index >= 0; }
};

// A choosable item: not a separator, enabled, and not a submenu entry.
inline bool isChoosable(const MenuItem& it) { return !it.separator && it.enabled && !it.submenu; }

}  // namespace platform::appkit
