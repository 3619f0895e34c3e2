// The alert as a small dialog window of its own: the title, the message
// wrapped to the window, and the buttons along the bottom from the right,
// the first (the default) rightmost. Return chooses the highlighted button,
// Tab and the arrows move the highlight, Escape chooses the cancel button,
// a click chooses the button under it.
#include "platform/appkit/X11Services.h"
// clang-format off
#include "platform/appkit/X11Frames.h"
// clang-format on
#include "platform/appkit/X11Text.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>

namespace platform::appkit {

namespace {

constexpr unsigned long kBg = 0xECECEC, kFg = 0x101010, kButton = 0xFAFAFA, kDefault = 0x2F6FCF, kDefaultFg = 0xFFFFFF,
                        kEdge = 0x808080;
constexpr int kMargin = 16, kButtonH = 24, kGap = 10, kTextWidth = 420;

struct Layout {
    std::vector<std::string> lines;
    std::vector<Rect> buttons;  // by button index
    int width = 0, height = 0, lineH = 0, ascent = 0;
};

std::vector<std::string> wrap(const X11Text& f, const std::string& text, int width) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t nl = text.find('\n', pos);
        std::string para = text.substr(pos, nl == std::string::npos ? std::string::npos : nl - pos);
        std::string line;
        size_t i = 0;
        while (i < para.size()) {
            size_t sp = para.find(' ', i);
            std::string word = para.substr(i, sp == std::string::npos ? std::string::npos : sp - i);
            std::string tryLine = line.empty() ? word : line + " " + word;
            if (!line.empty() && f.width(tryLine) > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = tryLine;
            }
            i = sp == std::string::npos ? para.size() : sp + 1;
        }
        lines.push_back(line);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    return lines;
}

bool viewable(Display* d, ::Window w) {
    XWindowAttributes a{};
    return XGetWindowAttributes(d, w, &a) && a.map_state == IsViewable;
}

Layout layOut(const X11Text& f, const AlertRequest& r) {
    Layout l;
    l.ascent = f.ascent();
    l.lineH = f.ascent() + f.descent() + 3;
    l.lines = wrap(f, r.message, kTextWidth);
    int buttonsW = 0;
    std::vector<int> widths;
    for (const auto& b : r.buttons) {
        widths.push_back(std::max(80, f.width(b) + 24));
        buttonsW += widths.back() + kGap;
    }
    l.width = std::max(kTextWidth, buttonsW) + 2 * kMargin;
    int textH = static_cast<int>(l.lines.size() + 1) * l.lineH;
    l.height = kMargin + textH + kMargin + kButtonH + kMargin;
    int x = l.width - kMargin;
    for (int w : widths) {
        x -= w;
        l.buttons.push_back({x, l.height - kMargin - kButtonH, w, kButtonH});
        x -= kGap;
    }
    return l;
}

}  // namespace

