#include "platform/appkit/Window.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/RunLoop.h"

namespace platform::appkit {

namespace {

// The content view paints the window background under everything else.
class ContentView : public View {
public:
    using View::View;
    void drawRect(Canvas& c, const Rect& dirty) override { c.fillRect(dirty, 0x303030); }
};

Size pixelSize(const FRect& f) {
    return {std::max(static_cast<int>(f.width), 1), std::max(static_cast<int>(f.height), 1)};
}

FRect clampedSize(FRect f) {
    f.width = std::max(f.width, 1.0);
    f.height = std::max(f.height, 1.0);
    return f;
}

}  // namespace

Window::Window(Size contentSize, std::string title) : title_(std::move(title)) {
    double w = std::max(contentSize.width, 1), h = std::max(contentSize.height, 1);
    init({0, Application::mainScreenHeight() - h, w, h});
}

Window::Window(const FRect& frame, unsigned styleMask, std::string title)
    : title_(std::move(title)), style_(styleMask) {
    init(clampedSize(frame));
}

void Window::init(const FRect& frame) {
    frame_ = frame;
    size_ = pixelSize(frame);
    pixels_.assign(static_cast<size_t>(size_.width) * size_.height, 0);
    content_ = std::make_unique<ContentView>();
    content_->setFrameF({0, 0, frame.width, frame.height});
    content_->setWindowRecursive(this);
    peer_ = Application::backend().createPeer(*this);
    applySizeLimits();
    invalidate({0, 0, size_.width, size_.height});
    Application::addWindow(this);
}

Window::~Window() {
    retire();
    Application::removeWindow(this);
    if (parent_) parent_->removeChildWindow(this);
    for (Window* c : children_) {
        c->parent_ = nullptr;
        c->standOver();
    }
    children_.clear();
    if (content_) content_->setWindowRecursive(nullptr);
    content_.reset();
    peer_.reset();
}

std::unique_ptr<View> Window::setContentView(View* v) {
    std::unique_ptr<View> old = std::move(content_);
    if (old) old->setWindowRecursive(nullptr);
    if (v) {
        if (v->superview()) v->removeFromSuperviewWithoutNeedingDisplay();
        content_.reset(v);
        v->setFrameF({0, 0, frame_.width, frame_.height});
        v->setWindowRecursive(this);
    }
    invalidate({0, 0, size_.width, size_.height});
    return old;
}

Window* Window::ownerWindow() const { return Responder::isLive(owner_) ? owner_ : nullptr; }

void Window::setOwnerWindow(Window* owner) {
    if (owner == this) owner = nullptr;
    if (owner == ownerWindow()) return;
    owner_ = owner;
    standOver();
}

void Window::standOver() {
    if (peer_) peer_->setOwner(parent_ ? parent_ : ownerWindow());
}

void Window::setModal(bool modal) {
    if (peer_) peer_->setModal(modal);
}

void Window::setTitle(const std::string& title) {
    title_ = title;
    if (peer_) peer_->setTitle(title_);
}

void Window::applySizeLimits() {
    if (peer_) peer_->setSizeLimits(isResizable(), minSize_, maxSize_);
}

void Window::setMinSize(FSize s) {
    minSize_ = s;
    applySizeLimits();
}

void Window::setMaxSize(FSize s) {
    maxSize_ = s;
    applySizeLimits();
}

void Window::setStyleMask(unsigned style) {
    style_ = style;
    if (peer_) peer_->setStyle(style);
    applySizeLimits();
}

void Window::setLevel(int level) {
    level_ = level;
    if (visible_) Application::orderWindowFront(this);
}

void Window::setAlphaValue(double a) {
    alpha_ = std::clamp(a, 0.0, 1.0);
    if (peer_) peer_->setAlpha(alpha_);
}

void Window::setIgnoresMouseEvents(bool ignore) {
    ignoresMouse_ = ignore;
    if (peer_) peer_->setIgnoresMouse(ignore);
}

void Window::setFrame(const FRect& frame, bool display) {
    applyFrame(clampedSize(frame), false);
    if (display && visible_) this->display();
}

void Window::setFrameOrigin(FPoint origin) { setFrame({origin.x, origin.y, frame_.width, frame_.height}); }

void Window::windowSystemDidSetFrame(const FRect& frame) { applyFrame(clampedSize(frame), true); }

void Window::applyFrame(const FRect& frame, bool fromWindowSystem) {
    FRect old = frame_;
    if (old == frame) return;
    frame_ = frame;
    Size s = pixelSize(frame);
    if (!(s == size_)) {
        // Keep what overlaps; the rest is drawn anew.
        std::vector<uint32_t> grown(static_cast<size_t>(s.width) * s.height, 0);
        for (int y = 0; y < std::min(s.height, size_.height); ++y)
            std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(y) * size_.width, std::min(s.width, size_.width),
                        grown.begin() + static_cast<std::ptrdiff_t>(y) * s.width);
        pixels_.swap(grown);
        size_ = s;
        dirty_ = {};
        invalidate({0, 0, s.width, s.height});
    }
    if (!fromWindowSystem && peer_) {
        // A window the user may not resize is held at its size: tell the
        // window system the new one first.
        if (old.width != frame.width || old.height != frame.height) applySizeLimits();
        peer_->setFrame(frame_);
    }
    if (content_ && (old.width != frame.width || old.height != frame.height))
        content_->setFrameF({0, 0, frame.width, frame.height});
    double dx = frame.x - old.x, dy = frame.y - old.y;
    if (dx != 0 || dy != 0)
        for (Window* c : std::vector<Window*>(children_)) {
            FRect cf = c->frame();
            c->setFrame({cf.x + dx, cf.y + dy, cf.width, cf.height});
        }
    if (delegate_ && (old.width != frame.width || old.height != frame.height)) delegate_->windowDidResize(*this);
    if (delegate_ && (dx != 0 || dy != 0)) delegate_->windowDidMove(*this);
}

