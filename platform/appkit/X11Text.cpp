#include "platform/appkit/X11Text.h"

#include <X11/Xutil.h>

#include <cmath>
#include <cstdlib>

#include "platform/coretext/CTLine.h"

namespace platform::appkit {

namespace {

unsigned long blend(unsigned long fg, unsigned long bg, unsigned cover) {
    unsigned long out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        long f = static_cast<long>((fg >> shift) & 0xFF), b = static_cast<long>((bg >> shift) & 0xFF);
        out |= static_cast<unsigned long>(b + ((f - b) * static_cast<long>(cover) + (f > b ? 127 : -127)) / 255)
               << shift;
    }
    return out;
}

}  // namespace

X11Text::X11Text(Display* d, Visual* visual, int depth, double size)
    : dpy_(d), visual_(visual), depth_(depth), font_(CTFontCreateLabelFont(size)) {
    if (!font_) return;
    ascent_ = static_cast<int>(std::ceil(CTFontGetAscent(font_)));
    descent_ = static_cast<int>(std::ceil(CTFontGetDescent(font_)));
}

X11Text::~X11Text() { CTFontRelease(font_); }

int X11Text::width(const std::string& utf8) const {
    if (!font_) return 0;
    double w = 0;
    for (char32_t c : CTDecodeUTF8Lenient(utf8)) w += CTFontGetAdvanceForCharacter(font_, c);
    return static_cast<int>(std::lround(w));
}

std::string X11Text::fit(const std::string& utf8, int room) const {
    if (!font_) return utf8;
    std::u32string chars = CTDecodeUTF8Lenient(utf8);
    double w = 0;
    size_t n = 0;
    for (; n < chars.size(); ++n) {
        w += CTFontGetAdvanceForCharacter(font_, chars[n]);
        if (std::lround(w) > room) break;
    }
    if (n == chars.size()) return utf8;
    chars.resize(n);
    return CTEncodeUTF8(chars);
}

void X11Text::draw(Drawable d, GC gc, int x, int baseline, const std::string& utf8, unsigned long fg,
                   unsigned long bg) const {
    if (!font_ || utf8.empty()) return;
    CTLineRef line = CTLineCreate(font_, CTDecodeUTF8Lenient(utf8));
    CTCoverage cov = CTLineRenderCoverage(line, x, baseline, true);
    CTLineRelease(line);
    if (cov.values.empty()) return;
    XImage* img = XCreateImage(dpy_, visual_, static_cast<unsigned>(depth_), ZPixmap, 0, nullptr,
                               static_cast<unsigned>(cov.width), static_cast<unsigned>(cov.height), 32, 0);
    if (!img) return;
    img->data = static_cast<char*>(std::malloc(static_cast<size_t>(img->bytes_per_line) * cov.height));
    if (!img->data) {
        XDestroyImage(img);
        return;
    }
    for (int y = 0; y < cov.height; ++y)
        for (int px = 0; px < cov.width; ++px)
            XPutPixel(img, px, y, blend(fg, bg, cov.values[static_cast<size_t>(y) * cov.width + px]));
    XPutImage(dpy_, d, gc, img, 0, 0, cov.left, cov.top, static_cast<unsigned>(cov.width),
              static_cast<unsigned>(cov.height));
    XDestroyImage(img);
}

}  // namespace platform::appkit
