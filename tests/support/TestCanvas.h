#pragma once
// Pixels the drawing tests read and write, in the layout of the toolkit's
// memory contexts and of our drawing contexts: four bytes a pixel, a skipped
// (or alpha) byte, then red, green, blue; rows w pixels apart, top row first
// in memory. Either its own zeroed bytes or a view of a context's.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace hvtest {

class TestCanvas {
public:
    TestCanvas(int w, int h) : w(w), h(h), pixels(static_cast<size_t>(w) * h * 4, 0), px(pixels.data()) {}
    TestCanvas(uint8_t* bytes, int w, int h) : w(w), h(h), px(bytes) {}
    TestCanvas(const TestCanvas&) = delete;
    TestCanvas& operator=(const TestCanvas&) = delete;

    uint8_t* at(int x, int y) const { return px + (static_cast<size_t>(y) * w + x) * 4; }
    int red(int x, int y) const { return at(x, y)[1]; }
    int green(int x, int y) const { return at(x, y)[2]; }
    int blue(int x, int y) const { return at(x, y)[3]; }
    int rgb(int x, int y) const { return red(x, y) << 16 | green(x, y) << 8 | blue(x, y); }
    void set(int x, int y, int first, int rgbValue) {
        uint8_t* p = at(x, y);
        p[0] = static_cast<uint8_t>(first);
        p[1] = static_cast<uint8_t>(rgbValue >> 16);
        p[2] = static_cast<uint8_t>(rgbValue >> 8);
        p[3] = static_cast<uint8_t>(rgbValue);
    }
    void fill(int rgbValue) {
        for (int y = 0; y < h; y++)
            for (int x = 0; x < w; x++) set(x, y, 0, rgbValue);
    }

    int w, h;
    std::vector<uint8_t> pixels;  // empty for a view
    uint8_t* px;
};

}  // namespace hvtest
