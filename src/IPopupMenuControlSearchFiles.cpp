#include "src/IPopupMenuControlSearchFiles.h"

#include "src/Halvoran.h"

RightSearchPopupMenu::RightSearchPopupMenu(IUnitBase* pPlug, PatchLibrarian* librarian, IRECT rect, Halvoran* plug)
    : PatchChooserPopupMenu(pPlug, librarian, rect, plug, kLowerPane, true) {
    refreshFolderStructure(librarian, plug, 0, plug ? plug->lowerBankName : "", plug ? plug->lowerBankFolder : "");
}