void Window::center() {
    auto screen = Application::mainScreen();
    if (!screen) return;
    const FRect& v = screen->visibleFrame;
    double x = v.x + std::floor((v.width - frame_.width) / 2);
    double y = v.y + std::floor((v.height - frame_.height) / 2 + (v.height - frame_.height) / 6);
    setFrameOrigin({x, y});
}

FPoint Window::convertToScreen(FPoint p) const { return {frame_.x + p.x, frame_.y + frame_.height - p.y}; }

FPoint Window::convertFromScreen(FPoint p) const { return {p.x - frame_.x, frame_.y + frame_.height - p.y}; }

void Window::addChildWindow(Window* child) {
    if (!child || child == this) return;
    for (Window* p = this; p; p = p->parent_)
        if (p == child) return;  // would make a cycle
    if (child->parent_) child->parent_->removeChildWindow(child);
    child->parent_ = this;
    children_.push_back(child);
    child->standOver();
    if (visible_ && child->visible_) Application::orderWindowFront(this);
}

void Window::removeChildWindow(Window* child) {
    auto it = std::find(children_.begin(), children_.end(), child);
    if (it == children_.end()) return;
    children_.erase(it);
    child->parent_ = nullptr;
    child->standOver();
}

void Window::show() {
    if (closed_) return;
    visible_ = true;
    miniaturized_ = false;
    Application::orderWindowFront(this);
    display();
    if (peer_) {
        peer_->show();
        peer_->orderFront();
    }
}

void Window::orderOut() {
    if (!visible_) return;
    visible_ = false;
    captured_ = hovered_ = dragTarget_ = nullptr;
    if (isKeyWindow()) Application::setKeyWindow(nullptr);
    Application::orderWindowOut(this);
    if (peer_) peer_->hide();
    for (Window* c : std::vector<Window*>(children_)) c->orderOut();
}

void Window::makeKeyAndOrderFront() {
    show();
    makeKeyWindow();
}

void Window::makeKeyWindow() {
    if (!canBecomeKey()) return;
    Application::setKeyWindow(this);
    if (peer_) peer_->makeKey();
}

bool Window::isKeyWindow() const { return Application::keyWindow() == this; }

bool Window::isMainWindow() const { return Application::mainWindow() == this; }

void Window::miniaturize() {
    if (!visible_) return;
    miniaturized_ = true;
    visible_ = false;
    if (isKeyWindow()) Application::setKeyWindow(nullptr);
    Application::orderWindowOut(this);
    if (peer_) peer_->miniaturize();
}