int runX11Alert(X11Tracking& t, Display* d, Visual* visual, int depth, const X11Text& text, ::Window owner,
                Time userTime, const AlertRequest& r) {
    if (r.buttons.empty()) return 0;
    Layout l = layOut(text, r);
    ::Window root = DefaultRootWindow(d);
    int sw = DisplayWidth(d, DefaultScreen(d)), sh = DisplayHeight(d, DefaultScreen(d));
    int x = (sw - l.width) / 2, y = (sh - l.height) / 3;
    if (owner) {
        XWindowAttributes a{};
        ::Window child;
        if (XGetWindowAttributes(d, owner, &a))
            XTranslateCoordinates(d, owner, root, (a.width - l.width) / 2, 40, &x, &y, &child);
    }
    XSetWindowAttributes a{};
    a.background_pixel = kBg;
    a.border_pixel = kEdge;
    a.colormap = XCreateColormap(d, root, visual, AllocNone);
    a.event_mask = ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask;
    ::Window win = XCreateWindow(d, root, std::max(x, 0), std::max(y, 0), l.width, l.height, 1, depth, InputOutput,
                                 visual, CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
    x11SetTitle(d, win, r.title);
    x11SetIdentity(d, win);
    x11SetOwner(d, win, owner, X11WindowType::Dialog);
    // The title bar's close button asks (a manager would end a client that
    // cannot be asked): it answers as Escape does, else as Cancel or the
    // only button.
    Atom wmDelete = XInternAtom(d, "WM_DELETE_WINDOW", False);
    XSetWMProtocols(d, win, &wmDelete, 1);
    const int n = static_cast<int>(r.buttons.size());
    const int escapeAnswer = r.cancelButton >= 0 && r.cancelButton < n ? r.cancelButton : -1;
    int closeAnswer = escapeAnswer >= 0 ? escapeAnswer : n == 1 ? 0 : -1;
    for (size_t i = 0; i < r.buttons.size() && closeAnswer < 0; ++i)
        if (r.buttons[i] == "Cancel") closeAnswer = static_cast<int>(i);
    XSizeHints* hints = XAllocSizeHints();
    hints->flags = PPosition | PMinSize | PMaxSize;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = l.width;
    hints->min_height = hints->max_height = l.height;
    XSetWMNormalHints(d, win, hints);
    XFree(hints);
    // Modal for its run, as dialogs are: a manager keeps it above its
    // owner and sends the owner's focus to it.
    x11SetModalState(d, win, false, true);
    GC gc = XCreateGC(d, win, 0, nullptr);
    XMapRaised(d, win);
    X11FrameState state;  // for the focus request, once it can be made

    int focus = 0, pressed = -1, chosen = -1;
    auto draw = [&] {
        XSetForeground(d, gc, kBg);
        XFillRectangle(d, win, gc, 0, 0, l.width, l.height);
        int ty = kMargin + l.ascent;
        text.draw(win, gc, kMargin, ty, r.title, kFg, kBg);
        for (const auto& line : l.lines) {
            ty += l.lineH;
            text.draw(win, gc, kMargin, ty, line, kFg, kBg);
        }
        for (size_t i = 0; i < l.buttons.size(); ++i) {
            const Rect& b = l.buttons[i];
            bool hi = static_cast<int>(i) == focus || static_cast<int>(i) == pressed;
            XSetForeground(d, gc, hi ? kDefault : kButton);
            XFillRectangle(d, win, gc, b.x, b.y, b.width, b.height);
            XSetForeground(d, gc, kEdge);
            XDrawRectangle(d, win, gc, b.x, b.y, b.width - 1, b.height - 1);
            const std::string& t = r.buttons[i];
            text.draw(win, gc, b.x + (b.width - text.width(t)) / 2, b.y + (b.height + l.ascent) / 2 - 1, t,
                      hi ? kDefaultFg : kFg, hi ? kDefault : kButton);
        }
    };
    auto buttonAt = [&](int px, int py) {
        for (size_t i = 0; i < l.buttons.size(); ++i)
            if (l.buttons[i].contains({px, py})) return static_cast<int>(i);
        return -1;
    };
    auto handle = [&](XEvent& ev) {
        if (ev.xany.window != win) {
            // Other windows are painted; their input waits for the answer.
            if (ev.type == Expose || ev.type == ConfigureNotify || ev.type == SelectionNotify ||
                ev.type == SelectionRequest || ev.type == PropertyNotify)
                t.dispatch(ev);
            return true;
        }
        switch (ev.type) {
            case ClientMessage:
                if (static_cast<Atom>(ev.xclient.data.l[0]) == wmDelete && closeAnswer >= 0) chosen = closeAnswer;
                break;
            case MapNotify:
            case Expose:
                // The keyboard, through the manager where one runs; focusing
                // a window directly waits until it can be seen (a manager's
                // frame may show after the window's map).
                if (!state.mapped && viewable(d, win)) {
                    state.mapped = true;
                    x11MakeKey(d, win, state, userTime);
                }
                if (ev.type == Expose && ev.xexpose.count == 0) draw();
                break;
            case ButtonPress:
                pressed = ev.xbutton.button == Button1 ? buttonAt(ev.xbutton.x, ev.xbutton.y) : -1;
                draw();
                break;
            case ButtonRelease:
                if (pressed >= 0 && buttonAt(ev.xbutton.x, ev.xbutton.y) == pressed) chosen = pressed;
                pressed = -1;
                draw();
                break;
            case KeyPress: {
                KeySym ks = XLookupKeysym(&ev.xkey, 0);
                if (ks == XK_Return || ks == XK_KP_Enter || ks == XK_space)
                    chosen = focus;
                else if (ks == XK_Escape && escapeAnswer >= 0)
                    chosen = escapeAnswer;
                else if (ks == XK_Tab || ks == XK_Left)
                    focus = (focus + 1) % n;
                else if (ks == XK_Right || ks == XK_ISO_Left_Tab)
                    focus = (focus + n - 1) % n;
                draw();
                break;
            }
            default:
                break;
        }
        return chosen < 0;
    };
    t.track(handle);
    XFreeGC(d, gc);
    XDestroyWindow(d, win);
    XFreeColormap(d, a.colormap);
    XFlush(d);
    return chosen;
}

}  // namespace platform::appkit
