// Pop-up menus as windows of their own that the window manager leaves
// alone: a level per open submenu, chosen from by pointer or keys while
// they hold the pointer and the keyboard.
#include "platform/appkit/X11Services.h"
#include "platform/appkit/X11Input.h"
#include "platform/appkit/X11Text.h"

#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

// Xlib's None would hide our enumerators of the same name.
constexpr long kXNone = None;
#undef None

namespace platform::appkit {

namespace {

constexpr unsigned long kMenuHiBg = 0x2F6FCF, kMenuHiFg = 0xFFFFFF, kMenuDim = 0x909090;
constexpr int kSepH = 7, kPadX = 22;

struct MenuLevel {
    const Menu* menu;
    ::Window win;
    Rect rect;  // root coordinates
    int hover = -1;
    std::vector<int> tops;  // item top within the window
    std::string shown;      // the items as last laid out
};

// What a level shows of its menu's items, to tell a change.
std::string itemsSignature(const Menu& m) {
    std::string s;
    for (const MenuItem& it : m.items) {
        s += it.title;
        s += '\0';
        s += static_cast<char>((it.separator ? 1 : 0) | (it.checked ? 2 : 0) | (it.enabled ? 4 : 0));
        s.append(reinterpret_cast<const char*>(&it.submenu), sizeof it.submenu);
    }
    return s;
}

}  // namespace

MenuChoice runX11PopUpMenu(X11Tracking& t, Display* d, Visual* visual, int depth, const X11Text& text, const Menu& menu,
                           const Window* owner, Point origin, std::optional<Point> pressedAt) {
    if (menu.items.empty()) return {};
    std::vector<MenuLevel> levels;
    GC gc = nullptr;

    const int ascent = text.ascent();
    const int sw = DisplayWidth(d, DefaultScreen(d)), sh = DisplayHeight(d, DefaultScreen(d));
    // A level's items from its menu as it stands, placed from pos and kept
    // on the screen.
    auto measure = [&](MenuLevel& lv, Point pos) {
        lv.tops.clear();
        int wmax = 60, y = 2;
        for (const auto& it : lv.menu->items) {
            lv.tops.push_back(y);
            y += it.separator ? kSepH : kMenuItemH;
            // Room for the key equivalent at the right.
            std::string keys = keyEquivalentText(it);
            if (!it.separator) wmax = std::max(wmax, text.width(it.title) + (keys.empty() ? 0 : 24 + text.width(keys)));
        }
        Rect r{pos.x, pos.y, std::min(wmax + 2 * kPadX + 10, sw - 2), y + 2};
        r.x = std::max(0, std::min(r.x, sw - r.width - 2));
        r.y = std::max(0, std::min(r.y, sh - r.height - 2));
        lv.rect = r;
        lv.shown = itemsSignature(*lv.menu);
        if (lv.hover >= static_cast<int>(lv.tops.size())) lv.hover = -1;
    };
    auto layout = [&](const Menu* m, Point pos) {
        MenuLevel lv{m, 0, {}, -1, {}, {}};
        measure(lv, pos);
        lv.win = x11MakePopup(d, visual, depth, lv.rect);
        if (!gc) gc = XCreateGC(d, lv.win, 0, nullptr);
        levels.push_back(lv);
    };
    auto draw = [&](MenuLevel& lv) {
        for (size_t i = 0; i < lv.menu->items.size() && i < lv.tops.size(); ++i) {
            const MenuItem& it = lv.menu->items[i];
            int top = lv.tops[i];
            if (it.separator) {
                XSetForeground(d, gc, kMenuBg);
                XFillRectangle(d, lv.win, gc, 0, top, lv.rect.width, kSepH);
                XSetForeground(d, gc, kMenuDim);
                XDrawLine(d, lv.win, gc, 4, top + kSepH / 2, lv.rect.width - 5, top + kSepH / 2);
                continue;
            }
            bool hi = static_cast<int>(i) == lv.hover && it.enabled;
            unsigned long bg = hi ? kMenuHiBg : kMenuBg, fg = !it.enabled ? kMenuDim : hi ? kMenuHiFg : kMenuFg;
            XSetForeground(d, gc, bg);
            XFillRectangle(d, lv.win, gc, 0, top, lv.rect.width, kMenuItemH);
            XSetForeground(d, gc, fg);
            int baseline = top + (kMenuItemH + ascent) / 2 - 1;
            std::string keys = keyEquivalentText(it);
            int keysX = lv.rect.width - 14 - text.width(keys);
            int room = (keys.empty() ? lv.rect.width - 16 : keysX - 8) - kPadX;
            text.draw(lv.win, gc, kPadX, baseline, text.fit(it.title, room), fg, bg);
            if (!keys.empty()) text.draw(lv.win, gc, keysX, baseline, keys, fg, bg);
            if (it.checked) {
                XDrawLine(d, lv.win, gc, 6, top + 10, 9, top + 14);
                XDrawLine(d, lv.win, gc, 9, top + 14, 15, top + 5);
            }
            if (it.submenu) {
                int x = lv.rect.width - 12, c = top + kMenuItemH / 2;
                XPoint tri[3] = {{short(x), short(c - 4)}, {short(x + 5), short(c)}, {short(x), short(c + 4)}};
                XFillPolygon(d, lv.win, gc, tri, 3, Convex, CoordModeOrigin);
            }
        }
    };
    auto itemAt = [&](const MenuLevel& lv, Point root) {
        if (!lv.rect.contains(root)) return -1;
        int y = root.y - lv.rect.y;
        for (size_t i = 0; i < lv.tops.size() && i < lv.menu->items.size(); ++i) {
            int h = lv.menu->items[i].separator ? kSepH : kMenuItemH;
            if (y >= lv.tops[i] && y < lv.tops[i] + h) return static_cast<int>(i);
        }
        return -1;
    };
    auto closeFrom = [&](size_t n) {
        while (levels.size() > n) {
            XDestroyWindow(d, levels.back().win);
            levels.pop_back();
        }
    };
    // After the program's handler ran: the levels show their menus as they
    // stand now, and a level whose menu went closes with those below it.
    auto reread = [&] {
        for (size_t l = 0; l < levels.size(); ++l) {
            if (!Menu::isLive(levels[l].menu) || levels[l].menu->items.empty()) {
                closeFrom(l);
                break;
            }
            MenuLevel& lv = levels[l];
            measure(lv, {lv.rect.x, lv.rect.y});
            XMoveResizeWindow(d, lv.win, lv.rect.x, lv.rect.y, static_cast<unsigned>(lv.rect.width),
                              static_cast<unsigned>(lv.rect.height));
            draw(lv);
        }
    };
    auto openSub = [&](size_t level, int item) {
        closeFrom(level + 1);
        const Menu* sub = openSubmenu(*levels[level].menu, item);
        reread();
        if (!sub || levels.size() != level + 1 || sub->items.empty()) return;
        Rect r = levels[level].rect;
        layout(sub, {r.right() + 1, r.y + levels[level].tops[static_cast<size_t>(item)]});
    };

    layout(&menu, origin);
    XGrabPointer(d, levels[0].win, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                 GrabModeAsync, kXNone, kXNone, CurrentTime);
    XGrabKeyboard(d, levels[0].win, True, GrabModeAsync, GrabModeAsync, CurrentTime);

    auto expose = [&](XEvent& ev) {
        bool ours = false;
        for (auto& lv : levels)
            if (lv.win == ev.xany.window) {
                draw(lv);
                ours = true;
            }
        if (!ours) t.dispatch(ev);  // keep the panel itself painted
    };

    MenuChoice choice;
    bool done = false, moved = false;
    unsigned endingPress = 0;  // the button whose press ended the menu
    // Moves count from the press that opened the menu, not from the menu's
    // corner: the release of a plain click leaves the menu open. The press's
    // own place, as the pointer may have moved on before the menu opened;
    // where the pointer is for a menu no press opened.
    Point pressAt = pressedAt.value_or(origin);
    if (!pressedAt) {
        ::Window root = 0, child = 0;
        int wx = 0, wy = 0;
        unsigned mask = 0;
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &pressAt.x, &pressAt.y, &wx, &wy, &mask);
    }
    auto pointer = [&](XEvent& ev) {
        Point root = ev.type == MotionNotify ? Point{ev.xmotion.x_root, ev.xmotion.y_root}
                                             : Point{ev.xbutton.x_root, ev.xbutton.y_root};
        if (std::abs(root.x - pressAt.x) > 3 || std::abs(root.y - pressAt.y) > 3) moved = true;
        int level = -1, item = -1;
        for (int l = static_cast<int>(levels.size()) - 1; l >= 0 && level < 0; --l) {
            int i = itemAt(levels[l], root);
            if (levels[l].rect.contains(root)) {
                level = l;
                item = i;
            }
        }
        if (ev.type == MotionNotify) {
            if (level >= 0 && levels[level].hover != item) {
                levels[level].hover = item;
                if (item >= 0 && levels[level].menu->items[item].submenu)
                    openSub(level, item);
                else
                    closeFrom(level + 1);
                for (auto& lv : levels) draw(lv);
            }
            return;
        }
        bool press = ev.type == ButtonPress;
        if (level < 0) {
            if (press || moved) done = true;  // a click outside dismisses
            if (press) endingPress = ev.xbutton.button;
            return;
        }
        if (item < 0) return;
        const MenuItem& it = levels[level].menu->items[item];
        if (it.submenu) {
            if (press) openSub(level, item);
            for (auto& lv : levels) draw(lv);
            return;
        }
        if (!isChoosable(it)) return;
        // The release of the press that opened the menu chooses only after a move.
        if (press || moved) {
            choice = {levels[level].menu, item};
            done = true;
            if (press) endingPress = ev.xbutton.button;
        }
    };
    auto key = [&](XEvent& ev) {
        std::vector<Event> typed = x11KeyEvents(d, ev.xkey, x11PlainKeyText(ev.xkey));
        if (typed.empty()) return;
        const Event& k = typed[0];
        MenuLevel& lv = levels.back();
        int n = static_cast<int>(lv.menu->items.size());
        auto step = [&](int dir) {
            for (int tries = 0; tries < n; ++tries) {
                lv.hover = ((lv.hover < 0 ? (dir > 0 ? -1 : 0) : lv.hover) + dir + n) % n;
                if (!lv.menu->items[lv.hover].separator) break;
            }
        };
        if (k.key == Key::Escape)
            done = true;
        else if (k.key == Key::Down)
            step(1);
        else if (k.key == Key::Up)
            step(-1);
        else if (k.key == Key::Left && levels.size() > 1)
            closeFrom(levels.size() - 1);
        else if ((k.key == Key::Right || k.key == Key::Return) && lv.hover >= 0) {
            const MenuItem& it = lv.menu->items[lv.hover];
            if (it.submenu)
                openSub(levels.size() - 1, lv.hover);
            else if (k.key == Key::Return && isChoosable(it)) {
                choice = {lv.menu, lv.hover};
                done = true;
            }
        }
        for (auto& l : levels) draw(l);
    };
    auto handle = [&](XEvent& ev) {
        if (ev.type == Expose) {
            expose(ev);
        } else if (ev.type == MotionNotify || ev.type == ButtonPress || ev.type == ButtonRelease) {
            pointer(ev);
        } else if (ev.type == KeyPress) {
            key(ev);
        }
        return !done && !levels.empty();
    };
    // Timers and posted work run while the menu is open: a menu they
    // changed shows as it stands now, one they deleted closes.
    X11TrackOptions options;
    options.owner = owner;
    options.stop = [&] { return done || levels.empty(); };
    options.afterWork = [&] {
        for (const MenuLevel& lv : levels)
            if (!Menu::isLive(lv.menu) || lv.shown != itemsSignature(*lv.menu)) {
                reread();
                return;
            }
    };
    if (!levels.empty() && !done) t.track(handle, options);
    // The release of the press that ended the menu is the menu's: nothing
    // below it may take it for a click.
    if (endingPress) x11AwaitRelease(t, d, endingPress, expose);
    XUngrabPointer(d, CurrentTime);
    XUngrabKeyboard(d, CurrentTime);
    closeFrom(0);
    if (gc) XFreeGC(d, gc);
    XFlush(d);
    return choice;
}

