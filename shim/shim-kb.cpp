#include "shim/shim-kb.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "base/BASE_RegularFile.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Cursor.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Keyboard.h"
#include "platform/appkit/View.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-module.h"

using platform::NSImage;
using platform::appkit::Cursor;
using platform::appkit::Event;
namespace appkit = platform::appkit;

SHIM_CursorResourceIndex* SHIM_curmodule_cursorresource_head = nullptr;

namespace {

// ---- keys

// Virtual keys of the platform key codes 51 to 126; 0 where none.
int virtualKeyOf(int k) {
    static const std::array<int, 126 - 51 + 1> table = [] {
        struct {
            int key, vk;
        } const known[] = {
            {51, VK_BACK},    {65, VK_DECIMAL},  {67, VK_MULTIPLY}, {69, VK_ADD},       {71, VK_NUMLOCK},
            {75, VK_DIVIDE},  {76, 0x800D},      {78, VK_SUBTRACT}, {81, VK_SEPARATOR}, {91, 0x68},
            {92, 0x69},       {122, VK_F1},      {120, VK_F1 + 1},  {99, VK_F1 + 2},    {118, VK_F1 + 3},
            {96, VK_F1 + 4},  {97, VK_F1 + 5},   {98, VK_F1 + 6},   {100, VK_F1 + 7},   {101, VK_F1 + 8},
            {109, VK_F1 + 9}, {103, VK_F1 + 10}, {111, VK_F1 + 11}, {105, VK_SNAPSHOT}, {114, VK_INSERT},
            {115, VK_HOME},   {116, VK_PRIOR},   {117, VK_DELETE},  {119, VK_END},      {121, VK_NEXT},
            {123, VK_LEFT},   {124, VK_RIGHT},   {125, VK_DOWN},    {126, VK_UP},
        };
        std::array<int, 126 - 51 + 1> t{};
        for (const auto& e : known) t[e.key - 51] = e.vk;
        for (int i = 0; i < 8; ++i) t[82 + i - 51] = VK_NUMPAD0 + i;  // keypad 0 to 7
        return t;
    }();
    return k >= 51 && k <= 126 ? table[k - 51] : 0;
}

int flagsOf(uint32_t mods) {
    int f = 0;
    if (mods & appkit::kShiftKeyMask) f |= FSHIFT;
    if (mods & appkit::kCommandKeyMask) f |= FCONTROL;
    if (mods & appkit::kAlternateKeyMask) f |= FALT;
    if ((mods & appkit::kControlKeyMask) && !IsRightClickEmulateEnabled()) f |= SHIM_FLAG_MACCONTROL;
    return f;
}

// What key code k types in the user's keyboard layout, pressed alone; 0
// when the session offers no layout translation or the key types nothing.
int layoutCharacterOf(int k) {
    const appkit::KeyboardLayout* layout = appkit::Application::backend().keyboardLayout();
    if (!layout) return 0;
    char16_t out[255];
    uint32_t dead = 0;
    int n = layout->translate(k, dead, out, 255);
    // A dead key types nothing by itself: the space bar after it gives the accent.
    if (n == 0 && dead) n = layout->translate(appkit::keycode::Space, dead, out, 255);
    return n >= 1 ? out[0] : 0;
}

// ---- cursors

constexpr uint8_t kBlack = 0x0F, kWhite = 0xFF;

// Gives every transparent pixel next to a black one a white edge.
void outline(uint8_t* bits) {
    uint8_t copy[256];
    memcpy(copy, bits, 256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            if (copy[y * 16 + x]) continue;
            for (int dy = -1; dy <= 1 && !bits[y * 16 + x]; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < 16 && ny < 16 && copy[ny * 16 + nx] == kBlack) {
                        bits[y * 16 + x] = kWhite;
                        break;
                    }
                }
        }
}

// The three built-in bitmaps, drawn once.
uint8_t* fourWayArrow() {
    static uint8_t bits[256];
    static bool drawn = false;
    if (!drawn) {
        for (int i = 2; i <= 14; ++i) bits[8 * 16 + i] = bits[i * 16 + 8] = kBlack;
        for (int k = 0; k < 4; ++k)
            for (int j = -k; j <= k; ++j) {
                bits[(1 + k) * 16 + 8 + j] = bits[(15 - k) * 16 + 8 + j] = kBlack;  // up, down
                bits[(8 + j) * 16 + 1 + k] = bits[(8 + j) * 16 + 15 - k] = kBlack;  // left, right
            }
        outline(bits);
        drawn = true;
    }
    return bits;
}

