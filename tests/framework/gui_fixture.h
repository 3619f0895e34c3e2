#pragma once
// A small panel for the GUI tests: a plug-in with a few parameters, its
// graphics opened into a headless window, and bitmaps made in memory.

#include <memory>
#include <vector>

#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphicsCocoa.h"
#include "framework/IGraphicsMac.h"
#include "framework/IGraphicsRaster.h"
#include "framework/IUnitBase.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "raster/RAST_Bitmap.h"

namespace guitest {

enum { kKnob, kRadio, kSwitch, kText, kFader, kCaption, kNParams };

class TestPlug : public IUnitBase {
public:
    TestPlug() : IUnitBase(config(), kNParams) {
        GetParam(kKnob)->InitDouble("Knob", 0.0, 0.0, 100.0, 1.0);
        GetParam(kRadio)->InitEnum("Radio", 0, 4);
        for (int i = 0; i < 4; ++i) GetParam(kRadio)->SetDisplayText(i, (std::string("r") + char('0' + i)).c_str());
        GetParam(kSwitch)->InitBool("Switch", false);
        GetParam(kText)->InitEnum("Name", 0, 1);
        GetParam(kText)->InitText();
        GetParam(kText)->SetDisplayText(0, "INIT");
        GetParam(kFader)->InitDouble("Fader", 0.0, 0.0, 1.0, 0.01);
        GetParam(kCaption)->InitDouble("Level", 5.0, 0.0, 10.0, 1.0, "dB");
    }
    void OnParamChange(int i) override { changes.push_back(i); }
    void OnParamChange2(int i) override { changes2.push_back(i); }
    std::vector<int> changes, changes2;

private:
    static IUnitConfig config() {
        IUnitConfig c;
        c.effectName = "GuiTest";
        return c;
    }
};

// An opaque raster colour.
inline unsigned int rgb(int r, int g, int b) { return IColor(255, r, g, b).ToWord(); }
// The window's form of the same colour.
inline uint32_t screen(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }

// A strip of n frames of w x h, frame i filled with colours[i], stacked or side by side.
inline IBitmap makeStrip(std::vector<std::unique_ptr<RAST_MemBitmap>>& keep, int w, int h,
                         std::vector<unsigned int> colours, bool horizontal = false) {
    int n = static_cast<int>(colours.size());
    int W = horizontal ? w * n : w, H = horizontal ? h : h * n;
    auto bmp = std::make_unique<RAST_MemBitmap>(W, H, 4);
    unsigned int* bits = bmp->getBits();
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) bits[y * bmp->getRowSpan() + x] = colours[horizontal ? x / w : y / h];
    IBitmap b(bmp.get(), W, H, n, horizontal);
    keep.push_back(std::move(bmp));
    return b;
}

// A control that records what reaches it.
class Recorder : public IControl {
public:
    Recorder(IUnitBase* p, IRECT r) : IControl(p, r) {}
    void OnMouseDown(int x, int y, IMouseMod* m) override { log += "down "; }
    void OnMouseUp(int x, int y, IMouseMod* m) override { log += "up "; }
    void OnMouseDrag(int x, int y, int dX, int dY, IMouseMod* m) override {
        log += "drag" + std::to_string(dX) + "," + std::to_string(dY) + " ";
    }
    void OnMouseDblClick(int x, int y, IMouseMod* m) override { log += "dbl "; }
    void OnMouseWheel(int x, int y, IMouseMod* m, int d) override { log += "wheel" + std::to_string(d) + " "; }
    bool OnKeyDown(int x, int y, int key) override {
        log += "key" + std::to_string(key) + " ";
        return true;
    }
    void OnMouseOver(int x, int y, IMouseMod* m) override { overs++; }
    void OnMouseOut() override { log += "out "; }
    bool Draw(IGraphics*) override {
        ++draws;
        return true;
    }
    std::string log;
    int draws = 0, overs = 0;
};

// The panel opened into a headless window of its size.
struct Panel {
    platform::appkit::HeadlessBackend* backend;
    TestPlug plug;
    IGraphicsMac* g;
    std::unique_ptr<platform::appkit::Window> window;

    explicit Panel(int w = 200, int h = 100) {
        backend = new platform::appkit::HeadlessBackend;
        platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));
        g = new IGraphicsMac(&plug, w, h);
        plug.AttachGraphics(g);
        window = std::make_unique<platform::appkit::Window>(platform::appkit::Size{w, h}, "panel");
    }
    ~Panel() {
        g->CloseWindow();
        window.reset();
    }
    void open() {
        g->OpenWindow(window->contentView());
        window->display();
    }
    // One 25-per-second tick.
    void tick() { g->OnTimer(); }

    using EV = platform::appkit::EventType;
    void press(int x, int y, bool right = false, int clicks = 1) {
        auto b = right ? platform::appkit::MouseButton::Right : platform::appkit::MouseButton::Left;
        window->sendEvent(platform::appkit::Event::mouse(EV::MouseDown, {x, y}, b, clicks));
    }
    void release(int x, int y, bool right = false) {
        auto b = right ? platform::appkit::MouseButton::Right : platform::appkit::MouseButton::Left;
        window->sendEvent(platform::appkit::Event::mouse(EV::MouseUp, {x, y}, b));
    }
    void click(int x, int y, bool right = false) {
        press(x, y, right);
        release(x, y, right);
    }
    void drag(int x, int y, bool shift = false) {
        auto e = platform::appkit::Event::mouse(EV::MouseDragged, {x, y});
        e.modifiers.shift = shift;
        window->sendEvent(e);
    }
    void doubleClick(int x, int y) {
        click(x, y);
        press(x, y, false, 2);
        release(x, y);
    }
    void wheel(int x, int y, float d) { window->sendEvent(platform::appkit::Event::wheel({x, y}, d)); }
    void key(int x, int y, platform::appkit::Key k, char32_t c = 0) {
        window->sendEvent(platform::appkit::Event::keyDown({x, y}, k, c));
    }
    uint32_t pixel(int x, int y) const { return window->pixelAt(x, y); }
};

}  // namespace guitest
