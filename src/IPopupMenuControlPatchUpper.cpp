#include "src/IPopupMenuControlPatchUpper.h"

#include <algorithm>

#include "framework/IGraphics.h"
#include "framework/IParam.h"
#include "src/Halvoran.h"
#include "src/LibrarianViewControl.h"
#include "src/PatchLibrarian.h"

namespace {

// The folder name of the banks that lie in "Patches" itself.
const std::string kPatchesFolder = "Patches";

}  // namespace

PatchChooserPopupMenu::PatchChooserPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug,
                                             EPane pane, bool searchResults)
    : IControl(pPlug, rect), librarian(librarian), plug(plug), mPane(pane), mSearchResults(searchResults) {
    mText.SetFont("Consolas");
}

PatchChooserPopupMenu::~PatchChooserPopupMenu() { deleteMenus(); }

// ---- What differs between the panes

const std::vector<PatchFile*>& PatchChooserPopupMenu::banks() const {
    return mSearchResults ? librarian->searchBankFiles : librarian->bankFiles;
}

int PatchChooserPopupMenu::paneParam() const {
    return mPane == kUpperPane ? kPatchSelectionListUpper : kPatchSelectionListLower;
}

IControl* PatchChooserPopupMenu::paneDisplay() const {
    return mPane == kUpperPane ? plug->upperBankListControl : plug->lowerBankListControl;
}

int& PatchChooserPopupMenu::paneSelection() const {
    return mPane == kUpperPane ? librarian->selectedBankUpper : librarian->selectedBankLower;
}

std::string& PatchChooserPopupMenu::paneName() const {
    return mPane == kUpperPane ? plug->upperBankName : plug->lowerBankName;
}

std::string& PatchChooserPopupMenu::paneFolder() const {
    return mPane == kUpperPane ? plug->upperBankFolder : plug->lowerBankFolder;
}

void PatchChooserPopupMenu::setPaneParam(int bank) {
    if (IParam* p = plug->GetParam(paneParam())) p->Set(bank);
}

// ---- Rebuild

void PatchChooserPopupMenu::deleteMenus() {
    if (mainMenu && std::find(bankMenus.begin(), bankMenus.end(), mainMenu) == bankMenus.end()) delete mainMenu;
    for (MyMenuClass* m : bankMenus) delete m;
    bankMenus.clear();
    menuFolderNames.clear();
    mainMenu = folderMenu = subFolderMenu = nullptr;
}

void PatchChooserPopupMenu::addBankItem(MyMenuClass* menu, PatchFile* bank, const std::string& folder) {
    if (!bank) return;
    menu->AddItem(bank->fileName.c_str());
    const int position = mBuildPosition++;
    if (mBuildChecked) return;
    if ((folder == mBuildFolder && bank->fileName == mBuildName) || position == mBuildIndex) {
        menu->CheckItemAlone(menu->GetNItems() - 1);
        mBuildChecked = true;
    }
}

bool PatchChooserPopupMenu::refreshFolderStructure(PatchLibrarian*, Halvoran*, int index, std::string bankName,
                                                   std::string bankFolder) {
    auto* newMain = new MyMenuClass;
    deleteMenus();
    mainMenu = newMain;
    if (!librarian || !plug) return true;
    mBuildName = bankName;
    mBuildFolder = bankFolder;
    mBuildIndex = index;
    mBuildPosition = 0;
    mBuildChecked = false;

    bool banksInMain = false;
    for (FolderFiles* node : mSearchResults ? librarian->searchFolderTree : librarian->folderTree) {
        if (!node) continue;
        if (mSearchResults || node->subFolders.empty()) {
            // The banks in "Patches" itself: plain items of the main menu.
            for (PatchFile* bank : node->files) addBankItem(mainMenu, bank, kPatchesFolder);
            banksInMain = banksInMain || !node->files.empty();
            continue;
        }
        for (const SubFolderFiles& folder : node->subFolders) {
            folderMenu = new MyMenuClass;
            for (const SubFolderFiles2& sub : folder.subFolders) {
                subFolderMenu = new MyMenuClass;
                for (PatchFile* bank : sub.files) addBankItem(subFolderMenu, bank, bank ? bank->folderName : "");
                folderMenu->AddItem(sub.name.c_str(), subFolderMenu);
                menuFolderNames.push_back(sub.name);
                bankMenus.push_back(subFolderMenu);
            }
            for (PatchFile* bank : folder.files) addBankItem(folderMenu, bank, bank ? bank->folderName : "");
            mainMenu->AddItem(folder.name.c_str(), folderMenu);
            menuFolderNames.push_back(folder.name);
            bankMenus.push_back(folderMenu);
        }
    }
    // The main menu's own items are choosable wherever their node stood.
    if (banksInMain) {
        menuFolderNames.push_back(kPatchesFolder);
        bankMenus.push_back(mainMenu);
    }

    // The pane shows the named bank again, wherever the rescan put it; with
    // two of that name the last stands.
    const std::vector<PatchFile*>& list = banks();
    for (int b = 0; b < static_cast<int>(list.size()); ++b) {
        if (!list[b] || list[b]->folderName != bankFolder || list[b]->fileName != bankName) continue;
        setPaneParam(b);
        if (IGraphics* gui = plug->GetGUI()) gui->SetParameterFromPlug(paneParam(), b, false);
        if (IControl* display = paneDisplay()) display->SetValueFromPlug(b);
        paneSelection() = b;
        if (!mSearchResults) checkMenuItemAlone(librarian, plug, b);
    }
    return true;
}

