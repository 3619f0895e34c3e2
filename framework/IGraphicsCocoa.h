// The panel's view: it shows the panel's surface and hands the window's
// mouse and key events to the panel in panel coordinates.
#pragma once

#include "framework/IGraphicsStructs.h"
#include "platform/appkit/View.h"

class IGraphicsMac;

class IGraphicsCocoa : public platform::appkit::View {
public:
    IGraphicsCocoa(IGraphicsMac* graphics, platform::appkit::Rect frame);
    ~IGraphicsCocoa() override;

    void drawRect(platform::appkit::Canvas& canvas, const platform::appkit::Rect& dirty) override;
    void mouseDown(const platform::appkit::Event& e) override;
    void mouseUp(const platform::appkit::Event& e) override;
    void mouseDragged(const platform::appkit::Event& e) override;
    void mouseMoved(const platform::appkit::Event& e) override;
    void mouseExited(const platform::appkit::Event& e) override;
    void scrollWheel(const platform::appkit::Event& e) override;
    bool keyDown(const platform::appkit::Event& e) override;
    bool acceptsFirstResponder() const override { return true; }

    // The panel's key code of a key event, or KEY_NONE.
    static int KeyCodeOf(const platform::appkit::Event& e);
    static IMouseMod ModOf(const platform::appkit::Event& e);

private:
    IGraphicsMac* mGraphics;
};
