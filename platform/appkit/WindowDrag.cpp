#include "platform/appkit/Window.h"

namespace platform::appkit {

namespace {
// The registered view nearest above the deepest view under the location.
View* dropViewAt(View* content, Point p) {
    for (View* v = content->hitTest(p); v; v = v->superview())
        if (v->isRegisteredForDraggedFiles()) return v;
    return nullptr;
}
}  // namespace

int Window::dragEvent(DragPhase phase, const DragInfo& info) {
    if (closed_) return kDragOperationNone;
    if (phase == DragPhase::Exited) {
        if (View* old = dragTarget_) {
            dragTarget_ = nullptr;
            old->draggingExited(info);
        }
        return kDragOperationNone;
    }
    View* target = dropViewAt(content_.get(), info.location);
    if (target != dragTarget_) {
        if (View* old = dragTarget_) {
            dragTarget_ = nullptr;
            old->draggingExited(info);
        }
        dragTarget_ = target;
        if (target && phase != DragPhase::Drop) return target->draggingEntered(info);
    }
    if (!target) return kDragOperationNone;
    if (phase != DragPhase::Drop) return target->draggingUpdated(info);
    dragTarget_ = nullptr;
    return target->performDragOperation(info) ? kDragOperationCopy : kDragOperationNone;
}

}  // namespace platform::appkit
