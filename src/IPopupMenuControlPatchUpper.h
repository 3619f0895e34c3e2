#pragma once
// The bank choosers: an invisible strip over a pane's bank name whose click
// pops up every bank, arranged as the folders below "Patches" are, and makes
// the chosen bank the pane's. The upper pane's chooser is here with what all
// three share; the lower pane's and the search results' choosers differ only
// in their pane, their banks and how deep their menu goes.
#include <string>
#include <vector>

#include "framework/IControl.h"
#include "framework/IPopupMenu.h"

class Halvoran;
class PatchLibrarian;
struct PatchFile;

// The choosers' menu type.
class MyMenuClass : public IPopupMenu {};

class PatchChooserPopupMenu : public IControl {
public:
    ~PatchChooserPopupMenu() override;

    // Rebuilds every menu from the pane's folder tree and checks one bank:
    // the one named bankName in bankFolder, else the one at running position
    // index. The pane then shows the named bank, when there is one. Always
    // true.
    bool refreshFolderStructure(PatchLibrarian* librarian, Halvoran* plug, int index, std::string bankName,
                                std::string bankFolder);
    // Checks the item of bank bankIndex alone; an index outside the banks
    // changes nothing.
    void checkMenuItemAlone(PatchLibrarian* librarian, Halvoran* plug, int bankIndex);
    // Pops the menu up: the chosen bank's index lands in bankIndex and is
    // returned; a dismissed menu returns 0 and changes nothing.
    int doPopupMenu(Halvoran* plug, int& bankIndex);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    bool Draw(IGraphics* graphics) override;

    // The checked item's (folder, text), or empty strings when none is.
    std::pair<std::string, std::string> checkedBank() const;

    int selectedBank = 0;
    PatchLibrarian* librarian;
    Halvoran* plug;
    MyMenuClass* folderMenu = nullptr;
    MyMenuClass* subFolderMenu = nullptr;
    MyMenuClass* mainMenu = nullptr;
    std::vector<std::string> menuFolderNames;
    std::vector<MyMenuClass*> bankMenus;

protected:
    enum EPane { kUpperPane, kLowerPane };
    PatchChooserPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug, EPane pane,
                          bool searchResults);

private:
    // The banks this chooser lists and selects among.
    const std::vector<PatchFile*>& banks() const;
    int paneParam() const;
    IControl* paneDisplay() const;
    int& paneSelection() const;
    std::string& paneName() const;
    std::string& paneFolder() const;
    // Sets the pane's bank-list parameter (no host word, no change handler).
    void setPaneParam(int bank);
    void deleteMenus();
    // Adds one bank item, checking it when it is the pane's bank.
    void addBankItem(MyMenuClass* menu, PatchFile* bank, const std::string& folder);

    const EPane mPane;
    const bool mSearchResults;
    // While a rebuild runs: the pane's stored bank, the running position of
    // the next bank item, and whether an item was checked yet.
    std::string mBuildName, mBuildFolder;
    int mBuildIndex = 0, mBuildPosition = 0;
    bool mBuildChecked = false;
};

// The upper pane's chooser: the banks of the bank folders, three levels deep.
class LeftPatchPopupMenu : public PatchChooserPopupMenu {
public:
    LeftPatchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
};
