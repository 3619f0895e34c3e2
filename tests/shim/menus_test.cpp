// Win32-style menus on the platform's menus: item lookup through submenus,
// texts, states, key equivalents, menus from lists and resources, a window's
// menu and the menu bar, and popups tracked headless with scripted answers.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-menu.h"
#include "shim/shim-misc.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

HeadlessBackend& Headless() {
    auto* hb = dynamic_cast<HeadlessBackend*>(&Application::backend());
    if (!hb) {
        Application::setBackend(std::make_unique<HeadlessBackend>());
        hb = dynamic_cast<HeadlessBackend*>(&Application::backend());
    }
    return *hb;
}

// Messages a window got: "COMMAND 5", "INIT <menu>".
std::vector<std::string> g_log;
LRESULT LoggingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COMMAND) g_log.push_back("COMMAND " + std::to_string(wp));
    if (msg == WM_INITMENUPOPUP)
        g_log.push_back("INIT " + std::to_string(GetMenuItemCount(reinterpret_cast<HMENU>(wp))));
    return 0;
}

const MenuItem& Item(HMENU h, int pos) { return SHIM_MenuOf(h)->items.at(size_t(pos)); }

// File (Open 100, Save 101), a submenu "More" holding Deep 200, and Quit 102.
HMENU Sample() {
    HMENU m = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(m, "&Open", 100, 0);
    SHIM_Menu_AddMenuItem(m, "Save", 101, 0);
    HMENU sub = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(sub, "Deep", 200, 0);
    SHIM_InsertMenu(m, 2, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "More");
    SHIM_Menu_AddMenuItem(m, "Quit", 102, 0);
    return m;
}

class Menus : public ::testing::Test {
protected:
    void SetUp() override {
        Headless().clearRecords();
        g_log.clear();
        Application::setMainMenu(nullptr);
    }
    void TearDown() override {
        Application::setMainMenu(nullptr);
        RunLoop::main().runOnce();
    }
};

}  // namespace

TEST_F(Menus, TextsFollowTheMenuTextRule) {
    HMENU m = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(m, "x", 1, 0);
    struct Case {
        const char* text;
        const char* title;
    } cases[] = {
        {"&Open\tCtrl+O", "Open"}, {"Rock && Roll", "Rock & Roll"}, {"End&", "End"}, {"", ""}, {nullptr, ""},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(SetMenuItemText(m, 1, MF_BYCOMMAND, c.text));
        EXPECT_EQ(Item(m, 0).title, c.title) << (c.text ? c.text : "null");
    }
    // Long texts are cut after the last whole character within 1,023 bytes.
    auto times = [](int n, const std::string& s) {
        std::string out;
        while (n-- > 0) out += s;
        return out;
    };
    struct Long {
        std::string text, title;
    } longs[] = {
        {times(1100, "a"), times(1023, "a")},
        {times(600, "Д"), times(511, "Д")},
        {"a" + times(600, "Д"), "a" + times(511, "Д")},
        {times(400, "€"), times(341, "€")},
    };
    for (const auto& c : longs) {
        EXPECT_TRUE(SetMenuItemText(m, 0, MF_BYPOSITION, c.text.c_str()));
        EXPECT_EQ(Item(m, 0).title, c.title);
    }
    HMENU titled = CreatePopupMenuEx(times(600, "Д").c_str());
    EXPECT_EQ(SHIM_MenuOf(titled)->title(), times(511, "Д"));
    DestroyMenu(titled);
    EXPECT_FALSE(SetMenuItemText(m, 9, MF_BYCOMMAND, "none"));
    // AddMenuItem takes the text as it is.
    EXPECT_EQ(AddMenuItem(m, 0, "&Raw", 2), 0);
    EXPECT_EQ(Item(m, 0).title, "&Raw");
    DestroyMenu(m);
}