// ---- Check marks

void PatchChooserPopupMenu::checkMenuItemAlone(PatchLibrarian*, Halvoran*, int bankIndex) {
    if (!librarian) return;
    const std::vector<PatchFile*>& list = banks();
    if (bankIndex < 0 || bankIndex >= static_cast<int>(list.size()) || !list[bankIndex]) return;
    const std::string& name = list[bankIndex]->fileName;
    const std::string& folder = list[bankIndex]->folderName;
    bool found = false;
    for (size_t m = 0; m < bankMenus.size(); ++m) {
        MyMenuClass* menu = bankMenus[m];
        menu->CheckItemAlone(-1);
        if (found || menuFolderNames[m] != folder) continue;
        for (int i = 0; i < menu->GetNItems(); ++i) {
            const IPopupMenuItem* item = menu->GetItem(i);
            if (item->GetSubmenu() || name != menu->GetItemText(i)) continue;
            menu->CheckItemAlone(i);
            found = true;
            break;
        }
    }
}

std::pair<std::string, std::string> PatchChooserPopupMenu::checkedBank() const {
    for (size_t m = 0; m < bankMenus.size(); ++m)
        for (int i = 0; i < bankMenus[m]->GetNItems(); ++i)
            if (bankMenus[m]->IsItemChecked(i)) return {menuFolderNames[m], bankMenus[m]->GetItemText(i)};
    return {};
}

// ---- Menu run and click

int PatchChooserPopupMenu::doPopupMenu(Halvoran*, int& bankIndex) {
    IGraphics* gui = plug ? plug->GetGUI() : nullptr;
    IPopupMenu* chosen = gui && mainMenu ? gui->CreateIPopupMenu(mainMenu, &mRECT) : nullptr;
    if (!chosen || !librarian) return 0;
    const int c = chosen->GetChosenItemIdx();
    std::string text, folder;
    bool found = false;
    for (size_t m = 0; m < bankMenus.size(); ++m) {
        bankMenus[m]->CheckItemAlone(-1);
        if (found || bankMenus[m] != chosen) continue;
        found = true;
        bankMenus[m]->CheckItemAlone(c);
        text = bankMenus[m]->GetItemText(c);
        folder = menuFolderNames[m];
        const std::vector<PatchFile*>& list = banks();
        for (int b = 0; b < static_cast<int>(list.size()); ++b) {
            if (list[b] && list[b]->folderName == folder && list[b]->fileName == text) {
                bankIndex = b;
                break;
            }
        }
    }
    paneName() = text;
    paneFolder() = folder;
    return bankIndex;
}

void PatchChooserPopupMenu::OnMouseDown(int, int, IMouseMod*) {
    if (!librarian || !plug) return;
    selectedBank = paneSelection();
    doPopupMenu(plug, selectedBank);
    setPaneParam(selectedBank);
    if (IControl* display = paneDisplay()) display->SetValueFromPlug(selectedBank);
    paneSelection() = selectedBank;
    if (LibrarianViewControl* view = plug->librarianView) {
        view->SetRedraw();
        if (mPane == kUpperPane)
            view->patchSelectionUpperChanged();
        else
            view->patchSelectionLowerChanged();
    }
    SetRedraw();
    SetDirty(true);
}

bool PatchChooserPopupMenu::Draw(IGraphics* graphics) { return graphics->FillIRect(&COLOR_TRANSPARENT, &mRECT); }

// ---- The upper pane

LeftPatchPopupMenu::LeftPatchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : PatchChooserPopupMenu(pPlug, librarian, rect, plug, kUpperPane, false) {
    refreshFolderStructure(librarian, plug, 0, plug ? plug->upperBankName : "", plug ? plug->upperBankFolder : "");
}
