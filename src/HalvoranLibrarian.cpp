// The editor's side of the librarian: the bank lists on the pane selectors,
// rescans, name search, bank stepping, renames, and importing files.
#include <Poco/Exception.h>
#include <Poco/File.h>
#include <Poco/Path.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdlib>

#include "base/BASE_RegularFile.h"
#include "framework/ByteChunk.h"
#include "framework/ControlLayer.h"
#include "framework/IGraphics.h"
#include "base/BASE_String.h"
#include "platform/appkit/Backend.h"
#include "src/Halvoran.h"
#include "src/IPopupMenuControlEditMenus.h"
#include "src/IPopupMenuControlPatchLower.h"
#include "src/IPopupMenuControlPatchUpper.h"
#include "src/IPopupMenuControlSearchFiles.h"
#include "src/LibrarianViewControl.h"
#include "src/UIConfigManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PanelLayers.h"
#include "src/StatusText.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "src/PatchLibrarianWriteBank.h"
#include "src/ProgramDump.h"
#include "src/TabSwitchFunctions.h"
#include "shim/shim-wnd.h"

namespace {

constexpr size_t kLongName = 50;
constexpr size_t kShownPrefix = 44;

// A save that did not reach the disk; the bank keeps its name and file.
constexpr const char* kBankNotSaved = "Bank NOT saved: write failed!";
// What stepping and refreshing say while the save row is open.
constexpr const char* kSaveRowOpen = "OVERWRITE, DISCARD or KEEP the bank first";
// How long the desktop's opener has to fail before the folder counts as
// shown: one that still runs then is the file manager itself.
constexpr int kOpenerPatienceMs = 5000;

// The bank's file name with another extension.
std::string withExtension(const std::string& fileName, const char* extension) {
    const size_t dot = fileName.find_last_of('.');
    return (dot == std::string::npos ? fileName : fileName.substr(0, dot)) + "." + extension;
}

// A path as the status line names it: below the data folder from there on,
// below the home folder from "~" on.
std::string shownPath(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::string data = halvoranDataFolder();
    if (path.size() > data.size() && path.compare(0, data.size(), data) == 0) return path.substr(data.size());
    const char* home = std::getenv("HOME");
    const std::string h = home ? home : "";
    if (h.size() > 1 && path.size() > h.size() && path.compare(0, h.size(), h) == 0 && path[h.size()] == '/')
        return "~" + path.substr(h.size());
    return path;
}

}  // namespace

std::string Halvoran::bankListText(const std::string& fileName) {
    if (fileName.size() < kLongName) return fileName;
    std::string ext;
    if (size_t dot = fileName.find_last_of('.'); dot != std::string::npos) ext = fileName.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return fileName.substr(0, kShownPrefix) + "~." + ext;
}

void Halvoran::ResetPatchSelectionMenus() {
    if (!patchLibrarian) return;
    for (int paramIdx : {kPatchSelectionListUpper, kPatchSelectionListLower}) {
        // The lower pane names the search results while it shows them.
        const std::vector<PatchFile*>& banks = paramIdx == kPatchSelectionListLower && searchResultsShown
                                                   ? patchLibrarian->searchBankFiles
                                                   : patchLibrarian->bankFiles;
        IParam* p = GetParam(paramIdx);
        const std::string name = p->GetNameForHost();
        const std::string group = p->GetParamGroupForHost();
        p->InitEnum(name.c_str(), 0, static_cast<int>(banks.size()), "", group.c_str());
        for (size_t i = 0; i < banks.size(); ++i) {
            const std::string full = banks[i] ? banks[i]->fileName : "";
            const std::string shown = bankListText(full);
            p->SetDisplayText(static_cast<int>(i), shown.c_str());
            if (shown != full && paramIdx == kPatchSelectionListUpper)
                log("PATCH LIBRARIAN: Filename " + full + " RENAMED TO " + shown +
                    " Because the filename was too long to fit in plug-in display!");
        }
    }
}

