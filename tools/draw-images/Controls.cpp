// Buttons, lamps, radio rows, small icon controls, covers and fields. Frame 1
// (top) is the control at rest, frame 2 pressed or lit.
#include <algorithm>

#include "tools/draw-images/Paint.h"

namespace drawimages {

const Rgba kAccent = rgb(0xFF8C1A);
const Rgba kPink = rgb(0xFF4F9A);

namespace {

const Rgba kLabelUp = rgb(0xD5D9DF);
const Rgba kIcon = rgb(0x9AA0A8);

void lamp(Canvas& c, float cx, float cy, float r, Rgba lit, bool on) {
    const Box box{cx - 4 * r, cy - 4 * r, cx + 4 * r, cy + 4 * r};
    auto disc = [&](float x, float y) { return sdCircle(x, y, cx, cy, r); };
    c.fill(
        box, [&](float x, float y) { return sdCircle(x, y, cx, cy, r + 1.0f); }, rgb(0x050506), 0.8f);
    if (on) {
        c.fill(box, disc, lit, 0.45f, 3.0f * r);
        c.fillV(box, disc, mix(lit, rgb(0xFFFFFF), 0.55f), lit, cy - r, cy + r);
    } else {
        c.fillV(box, disc, mix(lit, rgb(0x000000), 0.55f), mix(lit, rgb(0x000000), 0.8f), cy - r, cy + r);
    }
    c.fill(
        box, [&](float x, float y) { return sdCircle(x, y, cx - r * 0.3f, cy - r * 0.35f, r * 0.35f); }, rgb(0xFFFFFF),
        on ? 0.6f : 0.15f);
}

void padlock(Canvas& c, float x, float y, float s, Rgba colour, bool closed) {
    const float k = s / 20.0f;
    const Box box{x, y, x + s, y + s};
    const float bx = x + 4.5f * k, by = y + 9.0f * k, bw = 11.0f * k, bh = 8.5f * k;
    // The shackle: a half ring with two legs; open, it stands raised.
    const float lift = closed ? 0.0f : 3.0f * k;
    const float sx = x + s / 2, sy = y + 7.0f * k - lift, sr = 3.5f * k, sw = 0.9f * k;
    auto shackle = [&](float px, float py) {
        float d = sdArc(px, py, sx, sy, sr, -90.0f, 90.0f, sw);
        d = std::min(d, sdCapsule(px, py, sx + sr, sy, sx + sr, by, sw));
        if (closed) d = std::min(d, sdCapsule(px, py, sx - sr, sy, sx - sr, by, sw));
        return d;
    };
    c.fill(box, shackle, colour);
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, bx, by, bw, bh, 1.5f * k); }, colour);
    c.fill(
        box, [&](float px, float py) { return sdCircle(px, py, x + s / 2, by + bh * 0.45f, 1.1f * k); }, rgb(0x000000),
        0.55f);
}

void magnifier(Canvas& c, float cx, float cy, float s, Rgba colour) {
    const Box box{cx - s, cy - s, cx + s, cy + s};
    const float r = s * 0.42f;
    c.fill(
        box, [&](float x, float y) { return std::fabs(sdCircle(x, y, cx - s * 0.15f, cy - s * 0.15f, r)) - 0.9f; },
        colour);
    c.fill(
        box,
        [&](float x, float y) {
            return sdCapsule(x, y, cx + s * 0.18f, cy + s * 0.18f, cx + s * 0.62f, cy + s * 0.62f, 1.3f);
        },
        colour);
}

void chain(Canvas& c, float cx, float cy, float s, Rgba colour) {
    const Box box{cx - s, cy - s, cx + s, cy + s};
    const float lw = s * 0.75f, lh = s * 0.5f;
    for (int side = -1; side <= 1; side += 2) {
        const float lx = cx + side * s * 0.3f - lw / 2;
        c.fill(
            box, [&](float x, float y) { return std::fabs(sdRoundRect(x, y, lx, cy - lh / 2, lw, lh, lh / 2)) - 0.9f; },
            colour);
    }
}

void hatchCover(Canvas& c, int w, int h) {
    const Box box{0, 0, (float)w, (float)h};
    auto plate = [&](float x, float y) { return sdRoundRect(x, y, 0.5f, 0.5f, w - 1.0f, h - 1.0f, 3.0f); };
    c.fill(box, plate, rgb(0x15161A), 0.88f);
    c.fill(
        box,
        [&](float x, float y) {
            const float d = std::fabs(std::fmod(x + y + 1000.0f, 6.0f) - 3.0f) - 0.7f;
            return std::max(d, plate(x, y));
        },
        rgb(0x3A3D43), 0.8f);
    c.fill(
        box, [&](float x, float y) { return std::fabs(plate(x, y)) - 0.5f; }, rgb(0x4A4E55));
}

