#include "support/x11/XProbe.h"

#include "platform/appkit/X11Errors.h"
#include "support/x11/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

#include "raster/RAST_PngWrite.h"

#include <cstdio>
#include <unistd.h>

namespace hvtest {

namespace {

int shiftOf(unsigned long mask) {
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

uint32_t rgbOf(XImage* img, unsigned long p) {
    auto channel = [&](unsigned long mask) {
        if (!mask) return 0u;
        unsigned long v = (p & mask) >> shiftOf(mask);
        unsigned long max = mask >> shiftOf(mask);
        return unsigned(v * 255 / max);
    };
    return (channel(img->red_mask) << 16) | (channel(img->green_mask) << 8) | channel(img->blue_mask);
}

}  // namespace

XProbe::XProbe(const std::string& display) {
    dpy_ = XOpenDisplay(display.c_str());
    if (!dpy_) return;
    // A window read back may close meanwhile.
    platform::appkit::ignoreXErrorsOn(dpy_);
    int ev, err, major, minor;
    if (!XTestQueryExtension(dpy_, &ev, &err, &major, &minor)) {
        platform::appkit::stopIgnoringXErrorsOn(dpy_);
        XCloseDisplay(dpy_);
        dpy_ = nullptr;
    }
}

XProbe::~XProbe() {
    if (!dpy_) return;
    sync();
    platform::appkit::stopIgnoringXErrorsOn(dpy_);
    XCloseDisplay(dpy_);
}

::Window XProbe::root() const { return dpy_ ? DefaultRootWindow(dpy_) : 0; }

void XProbe::sync() {
    if (dpy_) XSync(dpy_, False);
}

// ---- input

void XProbe::moveTo(int rootX, int rootY) {
    if (!dpy_) return;
    XTestFakeMotionEvent(dpy_, DefaultScreen(dpy_), rootX, rootY, CurrentTime);
    sync();
}

void XProbe::moveTo(::Window w, int x, int y) {
    auto g = geometry(w);
    if (g) moveTo(g->x + x, g->y + y);
}

void XProbe::press(int button) { fakeButton(button, true); }

void XProbe::release(int button) { fakeButton(button, false); }

void XProbe::fakeButton(int button, bool down) {
    if (!dpy_) return;
    XTestFakeButtonEvent(dpy_, unsigned(button), down ? True : False, CurrentTime);
    sync();
    // A window manager's press grab freezes the pointer until it lets the
    // press on; the server moves the pointer at once for a motion made
    // meanwhile, but the buttons only in turn. Wait until the server has
    // the button as asked, so that what follows happens after it.
    const unsigned mask = button >= 1 && button <= 5 ? Button1Mask << (button - 1) : 0;
    if (!mask) return;
    for (int i = 0; i < 2000; ++i) {
        ::Window r = 0, child = 0;
        int rx = 0, ry = 0, wx = 0, wy = 0;
        unsigned state = 0;
        XQueryPointer(dpy_, root(), &r, &child, &rx, &ry, &wx, &wy, &state);
        if (bool(state & mask) == down) return;
        usleep(1000);
    }
}

void XProbe::click(int button) {
    press(button);
    release(button);
}

void XProbe::clickAt(::Window w, int x, int y, int button) {
    moveTo(w, x, y);
    click(button);
}

void XProbe::wheel(int steps) {
    for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) click(steps > 0 ? 4 : 5);
}

unsigned char XProbe::keycodeFor(XKeySym sym, bool* needsShift) {
    *needsShift = false;
    KeyCode code = XKeysymToKeycode(dpy_, sym);
    if (code) {
        int per = 0;
        KeySym* syms = XGetKeyboardMapping(dpy_, code, 1, &per);
        if (syms) {
            *needsShift = per > 1 && syms[0] != sym && syms[1] == sym;
            XFree(syms);
        }
        return code;
    }
    // Not on the keyboard: bind it to a key that has no symbols.
    int minCode = 0, maxCode = 0;
    XDisplayKeycodes(dpy_, &minCode, &maxCode);
    int per = 0;
    KeySym* map = XGetKeyboardMapping(dpy_, KeyCode(minCode), maxCode - minCode + 1, &per);
    if (!map) return 0;
    for (int c = maxCode; c >= minCode && !code; --c) {
        bool empty = true;
        for (int i = 0; i < per && empty; ++i) empty = map[(c - minCode) * per + i] == NoSymbol;
        if (empty) code = KeyCode(c);
    }
    XFree(map);
    if (!code) return 0;
    KeySym pair[2] = {sym, sym};
    XChangeKeyboardMapping(dpy_, code, 2, pair, 1);
    sync();
    return code;
}

void XProbe::fakeKey(unsigned char code, bool down) {
    XTestFakeKeyEvent(dpy_, code, down ? True : False, CurrentTime);
    sync();
}

bool XProbe::keyDown(XKeySym sym) { return symKey(sym, true); }

bool XProbe::keyUp(XKeySym sym) { return symKey(sym, false); }

bool XProbe::symKey(XKeySym sym, bool down) {
    bool shift = false;
    unsigned char code = dpy_ ? keycodeFor(sym, &shift) : 0;
    if (!code) return false;
    fakeKey(code, down);
    return true;
}

bool XProbe::key(XKeySym sym, unsigned modifiers) {
    if (!dpy_) return false;
    bool shift = false;
    KeyCode code = keycodeFor(sym, &shift);
    if (!code) return false;
    if (shift) modifiers |= ShiftMask;
    static const std::pair<unsigned, KeySym> kModifierKeys[] = {
        {ShiftMask, XK_Shift_L}, {ControlMask, XK_Control_L}, {Mod1Mask, XK_Alt_L}, {Mod4Mask, XK_Super_L}};
    std::vector<KeyCode> held;
    for (auto [mask, modSym] : kModifierKeys) {
        if (!(modifiers & mask)) continue;
        KeyCode m = XKeysymToKeycode(dpy_, modSym);
        if (!m) continue;
        fakeKey(m, true);
        held.push_back(m);
    }
    fakeKey(code, true);
    fakeKey(code, false);
    for (auto it = held.rbegin(); it != held.rend(); ++it) fakeKey(*it, false);
    return true;
}

bool XProbe::type(const std::string& latin1) {
    for (unsigned char c : latin1) {
        KeySym sym = c == '\n' ? XK_Return : c == '\t' ? XK_Tab : KeySym(c);
        if (!key(sym)) return false;
    }
    return true;
}

// ---- read-back

::Window XProbe::findWindow(const std::string& title) {
    if (!dpy_) return 0;
    std::vector<::Window> todo = {root()};
    while (!todo.empty()) {
        ::Window w = todo.back();
        todo.pop_back();
        char* name = nullptr;
        if (XFetchName(dpy_, w, &name) && name) {
            bool match = title == name;
            XFree(name);
            if (match) return w;
        }
        ::Window rootWin, parent, *kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy_, w, &rootWin, &parent, &kids, &n)) continue;
        // Reversed, so the first child is looked at first.
        for (unsigned i = n; i > 0; --i) todo.push_back(kids[i - 1]);
        if (kids) XFree(kids);
    }
    return 0;
}