TEST_F(Menus, AddMenuItemOutsideTheMenuChangesNothing) {
    HMENU m = CreatePopupMenu();
    struct Case {
        int pos;
        int result;
        int count;
    } cases[] = {{1, -1, 0}, {-1, -1, 0}, {0, 0, 1}, {1, 0, 2}, {3, -1, 2}};
    for (const auto& c : cases) {
        EXPECT_EQ(AddMenuItem(m, c.pos, "t", 7), c.result) << c.pos;
        EXPECT_EQ(GetMenuItemCount(m), c.count) << c.pos;
    }
    EXPECT_EQ(AddMenuItem(nullptr, 0, "t", 7), -1);
    DestroyMenu(m);
}

TEST_F(Menus, StatesEnablingAndLookupsThroughSubmenus) {
    HMENU m = Sample();
    // By command id the search reaches the submenu.
    EXPECT_TRUE(CheckMenuItem(m, 200, MF_CHECKED));
    HMENU sub = GetSubMenu(m, 2);
    ASSERT_TRUE(sub);
    EXPECT_TRUE(Item(sub, 0).checked);
    EXPECT_FALSE(CheckMenuItem(m, 9, MF_BYPOSITION | MF_CHECKED));
    EXPECT_FALSE(CheckMenuItem(m, 999, MF_CHECKED));
    EXPECT_FALSE(CheckMenuItem(nullptr, 100, MF_CHECKED));

    struct Enable {
        int flags;
        bool enabled;
    } enables[] = {{MF_DISABLED, true}, {MF_GRAYED, false}, {MF_ENABLED, true}, {MF_GRAYED | MF_DISABLED, false}};
    for (const auto& e : enables) {
        EXPECT_TRUE(EnableMenuItem(m, 101, e.flags));
        EXPECT_EQ(Item(m, 1).enabled, e.enabled) << e.flags;
    }

    struct Id {
        int pos;
        int id;
    } ids[] = {{0, 100}, {2, -1}, {3, 102}, {4, 0}, {-1, 0}};
    for (const auto& i : ids) EXPECT_EQ(GetMenuItemID(m, i.pos), i.id) << i.pos;
    EXPECT_EQ(GetSubMenu(m, 0), nullptr);
    EXPECT_EQ(GetSubMenu(m, 7), nullptr);
    EXPECT_EQ(Item(m, 2).title, "More");
    EXPECT_EQ(SHIM_MenuOf(sub)->title(), "More");
    DestroyMenu(m);
}

TEST_F(Menus, ItemInfoReadsAndWritesStateTextDataAndSubmenus) {
    HMENU m = Sample();
    MENUITEMINFO set{};
    set.fMask = MIIM_STATE | MIIM_DATA | MIIM_TYPE;
    set.fState = UINT(MFS_CHECKED) | UINT(MF_GRAYED);
    set.dwItemData = 0xBEEF;
    set.dwTypeData = const_cast<char*>("&Save As...\tCtrl+Shift+S");
    EXPECT_TRUE(SetMenuItemInfo(m, 101, FALSE, &set));

    struct Case {
        UINT mask;
        int cch;
        UINT state;
        UINT_PTR data;
        const char* text;
    } cases[] = {
        {MIIM_STATE, 0, 11, 0, ""},   {MIIM_DATA, 0, 0, 0xBEEF, ""}, {MIIM_TYPE, 64, 0, 0, "Save As..."},
        {MIIM_TYPE, 5, 0, 0, "Save"}, {MIIM_TYPE, 1, 0, 0, ""},
    };
    for (const auto& c : cases) {
        char buf[64];
        std::memset(buf, 'x', sizeof buf);
        MENUITEMINFO get{};
        get.fMask = c.mask;
        get.dwTypeData = buf;
        get.cch = c.cch;
        ASSERT_TRUE(GetMenuItemInfo(m, 1, TRUE, &get));
        EXPECT_EQ(get.fState, c.state) << c.mask;
        EXPECT_EQ(get.dwItemData, c.data) << c.mask;
        if (c.cch) {
            EXPECT_STREQ(buf, c.text) << c.cch;
        }
    }
    // A separator reads as one; the submenu is written only when present.
    SHIM_Menu_AddMenuItem(m, nullptr, 0, 0);
    MENUITEMINFO get{};
    get.fMask = MIIM_TYPE | MIIM_SUBMENU | MIIM_ID;
    get.hSubMenu = reinterpret_cast<HMENU>(1);
    ASSERT_TRUE(GetMenuItemInfo(m, GetMenuItemCount(m) - 1, TRUE, &get));
    EXPECT_EQ(get.fType, UINT(MFT_SEPARATOR));
    EXPECT_EQ(get.hSubMenu, reinterpret_cast<HMENU>(1));
    ASSERT_TRUE(GetMenuItemInfo(m, 2, TRUE, &get));
    EXPECT_EQ(get.hSubMenu, GetSubMenu(m, 2));
    EXPECT_FALSE(GetMenuItemInfo(m, 77, FALSE, &get));

    // A submenu given by SetMenuItemInfo belongs to the item from then on.
    HMENU sub = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(sub, "Inner", 300, 0);
    MENUITEMINFO attach{};
    attach.fMask = MIIM_SUBMENU;
    attach.hSubMenu = sub;
    EXPECT_TRUE(SetMenuItemInfo(m, 102, FALSE, &attach));
    EXPECT_EQ(GetMenuItemID(m, 3), -1);
    EXPECT_TRUE(CheckMenuItem(m, 300, MF_CHECKED));
    DestroyMenu(m);
}