void field(Canvas& c, int w, int h, bool searchIcon) {
    const Box box{0, 0, (float)w, (float)h};
    c.fill(
        box, [&](float x, float y) { return sdRoundRect(x, y, 0, 0, (float)w, (float)h, 4.0f); }, rgb(0x4A4E55));
    c.fillV(
        box, [&](float x, float y) { return sdRoundRect(x, y, 1, 1, w - 2.0f, h - 2.0f, 3.0f); }, rgb(0x060708),
        rgb(0x1A1C20), 1, h - 1.0f);
    c.fill(
        box, [&](float x, float y) { return sdRoundRect(x, y, 1, 1, w - 2.0f, 3.0f, 1.5f); }, rgb(0x000000), 0.4f);
    if (searchIcon) magnifier(c, w - h * 0.5f, h * 0.5f, h * 0.34f, rgb(0x5C6169));
}

}  // namespace

void paintButtonFace(Canvas& c, float x, float y, float w, float h, bool down, const std::string& face) {
    const Box box{x, y, x + w, y + h};
    const float r = face == "big" ? 5.0f : std::min(4.0f, h / 4);
    auto body = [&](float px, float py) { return sdRoundRect(px, py, x + 0.5f, y + 0.5f, w - 1, h - 1.5f, r); };
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x + 0.5f, y + 1.0f, w - 1, h - 1.0f, r); },
        rgb(0x000000), 0.55f);
    Rgba top = rgb(0x4C5057), bottom = rgb(0x232528);
    if (face == "pink") {
        top = down ? rgb(0xFF7AB4) : rgb(0x5E2F46);
        bottom = down ? rgb(0xC92468) : rgb(0x341A27);
    } else if (down) {
        top = rgb(0x1E2023);
        bottom = rgb(0x33363B);
    }
    c.fillV(box, body, top, bottom, y, y + h);
    c.fill(
        box, [&](float px, float py) { return std::fabs(body(px, py)) - 0.5f; }, rgb(0x07080A), 0.9f);
    if (!down)
        c.fill(
            box, [&](float px, float py) { return std::max(std::fabs(py - (y + 2.0f)) - 0.5f, body(px, py) + 1.5f); },
            rgb(0xFFFFFF), face == "pink" ? 0.18f : 0.14f);
    if (face == "big") {
        // A lit strip across the top of the big buttons.
        c.fill(
            box, [&](float px, float py) { return sdRoundRect(px, py, x + 6, y + 4, w - 12, 3.0f, 1.5f); },
            down ? kAccent : rgb(0x3A2612));
        if (down)
            c.fill(
                box, [&](float px, float py) { return sdRoundRect(px, py, x + 6, y + 4, w - 12, 3.0f, 1.5f); }, kAccent,
                0.4f, 4.0f);
    }
}