void Halvoran::refreshPopUpMenus() {
    if (upperChooser) upperChooser->refreshFolderStructure(patchLibrarian, this, 0, upperBankName, upperBankFolder);
    PatchChooserPopupMenu* lower = searchResultsShown ? static_cast<PatchChooserPopupMenu*>(searchChooser)
                                                      : static_cast<PatchChooserPopupMenu*>(lowerChooser);
    if (lower) lower->refreshFolderStructure(patchLibrarian, this, 0, lowerBankName, lowerBankFolder);
    if (librarianView) librarianView->SetRedraw();
    updatePatchLibrarianView(2);
}

void Halvoran::buildLibrarianMenus() {
    if (!graphics || !patchLibrarian) return;
    const double s = graphics->GetScale();
    auto scaled = [s](int l, int t, int r, int b) {
        return IRECT(static_cast<int>(l * s), static_cast<int>(t * s), static_cast<int>(r * s),
                     static_cast<int>(b * s));
    };
    // Inside the librarian page, so that the pages and windows that open
    // over it (settings, About, the progress overlay) take their own clicks.
    ControlLayer* page = getLayer(PanelLayers::kPageNames[PanelLayers::kTabLibrarian]);
    auto onOwnLayer = [this, page](IControl* control, int id, const char* name) {
        auto* layer = new ControlLayer(id, name);
        layer->AddControl(control);
        if (page)
            page->AddSubLayer(layer);
        else
            graphics->AttachLayer(layer);
        if (uiConfigManager) uiConfigManager->layers[name] = layer;
        layer->Hide(true);
    };
    upperChooser = new LeftPatchPopupMenu(this, patchLibrarian, scaled(414, 39, 829, 55), this);
    onOwnLayer(upperChooser, PanelLayers::kLeftPatchPopupMenuId, PanelLayers::kLeftPatchPopupMenu);
    lowerChooser = new RightPatchPopupMenu(this, patchLibrarian, scaled(414, 342, 829, 360), this);
    onOwnLayer(lowerChooser, PanelLayers::kRightPatchPopupMenuId, PanelLayers::kRightPatchPopupMenu);
    searchChooser = new RightSearchPopupMenu(this, patchLibrarian, scaled(414, 342, 829, 360), this);
    onOwnLayer(searchChooser, PanelLayers::kRightSearchPopupMenuId, PanelLayers::kRightSearchPopupMenu);
    bankEditMenu = new BankEditPopupMenu(this, patchLibrarian, scaled(861, 39, 940, 59), this);
    onOwnLayer(bankEditMenu, PanelLayers::kBankEditMenuId, PanelLayers::kBankEditMenu);
}

void Halvoran::showFileEditMenu(int x, int y) {
    auto* menu = new FileEditPopupMenu(this, patchLibrarian, IRECT(x, y, x, y), this);
    slotMenu.reset(menu);
    menu->doPopupMenu(this, x, y);
}

void Halvoran::showFileCopyMenu(int x, int y) {
    auto* menu = new FileCopyPopupMenu(this, patchLibrarian, IRECT(x, y, x, y), this);
    slotMenu.reset(menu);
    menu->doPopupMenu(this, x, y);
}

void Halvoran::librarianPageShown(bool newlyShown) {
    if (librarianView) {
        librarianView->dragEnabled = true;
        // Coming back to the page starts from the current program's slot; a
        // page shown again after a transfer keeps the user's selection.
        if (newlyShown) {
            const int slot = std::clamp(GetParam(kCurrentPatch)->Int(), 0, LibrarianViewControl::kSlots - 1);
            selectLibrarianViewSlot(LibrarianViewControl::kUpperPane, slot, false);
            if (patchLibrarian) patchLibrarian->selectedSlotUpper = slot;
        }
    }
    updatePatchLibrarianView(0);
}

