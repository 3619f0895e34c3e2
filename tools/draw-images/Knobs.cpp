// Knob strips: a dark knob with a pointer and a lit arc, one frame per value,
// stacked top to bottom. The knob turns through 270 degrees, from 135 degrees
// left of the top (first frame) to 135 degrees right of it (last frame).
#include "tools/draw-images/Paint.h"

namespace drawimages {

namespace {

constexpr float kSweep = 135.0f;

float frameAngle(int frame, int frames) {
    const float t = frames > 1 ? float(frame) / float(frames - 1) : 0.0f;
    return -kSweep + 2.0f * kSweep * t;
}

}  // namespace

std::unique_ptr<Canvas> paintKnob(const ImageEntry& s) {
    const int size = std::min(s.w, s.h);
    const float c = size / 2.0f, k = size / 48.0f;
    const float ringR = 20.5f * k, ringW = 1.7f * k;
    const float skirtR = 16.5f * k, capR = 13.0f * k;
    const bool bipolar = s.style == "bipolar";
    const Box all{0, 0, (float)size, (float)size};

    // What does not turn: shadow, the arc's track, scale marks, the knob body.
    Canvas base(size, size, Rgba{0, 0, 0, 0});
    // A shallow recess the knob sits in, so that it reads on light panels too.
    base.fill(
        all, [&](float x, float y) { return sdCircle(x, y, c, c, ringR + ringW + 0.5f * k); }, rgb(0x000000), 0.22f);
    base.fill(
        all, [&](float x, float y) { return sdCircle(x, y, c, c + 1.5f * k, skirtR); }, rgb(0x000000), 0.65f, 5.0f * k);
    base.fill(
        all, [&](float x, float y) { return sdArc(x, y, c, c, ringR, -kSweep, kSweep, ringW); }, rgb(0x08090A), 0.85f);
    const float marks[] = {-kSweep, kSweep, 0.0f};
    for (int m = 0; m < (bipolar ? 3 : 2); m++) {
        float ax, ay, bx, by;
        polar(c, c, ringR + 2.0f * k, marks[m], ax, ay);
        polar(c, c, ringR + 3.2f * k, marks[m], bx, by);
        base.fill(
            all, [&](float x, float y) { return sdCapsule(x, y, ax, ay, bx, by, 0.55f * k); }, rgb(0x9BA1A8), 0.9f);
    }
    base.fillV(
        all, [&](float x, float y) { return sdCircle(x, y, c, c, skirtR); }, rgb(0x6A6E75), rgb(0x17181B), c - skirtR,
        c + skirtR);
    base.fill(
        all, [&](float x, float y) { return std::fabs(sdCircle(x, y, c, c, skirtR - 0.5f)) - 0.5f; }, rgb(0x050506),
        0.7f);
    base.fillV(
        all, [&](float x, float y) { return sdCircle(x, y, c, c, capR); }, rgb(0x26292D), rgb(0x464A51), c - capR,
        c + capR);
    // A soft sheen on the upper half of the cap.
    base.fill(
        all, [&](float x, float y) { return sdCircle(x, y, c, c - 6.0f * k, 6.0f * k); }, rgb(0xFFFFFF), 0.10f,
        8.0f * k);

    auto strip = std::make_unique<Canvas>(size, size * s.frames, Rgba{0, 0, 0, 0});
    for (int f = 0; f < s.frames; f++) {
        const float oy = float(f * size);
        const Box box{0, oy, (float)size, oy + size};
        strip->copyFrom(base, 0, f * size);
        const float angle = frameAngle(f, s.frames);
        const float from = bipolar ? 0.0f : -kSweep;
        auto arc = [&](float x, float y) { return sdArc(x, y, c, c + oy, ringR, from, angle, ringW * 0.85f); };
        strip->fill(box, arc, kAccent, 0.35f, 4.0f * k);  // glow
        strip->fill(box, arc, kAccent);
        float ax, ay, bx, by;
        polar(c, c + oy, 4.0f * k, angle, ax, ay);
        polar(c, c + oy, capR - 1.2f * k, angle, bx, by);
        strip->fill(
            box, [&](float x, float y) { return sdCapsule(x, y, ax, ay + k, bx, by + k, 1.4f * k); }, rgb(0x000000),
            0.45f, 1.5f);
        strip->fill(
            box, [&](float x, float y) { return sdCapsule(x, y, ax, ay, bx, by, 1.35f * k); }, rgb(0xF4F1EA));
    }
    return strip;
}

}  // namespace drawimages
