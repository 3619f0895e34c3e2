#include "shim/shim-menu.h"

#include <cstring>
#include <string>

#include "platform/appkit/Application.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using platform::appkit::Application;
using platform::appkit::Menu;
using platform::appkit::MenuItem;
using platform::appkit::Responder;
using platform::appkit::View;
using platform::appkit::Window;
namespace ak = platform::appkit;

namespace {

const char* const kCommandAction = "onShimCommand:";

// The menu text rule: mnemonic ampersands dropped, cut at the first tab and
// at 1,023 bytes, after the last whole character that fits.
std::string MenuText(const char* text) {
    std::string out;
    if (!text) return out;
    for (const char* p = text; *p && *p != '\t' && out.size() < 1024; ++p) {
        if (*p == '&') {
            if (!*++p) break;
        }
        out += *p;
    }
    out.resize(shimwnd::Utf8Cut(out.c_str(), 1023));
    return out;
}

// An item found by position or by command id (recursively), with its menu.
struct Found {
    Menu* menu = nullptr;
    int index = -1;
    MenuItem* item() const { return menu ? menu->itemAt(index) : nullptr; }
    explicit operator bool() const { return item() != nullptr; }
};

Found FindById(Menu* m, int id) {
    for (int i = 0; i < m->numberOfItems(); ++i)
        if (m->items[size_t(i)].tag == id) return {m, i};
    for (int i = 0; i < m->numberOfItems(); ++i)
        if (Menu* sub = m->items[size_t(i)].submenu)
            if (Found f = FindById(sub, id)) return f;
    return {};
}

Found FindItem(HMENU h, int idx, bool byPosition) {
    Menu* m = SHIM_MenuOf(h);
    if (!m) return {};
    if (byPosition) return m->itemAt(idx) ? Found{m, idx} : Found{};
    return FindById(m, idx);
}

void SetDestination(Menu* m, Responder* dest) {
    m->setDelegate(dest);
    for (MenuItem& it : m->items) {
        if (it.submenu) SetDestination(it.submenu, dest);
        if (it.tag == 0 || it.submenu) continue;
        it.target = dest;
        if (dest) it.action = kCommandAction;
    }
}

bool TakesCommands(Responder* r) {
    auto* t = Responder::isLive(r) ? dynamic_cast<ak::MenuActionTarget*>(r) : nullptr;
    return t && t->respondsToMenuAction(kCommandAction);
}

std::string Utf8Title(const char* text) { return SHIM_CStringToCFString(MenuText(text).c_str()); }

void SetTitle(MenuItem& it, const std::string& title) {
    it.title = title;
    if (it.submenu) it.submenu->setTitle(title);
}

// The key character of SetMenuItemModifier, 0 for none.
char32_t KeyCharacter(int code, int accel) {
    if ((code >= 'A' && code <= 'Z') || (code >= '0' && code <= '9'))
        return (code >= 'A' && code <= 'Z' && !(accel & FSHIFT)) ? code + 32 : code;
    if (!(accel & FVIRTKEY)) {
        switch (code & 0x7F) {
            case 0x21:
            case 0x22:
            case 0x27:
            case 0x2C:
            case 0x2E:
            case 0x2F:
            case 0x3F:
            case 0x5B:
            case 0x5D:
            case 0x5C:
            case 0x7C:
                return code & 0x7F;
            default:
                break;
        }
    }
    if (code >= 0x70 && code <= 0x7B) return 0xF704 + (code - 0x70);
    switch (code) {
        case 8:
            return 8;
        case 0x21:
            return 0xF72C;
        case 0x22:
            return 0xF72D;
        case 0x23:
            return 0xF72B;
        case 0x24:
            return 0xF729;
        case 0x25:
            return 0xF702;
        case 0x26:
            return 0xF700;
        case 0x27:
            return 0xF703;
        case 0x28:
            return 0xF701;
        case 0x2D:
            return 0xF727;
        case 0x2E:
            return 0x7F;
        case 0x6D:
            return 0x2D;
        default:
            return 0;
    }
}

// The content view a popup is shown for.
View* PopupView(HWND hwnd) {
    if (hwnd) return shimwnd::ContentOf(hwnd);
    Window* main = Application::mainWindow();
    return main ? main->contentView() : nullptr;
}

// Hooks the window object calls when its menu changes or it goes.
struct HookInstaller {
    HookInstaller() {
        SHIM_menuHooks.setMenuDestination = [](HMENU m, HWND w) { SHIM_SetMenuDestination(m, w); };
        SHIM_menuHooks.releaseMenu = [](HMENU m) {
            if (Menu* menu = SHIM_MenuOf(m)) menu->release();
        };
        SHIM_menuHooks.getMainMenu = [] { return SHIM_GetCurrentMenu(); };
        SHIM_menuHooks.setMainMenu = [](HMENU m) { Application::setMainMenu(SHIM_MenuOf(m)); };
    }
} g_hooks;

}  // namespace