void Halvoran::selectLibrarianViewSlot(int pane, int slot, bool moveCursor) {
    if (!librarianView || slot < 0 || slot >= LibrarianViewControl::kSlots) return;
    const bool upper = pane == LibrarianViewControl::kUpperPane;
    librarianView->selectedUpper = upper ? slot : -1;
    librarianView->selectedLower = upper ? -1 : slot;
    librarianView->activePane = upper ? LibrarianViewControl::kUpperPane : LibrarianViewControl::kLowerPane;
    if (moveCursor) librarianView->keyCursor = slot;
    librarianView->SetDirty(false);
}

int Halvoran::librarianKeyCursor() const {
    if (!librarianView) return patchLibrarian ? std::clamp(patchLibrarian->selectedSlotUpper.load(), 0, 127) : 0;
    // After a click in the lower pane the cursor is on no slot.
    return std::clamp(librarianView->keyCursor.load(), 0, LibrarianViewControl::kSlots - 1);
}

void Halvoran::patchTypeChanged(int, int, bool reload) {
    if (!patchLibrarian) return;
    if (reload) {
        patchLibrarian->initBankFilesOnDiscard(getPatchesFolderStr());
        patchLibrarian->addNewBankWhenEmpty(getPatchesFolderStr());
        // What was received and not saved went with the reload.
        if (GetParam(kBankEditUnsaved)->Value() != 0.0) endBankEdit();
    }
    if (searchResultsShown && patchLibrarian->searchBankFiles.empty()) {
        // The reload took the search results: the lower pane lists the banks
        // again, with its own chooser.
        searchResultsShown = false;
        const bool librarianPage = GetParam(kMainTab)->Int() == PanelLayers::kTabLibrarian;
        hideLayer(PanelLayers::kRightSearchPopupMenu, true);
        hideLayer(PanelLayers::kRightPatchPopupMenu, !librarianPage);
    }
    patchLibrarian->selectedBankUpper = 0;
    patchLibrarian->selectedBankLower = 0;
    updatePatchLibrarianView(2);
    ResetPatchSelectionMenus();
    refreshPopUpMenus();
}

void Halvoran::stepBank(int paramIdx) {
    const bool upper = paramIdx == kLibUpperPreviousBank || paramIdx == kLibUpperNextBank;
    // As its chooser, the arrows leave an edited bank in place until its
    // changes are saved, dropped or kept.
    if (upper && GetParam(kBankEditUnsaved)->Value() != 0.0) {
        setStatusText(kSaveRowOpen);
        return;
    }
    // Round the banks there are, whatever range the list's parameter has.
    const std::vector<PatchFile*>& banks =
        !upper && searchResultsShown ? patchLibrarian->searchBankFiles : patchLibrarian->bankFiles;
    if (banks.empty()) return;
    const int count = static_cast<int>(banks.size());
    const int step = paramIdx == kLibUpperNextBank || paramIdx == kLibLowerNextBank ? 1 : -1;
    const int listIdx = upper ? kPatchSelectionListUpper : kPatchSelectionListLower;
    const int index = (std::clamp(GetParam(listIdx)->Int(), 0, count - 1) + step + count) % count;
    setParameterFromPlug(listIdx, index);
    (upper ? patchLibrarian->selectedBankUpper : patchLibrarian->selectedBankLower) = index;

    if (banks[index]) {
        (upper ? upperBankName : lowerBankName) = banks[index]->fileName;
        (upper ? upperBankFolder : lowerBankFolder) = banks[index]->folderName;
    }
    if (upper) {
        if (upperChooser) upperChooser->checkMenuItemAlone(patchLibrarian, this, index);
    } else if (searchResultsShown) {
        if (searchChooser)
            searchChooser->refreshFolderStructure(patchLibrarian, this, index, lowerBankName, lowerBankFolder);
    } else if (lowerChooser) {
        lowerChooser->checkMenuItemAlone(patchLibrarian, this, index);
    }
    updatePatchLibrarianView(upper ? 0 : 1);
}