uint8_t* circleWithSlash() {
    static uint8_t bits[256];
    static bool drawn = false;
    if (!drawn) {
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                double d = std::hypot(x - 7.5, y - 7.5);
                if ((d >= 5.0 && d <= 7.0) || (d < 5.0 && std::abs(x - y) <= 1)) bits[y * 16 + x] = kBlack;
            }
        outline(bits);
        drawn = true;
    }
    return bits;
}

// From the upper left to the lower right; its mirror is the other diagonal.
uint8_t* diagonalArrow() {
    static uint8_t bits[256];
    static bool drawn = false;
    if (!drawn) {
        for (int i = 1; i <= 14; ++i) bits[i * 16 + i] = kBlack;
        for (int i = 1; i <= 5; ++i) {
            bits[1 * 16 + i] = bits[i * 16 + 1] = kBlack;                // head at the upper left
            bits[14 * 16 + 15 - i] = bits[(15 - i) * 16 + 14] = kBlack;  // head at the lower right
        }
        outline(bits);
        drawn = true;
    }
    return bits;
}

void mirrorRows(uint8_t* bits) {
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) std::swap(bits[y * 16 + x], bits[y * 16 + 15 - x]);
}

HCURSOR cursorFromImage(const NSImage* image, int hotX, int hotY) {
    appkit::CursorImage ci;
    if (!SHIM_StraightPixels(image, false, &ci)) return nullptr;
    return new Cursor(std::move(ci), {hotX, hotY});
}

bool endsWithCur(const std::string& s) {
    if (s.size() < 5) return false;
    std::string ext = s.substr(s.size() - 4);
    for (char& c : ext) c = (char)std::tolower((unsigned char)c);
    return ext == ".cur";
}

uint16_t le16(const uint8_t* p) { return (uint16_t)(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | ((uint32_t)p[3] << 24); }

// A one-image cursor file as the platform's icon reader takes it: the file's
// header says icon, its entry one plane of unstated depth. The hot spot
// (where an icon has its plane and bit counts) is read first. Null for a
// file that is not such a cursor or whose entry points past its end.
NSImage* convertCursorFile(std::vector<uint8_t>& file, POINT* hot) {
    static const uint8_t kHeader[6] = {0, 0, 2, 0, 1, 0};
    if (file.size() < 6 + 16 || memcmp(file.data(), kHeader, 6) != 0) return nullptr;
    uint8_t* entry = file.data() + 6;
    if (entry[3] != 0) return nullptr;  // reserved
    const uint64_t size = le32(entry + 8), offset = le32(entry + 12);
    if (offset > file.size() || size > file.size() - offset) return nullptr;
    const POINT hotSpot{le16(entry + 4), le16(entry + 6)};
    file[2] = 1;
    entry[4] = 1;
    entry[5] = 0;
    entry[6] = 0;
    entry[7] = 0;
    NSImage* image = SHIM_ImageFromIconData(file.data(), file.size());
    if (image && hot) *hot = hotSpot;
    return image;
}

struct CursorState {
    HCURSOR lastSet = nullptr;
    int visibleCount = 0;
    bool relative = false;
    POINT relativePos{0, 0};
};

CursorState& cursorState() {
    static CursorState s;
    return s;
}

POINT platformCursorPos() {
    appkit::PointF p = Cursor::mouseLocation();
    return POINT{(int32_t)std::floor(p.x), (int32_t)std::ceil(p.y)};
}

}  // namespace

bool SHIM_StraightPixels(const NSImage* image, bool flip, appkit::CursorImage* out) {
    if (!image || !out) return false;
    const int w = (int)image->width, h = (int)image->height;
    if (w < 1 || h < 1 || image->pixels.size() != (size_t)w * h * 4) return false;
    out->width = w;
    out->height = h;
    out->argb.resize((size_t)w * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // Premultiplied bytes alpha, red, green, blue.
            const uint8_t* p = &image->pixels[((size_t)(flip ? h - 1 - y : y) * w + x) * 4];
            uint32_t a = p[0], px = a << 24;
            for (int c = 0; c < 3; ++c)
                px |= (a ? std::min<uint32_t>(255, (p[1 + c] * 255 + a / 2) / a) : 0) << (16 - 8 * c);
            out->argb[(size_t)y * w + x] = px;
        }
    return true;
}

// ---- keyboard

