#pragma once
// Mouse cursors and the pointer: the platform's standard cursors, cursors
// made from an image and a hot spot, the application's current cursor,
// hiding, warping, and the pointer's position, buttons and the modifier keys
// held right now.
//
// Screen positions are the platform's: origin at the lower-left of the main
// display, y upward, in points. Warping counts y from the display's top.

#include <cstdint>
#include <vector>

#include "platform/appkit/Geometry.h"

namespace platform::appkit {

struct PointF {
    double x = 0;
    double y = 0;
};

// Straight (not premultiplied) 0xAARRGGBB words, row after row.
struct CursorImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> argb;
};

class Cursor {
public:
    enum class Shape { Arrow, IBeam, ResizeLeftRight, ResizeUpDown, ResizeUp, OpenHand, Image };

    // The platform's own cursors: they live as long as the process.
    static Cursor* arrow();
    static Cursor* iBeam();
    static Cursor* resizeLeftRight();
    static Cursor* resizeUpDown();
    static Cursor* resizeUp();
    static Cursor* openHand();

    // A cursor showing the image with its hot spot (clamped into the image).
    Cursor(CursorImage image, Point hotSpot);
    // A current cursor being destroyed leaves the arrow current.
    ~Cursor();
    Cursor(const Cursor&) = delete;
    Cursor& operator=(const Cursor&) = delete;

    // Whether the pointer is a cursor that exists now.
    static bool isLive(const Cursor* c);

    Shape shape() const { return shape_; }
    const CursorImage& image() const { return image_; }
    Point hotSpot() const { return hotSpot_; }

    // Makes it the application's current cursor, shown over its windows.
    void set();
    static Cursor* current();

    // The cursor on the main display (not counted: one hide, one unhide).
    static void hide();
    static void unhide();
    static bool isHidden();
    // Dissociated, moving the mouse leaves the cursor where it is; moves
    // still report their deltas.
    static void associateMouse(bool associated);
    static bool isMouseAssociated();
    // Moves the cursor to (x, y), y counted from the main display's top.
    static bool warp(double x, double yFromTop);
    // The pointer's screen position (y upward).
    static PointF mouseLocation();
    // Buttons held now: bit 0 left, bit 1 right, bit 2 middle.
    static uint32_t pressedMouseButtons();
    // Modifier keys held now, as event modifier flags.
    static uint32_t modifierFlags();
    // The height of the main display (0 without one).
    static double mainDisplayHeight();

private:
    explicit Cursor(Shape s) : shape_(s) {}
    static Cursor* standard(Shape s);
    Shape shape_;
    CursorImage image_;
    Point hotSpot_;
};

// The window system's side of cursors and pointer.
class CursorSystem {
public:
    virtual ~CursorSystem() = default;
    virtual void apply(const Cursor* c) = 0;  // becomes what the windows show
    virtual void release(const Cursor* c) {}  // a cursor is going away
    virtual void setHidden(bool hidden) = 0;
    virtual void setAssociated(bool associated) = 0;
    virtual bool warp(double x, double yFromTop) = 0;
    virtual PointF location() = 0;
    virtual uint32_t buttons() = 0;
    virtual uint32_t modifiers() = 0;
    virtual double displayHeight() = 0;
};

// The headless session's pointer and keys: tests set them.
class HeadlessCursorSystem : public CursorSystem {
public:
    void apply(const Cursor* c) override { shown = c; }
    void release(const Cursor* c) override {
        if (shown == c) shown = nullptr;
    }
    void setHidden(bool h) override { hidden = h; }
    void setAssociated(bool a) override { associated = a; }
    bool warp(double x, double yFromTop) override;
    PointF location() override { return pointer; }
    uint32_t buttons() override { return pressedButtons; }
    uint32_t modifiers() override { return modifierFlags; }
    double displayHeight() override { return height; }

    const Cursor* shown = nullptr;
    bool hidden = false;
    bool associated = true;
    PointF pointer;
    uint32_t pressedButtons = 0;
    uint32_t modifierFlags = 0;
    double height = 1080;
    int warps = 0;
};

}  // namespace platform::appkit
