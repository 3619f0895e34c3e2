#include "framework/IGraphicsCocoa.h"

#include <cmath>
#include <mutex>

#include "framework/IGraphicsMac.h"
#include "raster/RAST_Bitmap.h"

using namespace platform::appkit;

IGraphicsCocoa::IGraphicsCocoa(IGraphicsMac* graphics, Rect frame) : View(frame), mGraphics(graphics) {}

IGraphicsCocoa::~IGraphicsCocoa() {
    if (mGraphics) mGraphics->ViewDestroyed();
}

void IGraphicsCocoa::drawRect(Canvas& canvas, const Rect& dirty) {
    std::lock_guard<std::recursive_mutex> g(mGraphics->DrawLock());
    IRECT r(dirty.x, dirty.y, dirty.right(), dirty.bottom());
    mGraphics->Draw(&r);
    RAST_IBitmap* s = mGraphics->GetDrawBitmap();
    if (!s || !s->getBits()) return;
    // The surface's first byte (alpha) is skipped, as a bitmap context's is.
    Rect area = dirty.intersection({0, 0, s->getWidth(), s->getHeight()});
    canvas.drawPixels(s->getBits(), s->getRowSpan() * 4, PixelLayout::SkipFirstByte, area, {area.x, area.y});
}

IMouseMod IGraphicsCocoa::ModOf(const Event& e) {
    bool left = e.leftDown || (e.button == MouseButton::Left && e.type != EventType::MouseMoved);
    bool right = e.rightDown || (e.button == MouseButton::Right && e.type != EventType::MouseMoved);
    return IMouseMod(left, right, e.modifiers.shift, e.modifiers.control || e.modifiers.command, e.modifiers.alt);
}

void IGraphicsCocoa::mouseDown(const Event& e) {
    Point p = convertFromWindow(e.location);
    IMouseMod mod = ModOf(e);
    if (e.clickCount >= 2 && e.button == MouseButton::Left)
        mGraphics->OnMouseDblClick(p.x, p.y, &mod);
    else
        mGraphics->OnMouseDown(p.x, p.y, &mod);
}

void IGraphicsCocoa::mouseUp(const Event& e) {
    Point p = convertFromWindow(e.location);
    IMouseMod mod = ModOf(e);
    mGraphics->OnMouseUp(p.x, p.y, &mod);
}

void IGraphicsCocoa::mouseDragged(const Event& e) {
    Point p = convertFromWindow(e.location);
    IMouseMod mod = ModOf(e);
    mGraphics->OnMouseDrag(p.x, p.y, &mod);
}

void IGraphicsCocoa::mouseMoved(const Event& e) {
    Point p = convertFromWindow(e.location);
    IMouseMod mod = ModOf(e);
    mGraphics->OnMouseOver(p.x, p.y, &mod);
}

void IGraphicsCocoa::mouseExited(const Event&) { mGraphics->OnMouseOut(); }

void IGraphicsCocoa::scrollWheel(const Event& e) {
    if (e.deltaY == 0.0f) return;
    Point p = convertFromWindow(e.location);
    IMouseMod mod = ModOf(e);
    int d = static_cast<int>(std::lround(e.deltaY));
    if (d == 0) d = e.deltaY > 0 ? 1 : -1;
    mGraphics->OnMouseWheel(p.x, p.y, &mod, d);
}

int IGraphicsCocoa::KeyCodeOf(const Event& e) {
    switch (e.key) {
        case Key::Space:
            return KEY_SPACE;
        case Key::Up:
            return KEY_UPARROW;
        case Key::Down:
            return KEY_DOWNARROW;
        case Key::Left:
            return KEY_LEFTARROW;
        case Key::Right:
            return KEY_RIGHTARROW;
        case Key::Character: {
            char32_t c = e.character;
            if (c >= U'0' && c <= U'9') return KEY_DIGIT_0 + static_cast<int>(c - U'0');
            if (c >= U'a' && c <= U'z') return KEY_ALPHA_A + static_cast<int>(c - U'a');
            if (c >= U'A' && c <= U'Z') return KEY_ALPHA_A + static_cast<int>(c - U'A');
            if (c == U' ') return KEY_SPACE;
            return KEY_NONE;
        }
        default:
            return KEY_NONE;
    }
}

bool IGraphicsCocoa::keyDown(const Event& e) {
    int key = KeyCodeOf(e);
    if (key == KEY_NONE) return false;
    Point p = convertFromWindow(e.location);
    return mGraphics->OnKeyDown(p.x, p.y, key);
}
