#pragma once
// A top-level window with a content view and a backing store. The window
// routes events to its views, collects the areas they mark for redraw and
// hands the redrawn pixels to its backend peer (a real window on screen, or
// nothing at all when headless, where tests read the backing store).
//
// The window keeps the model the way the Mac has it: a frame in screen
// coordinates (origin at the lower left of the main screen, y upward), a
// style, a level, an alpha value, size limits, child windows that move with
// it, key and main status and a delegate told of what happens to it. The
// frame is the content area; decorations belong to the window system.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Event.h"
#include "platform/appkit/Geometry.h"
#include "platform/appkit/Responder.h"
#include "platform/appkit/View.h"

namespace platform::appkit {

class WindowPeer;
class Window;

// The level of pop-up menus: windows there stand above normal ones.
constexpr int kPopUpMenuWindowLevel = 101;

// Style mask bits.
enum StyleMask : unsigned {
    kStyleBorderless = 0,
    kStyleTitled = 1,
    kStyleClosable = 2,
    kStyleMiniaturizable = 4,
    kStyleResizable = 8,
};

class WindowDelegate {
public:
    virtual ~WindowDelegate() = default;
    // The user asked to close the window; false keeps it open.
    virtual bool windowShouldClose(Window& w) { return true; }
    virtual void windowDidResize(Window& w) {}
    virtual void windowDidMove(Window& w) {}
    virtual void windowDidBecomeKey(Window& w) {}
    virtual void windowDidResignKey(Window& w) {}
    virtual void windowWillClose(Window& w) {}
};

class Window : public Responder {
public:
    // At the top left of the main screen, titled, closable and miniaturizable.
    Window(Size contentSize, std::string title);
    // At a frame in screen coordinates, with a style mask.
    Window(const FRect& frame, unsigned styleMask, std::string title = std::string());
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    View* contentView() const { return content_.get(); }
    // Takes v (sized to the content area) and hands back the old content view.
    std::unique_ptr<View> setContentView(View* v);
    Size size() const { return size_; }
    const std::string& title() const { return title_; }
    void setTitle(const std::string& title);

    // Geometry in screen coordinates.
    FRect frame() const { return frame_; }
    // Sizes are clamped to at least 1 by 1; the content view follows.
    void setFrame(const FRect& frame, bool display = true);
    void setFrameOrigin(FPoint origin);
    // Centres it on the main screen, a little above the middle.
    void center();
    FSize minSize() const { return minSize_; }
    FSize maxSize() const { return maxSize_; }
    void setMinSize(FSize s);
    void setMaxSize(FSize s);
    unsigned styleMask() const { return style_; }
    void setStyleMask(unsigned style);
    bool isResizable() const { return style_ & kStyleResizable; }
    int level() const { return level_; }
    void setLevel(int level);
    double alphaValue() const { return alpha_; }
    void setAlphaValue(double a);

    // Appearance: a shadow (which the window system may not draw), whether
    // the backing store covers the window wholly, and the background colour
    // (0xAARRGGBB) under the content.
    bool hasShadow() const { return shadow_; }
    void setHasShadow(bool s) { shadow_ = s; }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool o) { opaque_ = o; }
    uint32_t backgroundColor() const { return background_; }
    void setBackgroundColor(uint32_t argb) { background_ = argb; }
    // The file the window stands for, and whether it has unsaved changes.
    const std::string& representedFilename() const { return representedFilename_; }
    void setRepresentedFilename(const std::string& f) { representedFilename_ = f; }
    bool isDocumentEdited() const { return documentEdited_; }
    void setDocumentEdited(bool e) { documentEdited_ = e; }
    // The pointer's events pass through to what lies below.
    bool ignoresMouseEvents() const { return ignoresMouse_; }
    void setIgnoresMouseEvents(bool ignore);
    bool isExcludedFromWindowsMenu() const { return excludedFromMenu_; }
    void setExcludedFromWindowsMenu(bool e) { excludedFromMenu_ = e; }

    // Window coordinates (top left origin, y downward) <-> screen coordinates.
    FPoint convertToScreen(FPoint p) const;
    FPoint convertFromScreen(FPoint p) const;

    // Child windows move with their parent and stand above it.
    void addChildWindow(Window* child);
    void removeChildWindow(Window* child);
    Window* parentWindow() const { return parent_; }
    const std::vector<Window*>& childWindows() const { return children_; }

    // The window this one belongs to (a dialog's or a panel's document
    // window): desktops keep it above that one and treat it as a dialog.
    // Null when it stands alone; a window that goes away leaves none.
    Window* ownerWindow() const;
    void setOwnerWindow(Window* owner);
    // While it runs modally, desktops keep it above its owner and send the
    // owner's focus to it.
    void setModal(bool modal);

    void setDelegate(WindowDelegate* d) { delegate_ = d; }
    WindowDelegate* delegate() const { return delegate_; }

