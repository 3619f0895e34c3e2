// Two small common controls: the tab control ("SysTabControl32", the
// TabCtrl_* functions and TCN_SELCHANGE) over a platform tab view, and the
// progress bar ("msctls_progress32", driven by PBM_* messages) over a
// platform progress indicator.
#pragma once

#include "platform/controls/ProgressIndicator.h"
#include "platform/controls/TabView.h"
#include "shim/shim-wnd-classes.h"
#include "shim/shim-wnd-controls.h"

enum : UINT { TCIF_TEXT = 1 };
enum : int { TCN_SELCHANGE = -551 };
enum : UINT { PBM_SETRANGE = 0x0401, PBM_SETPOS = 0x0402, PBM_DELTAPOS = 0x0403 };

struct TCITEM {
    UINT mask;
    DWORD dwState;
    DWORD dwStateMask;
    char* pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

class Shim_vHalvoran_tabview : public platform::controls::TabView,
                               public platform::controls::TabViewDelegate,
                               public SHIM_Object {
public:
    explicit Shim_vHalvoran_tabview(platform::appkit::Rect frame = {});
    uint64_t shimAnswers() const override { return SHIM_SEL_TAG | SHIM_SEL_SETTAG; }
    int tag() const override { return m_tag; }
    void setTag(int t) override { m_tag = t; }
    // Not retained: a window that goes first must clear it, and a gone one
    // is never sent to.
    void setNotificationWindow(HWND dest) { m_dest = dest; }
    HWND getNotificationWindow() const { return m_dest; }
    void tabViewDidSelectTabViewItem(platform::controls::TabView* sender, int index) override;
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    int m_tag = 0;
    HWND m_dest = nullptr;
};

class Shim_vHalvoran_progind : public platform::controls::ProgressIndicator, public SHIM_Object {
public:
    explicit Shim_vHalvoran_progind(platform::appkit::Rect frame = {});
    uint64_t shimAnswers() const override { return SHIM_SEL_MESSAGE | SHIM_SEL_TAG | SHIM_SEL_SETTAG; }
    int tag() const override { return m_tag; }
    void setTag(int t) override { m_tag = t; }
    LRESULT onShimMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void viewDidSetNeedsDisplay() override { SHIM_FlagAncestorsDirty(this); }

    int m_tag = 0;
};

int TabCtrl_GetItemCount(HWND h);
int TabCtrl_InsertItem(HWND h, int index, const TCITEM* item);
BOOL TabCtrl_DeleteItem(HWND h, int index);
int TabCtrl_SetCurSel(HWND h, int index);
int TabCtrl_GetCurSel(HWND h);
BOOL TabCtrl_AdjustRect(HWND h, BOOL larger, RECT* r);
