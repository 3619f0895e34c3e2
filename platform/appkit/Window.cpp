#include "platform/appkit/Window.h"

#include <algorithm>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Modal.h"

namespace platform::appkit {

namespace {

std::vector<Window*>& liveWindows() {
    static std::vector<Window*> windows;
    return windows;
}

// The content view paints the window background under everything else.
class ContentView : public View {
public:
    using View::View;
    void drawRect(Canvas& c, const Rect& dirty) override { c.fillRect(dirty, 0x303030); }
};

}  // namespace

Window::Window(Size contentSize, std::string title)
    : size_{std::max(contentSize.width, 1), std::max(contentSize.height, 1)},
      title_(std::move(title)),
      pixels_(static_cast<size_t>(size_.width) * size_.height, 0) {
    content_ = std::make_unique<ContentView>(Rect{0, 0, size_.width, size_.height});
    content_->setWindowRecursive(this);
    peer_ = Application::backend().createPeer(*this);
    invalidate({0, 0, size_.width, size_.height});
    liveWindows().push_back(this);
}

Window::~Window() {
    auto& all = liveWindows();
    all.erase(std::remove(all.begin(), all.end(), this), all.end());
    content_.reset();
    peer_.reset();
}

void Window::show() {
    if (closed_) return;
    visible_ = true;
    display();
    if (peer_) peer_->show();
}

void Window::close() {
    if (closed_) return;
    closed_ = true;
    visible_ = false;
    captured_ = hovered_ = dragTarget_ = nullptr;
    if (peer_) peer_->hide();
}

void Window::userClosed() {
    close();
    if (onClose_) onClose_();
}

void Window::forgetView(View* v) {
    if (captured_ == v) captured_ = nullptr;
    if (hovered_ == v) hovered_ = nullptr;
    if (firstResponder_ == v) firstResponder_ = nullptr;
    if (dragTarget_ == v) dragTarget_ = nullptr;
}

void Window::sendEvent(const Event& e) {
    if (closed_) return;
    // While another window runs modally, this one takes no input.
    if (Window* modal = modalWindow(); modal && modal != this) return;
    CurrentEventScope delivering(e);
    View* hit = content_->hitTest(e.location);
    switch (e.type) {
        case EventType::MouseDown:
            captured_ = hit;
            if (hit && hit->acceptsFirstResponder()) firstResponder_ = hit;
            if (hit) hit->mouseDown(e);
            break;
        case EventType::MouseDragged:
            if (View* t = captured_ ? captured_ : hit) t->mouseDragged(e);
            break;
        case EventType::MouseUp: {
            View* t = captured_ ? captured_ : hit;
            captured_ = nullptr;
            if (t) t->mouseUp(e);
            break;
        }
        case EventType::MouseMoved:
            if (hovered_ && hovered_ != hit) {
                View* old = hovered_;
                hovered_ = nullptr;
                old->mouseExited(e);
            }
            hovered_ = hit;
            if (hit) hit->mouseMoved(e);
            break;
        case EventType::MouseExited:
            if (View* old = hovered_) {
                hovered_ = nullptr;
                old->mouseExited(e);
            }
            break;
        case EventType::ScrollWheel:
            if (hit) hit->scrollWheel(e);
            break;
        case EventType::Magnify:
        case EventType::Rotate:
        case EventType::Swipe:
            if (hit) hit->gesture(e);
            break;
        case EventType::KeyDown:
        case EventType::KeyUp:
            for (View* v = firstResponder_ ? firstResponder_ : hit; v; v = v->superview()) {
                bool used = e.type == EventType::KeyDown ? v->keyDown(e) : v->keyUp(e);
                if (used) break;
            }
            break;
    }
}

void Window::invalidate(const Rect& r) { dirty_ = dirty_.united(r.intersection({0, 0, size_.width, size_.height})); }

void Window::display() {
    if (dirty_.isEmpty()) return;
    Rect area = dirty_;
    dirty_ = {};
    Canvas canvas(pixels_.data(), size_.width, size_.height, {0, 0}, area);
    content_->display(canvas, area);
    ++displayCount_;
    if (peer_ && visible_) peer_->present(area);
}

void Window::displayAll() {
    std::vector<Window*> snapshot = liveWindows();
    for (Window* w : snapshot) {
        auto& all = liveWindows();
        if (std::find(all.begin(), all.end(), w) != all.end() && !w->closed_) w->display();
    }
}

void Window::flushRect(const Rect& r) {
    Rect area = r.intersection({0, 0, size_.width, size_.height});
    if (!area.isEmpty() && peer_ && visible_) peer_->present(area);
}

uint32_t Window::pixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= size_.width || y >= size_.height) return 0;
    return pixels_[static_cast<size_t>(y) * size_.width + x];
}

}  // namespace platform::appkit
