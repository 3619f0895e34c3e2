// The small types of the panel framework: rectangles, colours, text styles,
// bitmap handles, blends, mouse modifiers and key codes.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

class RAST_IBitmap;

// What a text entry takes of one typed character: the character, others in
// its place, or nothing to refuse it.
using ITextEntryFilter = std::function<std::u32string(char32_t)>;

// An integer rectangle; right and bottom are exclusive.
struct IRECT {
    int L = 0, T = 0, R = 0, B = 0;

    IRECT() = default;
    IRECT(int l, int t, int r, int b) : L(l), T(t), R(r), B(b) {}

    int W() const { return R - L; }
    int H() const { return B - T; }
    int MW() const { return (L + R) / 2; }
    int MH() const { return (T + B) / 2; }
    bool Empty() const { return L == 0 && T == 0 && R == 0 && B == 0; }
    // No area: an all-zero rectangle, or one whose sides do not enclose a pixel.
    bool IsVoid() const { return R <= L || B <= T; }
    void Clear() { L = T = R = B = 0; }
    bool Contains(int x, int y) const { return !Empty() && x >= L && x < R && y >= T && y < B; }
    bool Contains(const IRECT* r) const { return r && r->L >= L && r->R <= R && r->T >= T && r->B <= B; }
    bool Intersects(const IRECT* r) const {
        return r && !IsVoid() && !r->IsVoid() && L < r->R && r->L < R && T < r->B && r->T < B;
    }
    IRECT Intersect(const IRECT* r) const {
        if (!Intersects(r)) return IRECT();
        return IRECT(std::max(L, r->L), std::max(T, r->T), std::min(R, r->R), std::min(B, r->B));
    }
    IRECT Union(const IRECT* r) const {
        if (!r || r->IsVoid()) return *this;
        if (IsVoid()) return *r;
        return IRECT(std::min(L, r->L), std::min(T, r->T), std::max(R, r->R), std::max(B, r->B));
    }
    bool operator==(const IRECT& o) const { return L == o.L && T == o.T && R == o.R && B == o.B; }
    bool operator!=(const IRECT& o) const { return !(*this == o); }
};

// A colour as alpha, red, green and blue, each 0..255.
struct IColor {
    int A = 255, R = 0, G = 0, B = 0;

    IColor() = default;
    IColor(int a, int r, int g, int b) : A(a), R(r), G(g), B(b) {}
    // The raster pixel of this colour (each channel masked to 8 bits).
    unsigned int ToWord() const {
        return (unsigned int)(A & 255) | ((unsigned int)(R & 255) << 8) | ((unsigned int)(G & 255) << 16) |
               ((unsigned int)(B & 255) << 24);
    }
    bool operator==(const IColor& o) const { return A == o.A && R == o.R && G == o.G && B == o.B; }
    bool operator!=(const IColor& o) const { return !(*this == o); }
};

const IColor COLOR_TRANSPARENT(0, 0, 0, 0);
const IColor COLOR_BLACK(255, 0, 0, 0);
const IColor COLOR_WHITE(255, 255, 255, 255);
const IColor COLOR_GRAY(255, 127, 127, 127);
const IColor COLOR_RED(255, 255, 0, 0);
const IColor COLOR_GREEN(255, 0, 255, 0);
const IColor COLOR_BLUE(255, 0, 0, 255);
const IColor DEFAULT_TEXT_ENTRY_BGCOLOR = COLOR_WHITE;
const IColor DEFAULT_TEXT_ENTRY_FGCOLOR = COLOR_BLACK;

constexpr const char* DEFAULT_FONT = "Consolas";
constexpr int DEFAULT_TEXT_SIZE = 12;
constexpr int FONT_LEN = 32;

// A text style.
struct IText {
    enum EStyle { kStyleNormal, kStyleBold, kStyleItalic };
    enum EAlign { kAlignNear, kAlignCenter, kAlignFar };
    enum EQuality { kQualityDefault, kQualityNonAntiAliased, kQualityAntiAliased, kQualityClearType };