    // Order front (without taking the key status) and draw.
    void show();
    void orderFront() { show(); }
    void orderOut();
    void makeKeyAndOrderFront();
    // Takes the key status when it can (shown and not closed).
    void makeKeyWindow();
    bool isKeyWindow() const;
    bool isMainWindow() const;
    bool canBecomeKey() const { return visible_ && !closed_ && acceptsInput(); }
    // Whether it takes keys and clicks (and the key status) at all; a
    // subclass may refuse them while it is disabled.
    virtual bool acceptsInput() const { return true; }
    void miniaturize();
    bool isMiniaturized() const { return miniaturized_; }

    void close();  // hides it; the object stays until deleted
    // Once closed, deleted at the run loop's next pass (for windows nobody else owns).
    void setReleasedWhenClosed(bool r) { releasedWhenClosed_ = r; }
    // A panel that shows a view of the caller's beside its own takes it here.
    virtual bool setAccessoryView(View* v) { return false; }
    // Whether it is such a panel (the file panels).
    virtual bool takesAccessoryViews() const { return false; }
    bool isVisible() const { return visible_; }
    bool isClosed() const { return closed_; }
    // Called when the user closes the window through the window system.
    void setOnClose(std::function<void()> f) { onClose_ = std::move(f); }
    // Closing it through the window system asks the program to quit
    // (RunLoop::requestQuit), also while a modal loop holds the input.
    void setQuitsOnClose(bool q) { quitsOnClose_ = q; }
    bool quitsOnClose() const { return quitsOnClose_; }
    // The user asked to close it: the delegate may keep it open.
    void userClosed();

    // The window system moved or resized it, or gave or took the focus.
    void windowSystemDidSetFrame(const FRect& frame);
    void windowSystemDidFocus(bool focused);

    // Routes an event to its view. Presses capture the pointer: drags and the
    // release go to the view that got the press.
    void sendEvent(const Event& e);
    void endMouseCapture() { captured_ = nullptr; }
    // A drag of files over the window: the registered view under the
    // location answers; the operation it allows, or whether the drop was taken.
    int dragEvent(DragPhase phase, const DragInfo& info);
    View* firstResponder() const { return firstResponder_; }
    // The old first responder is asked to resign and the new one to become
    // it; false when either refuses (a refusing new one leaves none).
    bool makeFirstResponder(View* v);
    // The view a Return that no responder takes goes to (the default button).
    View* defaultButton() const { return defaultButton_; }
    void setDefaultButton(View* v) { defaultButton_ = v; }

    // Redraw: views mark areas, display() draws them and presents the pixels.
    void invalidate(const Rect& r);  // window coordinates
    Rect dirtyRect() const { return dirty_; }
    void display();
    int displayCount() const { return displayCount_; }

    // The backing store, 0x00RRGGBB words, row after row.
    const std::vector<uint32_t>& pixels() const { return pixels_; }
    uint32_t pixelAt(int x, int y) const;
    // For drawing straight into the backing store outside display(); the
    // drawer then hands the changed area on with flushRect.
    uint32_t* backingStore() { return pixels_.data(); }
    void flushRect(const Rect& r);  // window coordinates

    // A view is being destroyed: forget it wherever the window remembers it.
    void forgetView(View* v);

    WindowPeer* peer() const { return peer_.get(); }

    // Redraws every window with marked areas (the run loop does this each pass).
    static void displayAll();

private:
    void init(const FRect& frame);
    // Tells the window system which window this one stands over.
    void standOver();
    void applyFrame(const FRect& frame, bool fromWindowSystem);
    void applySizeLimits();

    Size size_;
    FRect frame_;
    std::string title_;
    std::unique_ptr<View> content_;
    std::unique_ptr<WindowPeer> peer_;
    std::vector<uint32_t> pixels_;
    Rect dirty_;
    View* captured_ = nullptr;
    View* hovered_ = nullptr;
    View* firstResponder_ = nullptr;
    View* dragTarget_ = nullptr;
    View* defaultButton_ = nullptr;
    bool visible_ = false;
    bool closed_ = false;
    bool miniaturized_ = false;
    int displayCount_ = 0;
    unsigned style_ = kStyleTitled | kStyleClosable | kStyleMiniaturizable;
    int level_ = 0;
    double alpha_ = 1.0;
    bool shadow_ = true;
    bool opaque_ = true;
    uint32_t background_ = 0xFFECECEC;
    std::string representedFilename_;
    bool documentEdited_ = false;
    bool ignoresMouse_ = false;
    bool excludedFromMenu_ = false;
    FSize minSize_{1, 1};
    FSize maxSize_{1e6, 1e6};
    Window* parent_ = nullptr;
    std::vector<Window*> children_;
    Window* owner_ = nullptr;  // checked for life before use
    WindowDelegate* delegate_ = nullptr;
    bool releasedWhenClosed_ = false;
    bool quitsOnClose_ = false;
    std::function<void()> onClose_;
};

}  // namespace platform::appkit
