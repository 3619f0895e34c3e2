#pragma once
// The standard button, drawn flat: a push button (its bezel a plain or a
// square face), a check box (switch) with an optional mixed state, a radio
// button, with a title, an image and a title colour. A click toggles a
// switch, sets a radio button and sends the action.

#include <memory>

#include "platform/appkit/Controls.h"
#include "platform/controls/Painter.h"

namespace platform::controls {

class Button;

// Draws a button in place of its own drawing (an owner-drawn cell).
class ButtonCell {
public:
    virtual ~ButtonCell() = default;
    virtual void drawWithFrame(Painter& p, const FRect& frame, Button* control) = 0;
    virtual bool isTransparent() const { return false; }
};

class Button : public appkit::Button {
public:
    // Bezel styles, as the Mac numbers them.
    enum Bezel { kBezelRounded = 1, kBezelShadowlessSquare = 6 };
    // Where the image (or a check box's square) stands beside the title.
    enum ImagePosition { kNoImage = 0, kImageOnly = 1, kImageLeft = 2, kImageRight = 3 };

    explicit Button(appkit::Rect frame = {});
    ~Button() override;

    int bezelStyle() const { return bezel_; }
    void setBezelStyle(int b);
    int imagePosition() const { return imagePosition_; }
    void setImagePosition(int p);
    // The picture shown; retained. Null shows none.
    CGImageRef imageRef() const { return imageRef_; }
    void setImageRef(CGImageRef image);
    // Replaces the drawing with the cell's; null gives the button its own back.
    void setCell(std::unique_ptr<ButtonCell> cell);
    ButtonCell* cell() const { return cell_.get(); }
    bool isHighlighted() const { return highlighted_; }

    // A click as the user makes it: the next state, then the action.
    virtual void performClick();
    // The state a click gives: a switch goes off, on, then mixed when it
    // allows it; a radio button goes on; a push button keeps its state.
    int nextState() const;

    void sizeToFit() override;
    bool acceptsFirstResponder() const override { return false; }
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override;
    void mouseDown(const appkit::Event& e) override;
    void mouseDragged(const appkit::Event& e) override;
    void mouseUp(const appkit::Event& e) override;
    bool performKeyEquivalent(const appkit::Event& e) override;

protected:
    // The content of a push button's face, for kinds that draw their own face.
    virtual void drawFace(Painter& p, const FRect& r);
    Color titleColour() const;

private:
    void drawCheck(Painter& p, const FRect& r);
    bool inside(const appkit::Event& e) const;

    int bezel_ = kBezelRounded;
    int imagePosition_ = kImageLeft;
    CGImageRef imageRef_ = nullptr;
    std::unique_ptr<ButtonCell> cell_;
    bool highlighted_ = false;
    bool tracking_ = false;
};

}  // namespace platform::controls
