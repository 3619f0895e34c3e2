#pragma once
// The layers the editor shows and hides by name or id. The panel description
// makes them (except the two the editor adds itself, marked below) and must
// use exactly these names and ids.
//
//  mainLayer (id 1), top level: everything of the editing panel.
//    its pages, ids 10..19; kMainTab value v shows only page 10 + v:
//      librarianPage (10)  the librarian (kMainTab 0)
//      modSequencePage (11) the three modulation sequences (kMainTab 1)
//      programPage (12)    the program editor (kMainTab 2, shown after a recall)
//  timbre copies: a multilayer named "timbre" (inside programPage) and one
//    named "modSeqTimbre" (inside modSequencePage) give the layers timbre0 /
//    timbre1 and modSeqTimbre0 / modSeqTimbre1; kTimbreSelect shows copy 0
//    or 1 of each.
//  globalSettingsPage (20), top level: shown while kGlobalSettings is on.
//  midiFilterSettings (21), top level: shown while kViewMIDIFilterSettings is on.
//  firstRun (22), top level: the first-run screen, until kFirstRunExit.
//  aboutWindow: shown by kDisplayAboutWindow, hidden by kExitAboutWindow.
//  progressOverlay (90), added by the editor: the progress overlay with its
//    "Cancel Data Request" button, shown while a transfer job runs.
//  cancelRequestLayer (91), added by the editor: the second "Cancel Data
//    Request" button, shown with the overlay.
//  The librarian's own layers keep their names: patchRename, saveChangesLayer,
//  discardChangesLayerRight, keepBankOpenLayer, LeftPatchPopupMenu (70),
//  RightPatchPopupMenu (71), RightSearchPopupMenu (78), BANKEDITMENU.

namespace PanelLayers {

constexpr const char* kMainLayer = "mainLayer";
constexpr int kMainLayerId = 1;

constexpr int kFirstPageId = 10;
constexpr int kLastPageId = 19;
enum EMainTab { kTabLibrarian = 0, kTabModSequence = 1, kTabProgram = 2, kNumTabs = 3 };
constexpr const char* kPageNames[kNumTabs] = {"librarianPage", "modSequencePage", "programPage"};

constexpr const char* kTimbreLayerBases[] = {"timbre", "modSeqTimbre"};

constexpr const char* kGlobalSettingsPage = "globalSettingsPage";
constexpr int kGlobalSettingsPageId = 20;
constexpr const char* kMIDIFilterSettings = "midiFilterSettings";
constexpr int kMIDIFilterSettingsId = 21;
constexpr const char* kFirstRun = "firstRun";
constexpr int kFirstRunId = 22;
constexpr const char* kAboutWindow = "aboutWindow";

constexpr const char* kProgressOverlay = "progressOverlay";
constexpr int kProgressOverlayId = 90;
constexpr const char* kCancelRequestLayer = "cancelRequestLayer";
constexpr int kCancelRequestLayerId = 91;

constexpr const char* kPatchRename = "patchRename";
constexpr const char* kDiscardChangesRight = "discardChangesLayerRight";
constexpr const char* kKeepBankOpen = "keepBankOpenLayer";
constexpr const char* kLeftPatchPopupMenu = "LeftPatchPopupMenu";
constexpr int kLeftPatchPopupMenuId = 70;
constexpr const char* kRightPatchPopupMenu = "RightPatchPopupMenu";
constexpr int kRightPatchPopupMenuId = 71;
constexpr const char* kRightSearchPopupMenu = "RightSearchPopupMenu";
constexpr int kRightSearchPopupMenuId = 78;
// Added by the editor: the librarian's main menu over the page's MENU button.
constexpr const char* kBankEditMenu = "BANKEDITMENU";
constexpr int kBankEditMenuId = 79;
constexpr const char* kSaveChanges = "saveChangesLayer";

}  // namespace PanelLayers
