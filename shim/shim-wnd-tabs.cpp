#include "shim/shim-wnd-tabs.h"

using platform::appkit::Responder;

namespace {
Shim_vHalvoran_tabview* TabsOf(HWND h) {
    return Responder::isLive(h) ? dynamic_cast<Shim_vHalvoran_tabview*>(h) : nullptr;
}
}  // namespace

Shim_vHalvoran_tabview::Shim_vHalvoran_tabview(platform::appkit::Rect frame) : TabView(frame) { setDelegate(this); }

void Shim_vHalvoran_tabview::tabViewDidSelectTabViewItem(platform::controls::TabView*, int) {
    // The window is not retained: one that went away without clearing it
    // gets nothing.
    if (!m_dest || !Responder::isLive(m_dest)) return;
    NMHDR hdr{this, static_cast<UINT_PTR>(m_tag), TCN_SELCHANGE};
    SendMessage(m_dest, WM_NOTIFY, static_cast<WPARAM>(m_tag), reinterpret_cast<LPARAM>(&hdr));
}

Shim_vHalvoran_progind::Shim_vHalvoran_progind(platform::appkit::Rect frame) : ProgressIndicator(frame) {
    setStyle(kBar);
    setIndeterminate(false);
}

LRESULT Shim_vHalvoran_progind::onShimMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case PBM_SETRANGE:
            setMinValue(static_cast<double>(static_cast<uint32_t>(lp) & 0xFFFF));
            setMaxValue(static_cast<double>((static_cast<uint32_t>(lp) >> 16) & 0xFFFF));
            break;
        case PBM_SETPOS:
            setDoubleValue(static_cast<double>(static_cast<uint32_t>(wp)));
            stopAnimation();
            break;
        case PBM_DELTAPOS:
            incrementBy(static_cast<double>(static_cast<uint32_t>(wp)));
            break;
        default:
            break;
    }
    return 0;
}

int TabCtrl_GetItemCount(HWND h) {
    auto* t = TabsOf(h);
    return t ? t->numberOfTabViewItems() : 0;
}

int TabCtrl_InsertItem(HWND h, int index, const TCITEM* item) {
    auto* t = TabsOf(h);
    if (!t || !item || !(item->mask & TCIF_TEXT) || !item->pszText) return -1;
    index = std::clamp(index, 0, t->numberOfTabViewItems());
    // A selection the insertion makes is not the user's: no notification.
    HWND dest = t->m_dest;
    t->m_dest = nullptr;
    t->insertTabViewItem(SHIM_CStringToCFString(item->pszText), index);
    t->m_dest = dest;
    return index;
}

BOOL TabCtrl_DeleteItem(HWND h, int index) {
    auto* t = TabsOf(h);
    return t && t->removeTabViewItemAt(index) ? TRUE : FALSE;
}

int TabCtrl_SetCurSel(HWND h, int index) {
    auto* t = TabsOf(h);
    if (!t) return -1;
    int before = std::max(t->indexOfSelectedTabViewItem(), 0);
    if (index >= 0 && index < t->numberOfTabViewItems()) t->selectTabViewItemAt(index);
    return before;
}

int TabCtrl_GetCurSel(HWND h) {
    auto* t = TabsOf(h);
    return t ? std::max(t->indexOfSelectedTabViewItem(), 0) : 0;
}

BOOL TabCtrl_AdjustRect(HWND h, BOOL larger, RECT* r) {
    if (!TabsOf(h) || !r) return FALSE;
    int s = larger ? -1 : 1;
    r->left += 7 * s;
    r->top += 26 * s;
    r->right -= 7 * s;
    r->bottom -= 3 * s;
    return TRUE;
}