void Halvoran::renameSelectedProgram(const std::string& name) {
    const std::vector<PatchFile*>& banks = patchLibrarian->bankFiles;
    const int b = patchLibrarian->selectedBankUpper;
    const int slot = patchLibrarian->selectedSlotUpper;
    if (b < 0 || b >= static_cast<int>(banks.size()) || !banks[b]) return;
    std::vector<LibrarianPatch>& patches = banks[b]->patches;
    if (slot < 0 || slot >= static_cast<int>(patches.size())) return;
    LibrarianPatch& patch = patches[slot];
    // The name travels in the program's dump, so a saved bank keeps it.
    if (!patch.sysexMessages.empty() &&
        isProgramDump(patch.sysexMessages.front().data.data(), patch.sysexMessages.front().data.size())) {
        MIDIMessageSender::putProgramName(patch.sysexMessages.front().data.data(), name);
        const std::vector<uint8_t>& dump = patch.sysexMessages.front().data;
        patch.name = patchNameFromDump(dump.data(), dump.size());
    } else {
        patch.name = programNameText(name).substr(0, kProgramNameLength);
    }
    updatePatchLibrarianView(0);
}

void Halvoran::onLibrarianParamChange(int paramIdx) {
    if (!patchLibrarian) return;
    IParam* p = GetParam(paramIdx);
    switch (paramIdx) {
        case kPatchRename:
            if (renameIdle) return;
            renameSelectedProgram(p->GetDisplayText(0));
            hideLayer(PanelLayers::kPatchRename, true);
            renameIdle = true;
            break;
        case kRefreshFolders:
            if (p->Value() == 1.0) refreshFolders();
            break;
        case kPatchSearchString: {
            const std::string text = p->GetDisplayText(0);
            searchResultsShown = true;
            hideLayer(PanelLayers::kRightPatchPopupMenu, true);
            patchLibrarian->createNewSearchPatchFiles(text);
            if (patchLibrarian->searchBankFiles.empty()) {
                setStatusText("No results - Try another keyword!");
                setValueText("Tip: Note that letter size matters..");
                p->SetDisplayText(0, "search...");
                // The earlier results went with the search: the lower pane
                // goes back to the banks rather than to an empty list.
                patchTypeChanged(0, 0, false);
            } else {
                patchTypeChanged(0, 0, false);
                hideLayer(PanelLayers::kRightSearchPopupMenu, false);
            }
            break;
        }
        case kLibUpperPreviousBank:
        case kLibUpperNextBank:
        case kLibLowerPreviousBank:
        case kLibLowerNextBank:
            if (p->Value() == 1.0) stepBank(paramIdx);
            break;
        case kOverwriteBank:
        case kDiscardBankData:
        case kKeepSelectedBank:
            if (p->Value() != 1.0) break;
            // A button: up again, whatever a dialog meanwhile did to its
            // release.
            setParameterFromPlug(paramIdx, 0.0);
            if (paramIdx == kOverwriteBank) saveUpperBank();
            if (paramIdx == kDiscardBankData) discardBankEdits();
            if (paramIdx == kKeepSelectedBank) keepBankEdits();
            break;
        default:
            break;
    }
}

void Halvoran::refreshFolders() {
    // Reading the banks again would drop what the edited bank received.
    if (GetParam(kBankEditUnsaved)->Value() != 0.0) {
        setStatusText(kSaveRowOpen);
        return;
    }
    const std::vector<PatchFile*>& banks = patchLibrarian->bankFiles;
    const bool kept = std::any_of(banks.begin(), banks.end(), [](const PatchFile* b) { return b && b->kept; });
    patchTypeChanged(0, 0, true);
    setStatusText(kept ? "Refresh Folders: kept changes stay" : "Refresh Folders");
}

void Halvoran::OpenDataDirectory() {
    const std::string folder = halvoranDataFolder();
    try {
        Poco::File(folder).createDirectories();
    } catch (const Poco::Exception&) {}
    // The opener's verdict comes on a thread of its own, maybe after the
    // editor has gone.
    std::weak_ptr<GuiThreadQueue> gui = mGuiCalls;
    auto failed = [this, folder] {
        log("FILE BROWSER: could not open " + folder);
        setStatusText(statusNaming("Could not open ", shownPath(folder)).c_str());
    };
    platform::appkit::Application::backend().openFileThen(folder, std::string(), kOpenerPatienceMs,
                                                          [gui, failed](bool opened) {
                                                              if (opened) return;
                                                              if (std::shared_ptr<GuiThreadQueue> calls = gui.lock())
                                                                  calls->call(failed);
                                                          });
}

