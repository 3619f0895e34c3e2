#pragma once
// A top-level window with a content view and a backing store. The window
// routes events to its views, collects the areas they mark for redraw and
// hands the redrawn pixels to its backend peer (a real window on screen, or
// nothing at all when headless, where tests read the backing store).

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

class Window : public Responder {
public:
    Window(Size contentSize, std::string title);
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    View* contentView() const { return content_.get(); }
    Size size() const { return size_; }
    const std::string& title() const { return title_; }

    void show();
    void close();  // hides it; the object stays until deleted
    bool isVisible() const { return visible_; }
    bool isClosed() const { return closed_; }
    // Called when the user closes the window through the window system.
    void setOnClose(std::function<void()> f) { onClose_ = std::move(f); }
    void userClosed();

    // Routes an event to its view. Presses capture the pointer: drags and the
    // release go to the view that got the press.
    void sendEvent(const Event& e);
    void endMouseCapture() { captured_ = nullptr; }
    // A drag of files over the window: the registered view under the
    // location answers; the operation it allows, or whether the drop was taken.
    int dragEvent(DragPhase phase, const DragInfo& info);
    View* firstResponder() const { return firstResponder_; }
    void makeFirstResponder(View* v) { firstResponder_ = v; }

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
    Size size_;
    std::string title_;
    std::unique_ptr<View> content_;
    std::unique_ptr<WindowPeer> peer_;
    std::vector<uint32_t> pixels_;
    Rect dirty_;
    View* captured_ = nullptr;
    View* hovered_ = nullptr;
    View* firstResponder_ = nullptr;
    View* dragTarget_ = nullptr;
    bool visible_ = false;
    bool closed_ = false;
    int displayCount_ = 0;
    std::function<void()> onClose_;
};

}  // namespace platform::appkit