std::vector<::Window> XProbe::popups() {
    std::vector<::Window> out;
    ::Window rootWin = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    if (!dpy_ || !XQueryTree(dpy_, root(), &rootWin, &parent, &kids, &n)) return out;
    // A window manager's own check window is one too, off the screen.
    auto check = property(root(), "_NET_SUPPORTING_WM_CHECK").items;
    for (unsigned i = 0; i < n; ++i) {
        XWindowAttributes a{};
        if (XGetWindowAttributes(dpy_, kids[i], &a) && a.override_redirect && a.map_state == IsViewable &&
            (check.empty() || kids[i] != check[0]))
            out.push_back(kids[i]);
    }
    if (kids) XFree(kids);
    return out;
}

std::optional<XProbe::Geometry> XProbe::geometry(::Window w) {
    if (!dpy_ || !w) return std::nullopt;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy_, w, &a)) return std::nullopt;
    int x = 0, y = 0;
    ::Window child = 0;
    if (!XTranslateCoordinates(dpy_, w, root(), 0, 0, &x, &y, &child)) return std::nullopt;
    return Geometry{x, y, a.width, a.height};
}

XProbe::MapState XProbe::mapState(::Window w) {
    if (!dpy_ || !w) return Gone;
    XWindowAttributes a{};
    if (!XGetWindowAttributes(dpy_, w, &a)) return Gone;
    return MapState(a.map_state);
}

XProbe::Image XProbe::capture(::Window w, int x, int y, int width, int height) {
    Image out;
    if (!dpy_ || !w || width <= 0 || height <= 0) return out;
    XImage* img = XGetImage(dpy_, w, x, y, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    sync();
    if (!img) return out;
    out.width = width;
    out.height = height;
    out.pixels.resize(size_t(width) * size_t(height));
    for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col)
            out.pixels[size_t(row) * size_t(width) + size_t(col)] = rgbOf(img, XGetPixel(img, col, row));
    XDestroyImage(img);
    return out;
}

XProbe::Image XProbe::capture(::Window w) {
    auto g = geometry(w);
    return g ? capture(w, 0, 0, g->width, g->height) : Image{};
}

XProbe::Image XProbe::captureRoot() { return capture(root()); }

