#pragma once
// Drawing of the standard controls into the part of the window's backing
// store a view is redrawing, in the view's own coordinates (top-left origin,
// y downward): the few shapes and the text the flat look needs. Shapes go
// through a CoreGraphics context over the backing store, made when first
// needed; text is laid out and rendered by CoreText and its coverage laid
// over the pixels; opaque rectangles on whole pixels are filled directly.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/appkit/Canvas.h"
#include "platform/appkit/Controls.h"
#include "platform/coregraphics/CoreGraphics.h"
#include "platform/coretext/CTFont.h"

namespace platform::controls {

using appkit::Color;
using appkit::Font;
using appkit::FPoint;
using appkit::FRect;
using appkit::TextAlignment;

// A colour from 0x00RRGGBB.
Color rgb(uint32_t v);

// The flat look's colours.
namespace look {
constexpr uint32_t kFace = 0xE4E4E4;         // button and header faces
constexpr uint32_t kFacePressed = 0xC4C4C4;  // a button held down
constexpr uint32_t kEdge = 0x8A8A8A;         // outlines
constexpr uint32_t kEdgeLight = 0xB8B8B8;    // dividers, grid
constexpr uint32_t kField = 0xFFFFFF;        // text and list backgrounds
constexpr uint32_t kText = 0x101010;
constexpr uint32_t kTextDisabled = 0x8C8C8C;
constexpr uint32_t kAccent = 0x2F6FCF;        // focus rings, default buttons, selection
constexpr uint32_t kSelection = 0xB4D0F8;     // selected text
constexpr uint32_t kSelectionDim = 0xD4D4D4;  // selection without the focus
constexpr uint32_t kTrack = 0xC0C0C0;         // slider and scroller tracks
constexpr uint32_t kKnob = 0x9C9C9C;          // scroller knobs
}  // namespace look

// Fonts of the controls, made once per name and size.
CTFontRef fontFor(const Font& f);
double textWidth(const Font& f, const std::u32string& text);
double textWidth(const Font& f, const std::string& utf8);
double lineHeight(const Font& f);  // ascent + descent + leading, rounded up
double ascentOf(const Font& f);
std::u32string toU32(const std::string& utf8);
std::string toUtf8(const std::u32string& text);

// Breaks text into lines no wider than width: after each line feed (which
// ends its line and is not part of it) and, where a character would pass the
// width, after the last blank of the line, else before that character.
struct TextLine {
    int start, end;
};
std::vector<TextLine> breakLines(const Font& f, const std::u32string& text, double width);

class Painter {
public:
    // Over a view's canvas (as View::drawRect gets it), clipped to its area.
    explicit Painter(appkit::Canvas& canvas);
    ~Painter();
    Painter(const Painter&) = delete;
    Painter& operator=(const Painter&) = delete;

    bool ok() const { return pixels_ != nullptr; }
    // The CoreGraphics context in the painter's present state (view
    // coordinates, clipped); null when none can be made.
    CGContextRef context();

    void save();
    void restore();
    void clip(const FRect& r);
    void translate(double dx, double dy);

    void fill(const FRect& r, const Color& c);
    void fill(const FRect& r, uint32_t rgb) { fill(r, controls::rgb(rgb)); }
    // A line of the given width just inside the rectangle.
    void frame(const FRect& r, const Color& c, double width = 1);
    void frame(const FRect& r, uint32_t rgb, double width = 1) { frame(r, controls::rgb(rgb), width); }
    void line(FPoint a, FPoint b, uint32_t rgb, double width = 1);
    void fillPolygon(const std::vector<FPoint>& points, uint32_t rgb);
    void strokePolyline(const std::vector<FPoint>& points, uint32_t rgb, double width);
    void fillEllipse(const FRect& r, uint32_t rgb);
    void strokeEllipse(const FRect& r, uint32_t rgb, double width = 1);
    void drawImage(const FRect& r, CGImageRef image);

    // One line of text in the box: aligned across as asked, centred
    // vertically, cut off at the box.
    void text(const std::u32string& s, const FRect& box, const Font& f, const Color& c, TextAlignment align);
    void text(const std::string& utf8, const FRect& box, const Font& f, const Color& c, TextAlignment align) {
        text(toU32(utf8), box, f, c, align);
    }
    // Text starting on a baseline at (x, baseline).
    void textAt(const std::u32string& s, double x, double baseline, const Font& f, const Color& c);

private:
    // Where view coordinates stand in the backing store, and what may be
    // drawn there (backing-store pixels).
    struct State {
        double dx = 0, dy = 0;
        appkit::Rect clip;
    };
    // Sets the context to the present state.
    void sync();

    uint32_t* pixels_ = nullptr;
    int width_ = 0, height_ = 0;
    State state_;
    std::vector<State> saved_;
    CGContextRef ctx_ = nullptr;
    bool ctxInSync_ = false;
};

}  // namespace platform::controls