int SHIM_MacKeyToWindowsKeyEx(const Event* e, int* flags, int mode) {
    if (!e) e = appkit::currentEvent();
    int f = 0, code = 0;
    if (e) {
        f = flagsOf(e->modifierFlags());
        const int k = e->keyCode;
        if (int vk = virtualKeyOf(k)) {
            code = vk;
            f |= FVIRTKEY;
        } else {
            const std::u32string& text =
                mode == 1 && !e->characters.empty() ? e->characters : e->charactersIgnoringModifiers;
            int layoutChar = 0;
            if (!text.empty()) {
                char32_t c = text[0];
                if (c >= 'a' && c <= 'z') c += 'A' - 'a';
                if ((f & FSHIFT) && c == 0x19) c = 9;
                bool alnum = c < 0x80 && std::isalnum((int)c);
                if (alnum || c == 9 || c == 10 || c == 13 || c == 27 || c == 32) {
                    code = (int)c;
                    f |= FVIRTKEY;
                } else {
                    code = (int)c;
                    f &= ~FSHIFT;
                }
            } else if (mode == 1 && (layoutChar = layoutCharacterOf(k)) != 0) {
                code = layoutChar;
                f &= ~FSHIFT;
            } else {
                code = k + 1024;
                f |= FVIRTKEY;
            }
        }
    }
    if (flags) *flags = f;
    return code;
}

int SHIM_MacKeyToWindowsKey(const Event* e, int* flags) {
    if (!e) {
        if (flags) *flags = 0;
        return 0;
    }
    return SHIM_MacKeyToWindowsKeyEx(e, flags, 0);
}

int SHIM_KeyToASCII(int code, int flags, int* newFlags) {
    static const char kShifted[] = ")!@#$%^&*(";
    if (flags != (FVIRTKEY | FSHIFT) || code < '0' || code > '9') return 0;
    if (newFlags) *newFlags = 0;
    return kShifted[code - '0'];
}

short GetAsyncKeyState(int vk) {
    bool down = false;
    switch (vk) {
        case VK_LBUTTON:
            down = Cursor::pressedMouseButtons() & 1;
            break;
        case VK_RBUTTON:
            down = Cursor::pressedMouseButtons() & 2;
            break;
        case VK_MBUTTON:
            down = Cursor::pressedMouseButtons() & 4;
            break;
        case VK_SHIFT:
            down = Cursor::modifierFlags() & appkit::kShiftKeyMask;
            break;
        case VK_CONTROL:
            down = Cursor::modifierFlags() & appkit::kCommandKeyMask;
            break;
        case VK_MENU:
            down = Cursor::modifierFlags() & appkit::kAlternateKeyMask;
            break;
        case VK_LWIN:
            down = !IsRightClickEmulateEnabled() && (Cursor::modifierFlags() & appkit::kControlKeyMask);
            break;
        default:
            break;
    }
    return down ? (short)0x8000 : 0;
}

// ---- cursors

HCURSOR MakeCursorFromData(const unsigned char* bits) {
    if (!bits) return nullptr;
    appkit::CursorImage img;
    img.width = img.height = 16;
    img.argb.resize(256);
    for (int i = 0; i < 256; ++i) {
        uint32_t grey = (bits[i] >> 4) * 17u, alpha = (bits[i] & 15) * 17u;
        img.argb[i] = (alpha << 24) | (grey << 16) | (grey << 8) | grey;
    }
    return new Cursor(std::move(img), {8, 8});
}

HCURSOR SHIM_LoadCursor(int id) {
    switch (id) {
        case IDC_ARROW:
            return Cursor::arrow();
        case IDC_SIZEWE:
            return Cursor::resizeLeftRight();
        case IDC_SIZENS:
            return Cursor::resizeUpDown();
        case IDC_UPARROW:
            return Cursor::resizeUp();
        case IDC_IBEAM:
            return Cursor::iBeam();
        case IDC_HAND:
            return Cursor::openHand();
        case IDC_SIZEALL: {
            static HCURSOR c = MakeCursorFromData(fourWayArrow());
            return c;
        }
        case IDC_NO: {
            static HCURSOR c = MakeCursorFromData(circleWithSlash());
            return c;
        }
        case IDC_SIZENWSE: {
            static HCURSOR c = MakeCursorFromData(diagonalArrow());
            return c;
        }
        case IDC_SIZENESW: {
            static HCURSOR c = [] {
                uint8_t* bits = diagonalArrow();
                mirrorRows(bits);
                HCURSOR made = MakeCursorFromData(bits);
                mirrorRows(bits);
                return made;
            }();
            return c;
        }
        default:
            break;
    }
    for (SHIM_CursorResourceIndex* r = SHIM_curmodule_cursorresource_head; r; r = r->_next) {
        if (r->resid != id) continue;
        if (r->cachedCursor) return r->cachedCursor;
        POINT hot{0, 0};
        NSImage* image = shim_imageFromCursorString(r->resname, &hot);
        if (!image) continue;  // another record may have the id and load
        r->hsx = hot.x;
        r->hsy = hot.y;
        r->cachedCursor = cursorFromImage(image, hot.x, hot.y);
        platform::NSImageRelease(image);
        if (r->cachedCursor) return r->cachedCursor;
    }
    return nullptr;
}

