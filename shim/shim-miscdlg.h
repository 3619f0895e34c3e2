// The standard dialogs: save, open and folder panels taking Windows-style
// filter lists and an optional accessory dialog, and the message box.
#pragma once

#include <string>
#include <vector>

#include "shim/shim-dlg.h"
#include "shim/shim-object.h"
#include "shim/shim-wnd.h"

enum : int {
    MB_OK = 0,
    MB_OKCANCEL = 1,
    MB_ABORTRETRYIGNORE = 2,
    MB_YESNOCANCEL = 3,
    MB_YESNO = 4,
    MB_RETRYCANCEL = 5
};
enum : int { IDOK = 1, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7 };

// The extensions (without dots) a filter list allows: pairs of a
// description and a pattern list ("*.wav;*.aif"), ended by an empty string.
// The all-files pattern adds nothing.
std::vector<std::string> SHIM_ExtensionsFromList(const char* list);

// The dialog resource the next file dialog shows as its accessory; used once.
void BrowseFile_SetTemplate(const char* dlgid, DLGPROC dlgProc, SHIM_DialogResourceIndex* list);

// The chosen path into out (at most outSize - 1 bytes, cut on a character
// boundary, and terminated). A path longer than the buffer is cut and still
// gives true: callers that need it whole pass 2,048 bytes or more.
bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* extList,
                       char* out, int outSize);
// One path: the path and two NULs. Several: a NUL, each path with its NUL,
// and one more NUL. The block is the caller's to free(); null when
// cancelled.
char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* extList);
bool BrowseForDirectory(const char* title, const char* initialDir, char* out, int outSize);

// An application-modal alert; the window is not used.
int MessageBox(HWND h, const char* text, const char* caption, int type);
