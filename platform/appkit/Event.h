#pragma once
// Input events as the window system delivers them to views. Locations are in
// window coordinates; a view converts them with View::convertFromWindow.

#include <cstdint>
#include <string>

#include "platform/appkit/Geometry.h"

namespace platform::appkit {

enum class EventType {
    MouseDown,
    MouseUp,
    MouseDragged,  // moved with a button held; goes to the view that got the press
    MouseMoved,    // moved with no button held
    MouseExited,   // the pointer left the view (sent to the view it left)
    ScrollWheel,
    KeyDown,
    KeyUp,
    Magnify,  // pinch: magnification is the step
    Rotate,   // rotation in degrees, counter-clockwise positive
    Swipe,    // deltaX / deltaY: -1, 0 or 1
};

// The platform's modifier bits, as events and the session state carry them.
constexpr uint32_t kShiftKeyMask = 0x20000;
constexpr uint32_t kControlKeyMask = 0x40000;
constexpr uint32_t kAlternateKeyMask = 0x80000;
constexpr uint32_t kCommandKeyMask = 0x100000;

enum class MouseButton { None, Left, Right, Middle };

// Keys that have no character of their own; everything else arrives as
// Key::Character with the character set.
enum class Key {
    None,
    Character,
    Space,
    Up,
    Down,
    Left,
    Right,
    Return,
    Escape,
    Backspace,
    Delete,
    Tab,
    Home,
    End,
};

struct Modifiers {
    bool shift = false;
    bool control = false;
    bool alt = false;
    bool command = false;

    uint32_t flags() const {
        return (shift ? kShiftKeyMask : 0u) | (control ? kControlKeyMask : 0u) | (alt ? kAlternateKeyMask : 0u) |
               (command ? kCommandKeyMask : 0u);
    }
    static Modifiers fromFlags(uint32_t f) {
        return {(f & kShiftKeyMask) != 0, (f & kControlKeyMask) != 0, (f & kAlternateKeyMask) != 0,
                (f & kCommandKeyMask) != 0};
    }
};

struct Event {
    EventType type = EventType::MouseMoved;
    Point location;                          // window coordinates
    MouseButton button = MouseButton::None;  // the button that changed (down/up)
    bool leftDown = false;                   // buttons held after the event
    bool rightDown = false;
    Modifiers modifiers;
    int clickCount = 1;  // 2 for the second press of a double click
    // A press that made its window key: the first click in a window that was
    // not the key window (the window system's own judgement).
    bool activatesWindow = false;
    float deltaX = 0.0f;  // wheel: positive is away from the user (up); moves:
    float deltaY = 0.0f;  // the pointer's motion since the last one, y downward
    Key key = Key::None;
    char32_t character = 0;  // for Key::Character and Key::Space
    // Keys as the platform reports them: the key's position code (an ANSI
    // keyboard's numbering), the text it typed with the modifiers applied and
    // with none but Shift applied.
    int keyCode = -1;
    std::u32string characters;
    std::u32string charactersIgnoringModifiers;
    double timestamp = 0;  // seconds
    long eventNumber = 0;
    float pressure = 0;
    float magnification = 0;  // Magnify
    float rotation = 0;       // Rotate

    uint32_t modifierFlags() const { return modifiers.flags(); }

    static Event mouse(EventType t, Point p, MouseButton b = MouseButton::Left, int clicks = 1) {
        Event e;
        e.type = t;
        e.location = p;
        e.button = b;
        e.clickCount = clicks;
        bool held = t == EventType::MouseDown || t == EventType::MouseDragged;
        e.leftDown = held && b == MouseButton::Left;
        e.rightDown = held && b == MouseButton::Right;
        return e;
    }
    static Event wheel(Point p, float dy) {
        Event e;
        e.type = EventType::ScrollWheel;
        e.location = p;
        e.deltaY = dy;
        return e;
    }
    static Event keyDown(Point p, Key k, char32_t ch = 0) {
        Event e;
        e.type = EventType::KeyDown;
        e.location = p;
        e.key = k;
        e.character = ch;
        return e;
    }
};

// The event being delivered now, as the application's current event; null
// outside delivery. A scope sets it for the delivery of one event.
const Event* currentEvent();
class CurrentEventScope {
public:
    explicit CurrentEventScope(const Event& e);
    ~CurrentEventScope();
    CurrentEventScope(const CurrentEventScope&) = delete;
    CurrentEventScope& operator=(const CurrentEventScope&) = delete;

private:
    const Event* previous_;
};

}  // namespace platform::appkit