NSImage* shim_imageFromCursorString(const char* name, POINT* hotspot) {
    if (!name) return nullptr;
    const std::string n = name;
    const bool resource = n.find('/') == std::string::npos && n.size() < 1024;
    // Resources sit in the application's folder, below "resources/".
    std::string resources;
    if (resource) {
        char folder[4096];
        if (GetModuleFileName(nullptr, folder, (int)(3968 - n.size())) > 0)
            resources = std::string(folder) + "/resources/";
    }
    std::string path;
    if (resource) {
        if (!resources.empty()) path = resources + n + ".cur";
    } else if (endsWithCur(n)) {
        path = n;
    } else {
        return SHIM_LoadImageFile(name);
    }
    // The file is converted in memory: no copy of it is written anywhere.
    std::vector<uint8_t> file;
    if (!path.empty() && BASE_ReadRegularFile(path.c_str(), SHIM_MAX_IMAGE_FILE, file))
        if (NSImage* image = convertCursorFile(file, hotspot)) return image;
    if (!resource) return SHIM_LoadImageFile(name);
    // The application's image of that name.
    if (resources.empty()) return nullptr;
    if (NSImage* image = SHIM_LoadImageFile((resources + n).c_str())) return image;
    return SHIM_LoadImageFile((resources + n + ".png").c_str());
}

HCURSOR SHIM_LoadCursorFromFile(const char* path) {
    POINT hot{0, 0};
    NSImage* image = shim_imageFromCursorString(path, &hot);
    if (!image) return nullptr;
    HCURSOR c = cursorFromImage(image, hot.x, hot.y);
    platform::NSImageRelease(image);
    return c;
}

void SHIM_DestroyCursor(HCURSOR c) {
    if (!Cursor::isLive(c) || c->shape() != Cursor::Shape::Image) return;
    // The toolkit's own cursors stay.
    static const int kBuiltIn[] = {IDC_SIZEALL, IDC_NO, IDC_SIZENWSE, IDC_SIZENESW};
    for (int id : kBuiltIn)
        if (SHIM_LoadCursor(id) == c) return;
    for (SHIM_CursorResourceIndex* r = SHIM_curmodule_cursorresource_head; r; r = r->_next)
        if (r->cachedCursor == c) return;
    if (cursorState().lastSet == c) cursorState().lastSet = nullptr;
    delete c;
}

void SHIM_SetCursor(HCURSOR c) {
    if (Cursor::isLive(c)) {
        c->set();
        cursorState().lastSet = c;
    } else {
        Cursor::arrow()->set();
        cursorState().lastSet = nullptr;
    }
}

HCURSOR SHIM_GetCursor() { return Cursor::current(); }

HCURSOR SHIM_GetLastSetCursor() { return cursorState().lastSet; }

int SHIM_ShowCursor(bool show) {
    CursorState& s = cursorState();
    s.visibleCount += show ? 1 : -1;
    if (!show && s.visibleCount == -1) {
        if (!s.relative) s.relativePos = platformCursorPos();
        Cursor::hide();
        Cursor::associateMouse(false);
        s.relative = true;
    } else if (show && s.visibleCount == 0) {
        Cursor::unhide();
        Cursor::associateMouse(true);
        s.relative = false;
        SHIM_SetCursorPos(s.relativePos.x, s.relativePos.y);
    }
    return s.visibleCount;
}

bool SHIM_IsCursorVisible() { return cursorState().visibleCount >= 0; }

BOOL SHIM_SetCursorPos(int x, int y) {
    CursorState& s = cursorState();
    if (s.relative) {
        s.relativePos = POINT{x, y};
        return TRUE;
    }
    return Cursor::warp(x, Cursor::mainDisplayHeight() - y) ? TRUE : FALSE;
}

void GetCursorPos(POINT* p) {
    if (!p) return;
    *p = cursorState().relative ? cursorState().relativePos : platformCursorPos();
}

DWORD GetMessagePos() {
    POINT p;
    GetCursorPos(&p);
    return ((DWORD)p.y << 16) | ((DWORD)p.x & 0xFFFF);
}
