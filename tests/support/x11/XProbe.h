#pragma once
// A second connection to a test X server: it drives input as a person would
// (through the XTest extension, so events reach whatever window is under the
// pointer, with real timestamps and grabs) and reads back what the program
// under test shows: pixels, window geometry, map state and the cursor image.
//
//   hvtest::XProbe x(hvtest::XvfbServer::shared().display());
//   XWindow w = 0;
//   ASSERT_TRUE(hvtest::waitUntil([&] { return (w = x.findWindow("Title")) != 0 && x.viewable(w); }));
//   x.clickAt(w, 60, 60);
//   EXPECT_TRUE(hvtest::waitUntil([&] { return x.pixel(w, 60, 60) == 0xFF8C00; }));
//
// Every input call returns once the server has handled it (XSync; a button
// once the server holds it as pressed or released, after any window
// manager's grab let it on); the program under test sees it some time
// later, so wait for its effect with waitUntil. X errors on this connection (a window that has gone, say) are
// recorded, never fatal: reads then give 0, empty or nothing.
//
// The header leaves the X headers out (their macros, None among them, break
// GoogleTest's when included first): a window is an XWindow, a keysym an
// XKeySym, both the plain numbers Xlib uses.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;
typedef unsigned long XWindow;
typedef unsigned long XKeySym;

namespace hvtest {

class XProbe {
public:
    explicit XProbe(const std::string& display);
    ~XProbe();
    XProbe(const XProbe&) = delete;
    XProbe& operator=(const XProbe&) = delete;

    bool ok() const { return dpy_ != nullptr; }
    Display* display() const { return dpy_; }
    XWindow root() const;

    // ---- input (XTest)
    void moveTo(int rootX, int rootY);
    void moveTo(XWindow w, int x, int y);  // window coordinates
    void press(int button = 1);            // 1 left, 2 middle, 3 right
    void release(int button = 1);
    void click(int button = 1);  // press and release where the pointer is
    void clickAt(XWindow w, int x, int y, int button = 1);
    // One wheel click per step: positive turns up (button 4), negative down (5).
    void wheel(int steps);
    // A key by keysym (XK_Return, XK_a, XK_A, XK_eacute...), pressed and
    // released with the modifier masks (ShiftMask, ControlMask, Mod1Mask for
    // Alt, Mod4Mask for Super) held around it. A keysym that needs Shift on
    // the keyboard gets it; one missing from the keyboard is bound to a spare
    // key first (programs see the new binding once they handle MappingNotify
    // with XRefreshKeyboardMapping, as Xlib programs should). False when
    // neither works.
    bool key(XKeySym sym, unsigned modifiers = 0);
    bool keyDown(XKeySym sym);
    bool keyUp(XKeySym sym);
    // Types Latin-1 text key by key.
    bool type(const std::string& latin1);

    // ---- read-back
    struct Geometry {
        int x = 0, y = 0, width = 0, height = 0;  // x, y: on the root window
        bool operator==(const Geometry&) const = default;
    };
    struct Image {
        int width = 0, height = 0;
        std::vector<uint32_t> pixels;  // 0xRRGGBB, rows top to bottom
        uint32_t at(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
        bool empty() const { return pixels.empty(); }
    };
    struct Cursor {
        int width = 0, height = 0, xhot = 0, yhot = 0;
        std::vector<uint32_t> argb;  // premultiplied 0xAARRGGBB, rows top to bottom
        std::string name;            // the cursor's name when it has one
        unsigned long serial = 0;    // changes whenever the cursor image does
    };

    // The first window, depth first from the root, whose WM_NAME is title; 0 if none.
    XWindow findWindow(const std::string& title);
    // The windows the X server maps on their own behalf (pop-up menus:
    // override-redirect) that show now, bottom to top; not a window
    // manager's own.
    std::vector<XWindow> popups();
    std::optional<Geometry> geometry(XWindow w);
    // Xlib's map states, and Gone for a window that does not exist.
    enum MapState { Gone = -1, Unmapped = 0, Unviewable = 1, Viewable = 2 };
    MapState mapState(XWindow w);
    bool viewable(XWindow w) { return mapState(w) == Viewable; }
    // 0xRRGGBB at a window point; 0 outside or for a window not viewable.
    uint32_t pixel(XWindow w, int x, int y);
    Image capture(XWindow w);  // the whole window
    Image capture(XWindow w, int x, int y, int width, int height);
    Image captureRoot();
    // The cursor the pointer shows now (XFixes).
    Cursor cursor();
    // The pointer on the root window.
    std::pair<int, int> pointer();

    // ---- the window manager and properties
    // Whether a window manager has taken the screen (_NET_SUPPORTING_WM_CHECK).
    bool hasWindowManager();
    // Waits until the window manager has handled what came before.
    void settleWindowManager();
    // The root's child that holds the window: its frame under a reparenting
    // window manager, the window itself on a bare server; 0 if gone.
    XWindow topLevelOf(XWindow w);
    // Whether a's top-level stands above b's on the screen.
    bool above(XWindow a, XWindow b);
    // Asks the window's client to close it, as a window manager's close
    // button does (WM_DELETE_WINDOW).
    void askToClose(XWindow w);
    // A property as the server holds it: its type's name ("" when unset),
    // its bytes (8-bit formats) or its items (32-bit formats).
    struct Property {
        std::string type;
        std::string bytes;
        std::vector<unsigned long> items;
    };
    Property property(XWindow w, const std::string& name);
    std::string atomName(unsigned long atom);

    // Writes an image as an RGB PNG; false when it cannot.
    static bool savePng(const Image& img, const std::string& path);

private:
    unsigned char keycodeFor(XKeySym sym, bool* needsShift);
    void fakeKey(unsigned char code, bool down);
    void fakeButton(int button, bool down);
    bool symKey(XKeySym sym, bool down);
    void sync();

    Display* dpy_ = nullptr;
};

}  // namespace hvtest