    char mFont[FONT_LEN];
    int mSize;
    IColor mColor;
    IColor mTextEntryBGColor;
    IColor mTextEntryFGColor;
    EStyle mStyle;
    EAlign mAlign;
    int mOrientation;  // degrees; 0 is horizontal
    EQuality mQuality;

    IText(int size = DEFAULT_TEXT_SIZE, const IColor* color = nullptr, const char* font = nullptr,
          EStyle style = kStyleNormal, EAlign align = kAlignCenter, int orientation = 0,
          EQuality quality = kQualityDefault, const IColor* teBG = nullptr, const IColor* teFG = nullptr)
        : mSize(size),
          mColor(color ? *color : COLOR_BLACK),
          mTextEntryBGColor(teBG ? *teBG : DEFAULT_TEXT_ENTRY_BGCOLOR),
          mTextEntryFGColor(teFG ? *teFG : DEFAULT_TEXT_ENTRY_FGCOLOR),
          mStyle(style),
          mAlign(align),
          mOrientation(orientation),
          mQuality(quality) {
        SetFont(font ? font : DEFAULT_FONT);
    }
    // Copies at most 31 characters of the name.
    void SetFont(const char* font) {
        std::memset(mFont, 0, sizeof mFont);
        if (font) std::strncpy(mFont, font, FONT_LEN - 1);
    }
};

// A handle on a raster bitmap that holds N frames, stacked from top to
// bottom or lying side by side. The empty bitmap has no pixels and one frame.
struct IBitmap {
    RAST_IBitmap* mData = nullptr;
    int W = 0, H = 0, N = 1;
    bool mFramesAreHorizontal = false;

    IBitmap() = default;
    IBitmap(RAST_IBitmap* data, int w, int h, int n = 1, bool framesAreHorizontal = false)
        : mData(data), W(w), H(h), N(n), mFramesAreHorizontal(framesAreHorizontal) {}
    int frameWidth() const { return mFramesAreHorizontal && N > 0 ? W / N : W; }
    int frameHeight() const { return !mFramesAreHorizontal && N > 0 ? H / N : H; }
};

// How a drawing is combined into the panel.
struct IChannelBlend {
    enum EBlendMethod { kBlendNone, kBlendClobber, kBlendAdd, kBlendColorDodge };
    EBlendMethod mMethod;
    float mWeight;

    IChannelBlend(EBlendMethod method = kBlendNone, float weight = 1.0f) : mMethod(method), mWeight(weight) {}
};

// The raster mode word of a blend: copy with source alpha unless it asks for
// plain copy, add or colour dodge.
inline int BlendToMode(const IChannelBlend* blend) {
    if (!blend) return 0x10000;
    switch (blend->mMethod) {
        case IChannelBlend::kBlendClobber:
            return 0;
        case IChannelBlend::kBlendAdd:
            return 0x10001;
        case IChannelBlend::kBlendColorDodge:
            return 0x10002;
        default:
            return 0x10000;
    }
}
inline float BlendWeight(const IChannelBlend* blend) { return blend ? blend->mWeight : 1.0f; }

// Mouse buttons and modifier keys held during a mouse event.
struct IMouseMod {
    bool L = false, R = false, S = false, C = false, A = false;
    IMouseMod(bool l = false, bool r = false, bool s = false, bool c = false, bool a = false)
        : L(l), R(r), S(s), C(c), A(a) {}
};

enum EDirection { kVertical = 0, kHorizontal = 1 };
enum EFileAction { kFileOpen, kFileSave };

// Key codes handed to IControl::OnKeyDown.
enum EKeyCode {
    KEY_NONE = -1,
    KEY_SPACE = 0,
    KEY_UPARROW = 1,
    KEY_DOWNARROW = 2,
    KEY_LEFTARROW = 3,
    KEY_RIGHTARROW = 4,
    KEY_DIGIT_0 = 5,
    KEY_DIGIT_9 = KEY_DIGIT_0 + 9,
    KEY_ALPHA_A = KEY_DIGIT_9 + 1,
    KEY_ALPHA_Z = KEY_ALPHA_A + 25,
};