TEST_F(Menus, InsertionPositionsTypesAndInheritedRouting) {
    HMENU m = CreatePopupMenu();
    EXPECT_TRUE(SHIM_MenuOf(m));
    EXPECT_FALSE(SHIM_MenuOf(m)->autoenablesItems());
    SHIM_Menu_AddMenuItem(m, "A", 1, 0);
    SHIM_Menu_AddMenuItem(m, "B", 2, 1);
    MENUITEMINFO mi{};
    mi.fMask = MIIM_ID | MIIM_TYPE;
    mi.fType = MFT_STRING;
    mi.wID = 3;
    mi.dwTypeData = const_cast<char*>("C");
    InsertMenuItem(m, 5, FALSE, &mi);  // no item has id 5: appended
    mi.wID = 4;
    mi.dwTypeData = const_cast<char*>("D");
    InsertMenuItem(m, 2, FALSE, &mi);  // before the item with id 2
    mi.wID = 6;
    mi.dwTypeData = nullptr;
    InsertMenuItem(m, -3, TRUE, &mi);
    std::vector<std::string> titles;
    for (const auto& it : SHIM_MenuOf(m)->items) titles.push_back(it.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"A", "D", "B", "C", "(null)"}));
    EXPECT_FALSE(Item(m, 2).enabled);

    EXPECT_TRUE(SHIM_InsertMenu(m, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));
    EXPECT_TRUE(Item(m, 0).separator);
    EXPECT_TRUE(SHIM_InsertMenu(m, 0, MF_BYPOSITION | MF_CHECKED | MF_GRAYED, 9, "Top"));
    EXPECT_TRUE(Item(m, 0).checked);
    EXPECT_FALSE(Item(m, 0).enabled);
    EXPECT_EQ(Item(m, 0).tag, 9);

    // A window given as destination routes the items added after it too.
    Window w({200, 100}, "routing");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, w.contentView(), LoggingProc, 0);
    SHIM_SetMenuDestination(m, v->handle());
    SHIM_Menu_AddMenuItem(m, "Late", 50, 0);
    const MenuItem& late = Item(m, GetMenuItemCount(m) - 1);
    EXPECT_EQ(late.target, v->handle());
    EXPECT_EQ(late.action, "onShimCommand:");
    EXPECT_TRUE(SHIM_MenuOf(m)->performActionForItemAt(GetMenuItemCount(m) - 1));
    EXPECT_EQ(g_log, std::vector<std::string>{"COMMAND 50"});
    // Detached: targets go, actions stay.
    SHIM_SetMenuDestination(m, nullptr);
    EXPECT_EQ(late.target, nullptr);
    EXPECT_EQ(late.action, "onShimCommand:");
    // Something that takes no commands is refused.
    SHIM_SetMenuDestination(m, &w);
    EXPECT_EQ(late.target, nullptr);

    EXPECT_TRUE(DeleteMenu(m, 50, MF_BYCOMMAND));
    EXPECT_FALSE(DeleteMenu(m, 50, MF_BYCOMMAND));
    EXPECT_FALSE(DeleteMenu(m, 40, MF_BYPOSITION));
    DestroyMenu(m);
    DestroyWindow(v->handle());
    // No menu to insert into: false, and a submenu offered stays the caller's.
    HMENU sub = CreatePopupMenu();
    for (HMENU gone : {HMENU(nullptr), m}) {
        EXPECT_FALSE(SHIM_InsertMenu(gone, 0, MF_BYPOSITION, 1, "A"));
        EXPECT_FALSE(SHIM_InsertMenu(gone, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "B"));
    }
    EXPECT_TRUE(SHIM_MenuOf(sub));
    DestroyMenu(sub);
}

