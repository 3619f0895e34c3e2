// A test plug-in with a small panel: a switch, a knob and a fader drawn from
// bitmaps made in memory, for a host to show in a window. It prints every
// parameter change, so a test sees what a click did.
#include <cstdio>
#include <memory>

#include "framework/IControl.h"
#include "framework/IGraphicsMac.h"
#include "framework/IUnitAU.h"
#include "raster/RAST_Bitmap.h"
#include "raster/RAST_Rect.h"

namespace {

constexpr int kW = 360, kH = 160;
enum { kSwitch, kKnob, kFader, kNParams };

unsigned int colour(int r, int g, int b) { return IColor(255, r, g, b).ToWord(); }

// n stacked frames of w x h; draw(frame, bitmap, top) paints one.
template <class F>
RAST_MemBitmap* frames(int w, int h, int n, F draw) {
    auto* b = new RAST_MemBitmap(w, h * n, 4);
    for (int i = 0; i < n; ++i) draw(i, b, i * h);
    return b;
}

class Background : public IControl {
public:
    Background(IUnitBase* p) : IControl(p, IRECT(0, 0, kW, kH)) {}
    bool Draw(IGraphics* g) override {
        IColor bg(255, 40, 44, 52), strip(255, 60, 66, 78);
        IRECT top(0, 0, kW, 8);
        g->FillIRect(&bg, &mRECT);
        return g->FillIRect(&strip, &top);
    }
};

class TestPanel : public IUnitAU {
public:
    explicit TestPanel(const IUnitInstanceInfo& info) : IUnitAU(info, config(), kNParams) {
        GetParam(kSwitch)->InitBool("Switch", false);
        GetParam(kKnob)->InitDouble("Knob", 0.0, 0.0, 127.0, 1.0);
        GetParam(kFader)->InitDouble("Fader", 0.0, 0.0, 127.0, 1.0);

        IGraphics* g = MakeGraphics(this, kW, kH);
        AttachGraphics(g);
        // Switch: grey off, orange on, 60 x 40.
        mSwitch.reset(frames(60, 40, 2, [](int i, RAST_MemBitmap* b, int y) {
            RAST_FillRect(b, 0, y, 60, 40, colour(20, 20, 20), 1.0f, 0);
            RAST_FillRect(b, 2, y + 2, 56, 36, i ? colour(255, 140, 0) : colour(110, 110, 110), 1.0f, 0);
        }));
        // Knob: 32 frames, a bar that grows with the value.
        mKnob.reset(frames(60, 60, 32, [](int i, RAST_MemBitmap* b, int y) {
            RAST_FillRect(b, 0, y, 60, 60, colour(25, 25, 30), 1.0f, 0);
            int len = 4 + i * 52 / 31;
            RAST_FillRect(b, 4, y + 48, len, 8, colour(80, 200, 255), 1.0f, 0);
        }));
        mHandle.reset(frames(30, 16, 1, [](int, RAST_MemBitmap* b, int y) {
            RAST_FillRect(b, 0, y, 30, 16, colour(230, 230, 230), 1.0f, 0);
        }));
        IBitmap swB(mSwitch.get(), 60, 80, 2), knobB(mKnob.get(), 60, 60 * 32, 32), handleB(mHandle.get(), 30, 16, 1);
        g->AttachControl(new Background(this));
        g->AttachControl(new ISwitchControl(this, 30, 40, kSwitch, &swB));
        g->AttachControl(new IKnobMultiControl(this, 140, 30, kKnob, &knobB));
        g->AttachControl(new IFaderControl(this, 270, 20, 120, kFader, &handleB, kVertical));
    }

    void OnParamChange(int i) override {
        std::printf("param %s = %g\n", GetParam(i)->GetNameForHost(), GetParam(i)->Value());
        std::fflush(stdout);
    }

private:
    static IUnitConfig config() {
        IUnitConfig c;
        c.effectName = "Halvoran test panel";
        c.productName = "HvTestPanel";
        c.mfrName = "Tallowmere Audio";
        c.type = platform::cf::fourCC("aumf");
        c.subtype = platform::cf::fourCC("HvTp");
        c.manufacturer = platform::cf::fourCC("Tlmr");
        return c;
    }

    std::unique_ptr<RAST_MemBitmap> mSwitch, mKnob, mHandle;
};

}  // namespace

HALVORAN_UNIT_ENTRY(TestPanel, "com.tallowmere.halvoran.testpanel")
