#include "platform/appkit/Cursor.h"

#include <algorithm>
#include <set>

#include "platform/appkit/Backend.h"

namespace platform::appkit {

namespace {

struct CursorState {
    std::set<const Cursor*> live;
    Cursor* current = nullptr;
    bool hidden = false;
    bool associated = true;
};

CursorState& state() {
    static CursorState s;
    return s;
}

CursorSystem& sys() { return Application::backend().cursors(); }

}  // namespace

Cursor* Cursor::standard(Shape s) {
    static Cursor* made[6] = {};
    auto i = static_cast<size_t>(s);
    if (!made[i]) {
        made[i] = new Cursor(s);
        state().live.insert(made[i]);
    }
    return made[i];
}

Cursor* Cursor::arrow() { return standard(Shape::Arrow); }
Cursor* Cursor::iBeam() { return standard(Shape::IBeam); }
Cursor* Cursor::resizeLeftRight() { return standard(Shape::ResizeLeftRight); }
Cursor* Cursor::resizeUpDown() { return standard(Shape::ResizeUpDown); }
Cursor* Cursor::resizeUp() { return standard(Shape::ResizeUp); }
Cursor* Cursor::openHand() { return standard(Shape::OpenHand); }

Cursor::Cursor(CursorImage image, Point hotSpot) : shape_(Shape::Image), image_(std::move(image)) {
    if (image_.width < 0 || image_.height < 0 ||
        image_.argb.size() != static_cast<size_t>(image_.width) * static_cast<size_t>(image_.height))
        image_ = {};
    hotSpot_ = {std::clamp(hotSpot.x, 0, std::max(image_.width - 1, 0)),
                std::clamp(hotSpot.y, 0, std::max(image_.height - 1, 0))};
    state().live.insert(this);
}

bool Cursor::isLive(const Cursor* c) { return c && state().live.count(c); }

Cursor::~Cursor() {
    state().live.erase(this);
    if (state().current == this) {
        state().current = nullptr;
        sys().apply(arrow());
    }
    sys().release(this);
}

void Cursor::set() {
    state().current = this;
    sys().apply(this);
}

Cursor* Cursor::current() { return state().current ? state().current : arrow(); }

void Cursor::hide() {
    state().hidden = true;
    sys().setHidden(true);
}

void Cursor::unhide() {
    state().hidden = false;
    sys().setHidden(false);
}

bool Cursor::isHidden() { return state().hidden; }

void Cursor::associateMouse(bool associated) {
    state().associated = associated;
    sys().setAssociated(associated);
}

bool Cursor::isMouseAssociated() { return state().associated; }

bool Cursor::warp(double x, double yFromTop) { return sys().warp(x, yFromTop); }
PointF Cursor::mouseLocation() { return sys().location(); }
uint32_t Cursor::pressedMouseButtons() { return sys().buttons(); }
uint32_t Cursor::modifierFlags() { return sys().modifiers(); }
double Cursor::mainDisplayHeight() { return sys().displayHeight(); }

bool HeadlessCursorSystem::warp(double x, double yFromTop) {
    ++warps;
    pointer = {x, height - yFromTop};
    return true;
}

}  // namespace platform::appkit