Shim_vHalvoran_menu* Shim_vHalvoran_menu::create(const std::string& title) {
    auto* m = new Shim_vHalvoran_menu;
    m->holdOnce();
    m->setTitle(title);
    m->setAutoenablesItems(false);
    return m;
}

Menu* SHIM_MenuOf(HMENU h) { return Menu::isLive(h) ? reinterpret_cast<Menu*>(h) : nullptr; }

LONG_PTR SHIM_MenuItemData(const MenuItem& item) {
    auto* d = std::any_cast<std::shared_ptr<Shim_vHalvoran_sdh>>(&item.representedObject);
    return d && *d ? (*d)->getValue() : 0;
}

// ---- the receiver

void Shim_vHalvoran_trackpopupmenurecv::onShimCommand(int senderTag) {
    if (senderTag) m_act = senderTag;
}

bool Shim_vHalvoran_trackpopupmenurecv::respondsToMenuAction(const std::string& action) const {
    return action == kCommandAction;
}

void Shim_vHalvoran_trackpopupmenurecv::performMenuAction(const std::string& action, Menu& menu, int index) {
    if (MenuItem* it = menu.itemAt(index)) onShimCommand(it->tag);
}

void Shim_vHalvoran_trackpopupmenurecv::menuNeedsUpdate(Menu& menu) {
    if (&menu == m_top && m_topAnnounced) {
        m_topAnnounced = false;
        return;
    }
    if (!cbwnd) return;
    SendMessage(cbwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(SHIM_HandleOfMenu(&menu)), 0);
    // What the window added or attached anywhere in the tracked menu
    // answers to the receiver as well.
    SHIM_SetMenuDestination(SHIM_HandleOfMenu(Menu::isLive(m_top) ? m_top : &menu), this);
}

// ---- the window object as a menu's destination

bool Shim_vHalvoran_hwnd::respondsToMenuAction(const std::string& action) const { return action == kCommandAction; }

void Shim_vHalvoran_hwnd::performMenuAction(const std::string&, Menu& menu, int index) {
    MenuItem* it = menu.itemAt(index);
    if (!it || !m_wndproc || m_hashaddestroy.load()) return;
    m_wndproc(handle(), WM_COMMAND, static_cast<WPARAM>(static_cast<UINT>(it->tag)), 0);
}

void Shim_vHalvoran_hwnd::menuNeedsUpdate(Menu& menu) {
    if (!m_wndproc || m_hashaddestroy.load()) return;
    m_wndproc(handle(), WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(SHIM_HandleOfMenu(&menu)), 0);
}

// ---- menus

HMENU CreatePopupMenu() { return SHIM_HandleOfMenu(Shim_vHalvoran_menu::create()); }

HMENU CreatePopupMenuEx(const char* title) {
    if (!title) return CreatePopupMenu();
    return SHIM_HandleOfMenu(Shim_vHalvoran_menu::create(Utf8Title(title)));
}