std::unique_ptr<Canvas> paintControl(const ImageEntry& s) {
    const int w = s.w, h = s.h;
    auto out = std::make_unique<Canvas>(w, h * s.frames, Rgba{0, 0, 0, 0});
    Canvas& c = *out;
    for (int f = 0; f < s.frames; f++) {
        const float oy = float(f * h);
        // A pink button of one frame is a call to action: always lit.
        const bool on = f == 1 || (s.frames == 1 && s.face == "pink");
        if (s.kind == "button") {
            paintButtonFace(c, 0, oy, (float)w, (float)h, on, s.face);
            float tx = 0;
            if (s.face == "led") {
                lamp(c, 7.5f, oy + h / 2.0f - 0.5f, 2.5f, s.tone == "pink" ? kPink : rgb(0xFF3B2F), on);
                tx = 8;
            }
            Rgba ink = on ? (s.face == "pink" ? rgb(0xFFFFFF) : kAccent) : kLabelUp;
            const int size = std::max(8, std::min(11, h - 9));
            // Capitals sit a pixel low of the line's middle to look centred.
            c.text(s.label, (int)tx, (int)oy + (on ? 2 : 1), w - (int)tx, h - 1, s.face == "big" ? size + 1 : size,
                   true, ink);
        } else if (s.kind == "led") {
            lamp(c, w / 2.0f, oy + h / 2.0f, w * 0.3f, kPink, on);
        } else if (s.kind == "ledset") {
            const int lamps = std::max(1, s.lamps);
            if (lamps == 1) {
                // One lamp through its states: dark, then lit in turn amber and pink.
                const bool lit = s.lit != "none" && f > 0;
                lamp(c, w / 2.0f, oy + h / 2.0f, std::min(w, h) * 0.3f, f == 2 ? kPink : kAccent, lit);
                continue;
            }
            for (int i = 0; i < lamps; i++) {
                const bool lit = s.lit != "none" && (f == i || (f >= lamps && f == s.frames - 1));
                lamp(c, (i + 0.5f) * w / lamps, oy + h / 2.0f, h * 0.22f, kAccent, lit);
            }
        } else if (s.kind == "radio") {
            const int cells = std::max(1, s.cells);
            const float cw = float(w) / cells;
            for (int i = 0; i < cells; i++) {
                const float cx = i * cw;
                paintButtonFace(c, cx + 1, oy, cw - 2, (float)h, on, "dark");
                const std::string text = i < (int)s.cellLabels.size() ? s.cellLabels[i] : "";
                if (text.empty()) {
                    lamp(c, cx + cw / 2, oy + h / 2.0f + (on ? 0.5f : 0.0f), h * 0.12f, kAccent, on);
                    continue;
                }
                // A chosen tab: lit print and a lit line along its foot.
                const int size = std::max(8, std::min(10, h - 9));
                c.text(text, (int)cx + 1, (int)oy + (on ? 1 : 0), (int)cw - 2, h - 3, size, true,
                       on ? kAccent : kLabelUp);
                if (on) c.rect((int)cx + 5, (int)oy + h - 4, (int)cw - 10, 2, kAccent);
            }
        } else if (s.kind == "linker") {
            paintButtonFace(c, 0, oy, (float)w, (float)h, on, "dark");
            chain(c, w / 2.0f, oy + h / 2.0f, h * 0.5f, on ? kAccent : kIcon);
        } else if (s.kind == "search") {
            paintButtonFace(c, 0, oy, (float)w, (float)h, on, "dark");
            magnifier(c, w / 2.0f, oy + h / 2.0f, h * 0.38f, on ? kAccent : kLabelUp);
        } else if (s.kind == "lock") {
            Rgba ink = s.tone == "white" ? rgb(0xF2F2F2) : s.tone == "black" ? rgb(0x16181B) : (on ? kAccent : kIcon);
            if (s.tone != "amber" && on) ink = mix(ink, kAccent, 0.35f);
            // A disc behind the lock so that it reads, open or shut, on any
            // panel, light or dark; a black padlock needs a lighter one.
            const Box box{0, oy, (float)w, oy + h};
            c.fill(
                box, [&](float x, float y) { return sdCircle(x, y, w / 2.0f, oy + h / 2.0f, w * 0.48f); },
                s.tone == "black" ? rgb(0xFFFFFF) : rgb(0x000000), s.tone == "black" ? 0.75f : 0.55f);
            padlock(c, 0, oy, (float)std::min(w, h), ink, on);
        } else if (s.kind == "checkbox") {
            const Box box{0, oy, (float)w, oy + h};
            auto sq = [&](float x, float y) { return sdRoundRect(x, y, 1, oy + 1, w - 2.0f, h - 2.0f, 2.5f); };
            c.fill(
                box, [&](float x, float y) { return sdRoundRect(x, y, 0, oy, (float)w, (float)h, 3.0f); },
                rgb(0x8A9098));
            c.fillV(box, sq, on ? mix(kAccent, rgb(0xFFFFFF), 0.3f) : rgb(0x0B0C0E), on ? kAccent : rgb(0x24262A), oy,
                    oy + h);
            if (on) {
                const float k = w / 16.0f;
                auto tick = [&](float x, float y) {
                    return std::min(sdCapsule(x, y, 4 * k, oy + 8.5f * k, 7 * k, oy + 11.5f * k, 1.1f * k),
                                    sdCapsule(x, y, 7 * k, oy + 11.5f * k, 12 * k, oy + 4.5f * k, 1.1f * k));
                };
                c.fill(box, tick, rgb(0x1A1205));
            }
        } else if (s.kind == "handle") {
            const Box box{0, oy, (float)w, oy + h};
            auto cap = [&](float x, float y) { return sdRoundRect(x, y, 1, oy + 1, w - 2.0f, h - 3.0f, 3.0f); };
            c.fill(
                box, [&](float x, float y) { return sdRoundRect(x, y, 1, oy + 2, w - 2.0f, h - 2.0f, 3.0f); },
                rgb(0x000000), 0.6f, 2.0f);
            c.fillV(box, cap, rgb(0xE4E7EA), rgb(0x80868E), oy, oy + h);
            c.fill(
                box, [&](float x, float y) { return std::fabs(cap(x, y)) - 0.5f; }, rgb(0x2A2C30), 0.8f);
            c.rect(3, (int)oy + h / 2 - 1, w - 6, 2, rgb(0x1A1C1F));
        } else if (s.kind == "clear") {
            // Nothing: what the panel prints below shows through.
        } else if (s.kind == "cover") {
            hatchCover(c, w, h);
        } else if (s.kind == "field") {
            field(c, w, h, s.file.find("search") != std::string::npos);
        } else {
            return nullptr;
        }
    }
    return out;
}

}  // namespace drawimages
