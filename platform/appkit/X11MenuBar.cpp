// Ours first: Xlib defines None, which our enumerations use.
#include "platform/appkit/X11Services.h"
// clang-format off
#include "platform/appkit/X11Frames.h"
// clang-format on
#include "platform/appkit/X11Text.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace platform::appkit {

namespace {
constexpr unsigned long kBarBg = 0xF0F0F0, kBarFg = 0x101010, kBarDim = 0x909090, kBarHiBg = 0x2F6FCF,
                        kBarHiFg = 0xFFFFFF, kBarEdge = 0xB8B8B8;
constexpr int kTitlePad = 10, kFirstX = 8;
}  // namespace

X11MenuBar::X11MenuBar(Display* d, Visual* visual, int depth, const X11Text& text, PopUp popUp)
    : dpy_(d), visual_(visual), depth_(depth), text_(text), popUp_(std::move(popUp)) {}

X11MenuBar::~X11MenuBar() {
    if (win_) XDestroyWindow(dpy_, win_);
    if (colormap_) XFreeColormap(dpy_, colormap_);
}

void X11MenuBar::setMenu(Menu* m) {
    menu_ = m;
    if (!m) {
        if (win_) {
            XUnmapWindow(dpy_, win_);
            XFlush(dpy_);
        }
        return;
    }
    if (!win_) {
        ::Window root = DefaultRootWindow(dpy_);
        XSetWindowAttributes a{};
        a.background_pixel = kBarBg;
        a.border_pixel = 0;
        a.colormap = colormap_ = XCreateColormap(dpy_, root, visual_, AllocNone);
        a.event_mask = ExposureMask | ButtonPressMask;
        int width = DisplayWidth(dpy_, DefaultScreen(dpy_));
        win_ = XCreateWindow(dpy_, root, 0, 0, static_cast<unsigned>(width), kHeight, 0, depth_, InputOutput, visual_,
                             CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
        x11SetTitle(dpy_, win_, "Menu Bar");
        x11SetIdentity(dpy_, win_);
        // A desktop keeps the strip's room free along the top of the screen.
        Atom type = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE", False);
        Atom dock = XInternAtom(dpy_, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(dpy_, win_, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&dock), 1);
        long strut[4] = {0, 0, kHeight, 0};
        XChangeProperty(dpy_, win_, XInternAtom(dpy_, "_NET_WM_STRUT", False), XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(strut), 4);
        XSizeHints* hints = XAllocSizeHints();
        hints->flags = PPosition;
        XSetWMNormalHints(dpy_, win_, hints);
        XFree(hints);
    }
    XMapRaised(dpy_, win_);
    draw();
    XFlush(dpy_);
}

std::vector<std::pair<int, int>> X11MenuBar::layOut() const {
    std::vector<std::pair<int, int>> out;
    if (!Menu::isLive(menu_)) return out;
    int x = kFirstX;
    for (const MenuItem& it : menu_->items) {
        if (!it.submenu || it.separator) {
            out.push_back({0, 0});
            continue;
        }
        int w = text_.width(it.title) + 2 * kTitlePad;
        out.push_back({x, x + w});
        x += w;
    }
    return out;
}

void X11MenuBar::draw() {
    if (!win_ || !Menu::isLive(menu_)) return;
    GC gc = XCreateGC(dpy_, win_, 0, nullptr);
    int width = DisplayWidth(dpy_, DefaultScreen(dpy_));
    XSetForeground(dpy_, gc, kBarBg);
    XFillRectangle(dpy_, win_, gc, 0, 0, static_cast<unsigned>(width), kHeight);
    XSetForeground(dpy_, gc, kBarEdge);
    XDrawLine(dpy_, win_, gc, 0, kHeight - 1, width, kHeight - 1);
    int ascent = text_.ascent();
    auto spans = layOut();
    for (size_t i = 0; i < spans.size(); ++i) {
        auto [l, r] = spans[i];
        if (l == r) continue;
        const MenuItem& it = menu_->items[i];
        bool hi = static_cast<int>(i) == open_;
        if (hi) {
            XSetForeground(dpy_, gc, kBarHiBg);
            XFillRectangle(dpy_, win_, gc, l, 0, static_cast<unsigned>(r - l), kHeight - 1);
        }
        text_.draw(win_, gc, l + kTitlePad, (kHeight + ascent) / 2 - 1, it.title,
                   hi           ? kBarHiFg
                   : it.enabled ? kBarFg
                                : kBarDim,
                   hi ? kBarHiBg : kBarBg);
    }
    XFreeGC(dpy_, gc);
}

void X11MenuBar::open(int item) {
    int x = layOut()[static_cast<size_t>(item)].first;
    open_ = item;
    draw();
    // The window may change the bar while the submenu opens.
    const Menu* sub = openSubmenu(*menu_, item);
    // The strip's origin is the root's.
    MenuChoice choice = sub && !sub->items.empty() ? popUp_(*sub, {x, kHeight}) : MenuChoice{};
    open_ = -1;
    draw();
    XFlush(dpy_);
    if (choice && Menu::isLive(choice.menu)) const_cast<Menu*>(choice.menu)->performActionForItemAt(choice.index);
}

bool X11MenuBar::handle(XEvent& ev) {
    if (!win_ || ev.xany.window != win_) return false;
    if (ev.type == Expose && ev.xexpose.count == 0) draw();
    if (ev.type == ButtonPress && ev.xbutton.button == Button1 && Menu::isLive(menu_)) {
        auto spans = layOut();
        for (size_t i = 0; i < spans.size(); ++i)
            if (spans[i].first != spans[i].second && ev.xbutton.x >= spans[i].first && ev.xbutton.x < spans[i].second) {
                open(static_cast<int>(i));
                break;
            }
    }
    return true;
}

}  // namespace platform::appkit