// ---- Programs received into the librarian

void Halvoran::storeReceivedProgram(const LibrarianPatch& program, int slot, bool whole) {
    if (!patchLibrarian || !patchLibrarian->storeInUpperSlot(program, slot)) return;
    if (whole) {
        mReceived.slots.set(slot);
        mReceived.lastName = program.name;
        mReceived.lastSlot = slot;
        mReceived.bankName = patchLibrarian->upperBank()->fileName;
    }
    updatePatchLibrarianView(0);
    setLibrarianViewDirty();
    if (upperBankListControl) upperBankListControl->SetDirty(false);
}

void Halvoran::readRequestedBankDump(const std::vector<uint8_t>& dump) {
    // A request that ended before this came takes nothing more.
    if (!patchLibrarian || !bankDumpSeen) return;
    ByteChunk chunk;
    chunk.PutBytes(dump.data(), static_cast<int>(dump.size()));
    PatchFile bank;
    // In request mode the reader hands each program to the SysEx input,
    // which stores it in the next slot.
    patchLibrarian->requestSlot = 0;
    patchLibrarian->requestMode = true;
    patchLibrarian->loadFromChunk(&chunk, chunk.Size(), &bank, 0);
    // Over, whether the dump was read whole or not.
    patchLibrarian->requestMode = false;
    bankDumpSeen = false;
}

void Halvoran::librarianRequestBegins() {
    onGuiThread([this] { mReceived = ReceivedPrograms(); });
}

void Halvoran::librarianRequestEnds(RequestEnd end, bool single, int asked) {
    onGuiThread([this, end, single, asked] { reportLibrarianRequest(end, single, asked); });
}

namespace {

// The slots among the first `asked` that took no program, as the view
// numbers them, in runs ("65-66, 90"), after `head`: as many runs as the
// status has room for, then a count of the slots left unnamed.
std::string namingEmptySlots(const std::string& head, const std::bitset<128>& received, int asked) {
    const int end = std::min(asked, 128);
    std::vector<std::pair<int, int>> runs;
    for (int slot = 0; slot < end; ++slot) {
        if (received[slot]) continue;
        int last = slot;
        while (last + 1 < end && !received[last + 1]) ++last;
        runs.emplace_back(slot, last);
        slot = last;
    }
    int unnamed = 0;
    for (const auto& [first, last] : runs) unnamed += last - first + 1;
    std::string text = head;
    for (size_t i = 0; i < runs.size(); ++i) {
        const auto [first, last] = runs[i];
        std::string run = (i ? ", " : "") + std::to_string(first + 1);
        if (last > first) run += "-" + std::to_string(last + 1);
        const int left = unnamed - (last - first + 1);
        const std::string rest = left ? " +" + std::to_string(left) : "";
        // The first run is always named.
        if (i && text.size() + run.size() + rest.size() > kStatusRoom) break;
        text += run;
        unnamed = left;
    }
    return unnamed ? text + " +" + std::to_string(unnamed) : text;
}

}  // namespace

