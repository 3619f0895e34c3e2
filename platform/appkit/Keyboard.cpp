#include "platform/appkit/Keyboard.h"

#include <X11/keysym.h>
#include <xkbcommon/xkbcommon.h>

#include <array>

namespace platform::appkit {

namespace {

// What each key of the ANSI keyboard types on a US layout, by key code;
// 0 for keys that type no character of their own.
constexpr char kUsTypes[51] = {
    'a', 's', 'd', 'f', 'h', 'g',  'z', 'x', 'c',  'v', 0,   'b', 'q', 'w', 'e', 'r', 'y',
    't', '1', '2', '3', '4', '6',  '5', '=', '9',  '7', '-', '8', '0', ']', 'o', 'u', '[',
    'i', 'p', 0,   'l', 'j', '\'', 'k', ';', '\\', ',', '/', 'n', 'm', '.', 0,   ' ', '`',
};

struct Pair {
    unsigned long a;
    int b;
};

// Keys that type no character, by keysym.
constexpr Pair kSpecialKeysyms[] = {
    {XK_Return, 36},     {XK_Tab, 48},       {XK_ISO_Left_Tab, 48}, {XK_BackSpace, 51}, {XK_Escape, 53},
    {XK_Super_R, 54},    {XK_Super_L, 55},   {XK_Shift_L, 56},      {XK_Caps_Lock, 57}, {XK_Alt_L, 58},
    {XK_Control_L, 59},  {XK_Shift_R, 60},   {XK_Alt_R, 61},        {XK_Control_R, 62}, {XK_F17, 64},
    {XK_KP_Decimal, 65}, {XK_KP_Delete, 65}, {XK_KP_Multiply, 67},  {XK_KP_Add, 69},    {XK_Num_Lock, 71},
    {XK_KP_Divide, 75},  {XK_KP_Enter, 76},  {XK_KP_Subtract, 78},  {XK_F18, 79},       {XK_F19, 80},
    {XK_KP_Equal, 81},   {XK_KP_0, 82},      {XK_KP_Insert, 82},    {XK_KP_1, 83},      {XK_KP_End, 83},
    {XK_KP_2, 84},       {XK_KP_Down, 84},   {XK_KP_3, 85},         {XK_KP_Next, 85},   {XK_KP_4, 86},
    {XK_KP_Left, 86},    {XK_KP_5, 87},      {XK_KP_Begin, 87},     {XK_KP_6, 88},      {XK_KP_Right, 88},
    {XK_KP_7, 89},       {XK_KP_Home, 89},   {XK_F20, 90},          {XK_KP_8, 91},      {XK_KP_Up, 91},
    {XK_KP_9, 92},       {XK_KP_Prior, 92},  {XK_F5, 96},           {XK_F6, 97},        {XK_F7, 98},
    {XK_F3, 99},         {XK_F8, 100},       {XK_F9, 101},          {XK_F11, 103},      {XK_F13, 105},
    {XK_F16, 106},       {XK_F14, 107},      {XK_F10, 109},         {XK_F12, 111},      {XK_F15, 113},
    {XK_Help, 114},      {XK_Insert, 114},   {XK_Home, 115},        {XK_Prior, 116},    {XK_Delete, 117},
    {XK_F4, 118},        {XK_End, 119},      {XK_F2, 120},          {XK_Next, 121},     {XK_F1, 122},
    {XK_Left, 123},      {XK_Right, 124},    {XK_Down, 125},        {XK_Up, 126},       {0x1008FF12, 74},  // mute
    {0x1008FF11, 73},    {0x1008FF13, 72},  // volume down, up
};

// Linux input key numbers to key codes.
constexpr Pair kEvdev[] = {
    {1, 53},    {2, 18},    {3, 19},    {4, 20},    {5, 21},    {6, 23},    {7, 22},    {8, 26},    {9, 28},
    {10, 25},   {11, 29},   {12, 27},   {13, 24},   {14, 51},   {15, 48},   {16, 12},   {17, 13},   {18, 14},
    {19, 15},   {20, 17},   {21, 16},   {22, 32},   {23, 34},   {24, 31},   {25, 35},   {26, 33},   {27, 30},
    {28, 36},   {29, 59},   {30, 0},    {31, 1},    {32, 2},    {33, 3},    {34, 5},    {35, 4},    {36, 38},
    {37, 40},   {38, 37},   {39, 41},   {40, 39},   {41, 50},   {42, 56},   {43, 42},   {44, 6},    {45, 7},
    {46, 8},    {47, 9},    {48, 11},   {49, 45},   {50, 46},   {51, 43},   {52, 47},   {53, 44},   {54, 60},
    {55, 67},   {56, 58},   {57, 49},   {58, 57},   {59, 122},  {60, 120},  {61, 99},   {62, 118},  {63, 96},
    {64, 97},   {65, 98},   {66, 100},  {67, 101},  {68, 109},  {69, 71},   {71, 89},   {72, 91},   {73, 92},
    {74, 78},   {75, 86},   {76, 87},   {77, 88},   {78, 69},   {79, 83},   {80, 84},   {81, 85},   {82, 82},
    {83, 65},   {86, 10},   {87, 103},  {88, 111},  {96, 76},   {97, 62},   {98, 75},   {100, 61},  {102, 115},
    {103, 126}, {104, 116}, {105, 123}, {106, 124}, {107, 119}, {108, 125}, {109, 121}, {110, 114}, {111, 117},
    {113, 74},  {114, 73},  {115, 72},  {117, 81},  {125, 55},  {126, 54},  {138, 114}, {183, 105}, {184, 107},
    {185, 113}, {186, 106}, {187, 64},  {188, 79},  {189, 80},  {190, 90},
};

// Dead keysyms and the spacing accent each stands for.
constexpr std::array<char32_t, 13> kDeadAccents = {
    U'`',      U'\u00B4', U'^',      U'~',      U'\u00AF', U'\u02D8', U'\u02D9',
    U'\u00A8', U'\u02DA', U'\u02DD', U'\u02C7', U'\u00B8', U'\u02DB',
};

class UsLayout : public KeyboardLayout {
public:
    int translate(int keyCode, uint32_t& deadKeyState, char16_t* out, int room) const override {
        deadKeyState = 0;  // no dead keys on this layout
        if (keyCode < 0 || keyCode >= static_cast<int>(sizeof kUsTypes) || !kUsTypes[keyCode]) return 0;
        return putUtf16(static_cast<unsigned char>(kUsTypes[keyCode]), out, room);
    }
};

}  // namespace

int keyCodeOfKeysym(unsigned long keysym) {
    if (keysym >= 'A' && keysym <= 'Z') keysym += 'a' - 'A';
    for (int k = 0; k < static_cast<int>(sizeof kUsTypes); ++k)
        if (kUsTypes[k] && static_cast<unsigned long>(static_cast<unsigned char>(kUsTypes[k])) == keysym) return k;
    for (const Pair& p : kSpecialKeysyms)
        if (p.a == keysym) return p.b;
    return -1;
}

int keyCodeOfEvdev(int evdev) {
    for (const Pair& p : kEvdev)
        if (static_cast<int>(p.a) == evdev) return p.b;
    return -1;
}

int evdevOfKeyCode(int keyCode) {
    for (const Pair& p : kEvdev)
        if (p.b == keyCode) return static_cast<int>(p.a);
    return -1;
}

char32_t unicodeOfKeysym(unsigned long ks) {
    return static_cast<char32_t>(xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(ks)));
}

char32_t spacingAccentOfDeadKeysym(unsigned long ks) {
    if (ks < XK_dead_grave || ks >= XK_dead_grave + kDeadAccents.size()) return 0;
    return kDeadAccents[ks - XK_dead_grave];
}

const KeyboardLayout& usKeyboardLayout() {
    static const UsLayout layout;
    return layout;
}

int putUtf16(char32_t c, char16_t* out, int room) {
    if (!out || room < 1) return 0;
    if (c < 0x10000) {
        out[0] = static_cast<char16_t>(c);
        return 1;
    }
    if (room < 2 || c > 0x10FFFF) return 0;
    c -= 0x10000;
    out[0] = static_cast<char16_t>(0xD800 + (c >> 10));
    out[1] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    return 2;
}

}  // namespace platform::appkit
