#pragma once
// A node of the view tree. A view has a frame in its superview's coordinates,
// draws itself into the window's backing store and receives the events that
// the window routes to it. Subviews are owned by their superview unless they
// are taken out with removeFromSuperview.
//
// The frame is kept in floating point; frame() gives its pixel rectangle
// (left and top truncated, right and bottom rounded), which is what drawing
// and hit testing use.

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
    void setFrame(const Rect& r) { setFrameF(FRect(r)); }
    Rect bounds() const { return {0, 0, frame_.width, frame_.height}; }
    FRect frameF() const { return frameF_; }
    void setFrameF(const FRect& r);
    FRect boundsF() const { return {0, 0, frameF_.width, frameF_.height}; }

    // Takes ownership of the subview; it is drawn above the earlier ones.
    void addSubview(View* v);
    // Takes ownership and puts the subview at index of the subview list (0 is
    // the back-most; an index past the end appends).
    void insertSubview(View* v, size_t index);
    // Hands ownership back to the caller.
    void removeFromSuperview();
    // The same, without marking the area it covered for redraw.
    void removeFromSuperviewWithoutNeedingDisplay();
    View* superview() const { return superview_; }
    const std::vector<View*>& subviews() const { return subviews_; }
    Window* window() const;
    // Whether this view is v or lies inside it.
    bool isDescendantOf(const View* v) const;

    bool isHidden() const { return hidden_; }
    void setHidden(bool h);
    // Hidden itself or below a hidden view.
    bool isHiddenOrHasHiddenAncestor() const;
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
    FPoint convertToWindowF(FPoint p) const;
    FPoint convertFromWindowF(FPoint p) const;

    // The deepest shown view containing p (p in the superview's coordinates).
    View* hitTest(Point p);

    void setNeedsDisplay();
    void setNeedsDisplayInRect(const Rect& r);  // view coordinates
    // Called after the view was marked for redraw.
    virtual void viewDidSetNeedsDisplay() {}
    // Marked for redraw itself, or holding a subview that is.
    bool needsDisplay() const { return needsDisplay_ || subviewNeedsDisplay_; }
    void clearNeedsDisplay() { needsDisplay_ = subviewNeedsDisplay_ = false; }

    // Drawing: the canvas is clipped to the dirty area; coordinates are the view's.
    virtual void drawRect(Canvas& canvas, const Rect& dirty) {}
    // Paints every pixel of its bounds, so nothing behind it needs drawing.
    virtual bool isOpaque() const { return false; }
    // Origin at the top left with y downward; every view here is.
    virtual bool isFlipped() const { return true; }

    // Events; a key handler returns false to pass the key to the superview.
    virtual void mouseDown(const Event&) {}
    virtual void mouseUp(const Event&) {}
    virtual void mouseDragged(const Event&) {}
    virtual void mouseMoved(const Event&) {}
    virtual void mouseExited(const Event&) {}
    // Unhandled, the wheel goes on to the superview (a scroll view takes it).
    virtual void scrollWheel(const Event& e) {
        if (superview_) superview_->scrollWheel(e);
    }
    // Touch-pad gestures: Magnify, Rotate and Swipe events.
    virtual void gesture(const Event&) {}
    virtual bool keyDown(const Event&) { return false; }
    virtual bool keyUp(const Event&) { return false; }
    virtual bool acceptsFirstResponder() const { return false; }
    // A key the responders left: the window's default button is offered it.
    virtual bool performKeyEquivalent(const Event&) { return false; }
    // Asked by the window when it makes the view its first responder, and
    // when it takes that from it; false refuses.
    virtual bool becomeFirstResponder() { return true; }
    virtual bool resignFirstResponder() { return true; }

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
    // Called after the frame changed, with the frame before.
    virtual void frameDidChange(const FRect& old) {}
    // Called after the superview's size changed, with its size before.
    virtual void resizeWithOldSuperviewSize(FSize old) {}
    // Called after the view was hidden or shown.
    virtual void hiddenDidChange() {}
    // Called after a subview joined, and before one leaves.
    virtual void didAddSubview(View* v) {}
    virtual void willRemoveSubview(View* v) {}

protected:
    // Draws this view and its subviews where they meet the dirty area
    // (window coordinates). A view may replace how its tree is drawn.
    virtual void displayTree(Canvas& canvas, const Rect& dirtyInWindow);
    // Draws a view's tree from another view's displayTree.
    static void displayTreeOf(View* v, Canvas& canvas, const Rect& dirtyInWindow) {
        v->displayTree(canvas, dirtyInWindow);
    }

private:
    friend class Window;
    void setWindowRecursive(Window* w);
    void detach(bool markArea);
    void clearNeedsDisplayRecursive();

    FRect frameF_;
    Rect frame_;
    View* superview_ = nullptr;
    Window* window_ = nullptr;
    std::vector<View*> subviews_;
    bool hidden_ = false;
    bool needsDisplay_ = false;
    bool subviewNeedsDisplay_ = false;
    bool takesDrops_ = false;
};

}  // namespace platform::appkit
