#pragma once
// The lower pane's chooser while name-search results are shown: one flat
// list of the result banks.
#include "src/IPopupMenuControlPatchUpper.h"

class RightSearchPopupMenu : public PatchChooserPopupMenu {
public:
    RightSearchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
};