void Halvoran::reportLibrarianRequest(RequestEnd end, bool single, int asked) {
    const int count = static_cast<int>(mReceived.slots.count());
    const std::string outcome = end == RequestEnd::kCancelled  ? "Data request CANCELLED! "
                                : end == RequestEnd::kTimedOut ? "CONNECTION TIMED OUT! "
                                                               : "";
    std::string text;
    if (count > 0) {
        SetLibrarianStatusUnsaved(true);
        if (single) {
            // The bank is the one the upper pane shows.
            std::string name = mReceived.lastName;
            name.erase(name.find_last_not_of(' ') + 1);
            text = "Program \"" + name + "\" received to slot " + std::to_string(mReceived.lastSlot + 1);
        } else if (mReceived.slots.count() < static_cast<size_t>(std::min(asked, 128))) {
            text = namingEmptySlots(outcome + "Empty: ", mReceived.slots, asked);
        } else if (end == RequestEnd::kCompleted) {
            text = statusNaming(std::to_string(count) + (count == 1 ? " program" : " programs") + " received into ",
                                mReceived.bankName);
        } else {
            text = outcome + std::to_string(count) + (count == 1 ? " program" : " programs") + " received";
        }
    } else if (end != RequestEnd::kCompleted) {
        text = outcome + "No program stored";
    } else {
        // The instrument answered, and no slot took its program.
        text = single ? "Program NOT stored: choose an edit slot!" : "No program stored: choose an edit bank!";
    }
    setStatusText(text.c_str());
}

// ---- The edited bank and the save row

void Halvoran::endBankEdit() {
    setParameterFromPlug(kBankEditUnsaved, 0.0);
    setParameterFromPlug(kDiscardBankData, 0.0);
    // The page's layers follow the bank's state, as when the page is shown.
    TabSwitchFunctions::mainTabSwitch(this, kMainTab, GetParam(kMainTab)->Int(), 0, 0);
}

void Halvoran::bankListChanged() {
    if (!patchLibrarian) return;
    ResetPatchSelectionMenus();
    const std::vector<PatchFile*>& banks = patchLibrarian->bankFiles;
    const int last = std::max(0, static_cast<int>(banks.size()) - 1);
    patchLibrarian->selectedBankUpper = std::clamp(patchLibrarian->selectedBankUpper, 0, last);
    setParameterFromPlug(kPatchSelectionListUpper, patchLibrarian->selectedBankUpper);
    if (!searchResultsShown) {
        patchLibrarian->selectedBankLower = std::clamp(patchLibrarian->selectedBankLower, 0, last);
        setParameterFromPlug(kPatchSelectionListLower, patchLibrarian->selectedBankLower);
    }
    // Each chooser finds its pane's bank again by folder and file name.
    refreshPopUpMenus();
}

void Halvoran::saveUpperBank() {
    PatchFile* bank = patchLibrarian ? patchLibrarian->upperBank() : nullptr;
    if (!bank) return;
    if (bank->newBank) {
        saveUpperBankAs(false);
        return;
    }
    // Back to the bank's own file, in the form its name calls for; the pane
    // keeps naming the bank by its file name.
    const std::string path = bank->folderPath + "/" + bank->fileName;
    if (!patchLibrarian->saveEditedPatch(path, bank->fileName)) {
        setStatusText(kBankNotSaved);
        return;
    }
    upperBankName = bank->fileName;
    upperBankFolder = bank->folderName;
    // The panes show what the file holds (empty slots are written padded).
    patchLibrarian->reloadBank(bank);
    setStatusText(statusNaming("Bank saved to ", shownPath(path)).c_str());
    endBankEdit();
    updatePatchLibrarianView(2);
}

void Halvoran::saveUpperBankAs(bool asMid) {
    PatchFile* bank = patchLibrarian ? patchLibrarian->upperBank() : nullptr;
    if (!bank) return;
    // The dialog starts in the bank's folder; a bank folder not made yet is
    // made, so that a first bank is saved where the librarian finds it.
    const std::string folder = bank->folderPath.empty() ? getPatchesFolderStr() : bank->folderPath;
    try {
        Poco::File(folder).createDirectories();
    } catch (const Poco::Exception& e) {
        log("PATCH LIBRARIAN: " + e.displayText());
    }
    std::string chosen;
    if (!patchLibrarian->savePatchAs(withExtension(bank->fileName, asMid ? "mid" : "hvx").c_str(), folder, asMid,
                                     &chosen)) {
        setStatusText(chosen.empty() ? "Bank not saved: cancelled" : kBankNotSaved);
        return;
    }
    PatchFile* saved = patchLibrarian->listWrittenBank(chosen, getPatchesFolderStr(), bank->patches);
    // It shows what the file holds (empty slots are written padded).
    if (saved) patchLibrarian->reloadBank(saved);
    if (!saved) {
        // Written where the librarian lists no bank: the pane keeps its own.
        upperBankName = bank->fileName;
        upperBankFolder = bank->folderName;
    } else if (saved != bank) {
        if (lowerBankName == bank->fileName && lowerBankFolder == bank->folderName) {
            lowerBankName = saved->fileName;
            lowerBankFolder = saved->folderName;
        }
        // What the bank held went to the new file; it holds its own again.
        if (bank->newBank)
            patchLibrarian->dropNewBank(bank);
        else
            patchLibrarian->reloadBank(bank);
    }
    setStatusText(statusNaming("Bank saved to ", shownPath(chosen)).c_str());
    endBankEdit();
    bankListChanged();
}

