// Win32-style menus over the platform's menus: creating and destroying them,
// items by position or by command id (searched through the submenus), check
// and enable states, texts, key equivalents, submenus, a window's menu and
// the menu bar, menus from static lists and menu resources, and popup menus
// tracked until the user picks a command.
//
// An HMENU is a platform menu. Menus made here are counted: DestroyMenu
// releases the caller's hold, and a submenu attached to an item belongs to
// its parent menu from then on.
#pragma once

#include <memory>

#include "platform/appkit/Menu.h"
#include "platform/appkit/Responder.h"
#include "shim/shim-kb.h"
#include "shim/shim-object.h"

// Menus made by the toolkit: automatic enabling off, so only these
// functions enable and disable items.
class Shim_vHalvoran_menu : public platform::appkit::Menu {
public:
    static Shim_vHalvoran_menu* create(const std::string& title = std::string());

private:
    Shim_vHalvoran_menu() = default;
};

// The receiver of a tracked popup menu's command.
class Shim_vHalvoran_trackpopupmenurecv : public platform::appkit::Responder,
                                          public platform::appkit::MenuActionTarget,
                                          public platform::appkit::MenuDelegate {
public:
    // initWithWnd:
    explicit Shim_vHalvoran_trackpopupmenurecv(HWND wnd) : cbwnd(wnd) {}
    int isCommand() const { return m_act; }
    void onShimCommand(int senderTag);

    bool respondsToMenuAction(const std::string& action) const override;
    void performMenuAction(const std::string& action, platform::appkit::Menu& menu, int index) override;
    void menuNeedsUpdate(platform::appkit::Menu& menu) override;

    int m_act = 0;
    HWND cbwnd;
    // The menu tracked, and whether TrackPopupMenu announced it itself (its
    // update just before it shows then announces nothing again).
    platform::appkit::Menu* m_top = nullptr;
    bool m_topAnnounced = false;
};

// The platform menu behind a handle, or null for one that is not a live menu.
platform::appkit::Menu* SHIM_MenuOf(HMENU h);
inline HMENU SHIM_HandleOfMenu(platform::appkit::Menu* m) { return reinterpret_cast<HMENU>(m); }

// The item data a menu item carries (represented object); 0 for none.
LONG_PTR SHIM_MenuItemData(const platform::appkit::MenuItem& item);

// Flags and masks in this toolkit's numbering.
enum : UINT {
    MF_ENABLED = 0,
    MF_UNCHECKED = 0,
    MF_STRING = 0,
    MF_GRAYED = 1,
    MF_DISABLED = 2,
    MF_BITMAP = 4,
    MF_CHECKED = 8,
    MF_POPUP = 0x10,
    MF_BYCOMMAND = 0,
    MF_BYPOSITION = 0x400,
    MF_SEPARATOR = 0x800,
};
enum : UINT { MIIM_ID = 1, MIIM_STATE = 2, MIIM_TYPE = 4, MIIM_SUBMENU = 8, MIIM_DATA = 16 };
enum : UINT { MFT_STRING = 0, MFT_BITMAP = 4, MFT_SEPARATOR = 0x800 };
enum : UINT { MFS_ENABLED = 0, MFS_GRAYED = 3, MFS_DISABLED = 3, MFS_CHECKED = 8, MFS_UNCHECKED = 0 };
enum : UINT { TPM_LEFTALIGN = 0, TPM_NONOTIFY = 0x80, TPM_RETURNCMD = 0x100 };
enum : UINT { WM_INITMENUPOPUP = 0x0117 };

struct MENUITEMINFO {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HGDIOBJ hbmpChecked;
    HGDIOBJ hbmpUnchecked;
    UINT_PTR dwItemData;
    char* dwTypeData;
    int cch;
};

// One record of a menu list: a text and an id word (see
// SHIM_GenerateMenuFromList).
struct SHIM_MenuListRec {
    const char* name;
    DWORD id;
};

// One menu resource; the records form a list.
struct SHIM_MenuResourceIndex {
    const char* resid;
    void (*createFunc)(HMENU menu);
    SHIM_MenuResourceIndex* _next;
};

// ---- menus
HMENU CreatePopupMenu();
HMENU CreatePopupMenuEx(const char* title);
void DestroyMenu(HMENU h);
HMENU SHIM_DuplicateMenu(HMENU h);
// The destination (an object that takes onShimCommand:) becomes the menu's
// delegate and the target of every command item down its submenus; null
// detaches them.
void SHIM_SetMenuDestination(HMENU h, platform::appkit::Responder* dest);
HMENU SHIM_GetCurrentMenu();
void SHIM_SetCurrentMenu(HMENU h);
BOOL SetMenu(HWND hwnd, HMENU menu);
HMENU GetMenu(HWND hwnd);
void DrawMenuBar(HWND hwnd);
HMENU SHIM_LoadMenu(SHIM_MenuResourceIndex* head, const char* resid);
int SHIM_GenerateMenuFromList(HMENU h, const SHIM_MenuListRec* list, int count);

// ---- items
int GetMenuItemCount(HMENU h);
int GetMenuItemID(HMENU h, int pos);
HMENU GetSubMenu(HMENU h, int pos);
// -1 for a null menu or a position outside 0..count (nothing changes).
int AddMenuItem(HMENU h, int pos, const char* text, int id);
void SHIM_Menu_AddMenuItem(HMENU h, const char* text, int id, int grayed);
BOOL SHIM_InsertMenu(HMENU h, int pos, UINT flags, UINT_PTR idOrSubmenu, const char* text);
void InsertMenuItem(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi);
BOOL DeleteMenu(HMENU h, int idx, int flags);
BOOL SetMenuItemInfo(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi);
BOOL GetMenuItemInfo(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi);
BOOL SetMenuItemText(HMENU h, int idx, int flags, const char* text);
BOOL EnableMenuItem(HMENU h, int idx, int flags);
BOOL CheckMenuItem(HMENU h, int idx, int flags);
BOOL SetMenuItemModifier(HMENU h, int idx, int flags, int code, unsigned int accel);

// ---- popups
int TrackPopupMenu(HMENU h, int flags, int x, int y, int reserved, HWND hwnd, const RECT* r);