::Window x11MakePopup(Display* d, Visual* visual, int depth, Rect r) {
    XSetWindowAttributes a{};
    a.override_redirect = True;
    a.background_pixel = kMenuBg;
    a.border_pixel = kMenuEdge;
    a.colormap = XCreateColormap(d, DefaultRootWindow(d), visual, AllocNone);
    a.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
    ::Window win = XCreateWindow(d, DefaultRootWindow(d), r.x, r.y, std::max(r.width, 1), std::max(r.height, 1), 1,
                                 depth, InputOutput, visual,
                                 CWOverrideRedirect | CWBackPixel | CWBorderPixel | CWColormap | CWEventMask, &a);
    XMapRaised(d, win);
    return win;
}

void x11AwaitRelease(X11Tracking& t, Display* d, unsigned button, const std::function<void(XEvent&)>& expose) {
    if (button < 1 || button > 5) return;
    const unsigned mask = Button1Mask << (button - 1);
    X11TrackOptions options;
    // No event waits and the button is up: its release went elsewhere.
    options.stop = [&] {
        XSync(d, False);
        if (XPending(d) > 0) return false;
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned state = 0;
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &state);
        return !(state & mask);
    };
    options.pollMs = 20;
    t.track(
        [&](XEvent& ev) {
            if (ev.type == ButtonRelease && ev.xbutton.button == button) return false;
            if (ev.type == Expose) expose(ev);
            return true;
        },
        options);
}

}  // namespace platform::appkit
