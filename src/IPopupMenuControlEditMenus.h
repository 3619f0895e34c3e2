#pragma once
// The librarian's menus that act: the main menu over the page's MENU button
// (transfers with the instrument, saving, importing, folders, About), and the
// two context menus of the view's slots (edit an upper slot, copy a lower
// one). Each is an invisible control that pops its menu up and runs the
// choice.
#include "framework/IControl.h"
#include "framework/IPopupMenu.h"

class Halvoran;
class PatchLibrarian;

// An invisible control whose click pops up a menu.
class LibrarianMenuControl : public IControl {
public:
    LibrarianMenuControl(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
    // Draws nothing visible.
    bool Draw(IGraphics* graphics) override;

    Halvoran* plug;
    PatchLibrarian* librarian;

protected:
    // Pops menu up at the control's rectangle: the menu holding the chosen
    // item, or null when dismissed (or no window is open).
    IPopupMenu* popUp(IPopupMenu* menu);
};

class BankEditPopupMenu : public LibrarianMenuControl {
public:
    // Items of the main menu and of its submenus, by position.
    enum EMain {
        kMainRequest = 0,
        kMainStore = 2,
        kMainSync = 4,
        kMainPush = 5,
        kMainSave = 7,
        kMainSaveAs = 8,
        kMainImport = 10,
        kMainRefresh = 11,
        kMainOpenFolder = 13,
        kMainAbout = 14
    };
    enum ERequest { kRequestToPanel = 0, kRequestToLibrarian = 1, kRequestSelected = 2, kRequestAll = 4 };
    enum EStore { kStoreSelected = 0, kStoreAll = 2 };
    enum ESaveAs { kSaveAsMid = 0, kSaveAsHvx = 1 };

    BankEditPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
    void AddMenuItemsIn(Halvoran* plug);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void doPopupMenu(Halvoran* plug);

    IPopupMenu mainMenu, requestMenu, storeMenu, saveAsMenu, importMenu;

private:
    void dispatch(Halvoran* plug, IPopupMenu* chosen, int item);
};

class FileEditPopupMenu : public LibrarianMenuControl {
public:
    enum EEdit { kPaste = 0, kRename = 2, kInitialize = 4, kRequest = 5 };
    enum ERequest { kTempFromHardware = 0, kProgramBySlot = 1 };

    FileEditPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
    void AddMenuItemsIn();
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    // x, y: the right click that opened the menu, handed to the view.
    void doPopupMenu(Halvoran* plug, int x, int y);

    IPopupMenu editMenu, requestMenu;
};

class FileCopyPopupMenu : public LibrarianMenuControl {
public:
    FileCopyPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
    void AddMenuItemsIn();
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void doPopupMenu(Halvoran* plug, int x, int y);

    IPopupMenu copyMenu;
};