void Halvoran::discardBankEdits() {
    PatchFile* bank = patchLibrarian ? patchLibrarian->upperBank() : nullptr;
    if (!bank) return;
    if (!patchLibrarian->reloadBank(bank)) {
        setStatusText("Bank NOT restored: file unreadable!");
        return;
    }
    setStatusText(statusNaming("Changes discarded: ", bank->fileName).c_str());
    endBankEdit();
    updatePatchLibrarianView(2);
}

void Halvoran::keepBankEdits() {
    if (PatchFile* bank = patchLibrarian ? patchLibrarian->upperBank() : nullptr) bank->kept = true;
    setStatusText("Changes kept, bank not saved");
    endBankEdit();
}

void Halvoran::ImportSinglePatches() {
    if (!graphics) return;
    BASE_String file;
    BASE_String dir(mLastImportFolder.c_str());
    graphics->PromptForFile(&file, kFileOpen, &dir, "mid syx prg");
    const std::string path = file.Get() ? file.Get() : "";
    if (path.empty()) return;
    mLastImportFolder = Poco::Path(path).parent().toString();
    std::string data;
    if (!BASE_ReadRegularFile(path.c_str(), kMaxBankFileSize, data)) {
        const int error = errno;
        log("FILE IMPORTER: could not read " + path + ": " + std::strerror(error));
        setStatusText(error == EFBIG ? "File too large to hold a bank." : "File could not be read.");
        return;
    }
    saveImportedFile(path, data);
}

bool Halvoran::saveImportedFile(const std::string& path, const std::string& data) {
    if (!patchLibrarian) return false;
    // Only a file that yields programs is worth a place among the banks.
    ByteChunk chunk;
    chunk.PutBytes(data.data(), static_cast<int>(data.size()));
    PatchFile probe;
    patchLibrarian->loadFromChunk(&chunk, chunk.Size(), &probe);
    if (probe.patches.empty()) {
        setStatusText("File does not contain Bank info.");
        return false;
    }
    // The programs go into the bank folder as a bank of their own (padded to
    // 128 slots), so the scan lists them; a file there is never replaced.
    ByteChunk bankBytes;
    for (size_t slot = 0; slot < probe.patches.size(); ++slot)
        probe.patches[slot].save(&bankBytes, false, static_cast<int>(slot));
    const std::string folder = getPatchesFolderStr();
    try {
        Poco::File(folder).createDirectories();
    } catch (const Poco::Exception& e) {
        log("FILE IMPORTER: " + e.displayText());
        return false;
    }
    // Written whole under a name of its own, or not at all: a full disk
    // leaves no half bank among the banks.
    std::string name;
    if (!writeNewFile(folder, Poco::Path(path).getBaseName() + ".syx", bankBytes, &name)) {
        log("FILE IMPORTER: could not write into " + folder + ": " + std::strerror(errno));
        setStatusText("File NOT imported: write failed!");
        return false;
    }
    const std::string target = folder + "/" + name;
    log("FILE IMPORTER: patch file copied to " + target);
    // Listed at once; a rescan would drop what the banks hold unsaved.
    if (patchLibrarian->listWrittenBank(target, folder, probe.patches)) bankListChanged();
    return true;
}
