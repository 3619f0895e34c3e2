// Window appearance: levels and the raise amount of modeless windows,
// opacity, transparency and shadows, the represented file, the default
// button, the menu bar's and dock's presentation, and the focus rectangle
// drawn as a floating grey window.
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
