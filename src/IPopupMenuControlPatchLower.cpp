#include "src/IPopupMenuControlPatchLower.h"

#include "src/Halvoran.h"

RightPatchPopupMenu::RightPatchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : PatchChooserPopupMenu(pPlug, librarian, rect, plug, kLowerPane, false) {
    refreshFolderStructure(librarian, plug, 0, plug ? plug->lowerBankName : "", plug ? plug->lowerBankFolder : "");
}
