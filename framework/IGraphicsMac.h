// The panel on the platform: it opens into a view of the host, redraws on a
// repeating timer at its frame rate, and shows menus, text entry and file
// panels through the window system.
#pragma once

#include <memory>

#include "framework/IGraphics.h"

class IGraphicsCocoa;
namespace platform::appkit {
class RepeatingTimer;
}

class IGraphicsMac : public IGraphics {
public:
    IGraphicsMac(IUnitBase* plug, int width, int height, int fps = 25, double scale = 1.0);
    ~IGraphicsMac() override;

    IPopupMenu* CreateIPopupMenu(IPopupMenu* menu, IRECT* rect) override;
    void PromptForFile(BASE_String* file, EFileAction action, BASE_String* dir = nullptr,
                       const char* exts = "") override;
    bool PromptForText(const IRECT& rect, const std::string& initial, int maxLength, const ITextEntryFilter& filter,
                       std::string& out) override;
    bool OpenURL(const char* url) override;

    // parentView is a platform::appkit::View* (or null: the caller places the
    // view); returns the panel's view. Starts the redraw timer.
    void* OpenWindow(void* parentView) override;
    // Stops the timer and removes and deletes the view.
    void CloseWindow() override;
    bool WindowIsOpen() const override { return mView != nullptr; }

    // One timer tick: idle calls, then the changed areas are redrawn and shown.
    void OnTimer();
    // Shows what changed since the last tick at once (before a menu or an
    // entry takes the pointer, so that what the click did is seen).
    void ShowChangesNow();
    IGraphicsCocoa* GetView() const { return mView; }
    platform::appkit::RepeatingTimer* GetTimer() const { return mTimer.get(); }

private:
    friend class IGraphicsCocoa;
    void ViewDestroyed();

    IGraphicsCocoa* mView = nullptr;
    std::unique_ptr<platform::appkit::RepeatingTimer> mTimer;
};

// The panel for this platform.
IGraphics* MakeGraphics(IUnitBase* plug, int width, int height, int fps = 25, double scale = 1.0);
