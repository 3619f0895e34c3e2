// Window appearance: levels and the raise amount of modeless windows,
// opacity, transparency and shadows, the represented file, the default
// button, the menu bar's and dock's presentation, and the focus rectangle
// drawn as a floating grey window; dialogs generated from lists of records
// and the control queries layout code uses.
#pragma once

#include "platform/appkit/View.h"
#include "shim/shim-object.h"

// The previous level of h's window (a view stands for its window); 0 when
// there is none.
int SHIM_SetWindowLevel(HWND h, int level);
int SHIM_GetWindowWantRaiseAmt(HWND h);
void SHIM_SetWindowWantRaiseAmt(HWND h, int amt);
void SetOpaque(HWND h, bool opaque);
void SetTransparent(HWND h);
void SHIM_SetWindowShadow(HWND h, bool shadow);
void SHIM_SetWindowRepre(HWND h, const char* filename, bool edited);
BOOL SHIM_SetAppAutoHideMenuAndDock(int ah);
// The tag of the control that is the default button of h's window (h a
// view); 0 for none, or for a disabled one when onlyIfEnabled.
int SHIM_GetDefaultButtonID(HWND h, bool onlyIfEnabled);

// One record of a dialog list: nine pointer-sized words. The toolkit's own
// kinds ("__SHIM_BUTTON", "__SHIM_EDIT", "__SHIM_COMBO", "__SHIM_LISTBOX",
// "__SHIM_GROUP", "__SHIM_CHECKBOX", "__SHIM_LABEL") read (kind, parameter,
// text, id, x, y, w, h, style); any other record is a control of a named
// class: (text, id, class, style, x, y, w, h, extended style).
struct SHIM_DialogListRec {
    const void* w[9];
};
// Makes each record's control on the window and scale SHIM_MakeSetCurParms
// set up; a named-class record without a class name makes nothing.
void SHIM_GenerateDialogFromList(const SHIM_DialogListRec* list, int count);
// The size a platform control would take to fit its content: (0, 0, width,
// height); other handles leave the rectangle as it is.
void SHIM_GetDesiredControlSize(HWND h, RECT* r);
BOOL SHIM_IsGroupBox(HWND h);
BOOL SHIM_IsButton(HWND h);
// Any text field: labels and edit fields alike.
BOOL SHIM_IsStaticText(HWND h);

// The focus rectangle's window lives in *handle between calls; a null rect
// removes it.
void SHIM_DrawFocusRect(HWND hwndPar, const RECT* rect, void** handle);

// The content of a focus rectangle's window: grey all over.
class Shim_vHalvoran_drawfocusrectwnd : public platform::appkit::View {
public:
    using View::View;
    bool isOpaque() const override { return true; }
    void drawRect(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirty) override;
};
