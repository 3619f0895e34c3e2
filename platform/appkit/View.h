#pragma once
// A node of the view tree. A view has a frame in its superview's coordinates,
// draws itself into the window's backing store and receives the events that
// the window routes to it. Subviews are owned by their superview unless they
// are taken out with removeFromSuperview.

#include <memory>
#include <vector>

#include "platform/appkit/Canvas.h"
#include "platform/appkit/Drag.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Geometry.h"
#include "platform/appkit/Responder.h"

namespace platform::appkit {

class Window;

class View : public Responder {
public:
    explicit View(Rect frame = {});
    virtual ~View();
    View(const View&) = delete;
    View& operator=(const View&) = delete;

    Rect frame() const { return frame_; }
    void setFrame(const Rect& r);
    Rect bounds() const { return {0, 0, frame_.width, frame_.height}; }

    // Takes ownership of the subview; it is drawn above the earlier ones.
    void addSubview(View* v);
    // Hands ownership back to the caller.
    void removeFromSuperview();
    View* superview() const { return superview_; }
    const std::vector<View*>& subviews() const { return subviews_; }
    Window* window() const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool h);
    // Drawing into it can show: it is in a window that is not closed, and
    // neither it nor a view above it is hidden.
    bool canDraw() const;
    // The part of its bounds that its superviews do not cut off (view
    // coordinates; empty when nothing shows).
    Rect visibleRect() const;

    // Window coordinates <-> this view's coordinates.
    Point convertFromWindow(Point p) const;
    Point convertToWindow(Point p) const;
    Rect convertRectToWindow(const Rect& r) const;

    // The deepest shown view containing p (p in the superview's coordinates).
    View* hitTest(Point p);

    void setNeedsDisplay();
    void setNeedsDisplayInRect(const Rect& r);  // view coordinates

    // Drawing: the canvas is clipped to the dirty area; coordinates are the view's.
    virtual void drawRect(Canvas& canvas, const Rect& dirty) {}

    // Events; a key handler returns false to pass the key to the superview.
    virtual void mouseDown(const Event&) {}
    virtual void mouseUp(const Event&) {}
    virtual void mouseDragged(const Event&) {}
    virtual void mouseMoved(const Event&) {}
    virtual void mouseExited(const Event&) {}
    virtual void scrollWheel(const Event&) {}
    // Touch-pad gestures: Magnify, Rotate and Swipe events.
    virtual void gesture(const Event&) {}
    virtual bool keyDown(const Event&) { return false; }
    virtual bool keyUp(const Event&) { return false; }
    virtual bool acceptsFirstResponder() const { return false; }

    // Dropped files: only a registered view is asked; it answers with a
    // drag operation (kDragOperationNone refuses).
    void registerForDraggedFiles(bool on) { takesDrops_ = on; }
    bool isRegisteredForDraggedFiles() const { return takesDrops_; }
    virtual int draggingEntered(const DragInfo&) { return kDragOperationNone; }
    virtual int draggingUpdated(const DragInfo& d) { return draggingEntered(d); }
    virtual void draggingExited(const DragInfo&) {}
    virtual bool performDragOperation(const DragInfo&) { return false; }

    // Called after the view joined or left a window (window() tells which).
    virtual void viewDidMoveToWindow() {}

private:
    friend class Window;
    void setWindowRecursive(Window* w);
    void display(Canvas& canvas, const Rect& dirtyInWindow);

    Rect frame_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    std::vector<View*> subviews_;
    bool hidden_ = false;
    bool takesDrops_ = false;
};

}  // namespace platform::appkit
