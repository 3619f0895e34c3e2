#pragma once
// The lower pane's bank chooser: the same banks and folders as the upper
// one, for the source bank shown below.
#include "src/IPopupMenuControlPatchUpper.h"

class RightPatchPopupMenu : public PatchChooserPopupMenu {
public:
    RightPatchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug);
};
