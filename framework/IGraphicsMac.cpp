#include "framework/IGraphicsMac.h"

#include <map>
#include <mutex>
#include <sstream>

#include "base/BASE_String.h"
#include "framework/IGraphicsCocoa.h"
#include "framework/IPopupMenu.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/controls/FilePanel.h"

using namespace platform::appkit;

IGraphicsMac::IGraphicsMac(IUnitBase* plug, int width, int height, int fps, double scale)
    : IGraphics(plug, width, height, fps, scale) {}

IGraphicsMac::~IGraphicsMac() { CloseWindow(); }

IGraphics* MakeGraphics(IUnitBase* plug, int width, int height, int fps, double scale) {
    return new IGraphicsMac(plug, width, height, fps, scale);
}

void* IGraphicsMac::OpenWindow(void* parentView) {
    if (!mView) {
        mView = new IGraphicsCocoa(this, {0, 0, Width(), Height()});
        SetAllControlsDirty();
    }
    if (auto* parent = static_cast<View*>(parentView)) parent->addSubview(mView);
    if (!mTimer) mTimer = std::make_unique<RepeatingTimer>(1000 / FPS(), [this] { OnTimer(); });
    return mView;
}

void IGraphicsMac::CloseWindow() {
    mTimer.reset();
    if (IGraphicsCocoa* v = mView) {
        v->removeFromSuperview();
        delete v;  // clears mView through ViewDestroyed
    }
    mView = nullptr;
}

void IGraphicsMac::ViewDestroyed() {
    // The host may delete our view with its window before closing us.
    mView = nullptr;
    mTimer.reset();
    ReleaseMouseCapture();
}

void IGraphicsMac::OnTimer() {
    std::lock_guard<std::recursive_mutex> g(DrawLock());
    if (IsDrawingStopped() || !mView) return;
    OnGUIIdle();
    ShowChangesNow();
}

void IGraphicsMac::ShowChangesNow() {
    std::lock_guard<std::recursive_mutex> g(DrawLock());
    if (IsDrawingStopped() || !mView) return;
    IRECT r;
    if (!IsDirty(&r)) return;
    mView->setNeedsDisplayInRect({r.L, r.T, r.W(), r.H()});
    if (Window* w = mView->window()) w->display();
}

namespace {

// The window system's form of a menu tree, with the way back to our menus.
struct MenuBridge {
    std::vector<std::unique_ptr<Menu>> menus;
    std::map<const Menu*, IPopupMenu*> back;
    std::map<const IPopupMenu*, Menu*> built;

    Menu* build(IPopupMenu* m) {
        if (auto it = built.find(m); it != built.end()) return it->second;
        menus.push_back(std::make_unique<Menu>());
        Menu* out = menus.back().get();
        built[m] = out;
        back[out] = m;
        int number = 0;
        for (int i = 0; i < m->GetNItems(); ++i) {
            IPopupMenuItem* it = m->GetItem(i);
            MenuItem item;
            item.separator = it->GetIsSeparator();
            item.checked = it->GetChecked();
            item.enabled = it->GetEnabled() && !it->GetIsTitle();
            std::string text = it->GetText() ? it->GetText() : "";
            if (!item.separator && m->GetPrefix() > 0) {
                static const char* forms[] = {"", "%d ", "%d. ", "%d- "};
                char buf[16];
                std::snprintf(buf, sizeof buf, forms[std::min(m->GetPrefix(), 3)], ++number);
                text = buf + text;
            }
            item.title = text;
            if (it->GetSubmenu()) item.submenu = build(it->GetSubmenu());
            out->items.push_back(item);
        }
        return out;
    }
};

}  // namespace

IPopupMenu* IGraphicsMac::CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) {
    ReleaseMouseCapture();
    if (!menu || !mView || !mView->window()) return nullptr;
    Window* w = mView->window();
    w->endMouseCapture();
    ShowChangesNow();
    MenuBridge bridge;
    Menu* shown = bridge.build(menu);
    Point at = mView->convertToWindow(rect ? Point{rect->L, rect->B} : Point{0, 0});
    MenuChoice choice = Application::backend().popUpMenu(w, *shown, at);
    if (!choice) return nullptr;
    IPopupMenu* chosen = bridge.back[choice.menu];
    if (!chosen) return nullptr;
    chosen->SetChosenItemIdx(choice.index);
    return chosen;
}

void IGraphicsMac::PromptForFile(BASE_String* file, EFileAction action, BASE_String* dir, const char* exts) {
    if (!file) return;
    ReleaseMouseCapture();
    std::vector<std::string> types;
    std::istringstream words(exts ? exts : "");
    for (std::string e; words >> e;) types.push_back(e[0] == '.' ? e.substr(1) : e);
    Window* w = mView ? mView->window() : nullptr;
    if (w) w->endMouseCapture();
    std::unique_ptr<platform::controls::SavePanel> panel;
    if (action == kFileSave)
        panel = std::make_unique<platform::controls::SavePanel>();
    else
        panel = std::make_unique<platform::controls::OpenPanel>();
    panel->setTitle(action == kFileSave ? "Save As" : "Open");
    panel->setAllowedFileTypes(types);
    int answer = panel->runModal(dir && dir->Get() ? dir->Get() : "", file->Get() ? file->Get() : "", w);
    file->Set(answer == platform::controls::SavePanel::kOK ? panel->filename().c_str() : "");
}

bool IGraphicsMac::PromptForText(const IRECT& rect, const std::string& initial, int maxLength,
                                 const ITextEntryFilter& filter, std::string& out) {
    ReleaseMouseCapture();
    if (!mView || !mView->window()) return false;
    Window* w = mView->window();
    w->endMouseCapture();
    ShowChangesNow();
    TextEntryRequest req;
    req.frame = mView->convertRectToWindow({rect.L, rect.T, rect.W(), rect.H()});
    req.initialText = initial;
    req.maxLength = maxLength;
    req.filter = filter;
    auto text = Application::backend().runTextEntry(w, req);
    if (!text) return false;
    out = limitText(*text, maxLength, filter);
    return true;
}

bool IGraphicsMac::OpenURL(const char* url) { return url && Application::backend().openURL(url); }