void DestroyMenu(HMENU h) {
    Menu* m = SHIM_MenuOf(h);
    if (!m) return;
    SetDestination(m, nullptr);
    m->release();
}

HMENU SHIM_DuplicateMenu(HMENU h) {
    Menu* m = SHIM_MenuOf(h);
    return m ? SHIM_HandleOfMenu(m->copy()) : nullptr;
}

void SHIM_SetMenuDestination(HMENU h, Responder* dest) {
    Menu* m = SHIM_MenuOf(h);
    if (!m || (dest && !TakesCommands(dest))) return;
    SetDestination(m, dest);
}

HMENU SHIM_GetCurrentMenu() { return SHIM_HandleOfMenu(Application::mainMenu()); }

void SHIM_SetCurrentMenu(HMENU h) {
    Menu* m = SHIM_MenuOf(h);
    if (!m || g_shim_terminating) return;
    Application::setMainMenu(m);
}

BOOL SetMenu(HWND hwnd, HMENU menu) {
    if (!hwnd || g_shim_terminating) return FALSE;
    HWND holder = hwnd;
    if (!SHIM_Answers(holder, SHIM_SEL_MENU) && shimwnd::AsWindow(hwnd)) holder = shimwnd::ContentOf(hwnd);
    if (!SHIM_Answers(holder, SHIM_SEL_MENU)) return FALSE;
    SHIM_ObjectOf(holder)->shimSetMenu(menu);
    Window* w = shimwnd::AsWindow(hwnd);
    if (!w) {
        View* v = shimwnd::AsView(hwnd);
        if (v && shimwnd::IsContentView(v)) w = v->window();
    }
    if (w && w->isKeyWindow() && SHIM_GetCurrentMenu() != menu) {
        Application::setMainMenu(SHIM_MenuOf(menu));
        if (menu) SendMessage(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
    }
    return TRUE;
}

HMENU GetMenu(HWND hwnd) {
    HWND holder = shimwnd::AsWindow(hwnd) ? static_cast<HWND>(shimwnd::ContentOf(hwnd)) : hwnd;
    if (!SHIM_Answers(holder, SHIM_SEL_MENU)) return nullptr;
    return SHIM_ObjectOf(holder)->shimGetMenu();
}

void DrawMenuBar(HWND) {}

HMENU SHIM_LoadMenu(SHIM_MenuResourceIndex* head, const char* resid) {
    for (SHIM_MenuResourceIndex* r = head; r; r = r->_next) {
        if (r->resid != resid) continue;
        HMENU h = CreatePopupMenu();
        if (r->createFunc) r->createFunc(h);
        return h;
    }
    return nullptr;
}

int SHIM_GenerateMenuFromList(HMENU h, const SHIM_MenuListRec* list, int count) {
    static const char kOpen[] = "/.BO^O:";
    static const char kClose[] = "EN%%%^:";
    int i = 0;
    while (i < count) {
        const char* text = list[i].name;
        if (!text) {
            SHIM_Menu_AddMenuItem(h, nullptr, 0, 0);
            ++i;
            continue;
        }
        if (!std::strcmp(text, kClose)) return i + 1;
        if (!std::strncmp(text, kOpen, 7)) {
            HMENU sub = CreatePopupMenuEx(text + 7);
            int used = SHIM_GenerateMenuFromList(sub, list + i + 1, count - i - 1);
            MENUITEMINFO mi{};
            mi.cbSize = sizeof mi;
            mi.fMask = MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
            mi.fType = MFT_STRING;
            mi.hSubMenu = sub;
            mi.dwTypeData = const_cast<char*>(text + 7);
            InsertMenuItem(h, GetMenuItemCount(h), TRUE, &mi);
            // Nothing took it over when the menu was null.
            if (!SHIM_MenuOf(h)) DestroyMenu(sub);
            i += 1 + used;
            continue;
        }
        MENUITEMINFO mi{};
        mi.cbSize = sizeof mi;
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
        mi.fType = MFT_STRING;
        mi.fState = list[i].id >= 0x10000u ? UINT(MFS_GRAYED) : 0u;
        mi.wID = list[i].id & 0xFFFF;
        mi.dwTypeData = const_cast<char*>(text);
        InsertMenuItem(h, GetMenuItemCount(h), TRUE, &mi);
        ++i;
    }
    return count + 1;
}

// ---- items

int GetMenuItemCount(HMENU h) {
    Menu* m = SHIM_MenuOf(h);
    return m ? m->numberOfItems() : 0;
}

int GetMenuItemID(HMENU h, int pos) {
    Menu* m = SHIM_MenuOf(h);
    MenuItem* it = m ? m->itemAt(pos) : nullptr;
    if (!it) return 0;
    return it->submenu ? -1 : it->tag;
}

HMENU GetSubMenu(HMENU h, int pos) {
    Menu* m = SHIM_MenuOf(h);
    MenuItem* it = m ? m->itemAt(pos) : nullptr;
    return it ? SHIM_HandleOfMenu(it->submenu) : nullptr;
}

int AddMenuItem(HMENU h, int pos, const char* text, int id) {
    Menu* m = SHIM_MenuOf(h);
    // A position outside the menu would have the platform throw; refuse it.
    if (!m || pos < 0 || pos > m->numberOfItems()) return -1;
    MenuItem it;
    it.title = SHIM_CStringToCFString(text ? text : "");
    it.tag = id;
    m->insertItem(std::move(it), pos);
    return 0;
}

void SHIM_Menu_AddMenuItem(HMENU h, const char* text, int id, int grayed) {
    MENUITEMINFO mi{};
    mi.cbSize = sizeof mi;
    if (!text) {
        mi.fMask = MIIM_TYPE;
        mi.fType = MFT_SEPARATOR;
    } else {
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
        mi.fType = MFT_STRING;
        mi.fState = grayed ? UINT(MFS_GRAYED) : 0u;
        mi.wID = static_cast<UINT>(id);
        mi.dwTypeData = const_cast<char*>(text);
    }
    InsertMenuItem(h, GetMenuItemCount(h), TRUE, &mi);
}

BOOL SHIM_InsertMenu(HMENU h, int pos, UINT flags, UINT_PTR idOrSubmenu, const char* text) {
    if (!SHIM_MenuOf(h)) return FALSE;
    MENUITEMINFO mi{};
    mi.cbSize = 44;
    mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
    mi.fType = MFT_STRING;
    mi.fState = flags & ~MF_BYPOSITION;
    mi.wID = static_cast<UINT>(idOrSubmenu);
    mi.dwTypeData = const_cast<char*>(text);
    if (flags & MF_POPUP) {
        mi.hSubMenu = reinterpret_cast<HMENU>(idOrSubmenu);
        mi.wID = 0;
        mi.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE | MIIM_SUBMENU;
        mi.fState &= ~(MF_POPUP | MF_BYPOSITION);
    }
    if (flags & MF_SEPARATOR) {
        mi.fMask = MIIM_TYPE;
        mi.fType = MFT_SEPARATOR;
        mi.fState &= ~0xC00u;
    } else if (flags & MF_BITMAP) {
        mi.fType = MFT_BITMAP;
        mi.fState &= ~MF_BITMAP;
    }
    InsertMenuItem(h, pos, (flags & MF_BYPOSITION) != 0, &mi);
    return TRUE;
}

void InsertMenuItem(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi) {
    Menu* m = SHIM_MenuOf(h);
    if (!m || !mi) return;
    int n = m->numberOfItems();
    if (!byPos) pos = m->indexOfItemWithTag(pos);
    if (pos < 0 || pos > n) pos = n;

    MenuItem it;
    if (mi->fType == MFT_BITMAP) {
        if (mi->dwTypeData) {
            auto* img = GetNSImageFromHICON(reinterpret_cast<HGDIOBJ>(mi->dwTypeData));
            if (img)
                it.image = std::shared_ptr<const void>(NSImageRetain(img), [](const void* p) {
                    NSImageRelease(static_cast<platform::NSImage*>(const_cast<void*>(p)));
                });
        }
    } else if (mi->fType == MFT_STRING) {
        it.title = mi->dwTypeData ? Utf8Title(mi->dwTypeData) : std::string("(null)");
    } else {
        it = MenuItem::separatorItem();
    }
    it.enabled = true;
    if (mi->fMask & MIIM_STATE) {
        if (mi->fState & 3) it.enabled = false;
        if (mi->fState & MFS_CHECKED) it.checked = true;
    }
    if (mi->fMask & MIIM_DATA)
        it.representedObject = std::make_shared<Shim_vHalvoran_sdh>(static_cast<LPARAM>(mi->dwItemData));
    if (mi->fMask & MIIM_ID) it.tag = static_cast<int>(mi->wID);
    std::string title = it.title;
    bool isString = mi->fType == MFT_STRING;
    pos = m->insertItem(std::move(it), pos);

    if ((mi->fMask & MIIM_SUBMENU) && mi->hSubMenu) {
        if (Menu* sub = SHIM_MenuOf(mi->hSubMenu)) {
            if (isString) sub->setTitle(title);
            m->setSubmenu(pos, sub);
            sub->release();
        }
    }
    if (n == 0) m->setAutoenablesItems(false);
    // The new item takes the menu's command routing from its first item.
    if (pos != 0) {
        const MenuItem& first = m->items.front();
        MenuItem& added = m->items[size_t(pos)];
        if (!first.action.empty()) added.action = first.action;
        if (first.target) added.target = first.target;
    }
}

BOOL DeleteMenu(HMENU h, int idx, int flags) {
    Found f = FindItem(h, idx, flags & MF_BYPOSITION);
    if (!f) return FALSE;
    if (Menu* sub = f.item()->submenu) {
        SetDestination(sub, nullptr);
        f.menu->setSubmenu(f.index, nullptr);
    }
    return f.menu->removeItemAt(f.index) ? TRUE : FALSE;
}

BOOL SetMenuItemInfo(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi) {
    Found f = FindItem(h, pos, byPos);
    if (!f || !mi) return FALSE;
    if ((mi->fMask & MIIM_SUBMENU) && mi->hSubMenu) {
        if (Menu* sub = SHIM_MenuOf(mi->hSubMenu)) {
            f.menu->setSubmenu(f.index, sub);
            sub->release();
        }
    }
    MenuItem& it = *f.item();
    if ((mi->fMask & MIIM_TYPE) && mi->fType == MFT_STRING && mi->dwTypeData) SetTitle(it, Utf8Title(mi->dwTypeData));
    if (mi->fMask & MIIM_STATE) {
        it.checked = (mi->fState & MFS_CHECKED) != 0;
        it.enabled = (mi->fState & 3) == 0;
    }
    if (mi->fMask & MIIM_ID) it.tag = static_cast<int>(mi->wID);
    if (mi->fMask & MIIM_DATA)
        it.representedObject = std::make_shared<Shim_vHalvoran_sdh>(static_cast<LPARAM>(mi->dwItemData));
    return TRUE;
}

BOOL GetMenuItemInfo(HMENU h, int pos, BOOL byPos, MENUITEMINFO* mi) {
    Found f = FindItem(h, pos, byPos);
    if (!f || !mi) return FALSE;
    const MenuItem& it = *f.item();
    if (mi->fMask & MIIM_TYPE) {
        if (it.separator) {
            mi->fType = MFT_SEPARATOR;
        } else {
            mi->fType = MFT_STRING;
            if (mi->dwTypeData && mi->cch > 0) {
                mi->dwTypeData[0] = 0;
                size_t n = shimwnd::Utf8Cut(it.title.c_str(), static_cast<size_t>(mi->cch) - 1);
                std::memcpy(mi->dwTypeData, it.title.data(), n);
                mi->dwTypeData[n] = 0;
            }
        }
    }
    if (mi->fMask & MIIM_DATA) mi->dwItemData = static_cast<UINT_PTR>(SHIM_MenuItemData(it));
    if (mi->fMask & MIIM_STATE)
        mi->fState = (it.checked ? UINT(MFS_CHECKED) : 0u) | (it.enabled ? 0u : UINT(MFS_GRAYED));
    if (mi->fMask & MIIM_ID) mi->wID = static_cast<UINT>(it.tag);
    if ((mi->fMask & MIIM_SUBMENU) && it.submenu) mi->hSubMenu = SHIM_HandleOfMenu(it.submenu);
    return TRUE;
}

BOOL SetMenuItemText(HMENU h, int idx, int flags, const char* text) {
    Found f = FindItem(h, idx, flags & MF_BYPOSITION);
    if (!f) return FALSE;
    SetTitle(*f.item(), Utf8Title(text ? text : ""));
    return TRUE;
}

BOOL EnableMenuItem(HMENU h, int idx, int flags) {
    Found f = FindItem(h, idx, flags & MF_BYPOSITION);
    if (!f) return FALSE;
    f.item()->enabled = !(flags & MF_GRAYED);
    return TRUE;
}

BOOL CheckMenuItem(HMENU h, int idx, int flags) {
    Found f = FindItem(h, idx, flags & MF_BYPOSITION);
    if (!f) return FALSE;
    f.item()->checked = (flags & MF_CHECKED) != 0;
    return TRUE;
}

BOOL SetMenuItemModifier(HMENU h, int idx, int flags, int code, unsigned int accel) {
    Found f = FindItem(h, idx, flags & MF_BYPOSITION);
    if (!f) return FALSE;
    uint32_t mask = 0;
    if (accel & FCONTROL) mask |= ak::kCommandKeyMask;
    if (accel & FALT) mask |= ak::kAlternateKeyMask;
    if (accel & SHIM_FLAG_MACCONTROL) mask |= ak::kControlKeyMask;
    if ((accel & FSHIFT) && !(code >= 'A' && code <= 'Z')) mask |= ak::kShiftKeyMask;
    MenuItem& it = *f.item();
    it.keyEquivalent = KeyCharacter(code, static_cast<int>(accel));
    it.keyEquivalentModifierMask = mask;
    return TRUE;
}

// ---- popups

int TrackPopupMenu(HMENU h, int flags, int x, int y, int, HWND hwnd, const RECT*) {
    Menu* m = SHIM_MenuOf(h);
    if (!m || (hwnd && !Responder::isLive(hwnd))) return 0;
    View* view = PopupView(hwnd);
    Window* w = view ? view->window() : nullptr;
    if (!w) return 0;

    ak::FPoint at = w->convertFromScreen({static_cast<double>(x), y - 4.0});
    bool notify = !(flags & TPM_NONOTIFY);
    auto* recv = new Shim_vHalvoran_trackpopupmenurecv(notify ? hwnd : nullptr);
    recv->m_top = m;
    SHIM_SetMenuDestination(h, recv);
    if (notify && hwnd) {
        SendMessage(hwnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(h), 0);
        SHIM_SetMenuDestination(h, recv);
        recv->m_topAnnounced = true;
    }
    if (SHIM_MenuOf(h)) m->popUpContextMenu(w, {static_cast<int>(at.x), static_cast<int>(at.y)});
    int cmd = recv->isCommand();
    SHIM_SetMenuDestination(h, nullptr);
    delete recv;

    if (cmd <= 0) return 0;
    if (flags & TPM_RETURNCMD) return cmd;
    if (hwnd) SendMessage(hwnd, WM_COMMAND, static_cast<WPARAM>(cmd), 0);
    return 1;
}
