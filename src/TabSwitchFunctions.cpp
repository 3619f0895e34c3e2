#include "src/TabSwitchFunctions.h"

#include <algorithm>
#include <string>

#include "framework/ControlLayer.h"
#include "src/Halvoran.h"
#include "src/PanelLayers.h"
#include "src/UIConfigManager.h"

void TabSwitchFunctions::mainTabSwitch(Halvoran* plug, int paramIdx, int value, int, int) {
    if (!plug) return;
    // Pages are switched where they are drawn, as kMainTab then says.
    if (!Halvoran::isGuiThread()) {
        plug->switchTabsLater(true);
        return;
    }
    const int tab = std::clamp(value, 0, PanelLayers::kNumTabs - 1);
    ControlLayer* librarianPage = plug->getLayer(PanelLayers::kPageNames[PanelLayers::kTabLibrarian]);
    const bool librarianWasShown = librarianPage && librarianPage->IsVisible();
    if (ControlLayer* main = plug->getLayer(PanelLayers::kMainLayer))
        main->showOnlySubLayerId(PanelLayers::kFirstPageId, PanelLayers::kLastPageId, PanelLayers::kFirstPageId + tab);

    // The librarian's bank menus belong to its page.
    const bool librarian = tab == PanelLayers::kTabLibrarian;
    const bool unsaved = plug->GetParam(kBankEditUnsaved)->Value() != 0.0;
    plug->hideLayer(PanelLayers::kLeftPatchPopupMenu, !librarian || unsaved);
    plug->hideLayer(PanelLayers::kRightSearchPopupMenu, !librarian || !plug->searchResultsShown);
    plug->hideLayer(PanelLayers::kRightPatchPopupMenu, !librarian || plug->searchResultsShown);
    plug->hideLayer(PanelLayers::kBankEditMenu, !librarian);

    // Showing a page showed every layer in it: of the timbre copies only the
    // selected timbre's stays, and of the librarian's own layers the one that
    // fits the edited bank's state; the rename field waits for a rename.
    quickTabSwitch(plug, kTimbreSelect, plug->selectedTimbre, 0);
    plug->hideLayer(PanelLayers::kPatchRename, true);
    plug->hideLayer(PanelLayers::kDiscardChangesRight, !librarian || !unsaved);
    plug->hideLayer(PanelLayers::kKeepBankOpen, !librarian || unsaved);
    if (librarian) plug->librarianPageShown(!librarianWasShown);
}

void TabSwitchFunctions::quickTabSwitch(Halvoran* plug, int paramIdx, int timbre, int) {
    if (!plug) return;
    if (!Halvoran::isGuiThread()) {
        plug->switchTabsLater(false);
        return;
    }
    const int shown = std::clamp(timbre, 0, 1);
    for (const char* base : PanelLayers::kTimbreLayerBases)
        for (int copy = 0; copy < 2; ++copy) plug->hideLayer(base + std::to_string(copy), copy != shown);

    // "timbreList" names the timbres; a third entry, when there is one, names
    // both linked.
    if (!plug->uiConfigManager) return;
    const auto& lists = plug->uiConfigManager->valueLists;
    auto it = lists.find("timbreList");
    if (it == lists.end()) return;
    const int entry = plug->timbreViewMode == 2 && it->second.size() > 2 ? 2 : shown;
    if (entry < static_cast<int>(it->second.size())) plug->setTimbreText(it->second[entry].c_str());
}
