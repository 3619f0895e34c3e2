#pragma once
// Menus as the window system shows them: items with titles, check marks,
// separators, submenus, command tags, key equivalents and an action sent to
// a target when the user picks one.
//
// A menu is a plain object that code may build on the stack or own as it
// likes; items then only point at their submenus. A menu made with create()
// is reference counted as the Mac counts its menus: it starts held once,
// release() drops a hold and deletes it at zero, and the submenus attached
// through setSubmenu() are held by the menu until their item goes.

#include <any>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Geometry.h"

namespace platform::appkit {

class Menu;
class Responder;
class Window;
struct Event;

struct MenuItem {
    std::string title;
    bool checked = false;
    bool separator = false;
    bool enabled = true;
    Menu* submenu = nullptr;
    // The program's own number for the item (0: none).
    int tag = 0;
    // Any value the program hangs on the item.
    std::any representedObject{};
    // Sent when the user picks the item: the action (a selector name such as
    // "onShimCommand:") to the target, when the target is live and answers it.
    Responder* target = nullptr;
    std::string action{};
    // One character (0: none) and the modifier flags (kCommandKeyMask...)
    // that pick the item from the keyboard.
    char32_t keyEquivalent = 0;
    uint32_t keyEquivalentModifierMask = 0;
    // The image shown in place of a title (kept alive by the item and its
    // copies); null for none.
    std::shared_ptr<const void> image{};

    static MenuItem separatorItem() {
        MenuItem m;
        m.separator = true;
        return m;
    }
};

// What a menu item's target implements.
class MenuActionTarget {
public:
    virtual ~MenuActionTarget() = default;
    virtual bool respondsToMenuAction(const std::string& action) const = 0;
    // The item is passed as it stood when picked, with the menu holding it.
    virtual void performMenuAction(const std::string& action, Menu& menu, int index) = 0;
};

// What a menu's delegate implements: it hears that the menu is about to be
// shown, and may change its items then.
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    virtual void menuNeedsUpdate(Menu& menu) = 0;
};

class Menu {
public:
    Menu();
    explicit Menu(std::string title);
    virtual ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    // A new counted menu, held once by the caller.
    static Menu* create(const std::string& title = std::string());
    void retain();
    // Drops a hold; a counted menu is deleted when none is left.
    void release();
    // Whether p is a menu whose destruction has not begun.
    static bool isLive(const void* p);

    std::vector<MenuItem> items;

    const std::string& title() const { return title_; }
    void setTitle(const std::string& t) { title_ = t; }
    int numberOfItems() const { return static_cast<int>(items.size()); }
    // Null for an index outside the menu.
    MenuItem* itemAt(int index);
    // Items at an index outside 0..count go to the end; returns the index used.
    int insertItem(MenuItem item, int index);
    int addItem(MenuItem item) { return insertItem(std::move(item), numberOfItems()); }
    // Removes the item, letting go of a submenu the menu held; false when
    // the index is outside the menu.
    bool removeItemAt(int index);
    // Attaches (holding it) or detaches a submenu; a held old one is released.
    void setSubmenu(int index, Menu* submenu);
    // The first item with the tag in this menu alone; -1 for none.
    int indexOfItemWithTag(int tag) const;
    // A deep copy (a counted menu, held once): items, and copies of their
    // submenus; targets, actions and the delegate are kept.
    Menu* copy() const;

    // When on, showing the menu enables each item that has an action by
    // whether its target answers it; items without an action keep their flag.
    bool autoenablesItems() const { return autoenables_; }
    void setAutoenablesItems(bool on) { autoenables_ = on; }
    // Any responder that implements MenuDelegate; asked while live.
    Responder* delegate() const { return delegate_; }
    void setDelegate(Responder* d) { delegate_ = d; }

    // Before the menu shows: the delegate's update, then automatic enabling.
    // False when the delegate deleted the menu.
    bool update();
    // Sends the item's action to its target; false when nothing took it.
    bool performActionForItemAt(int index);
    // Picks the item whose key equivalent the key event types, searching the
    // submenus too, and sends its action; false when none matches.
    bool performKeyEquivalent(const Event& e);
    // Shows the menu at a point of a window (window coordinates), lets the
    // user pick, and sends the picked item's action; false when none was
    // picked.
    bool popUpContextMenu(Window* w, Point at);

protected:
    // Makes a new menu counted and held once (for kinds made like create()).
    void holdOnce() {
        counted_ = true;
        holds_ = 1;
    }

private:
    std::string title_;
    bool autoenables_ = true;
    Responder* delegate_ = nullptr;
    bool counted_ = false;
    int holds_ = 0;
    std::vector<Menu*> held_;  // submenus this menu holds
    // Expires with the menu, for code that calls out while holding it.
    std::shared_ptr<char> life_ = std::make_shared<char>();
};

// Called by the window system just before it shows a menu or opens a
// submenu: the menu's update. False when the menu is gone afterwards.
bool menuWillOpen(const Menu& m);

// Opens the submenu of a menu's item for the window system: announces it
// (its update, where the program may change or delete the item, the
// submenu or the menu) and returns the submenu the item holds once that
// returned; null when the item then opens nothing.
const Menu* openSubmenu(const Menu& menu, int index);

// Whether an item's key equivalent is typed by a key event. On Linux the
// Control key stands in for Command, as programs there expect, unless the
// item asks for Control itself.
bool keyEquivalentMatches(const MenuItem& item, const Event& e);

// How a key equivalent is shown beside the title: "Ctrl+Shift+S", "F1",
// "Alt+Home"; empty without one.
std::string keyEquivalentText(const MenuItem& item);

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