TEST_F(Menus, ListsBuildSubmenusSeparatorsAndGrayedItems) {
    const SHIM_MenuListRec list[] = {
        {"/.BO^O:File", 0}, {"Open", 100}, {nullptr, 0}, {"EN%%%^:", 0}, {"Quit", 0x10065},
    };
    HMENU m = CreatePopupMenu();
    EXPECT_EQ(SHIM_GenerateMenuFromList(m, list, 5), 6);
    ASSERT_EQ(GetMenuItemCount(m), 2);
    HMENU file = GetSubMenu(m, 0);
    ASSERT_TRUE(file);
    EXPECT_EQ(Item(m, 0).title, "File");
    ASSERT_EQ(GetMenuItemCount(file), 2);
    EXPECT_EQ(Item(file, 0).title, "Open");
    EXPECT_EQ(Item(file, 0).tag, 100);
    EXPECT_TRUE(Item(file, 1).separator);
    EXPECT_EQ(Item(m, 1).tag, 0x65);
    EXPECT_FALSE(Item(m, 1).enabled);
    // A list that closes its top level stops there.
    const SHIM_MenuListRec closed[] = {{"A", 1}, {"EN%%%^:", 0}, {"B", 2}};
    HMENU c = CreatePopupMenu();
    EXPECT_EQ(SHIM_GenerateMenuFromList(c, closed, 3), 2);
    EXPECT_EQ(GetMenuItemCount(c), 1);
    DestroyMenu(c);
    DestroyMenu(m);
}

namespace {
void BuildFileMenu(HMENU h) { SHIM_Menu_AddMenuItem(h, "New", 1, 0); }
}  // namespace

TEST_F(Menus, ResourcesDuplicatesAndLiveness) {
    SHIM_MenuResourceIndex second{"B", BuildFileMenu, nullptr};
    SHIM_MenuResourceIndex first{"A", nullptr, &second};
    EXPECT_EQ(SHIM_LoadMenu(&first, "C"), nullptr);
    EXPECT_EQ(SHIM_LoadMenu(nullptr, "A"), nullptr);
    HMENU b = SHIM_LoadMenu(&first, "B");
    ASSERT_EQ(GetMenuItemCount(b), 1);
    HMENU a = SHIM_LoadMenu(&first, "A");
    EXPECT_EQ(GetMenuItemCount(a), 0);

    HMENU m = Sample();
    HMENU copy = SHIM_DuplicateMenu(m);
    EXPECT_EQ(SHIM_DuplicateMenu(nullptr), nullptr);
    ASSERT_EQ(GetMenuItemCount(copy), 4);
    EXPECT_NE(GetSubMenu(copy, 2), GetSubMenu(m, 2));
    EXPECT_TRUE(CheckMenuItem(copy, 200, MF_CHECKED));
    EXPECT_FALSE(Item(GetSubMenu(m, 2), 0).checked);
    HMENU sub = GetSubMenu(m, 2);
    DestroyMenu(m);
    // The submenu went with its menu; the copy stands alone.
    EXPECT_EQ(SHIM_MenuOf(m), nullptr);
    EXPECT_EQ(SHIM_MenuOf(sub), nullptr);
    EXPECT_EQ(GetMenuItemCount(copy), 4);
    EXPECT_EQ(GetMenuItemCount(m), 0);
    DestroyMenu(copy);
    DestroyMenu(a);
    DestroyMenu(b);
}