void Window::windowSystemDidFocus(bool focused) {
    if (focused) {
        // While another window runs modally the focus goes back to it.
        if (Window* modal = modalWindow(); modal && modal != this) {
            if (!modal->isKeyWindow()) modal->makeKeyWindow();
            return;
        }
        if (canBecomeKey()) Application::setKeyWindow(this);
    } else if (isKeyWindow()) {
        Application::setKeyWindow(nullptr);
    }
}

void Window::close() {
    if (closed_) return;
    if (delegate_) delegate_->windowWillClose(*this);
    closed_ = true;
    visible_ = false;
    captured_ = hovered_ = dragTarget_ = nullptr;
    if (isKeyWindow()) Application::setKeyWindow(nullptr);
    Application::orderWindowOut(this);
    if (parent_) parent_->removeChildWindow(this);
    if (peer_) peer_->hide();
    if (releasedWhenClosed_)
        RunLoop::main().post([this] {
            if (Responder::isLive(this)) delete this;
        });
}

void Window::userClosed() {
    // While another window runs modally, this one takes no input.
    if (Window* modal = modalWindow(); modal && modal != this) return;
    if (delegate_ && !delegate_->windowShouldClose(*this)) return;
    close();
    if (onClose_) onClose_();
}

void Window::forgetView(View* v) {
    if (captured_ == v) captured_ = nullptr;
    if (hovered_ == v) hovered_ = nullptr;
    if (firstResponder_ == v) firstResponder_ = nullptr;
    if (dragTarget_ == v) dragTarget_ = nullptr;
    if (defaultButton_ == v) defaultButton_ = nullptr;
}

bool Window::makeFirstResponder(View* v) {
    if (v == firstResponder_) return true;
    if (v && v->window() != this) return false;
    if (View* old = firstResponder_; old && !old->resignFirstResponder()) return false;
    firstResponder_ = v;
    // A view may hand the status on while it becomes it (a text field to
    // its field editor).
    if (v && !v->becomeFirstResponder()) {
        if (firstResponder_ == v) firstResponder_ = nullptr;
        return false;
    }
    return true;
}

void Window::sendEvent(const Event& e) {
    if (closed_ || !content_) return;
    // While another window runs modally, this one takes no input.
    if (Window* modal = modalWindow(); modal && modal != this) return;
    const bool keyOrClick = e.type == EventType::MouseDown || e.type == EventType::MouseUp ||
                            e.type == EventType::MouseDragged || e.type == EventType::KeyDown ||
                            e.type == EventType::KeyUp;
    if (keyOrClick && !acceptsInput()) return;
    CurrentEventScope delivering(e);
    // The click that activates a window makes it key before anything under
    // it hears of the click, whether a window manager focuses it first,
    // later or not at all.
    if (e.type == EventType::MouseDown && e.button == MouseButton::Left && e.activatesWindow && !isKeyWindow()) {
        makeKeyWindow();
        if (!Responder::isLive(this) || closed_ || !content_) return;
    }
    View* hit = content_->hitTest(e.location);
    switch (e.type) {
        case EventType::MouseDown:
            captured_ = hit;
            if (hit && hit->acceptsFirstResponder()) makeFirstResponder(hit);
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
        case EventType::KeyUp: {
            // The menu bar's key equivalents come before the views.
            if (e.type == EventType::KeyDown)
                if (Menu* bar = Application::mainMenu(); bar && bar->performKeyEquivalent(e)) break;
            bool used = false;
            for (View* v = firstResponder_ ? firstResponder_ : hit; v; v = v->superview()) {
                used = e.type == EventType::KeyDown ? v->keyDown(e) : v->keyUp(e);
                if (used) break;
            }
            if (!used && e.type == EventType::KeyDown && defaultButton_ && !closed_)
                defaultButton_->performKeyEquivalent(e);
            break;
        }
    }
}

void Window::invalidate(const Rect& r) { dirty_ = dirty_.united(r.intersection({0, 0, size_.width, size_.height})); }

void Window::display() {
    if (dirty_.isEmpty() || !content_) return;
    Rect area = dirty_;
    dirty_ = {};
    Canvas canvas(pixels_.data(), size_.width, size_.height, {0, 0}, area);
    View::displayTreeOf(content_.get(), canvas, area);
    content_->clearNeedsDisplayRecursive();
    ++displayCount_;
    if (peer_ && visible_) peer_->present(area);
}

void Window::displayAll() {
    for (Window* w : Application::windows())
        if (Responder::isLive(w) && !w->closed_) w->display();
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
