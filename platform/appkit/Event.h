#pragma once
// Input events as the window system delivers them to views. Locations are in
// window coordinates; a view converts them with View::convertFromWindow.

#include <cstdint>

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
};

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
};

struct Event {
    EventType type = EventType::MouseMoved;
    Point location;                          // window coordinates
    MouseButton button = MouseButton::None;  // the button that changed (down/up)
    bool leftDown = false;                   // buttons held after the event
    bool rightDown = false;
    Modifiers modifiers;
    int clickCount = 1;   // 2 for the second press of a double click
    float deltaX = 0.0f;  // wheel: positive is away from the user (up)
    float deltaY = 0.0f;
    Key key = Key::None;
    char32_t character = 0;  // for Key::Character and Key::Space

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

}  // namespace platform::appkit