TEST_F(Menus, KeyEquivalentsAndTheirModifiers) {
    HMENU m = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(m, "x", 1, 0);
    constexpr uint32_t cmd = kCommandKeyMask, opt = kAlternateKeyMask, ctl = kControlKeyMask, sh = kShiftKeyMask;
    struct Case {
        int code;
        unsigned accel;
        char32_t key;
        uint32_t mask;
    } cases[] = {
        {'S', FCONTROL | FSHIFT, U'S', cmd},
        {'S', FCONTROL, U's', cmd},
        {'7', FALT | FSHIFT, U'7', opt | sh},
        {0x70, FVIRTKEY, 0xF704, 0},
        {0x7B, FVIRTKEY | SHIM_FLAG_MACCONTROL, 0xF70F, ctl},
        {0x24, 0, 0xF729, 0},
        {0x24, FVIRTKEY, 0xF729, 0},
        {0x2C, FCONTROL, U',', cmd},
        {0x2C, FVIRTKEY, 0, 0},
        {0x2E, FVIRTKEY, 0x7F, 0},
        {0xAC, FCONTROL, U',', cmd},
        {8, FVIRTKEY, 8, 0},
        {0x6D, FVIRTKEY, U'-', 0},
        {0x90, FVIRTKEY, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(SetMenuItemModifier(m, 1, MF_BYCOMMAND, c.code, c.accel));
        EXPECT_EQ(Item(m, 0).keyEquivalent, c.key) << std::hex << c.code << " " << c.accel;
        EXPECT_EQ(Item(m, 0).keyEquivalentModifierMask, c.mask) << std::hex << c.code << " " << c.accel;
    }
    EXPECT_FALSE(SetMenuItemModifier(m, 5, MF_BYCOMMAND, 'A', 0));
    DestroyMenu(m);
}

TEST_F(Menus, TypedKeyEquivalentsPickTheMenuBarsItems) {
    Window w({200, 100}, "keys");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, w.contentView(), LoggingProc, 0);
    HMENU bar = CreatePopupMenu();
    HMENU file = Sample();
    SHIM_InsertMenu(bar, 0, MF_BYPOSITION | MF_POPUP, reinterpret_cast<UINT_PTR>(file), "File");
    SetMenuItemModifier(file, 100, MF_BYCOMMAND, 'O', FCONTROL);
    SetMenuItemModifier(file, 101, MF_BYCOMMAND, 'S', FCONTROL | FSHIFT);
    SetMenuItemModifier(file, 200, MF_BYCOMMAND, 0x70, FVIRTKEY);
    SetMenuItemModifier(file, 102, MF_BYCOMMAND, 'Q', FCONTROL);
    EnableMenuItem(file, 102, MF_GRAYED);
    EXPECT_TRUE(SetMenu(v->handle(), bar));  // not key: stored only
    EXPECT_EQ(SHIM_GetCurrentMenu(), nullptr);
    w.makeKeyAndOrderFront();
    SHIM_SetCurrentMenu(bar);
    EXPECT_EQ(SHIM_GetCurrentMenu(), bar);

    auto key = [&](char32_t ch, bool control, bool shift, bool command = false) {
        Event e = Event::keyDown({5, 5}, Key::Character, ch);
        e.modifiers.control = control;
        e.modifiers.shift = shift;
        e.modifiers.command = command;
        w.sendEvent(e);
    };
    struct Case {
        char32_t ch;
        bool control, shift, command;
        const char* command_;
    } cases[] = {
        {U'o', true, false, false, "COMMAND 100"}, {U'o', false, false, true, "COMMAND 100"},
        {U'O', true, true, false, nullptr},        {U'o', false, false, false, nullptr},
        {U'S', true, true, false, "COMMAND 101"},  {U's', true, false, false, nullptr},
        {U'q', true, false, false, nullptr},  // grayed
    };
    for (const auto& c : cases) {
        g_log.clear();
        key(c.ch, c.control, c.shift, c.command);
        std::vector<std::string> want;
        if (c.command_) want.push_back(c.command_);
        // The bar's menus are updated before the search.
        std::vector<std::string> commands;
        for (const auto& l : g_log)
            if (l.rfind("COMMAND", 0) == 0) commands.push_back(l);
        EXPECT_EQ(commands, want) << char(c.ch) << c.control << c.shift << c.command;
    }
    Event f1;
    f1.type = EventType::KeyDown;
    f1.charactersIgnoringModifiers = U"\xF704";
    g_log.clear();
    w.sendEvent(f1);
    EXPECT_EQ(g_log.back(), "COMMAND 200");
    DestroyWindow(v->handle());
    EXPECT_EQ(SHIM_GetCurrentMenu(), nullptr);
}

