#include "platform/appkit/X11Services.h"

#include <X11/cursorfont.h>
#include <X11/extensions/Xfixes.h>
#include <X11/extensions/Xrender.h>

namespace platform::appkit {

namespace {

unsigned fontShapeOf(Cursor::Shape s) {
    switch (s) {
        case Cursor::Shape::IBeam:
            return XC_xterm;
        case Cursor::Shape::ResizeLeftRight:
            return XC_sb_h_double_arrow;
        case Cursor::Shape::ResizeUpDown:
            return XC_sb_v_double_arrow;
        case Cursor::Shape::ResizeUp:
            return XC_sb_up_arrow;
        case Cursor::Shape::OpenHand:
            return XC_hand2;
        default:
            return XC_left_ptr;
    }
}

// An ARGB cursor through XRender; 0 when the server cannot make one.
::Cursor renderCursor(Display* d, ::Window root, const CursorImage& img, Point hot) {
    int ev = 0, err = 0;
    if (img.width < 1 || img.height < 1 || !XRenderQueryExtension(d, &ev, &err)) return 0;
    XRenderPictFormat* format = XRenderFindStandardFormat(d, PictStandardARGB32);
    if (!format) return 0;
    // The server wants premultiplied words.
    std::vector<uint32_t> pre(img.argb.size());
    for (size_t i = 0; i < pre.size(); ++i) {
        uint32_t p = img.argb[i], a = p >> 24;
        auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
        pre[i] = (a << 24) | (mul((p >> 16) & 0xFF) << 16) | (mul((p >> 8) & 0xFF) << 8) | mul(p & 0xFF);
    }
    Pixmap pm = XCreatePixmap(d, root, img.width, img.height, 32);
    XImage* xi = XCreateImage(d, nullptr, 32, ZPixmap, 0, reinterpret_cast<char*>(pre.data()), img.width, img.height,
                              32, img.width * 4);
    if (!xi) {
        XFreePixmap(d, pm);
        return 0;
    }
    xi->byte_order = LSBFirst;
    GC gc = XCreateGC(d, pm, 0, nullptr);
    XPutImage(d, pm, gc, xi, 0, 0, 0, 0, img.width, img.height);
    XFreeGC(d, gc);
    xi->data = nullptr;  // ours
    XDestroyImage(xi);
    Picture pic = XRenderCreatePicture(d, pm, format, 0, nullptr);
    ::Cursor c = XRenderCreateCursor(d, pic, hot.x, hot.y);
    XRenderFreePicture(d, pic);
    XFreePixmap(d, pm);
    return c;
}

}  // namespace

Modifiers modifiersOfXState(unsigned state) {
    Modifiers m;
    m.shift = state & ShiftMask;
    m.control = state & ControlMask;
    m.alt = state & Mod1Mask;
    m.command = state & Mod4Mask;
    return m;
}

X11CursorSystem::X11CursorSystem(Display* d) : dpy_(d), root_(DefaultRootWindow(d)) {}

X11CursorSystem::~X11CursorSystem() {
    if (hidden_) XFixesShowCursor(dpy_, root_);
    for (auto& [c, x] : made_) XFreeCursor(dpy_, x);
}

::Cursor X11CursorSystem::xcursorOf(const Cursor* c) {
    if (!c) c = Cursor::arrow();
    auto it = made_.find(c);
    if (it != made_.end()) return it->second;
    ::Cursor x = 0;
    if (c->shape() == Cursor::Shape::Image) x = renderCursor(dpy_, root_, c->image(), c->hotSpot());
    if (!x) x = XCreateFontCursor(dpy_, fontShapeOf(c->shape()));
    made_[c] = x;
    return x;
}

void X11CursorSystem::addWindow(::Window w) {
    windows_.insert(w);
    if (shown_) XDefineCursor(dpy_, w, shown_);
}

void X11CursorSystem::removeWindow(::Window w) { windows_.erase(w); }

void X11CursorSystem::apply(const Cursor* c) {
    shown_ = xcursorOf(c);
    for (::Window w : windows_) XDefineCursor(dpy_, w, shown_);
    XFlush(dpy_);
}

void X11CursorSystem::release(const Cursor* c) {
    auto it = made_.find(c);
    if (it == made_.end()) return;
    // Windows that still show it keep the server's copy until redefined.
    if (shown_ == it->second) shown_ = 0;
    XFreeCursor(dpy_, it->second);
    made_.erase(it);
}

void X11CursorSystem::setHidden(bool hidden) {
    if (hidden == hidden_) return;
    hidden_ = hidden;
    if (hidden)
        XFixesHideCursor(dpy_, root_);
    else
        XFixesShowCursor(dpy_, root_);
    XFlush(dpy_);
}

void X11CursorSystem::setAssociated(bool associated) {
    associated_ = associated;
    if (associated) return;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    ::Window r, child;
    XQueryPointer(dpy_, root_, &r, &child, &rx, &ry, &wx, &wy, &mask);
    anchor_ = last_ = {rx, ry};
    haveLast_ = true;
}

Point X11CursorSystem::motionDelta(int rootX, int rootY) {
    Point d = haveLast_ ? Point{rootX - last_.x, rootY - last_.y} : Point{};
    haveLast_ = true;
    last_ = {rootX, rootY};
    if (!associated_ && (rootX != anchor_.x || rootY != anchor_.y)) {
        XWarpPointer(dpy_, 0, root_, 0, 0, 0, 0, anchor_.x, anchor_.y);
        last_ = anchor_;
    }
    return d;
}

bool X11CursorSystem::warp(double x, double yFromTop) {
    int ix = static_cast<int>(x), iy = static_cast<int>(yFromTop);
    XWarpPointer(dpy_, 0, root_, 0, 0, 0, 0, ix, iy);
    XSync(dpy_, False);
    anchor_ = last_ = {ix, iy};
    return true;
}

PointF X11CursorSystem::location() {
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    ::Window r, child;
    if (!XQueryPointer(dpy_, root_, &r, &child, &rx, &ry, &wx, &wy, &mask)) return {};
    return {static_cast<double>(rx), displayHeight() - ry};
}

uint32_t X11CursorSystem::buttons() {
    int rx, ry, wx, wy;
    unsigned mask = 0;
    ::Window r, child;
    XQueryPointer(dpy_, root_, &r, &child, &rx, &ry, &wx, &wy, &mask);
    return ((mask & Button1Mask) ? 1u : 0u) | ((mask & Button3Mask) ? 2u : 0u) | ((mask & Button2Mask) ? 4u : 0u);
}

uint32_t X11CursorSystem::modifiers() {
    int rx, ry, wx, wy;
    unsigned mask = 0;
    ::Window r, child;
    XQueryPointer(dpy_, root_, &r, &child, &rx, &ry, &wx, &wy, &mask);
    return modifiersOfXState(mask).flags();
}

double X11CursorSystem::displayHeight() { return DisplayHeight(dpy_, DefaultScreen(dpy_)); }

}  // namespace platform::appkit
