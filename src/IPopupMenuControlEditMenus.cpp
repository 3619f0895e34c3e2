#include "src/IPopupMenuControlEditMenus.h"

#include "framework/IGraphics.h"
#include "src/Halvoran.h"
#include "src/LibrarianViewControl.h"
#include "src/MIDIMessageManager.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"

namespace {

// Starts a transfer job unless one runs; prepare runs only when it starts.
void startTransfer(Halvoran* plug, uint32_t job, const std::function<void(MIDIMessageSender&)>& prepare = {}) {
    if (plug && plug->midiManager) plug->midiManager->startJob(MIDIMessageManager::kTransferThread, job, prepare);
}

// A program request whose answer goes to the panel: incoming control data
// waits until it is in.
void requestToPanel(Halvoran* plug, uint32_t job) {
    MIDIMessageManager* manager = plug->midiManager;
    startTransfer(plug, job, [manager](MIDIMessageSender& s) {
        manager->awaitingPanelDump = true;
        s.toPanel = true;
    });
}

void uncheckAll(std::initializer_list<IPopupMenu*> menus) {
    for (IPopupMenu* m : menus) m->CheckItemAlone(-1);
}

}  // namespace

// ---- The invisible menu control

LibrarianMenuControl::LibrarianMenuControl(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : IControl(plugBase, rect), plug(plug), librarian(librarian) {}

bool LibrarianMenuControl::Draw(IGraphics* graphics) { return graphics->FillIRect(&COLOR_TRANSPARENT, &mRECT); }

IPopupMenu* LibrarianMenuControl::popUp(IPopupMenu* menu) {
    IGraphics* gui = plug ? plug->GetGUI() : nullptr;
    return gui ? gui->CreateIPopupMenu(menu, &mRECT) : nullptr;
}

// ---- The main menu

BankEditPopupMenu::BankEditPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : LibrarianMenuControl(plugBase, librarian, rect, plug) {
    AddMenuItemsIn(plug);
}

void BankEditPopupMenu::AddMenuItemsIn(Halvoran*) {
    for (IPopupMenu* m : {&mainMenu, &requestMenu, &storeMenu, &saveAsMenu, &importMenu}) m->RemoveItems();
    requestMenu.AddItem("from Active Slot to Plug-in GUI");
    requestMenu.AddItem("from Active Slot to Librarian");
    requestMenu.AddItem("from Currently Selected Location");
    requestMenu.AddSeparator();
    requestMenu.AddItem("All Patches from Memory");
    storeMenu.AddItem("To Currently Selected Location");
    storeMenu.AddSeparator();
    storeMenu.AddItem("All Current Patches to Hardware");
    saveAsMenu.AddItem("Standard MIDI (*.mid)");
    saveAsMenu.AddItem("Halvoran Format (*.hvx)");
    importMenu.AddItem("Standard MIDI (*.mid)");
    importMenu.AddItem("SysEx (*.syx / *.hvx)");
    importMenu.AddItem("Pellatine PRG (*.prg)");

    mainMenu.AddItem("Request Patch Data", &requestMenu);
    mainMenu.AddSeparator();
    mainMenu.AddItem("Store Patch Data", &storeMenu);
    mainMenu.AddSeparator();
    mainMenu.AddItem("Sync Current Data from HW");
    mainMenu.AddItem("Push Current Data to HW");
    mainMenu.AddSeparator();
    mainMenu.AddItem("Save (Overwrite current bank)");
    mainMenu.AddItem("Save As...", &saveAsMenu);
    mainMenu.AddSeparator();
    mainMenu.AddItem("Import...", &importMenu);
    mainMenu.AddItem("Refresh Folders");
    mainMenu.AddSeparator();
    mainMenu.AddItem("Open Data Folder");
    mainMenu.AddItem("About...");
}

void BankEditPopupMenu::OnMouseDown(int, int, IMouseMod*) {
    doPopupMenu(plug);
    SetDirty(false);
}

void BankEditPopupMenu::doPopupMenu(Halvoran* plug) {
    if (IPopupMenu* chosen = popUp(&mainMenu)) dispatch(plug, chosen, chosen->GetChosenItemIdx());
    uncheckAll({&mainMenu, &requestMenu, &storeMenu, &saveAsMenu, &importMenu});
}

void BankEditPopupMenu::dispatch(Halvoran* plug, IPopupMenu* chosen, int item) {
    if (!plug) return;
    MIDIMessageManager* manager = plug->midiManager;
    if (chosen == &requestMenu) {
        switch (item) {
            case kRequestToPanel:
                requestToPanel(plug, MIDIMessageSender::kJobRequestPart);
                break;
            case kRequestToLibrarian:
                startTransfer(plug, MIDIMessageSender::kJobRequestPart,
                              [](MIDIMessageSender& s) { s.toPanel = false; });
                break;
            case kRequestSelected:
                if (manager) manager->sendSinglePatchRequestSysexFromLibrarian(false);
                break;
            case kRequestAll:
                // Armed only when the transfer really starts: a dropped choice
                // must not leave the next dump from the instrument collected.
                startTransfer(plug, MIDIMessageSender::kJobRequestAllPatches,
                              [manager](MIDIMessageSender&) { manager->armAllPatchesRequest(); });
                break;
        }
    } else if (chosen == &storeMenu) {
        if (item == kStoreSelected) plug->SendSingleProgramFromLibrarian(true);
        if (item == kStoreAll) plug->SendAllProgramsFromLibrarian();
    } else if (chosen == &saveAsMenu) {
        if (item == kSaveAsMid || item == kSaveAsHvx) plug->saveUpperBankAs(item == kSaveAsMid);
    } else if (chosen == &importMenu) {
        plug->ImportSinglePatches();
    } else if (chosen == &mainMenu) {
        switch (item) {
            case kMainSync:
                requestToPanel(plug, MIDIMessageSender::kJobRequestArrangement);
                break;
            case kMainPush:
                if (plug->midiInOutSet) plug->pushCurrentDataToHardware();
                break;
            case kMainSave:
                plug->saveUpperBank();
                break;
            case kMainRefresh:
                // The banks are the GUI thread's: read without the plug-in
                // mutex, as the REFRESH button reads them.
                plug->refreshFolders();
                break;
            case kMainOpenFolder:
                plug->OpenDataDirectory();
                break;
            case kMainAbout:
                plug->hideLayer(PanelLayers::kAboutWindow, false);
                break;
        }
    }
}

// ---- The slot menus

FileEditPopupMenu::FileEditPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : LibrarianMenuControl(plugBase, librarian, rect, plug) {
    AddMenuItemsIn();
}

void FileEditPopupMenu::AddMenuItemsIn() {
    editMenu.RemoveItems();
    requestMenu.RemoveItems();
    requestMenu.AddItem("Temp from Hardware");
    requestMenu.AddItem("Program by Slot");
    editMenu.AddItem("Paste");
    editMenu.AddSeparator();
    editMenu.AddItem("Rename");
    editMenu.AddSeparator();
    editMenu.AddItem("Initialize");
    editMenu.AddItem("Request", &requestMenu);
}

void FileEditPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
    doPopupMenu(plug, x, y);
    SetDirty(false);
}