TEST_F(Menus, SetMenuInstallsTheBarOnlyForTheKeyWindow) {
    Window a({200, 100}, "a"), b({200, 100}, "b");
    auto* va = Shim_vHalvoran_hwnd::initChild(nullptr, &a, LoggingProc, 0);
    auto* vb = Shim_vHalvoran_hwnd::initChild(nullptr, &b, LoggingProc, 0);
    a.makeKeyAndOrderFront();
    HMENU ma = Sample(), mb = Sample();
    EXPECT_TRUE(SetMenu(vb->handle(), mb));
    EXPECT_EQ(SHIM_GetCurrentMenu(), nullptr);
    EXPECT_EQ(GetMenu(vb->handle()), mb);
    EXPECT_EQ(GetMenu(&b), mb);
    EXPECT_TRUE(g_log.empty());
    EXPECT_TRUE(SetMenu(&a, ma));
    EXPECT_EQ(SHIM_GetCurrentMenu(), ma);
    EXPECT_EQ(g_log, std::vector<std::string>{"INIT 4"});
    // Plain views, null windows and stale handles refuse.
    View plain;
    EXPECT_FALSE(SetMenu(&plain, ma));
    EXPECT_FALSE(SetMenu(nullptr, ma));
    EXPECT_EQ(GetMenu(&plain), nullptr);
    // The bar refuses what is not a menu.
    SHIM_SetCurrentMenu(reinterpret_cast<HMENU>(&plain));
    EXPECT_EQ(SHIM_GetCurrentMenu(), ma);
    DrawMenuBar(va->handle());
    // A null menu takes the key window's bar away.
    EXPECT_TRUE(SetMenu(&a, nullptr));
    EXPECT_EQ(SHIM_GetCurrentMenu(), nullptr);
    EXPECT_TRUE(SetMenu(&a, ma));
    DestroyWindow(va->handle());
    DestroyWindow(vb->handle());
    EXPECT_EQ(SHIM_GetCurrentMenu(), nullptr);
}