uint32_t XProbe::pixel(::Window w, int x, int y) {
    Image one = capture(w, x, y, 1, 1);
    return one.empty() ? 0 : one.pixels[0];
}

XProbe::Cursor XProbe::cursor() {
    Cursor out;
    if (!dpy_) return out;
    int ev = 0, err = 0;
    if (!XFixesQueryExtension(dpy_, &ev, &err)) return out;
    XFixesCursorImage* c = XFixesGetCursorImage(dpy_);
    if (!c) return out;
    out.width = c->width;
    out.height = c->height;
    out.xhot = c->xhot;
    out.yhot = c->yhot;
    out.serial = c->cursor_serial;
    if (c->name) out.name = c->name;
    out.argb.resize(size_t(c->width) * size_t(c->height));
    // The library hands each 32-bit pixel in an unsigned long.
    for (size_t i = 0; i < out.argb.size(); ++i) out.argb[i] = uint32_t(c->pixels[i]);
    XFree(c);
    return out;
}

std::pair<int, int> XProbe::pointer() {
    if (!dpy_) return {0, 0};
    ::Window r = 0, child = 0;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    XQueryPointer(dpy_, root(), &r, &child, &rx, &ry, &wx, &wy, &mask);
    return {rx, ry};
}

bool XProbe::hasWindowManager() {
    auto check = property(root(), "_NET_SUPPORTING_WM_CHECK").items;
    return check.size() == 1 && property(check[0], "_NET_SUPPORTING_WM_CHECK").items == check;
}

void XProbe::settleWindowManager() {
    if (dpy_) XvfbServer::settleWindowManager(dpy_);
}

::Window XProbe::topLevelOf(::Window w) {
    if (!dpy_ || !w) return 0;
    for (;;) {
        ::Window rootWin = 0, parent = 0, *kids = nullptr;
        unsigned n = 0;
        if (!XQueryTree(dpy_, w, &rootWin, &parent, &kids, &n)) return 0;
        if (kids) XFree(kids);
        if (parent == rootWin || !parent) return w;
        w = parent;
    }
}

bool XProbe::above(::Window a, ::Window b) {
    ::Window ta = topLevelOf(a), tb = topLevelOf(b);
    ::Window rootWin = 0, parent = 0, *kids = nullptr;
    unsigned n = 0;
    if (!ta || !tb || !XQueryTree(dpy_, root(), &rootWin, &parent, &kids, &n)) return false;
    int ia = -1, ib = -1;  // bottom to top
    for (unsigned i = 0; i < n; ++i) {
        if (kids[i] == ta) ia = int(i);
        if (kids[i] == tb) ib = int(i);
    }
    if (kids) XFree(kids);
    return ia >= 0 && ib >= 0 && ia > ib;
}

void XProbe::askToClose(::Window w) {
    if (!dpy_ || !w) return;
    XEvent ev{};
    ev.xclient.type = ClientMessage;
    ev.xclient.window = w;
    ev.xclient.message_type = XInternAtom(dpy_, "WM_PROTOCOLS", False);
    ev.xclient.format = 32;
    ev.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy_, "WM_DELETE_WINDOW", False));
    ev.xclient.data.l[1] = CurrentTime;
    XSendEvent(dpy_, w, False, NoEventMask, &ev);
    XSync(dpy_, False);
}

XProbe::Property XProbe::property(::Window w, const std::string& name) {
    Property out;
    if (!dpy_ || !w) return out;
    Atom a = XInternAtom(dpy_, name.c_str(), True);
    if (a == 0) return out;
    Atom type = 0;
    int format = 0;
    unsigned long n = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(dpy_, w, a, 0, 1 << 20, False, AnyPropertyType, &type, &format, &n, &after, &data) !=
            Success ||
        type == 0) {
        if (data) XFree(data);
        return out;
    }
    out.type = atomName(type);
    if (format == 8)
        out.bytes.assign(reinterpret_cast<char*>(data), n);
    else if (format == 32)
        out.items.assign(reinterpret_cast<unsigned long*>(data), reinterpret_cast<unsigned long*>(data) + n);
    else if (format == 16)
        for (unsigned long i = 0; i < n; ++i) out.items.push_back(reinterpret_cast<unsigned short*>(data)[i]);
    if (data) XFree(data);
    return out;
}

std::string XProbe::atomName(unsigned long atom) {
    if (!dpy_ || !atom) return "";
    char* n = XGetAtomName(dpy_, atom);
    if (!n) return "";
    std::string out = n;
    XFree(n);
    return out;
}

bool XProbe::savePng(const Image& img, const std::string& path) {
    return !img.empty() && RAST_WritePng(path, RAST_PngFromXRGB(img.pixels.data(), img.width, img.height));
}

}  // namespace hvtest