void FileEditPopupMenu::doPopupMenu(Halvoran* plug, int x, int y) {
    IPopupMenu* chosen = popUp(&editMenu);
    const int item = chosen ? chosen->GetChosenItemIdx() : -1;
    LibrarianViewControl* view = plug ? plug->librarianView : nullptr;
    MIDIMessageManager* manager = plug ? plug->midiManager : nullptr;
    if (chosen == &editMenu) {
        if (item == kPaste && view) view->PasteSlotData(x, y);
        if (item == kRename && view) view->renameSlot(x, y);
        if (item == kInitialize && manager)
            startTransfer(plug, MIDIMessageSender::kJobInitClassicPatch, [manager](MIDIMessageSender& s) {
                manager->awaitingPanelDump = true;
                s.initArg = false;
            });
    } else if (chosen == &requestMenu && manager) {
        if (item == kTempFromHardware) manager->sendSinglePatchRequestSysexFromLibrarian(true);
        if (item == kProgramBySlot) manager->sendSinglePatchRequestSysexFromLibrarian(false);
    }
    uncheckAll({&editMenu, &requestMenu});
}

FileCopyPopupMenu::FileCopyPopupMenu(IUnitBase* plugBase, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : LibrarianMenuControl(plugBase, librarian, rect, plug) {
    AddMenuItemsIn();
}

void FileCopyPopupMenu::AddMenuItemsIn() {
    copyMenu.RemoveItems();
    copyMenu.AddItem("Copy");
}

void FileCopyPopupMenu::OnMouseDown(int x, int y, IMouseMod*) {
    doPopupMenu(plug, x, y);
    SetDirty(false);
}

void FileCopyPopupMenu::doPopupMenu(Halvoran* plug, int x, int y) {
    IPopupMenu* chosen = popUp(&copyMenu);
    if (chosen == &copyMenu && chosen->GetChosenItemIdx() == 0 && plug && plug->librarianView)
        plug->librarianView->CopySlotData(x, y);
    copyMenu.CheckItemAlone(-1);
}