TEST_F(Menus, TrackPopupMenuReturnsOrSendsThePickedCommand) {
    Window w({300, 200}, "popup");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, w.contentView(), LoggingProc, 0);
    HMENU m = Sample();
    HeadlessBackend& hb = Headless();
    double screenH = Application::mainScreenHeight();
    struct Case {
        std::vector<int> path;  // empty: dismissed
        int flags;
        int result;
        std::vector<std::string> log;
    } cases[] = {
        {{1}, TPM_RETURNCMD, 101, {"INIT 4"}},
        {{1}, 0, 1, {"INIT 4", "COMMAND 101"}},
        // The submenu hears it is about to open too.
        {{2, 0}, 0, 1, {"INIT 4", "INIT 1", "COMMAND 200"}},
        {{}, 0, 0, {"INIT 4"}},
        {{3}, TPM_NONOTIFY | TPM_RETURNCMD, 102, {}},
        {{3}, TPM_NONOTIFY, 1, {"COMMAND 102"}},
    };
    for (const auto& c : cases) {
        g_log.clear();
        hb.clearRecords();
        hb.queueMenuChoice(c.path);
        EXPECT_EQ(TrackPopupMenu(m, c.flags, 40, int(screenH) - 60, 0, v->handle(), nullptr), c.result);
        EXPECT_EQ(g_log, c.log);
        ASSERT_EQ(hb.shownMenus().size(), 1u);
        // The screen point, four points lower, in the window.
        EXPECT_EQ(hb.shownMenus()[0].at, (Point{40, 64}));
        // Afterwards the menu has no destination.
        EXPECT_EQ(SHIM_MenuOf(m)->delegate(), nullptr);
        EXPECT_EQ(Item(m, 0).target, nullptr);
    }
    hb.clearRecords();
    EXPECT_EQ(TrackPopupMenu(nullptr, 0, 0, 0, 0, v->handle(), nullptr), 0);
    View plain;
    EXPECT_EQ(TrackPopupMenu(m, 0, 0, 0, 0, &plain, nullptr), 0);
    EXPECT_TRUE(hb.shownMenus().empty());
    DestroyMenu(m);
    DestroyWindow(v->handle());
}

namespace {
// What a window does to the menu when it hears its submenu will open.
std::function<void(HMENU top, HMENU opening)> g_change;
HMENU g_top = nullptr;
LRESULT ChangingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    LoggingProc(h, msg, wp, lp);
    auto opening = reinterpret_cast<HMENU>(wp);
    if (msg == WM_INITMENUPOPUP && opening != g_top && g_change) g_change(g_top, opening);
    return 0;
}
}  // namespace

// The window may change the menu before its submenu opens: what opens is
// the menu as the window left it.
TEST_F(Menus, AnInitMenuPopupHandlerMayDeleteGrowOrReplaceTheMenu) {
    Window w({300, 200}, "changing");
    auto* v = Shim_vHalvoran_hwnd::initChild(nullptr, w.contentView(), ChangingProc, 0);
    struct Case {
        const char* what;
        std::function<void(HMENU, HMENU)> change;
        int result;
        std::vector<std::string> log;
    } cases[] = {
        {"deletes the submenu", [](HMENU top, HMENU) { DeleteMenu(top, 2, MF_BYPOSITION); }, 0, {"INIT 4", "INIT 1"}},
        {"destroys the whole menu", [](HMENU top, HMENU) { DestroyMenu(top); }, 0, {"INIT 4", "INIT 1"}},
        {"grows the parent",
         [](HMENU top, HMENU) {
             for (int i = 0; i < 100; ++i) SHIM_Menu_AddMenuItem(top, "More", 500 + i, 0);
         },
         1,
         {"INIT 4", "INIT 1", "COMMAND 200"}},
        {"replaces the submenu",
         [](HMENU top, HMENU) {
             HMENU fresh = CreatePopupMenu();
             SHIM_Menu_AddMenuItem(fresh, "Fresh", 300, 0);
             MENUITEMINFO mi{};
             mi.fMask = MIIM_SUBMENU;
             mi.hSubMenu = fresh;
             SetMenuItemInfo(top, 2, TRUE, &mi);
         },
         1,
         {"INIT 4", "INIT 1", "COMMAND 300"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        g_log.clear();
        g_top = Sample();
        g_change = c.change;
        Headless().queueMenuChoice({2, 0});
        EXPECT_EQ(TrackPopupMenu(g_top, 0, 40, 100, 0, v->handle(), nullptr), c.result);
        EXPECT_EQ(g_log, c.log);
        DestroyMenu(g_top);
    }
    g_change = nullptr;
    DestroyWindow(v->handle());
}
