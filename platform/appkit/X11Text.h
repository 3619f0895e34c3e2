#pragma once
// Text in the X11 backend's own windows (pop-up menus, the menu bar, alerts,
// the line editor): UTF-8 laid out and rendered by CoreText in the toolkit's
// system font, anti-aliased as in the toolkit's other windows, and put on
// the window over the solid colour already painted beneath it.

// Ours first: Xlib defines None, which our enumerations use.
#include "platform/coretext/CTFont.h"

#include <X11/Xlib.h>

#include <string>

namespace platform::appkit {

class X11Text {
public:
    // The size of the controls' system font.
    static constexpr double kSize = 13;

    // For windows of the visual and depth given.
    X11Text(Display* d, Visual* visual, int depth, double size = kSize);
    ~X11Text();
    X11Text(const X11Text&) = delete;
    X11Text& operator=(const X11Text&) = delete;

    // Whole pixels, rounded up.
    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    // Advance of the text in pixels, rounded to the nearest; malformed bytes
    // count as one replacement character each.
    int width(const std::string& utf8) const;
    // The longest head of the text that ends on a whole character and is at
    // most `room` pixels wide.
    std::string fit(const std::string& utf8, int room) const;
    // Draws the text with its pen at x on the baseline, in fg over bg (both
    // 0xRRGGBB, the backend's pixel values).
    void draw(Drawable d, GC gc, int x, int baseline, const std::string& utf8, unsigned long fg,
              unsigned long bg) const;

private:
    Display* dpy_;
    Visual* visual_;
    int depth_;
    CTFontRef font_;
    int ascent_ = 0, descent_ = 0;
};

}  // namespace platform::appkit
