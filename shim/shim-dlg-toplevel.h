// Top-level windows and dialogs: the modeless frame window and the modal
// dialog box, both holding a window object as their content view and turning
// their own events (size, move, close, key status, size limits) into
// messages to it; dialogs built from resource records; the modal run and
// EndDialog; owned windows and their levels; the default window menus.
#pragma once

#include "platform/appkit/Window.h"
#include "shim/shim-dlg.h"
#include "shim/shim-object.h"

struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// The module's dialog resources (filled by the resource declarations).
extern SHIM_DialogResourceIndex* SHIM_curmodule_dialogresource_head;
// Off unless the application sets it: owned windows float above their owners.
extern bool SHIM_owned_windows_levelincrease;

// An id whose value with the low four bits cleared is this asks for a plain
// window without a resource.
constexpr uintptr_t SHIM_DIALOG_PLAIN_WINDOW = 0x400000;

HWND SHIM_CreateDialog(SHIM_DialogResourceIndex* list, const char* resid, HWND parent, DLGPROC proc, LPARAM lp);
// The modal result, -1 for a missing list, an unknown id, a child resource
// or a failed creation.
int SHIM_DialogBox(SHIM_DialogResourceIndex* list, const char* resid, HWND parent, DLGPROC proc, LPARAM lp);
void EndDialog(HWND h, int result);

HMENU SHIM_GetDefaultWindowMenu();
void SHIM_SetDefaultWindowMenu(HMENU m);
HMENU SHIM_GetDefaultModalWindowMenu();
void SHIM_SetDefaultModalWindowMenu(HMENU m);

// What both top-level frames share: the owner and the owned windows, and
// their events as messages to the content view.
class Shim_vHalvoran_frame : public platform::appkit::Window,
                             public SHIM_Object,
                             public platform::appkit::WindowDelegate {
public:
    Shim_vHalvoran_frame(const platform::appkit::FRect& frame, unsigned style);
    ~Shim_vHalvoran_frame() override;

    uint64_t shimAnswers() const override;
    HWND shimGetOwner() const override { return m_owner; }
    void shimSetOwner(HWND owner) override { m_owner = owner; }
    OwnedWindowListRec** shimGetOwnerWindowHead() override { return &m_ownedwnds; }
    void shimAddOwnedWindow(HWND w) override;
    void shimRemoveOwnedWindow(HWND w) override;
    void shimDestroyAllOwnedWindows() override;
    void shimDoDestroyStuff() override;
    void setEnabled(bool e) override { m_enabled = e; }
    // A disabled frame takes no key, click or key status.
    bool acceptsInput() const override { return m_enabled != 0; }
    void shimResetOwnedWindowLevels();

    bool windowShouldClose(platform::appkit::Window& w) override;
    void windowDidResize(platform::appkit::Window& w) override;
    void windowDidMove(platform::appkit::Window& w) override;
    void windowDidBecomeKey(platform::appkit::Window& w) override;
    void windowDidResignKey(platform::appkit::Window& w) override;
    // Asks the content for its size limits (WM_GETMINMAXINFO) and keeps them.
    void shimApplySizeLimits();

    float lastFrameSize[2] = {0, 0};
    HWND m_owner = nullptr;
    OwnedWindowListRec* m_ownedwnds = nullptr;
    uint8_t m_enabled = 1;

protected:
    virtual bool isDialogBox() const = 0;
    // Makes the window object for the content (records the style it has).
    Shim_vHalvoran_hwnd* makeContent(const SHIM_DialogResourceIndex* r, DLGPROC d, LPARAM lp, unsigned style);
    LRESULT toContent(UINT msg, WPARAM wp, LPARAM lp);
};

class Shim_vHalvoran_modelesswindow : public Shim_vHalvoran_frame {
public:
    // From a resource record (or none: 10 by 10) below the owner or the
    // screen's top; its content view is handed out through *out.
    static Shim_vHalvoran_modelesswindow* initModeless(const SHIM_DialogResourceIndex* r, HWND owner, DLGPROC d,
                                                       LPARAM lp, HWND* out, unsigned forceStyles);
    // Around an existing view, sized to it.
    static Shim_vHalvoran_modelesswindow* initModelessForChild(HWND child, HWND owner, unsigned style);

    uint64_t shimAnswers() const override { return Shim_vHalvoran_frame::shimAnswers() | SHIM_SEL_INITIALKEY; }
    bool wantInitialKeyWindowOnShow() const override { return m_wantInitialKeyWindowOnShow; }
    void setWantInitialKeyWindowOnShow(bool w) override { m_wantInitialKeyWindowOnShow = w; }

    int m_wantraiseamt = 0;
    bool m_wantInitialKeyWindowOnShow = false;

protected:
    using Shim_vHalvoran_frame::Shim_vHalvoran_frame;
    bool isDialogBox() const override { return false; }
};

class Shim_vHalvoran_dialogbox : public Shim_vHalvoran_frame {
public:
    static Shim_vHalvoran_dialogbox* initDialogBox(const SHIM_DialogResourceIndex* r, HWND owner, DLGPROC d, LPARAM lp);
    void shimSetModalRetVal(int r) {
        m_rv = r;
        m_hasrv = true;
    }
    int shimGetModalRetVal() const { return m_rv; }
    bool shimHasModalRetVal() const { return m_hasrv; }

    int m_rv = 0;
    bool m_hasrv = false;

protected:
    using Shim_vHalvoran_frame::Shim_vHalvoran_frame;
    bool isDialogBox() const override { return true; }
};
