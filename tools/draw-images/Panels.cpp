// Backgrounds: the panel body in the skin's colours, with section plates,
// titles, labels, display windows and fields where the layout puts them.
#include <algorithm>
#include <cstdint>
#include <sstream>
#include <vector>

#include "tools/draw-images/Paint.h"

namespace drawimages {

namespace {

const Palette kPalettes[3] = {
    // legacy: warm black panel, oxblood header, cream print, red rules, amber displays
    {"legacy",      "-leg",        rgb(0x1D1A17), rgb(0x0E0C0B), rgb(0x2B2723), rgb(0x1F1C19), rgb(0x4A423A),
     rgb(0xFFFFFF), rgb(0xF0E4C4), rgb(0xD2452E), rgb(0xDED2B2), rgb(0x5A2119), rgb(0x2A0F0B), rgb(0xF0E4C4),
     rgb(0xE6C56C), rgb(0xC9A448), rgb(0x2A1E05), rgb(0x0A0908), rgb(0x171412), false},
    // s-model: charcoal panel, white titles, orange rules, pale green displays
    {"s-model",     "",
     rgb(0x262A31), rgb(0x181B1F),
     rgb(0x323840), rgb(0x272B31),
     rgb(0x454C55), rgb(0xFFFFFF),
     rgb(0xF3F5F8), rgb(0xFF8C1A),
     rgb(0xC3CAD3), rgb(0x343A42),
     rgb(0x1B1E22), rgb(0xFFFFFF),
     rgb(0xBCD6C8), rgb(0x9CBBAA),
     rgb(0x0E1A14), rgb(0x0D0F11),
     rgb(0x1B1E22), false},
    // platinum: brushed silver plates, dark print, blue rules, graphite header
    {"platinum",    "-pla",        rgb(0xBFC3C9), rgb(0x9EA3AA), rgb(0xE0E3E7), rgb(0xCED2D7), rgb(0x8C929A),
     rgb(0xFFFFFF), rgb(0x1D2126), rgb(0x2F6DB5), rgb(0x2A2F35), rgb(0x59606A), rgb(0x353A41), rgb(0xF4F6F8),
     rgb(0xEAF1F5), rgb(0xCCD9E2), rgb(0x0B1116), rgb(0xF1F3F5), rgb(0xD9DDE2), true},
};

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::stringstream ss(s);
    std::string part;
    while (std::getline(ss, part, sep)) out.push_back(part);
    return out;
}

// The panel's height at scale 1.0: the body's shading runs over it, so that
// backgrounds laid over one another continue each other's shading.
constexpr int kPanelHeight = 720;

// Fine horizontal grain, a function of the panel row, the same on every run.
void brush(Canvas& c, int panelTop) {
    for (int y = 0; y < c.height(); y++) {
        uint32_t v = uint32_t(y + panelTop) * 2654435761u;
        v ^= v >> 15;
        v *= 2246822519u;
        v ^= v >> 13;
        const float t = float(v & 0xFFFF) / 65535.0f;
        c.rect(0, y, c.width(), 1, t > 0.5f ? rgb(0xFFFFFF) : rgb(0x000000), 0.05f * std::fabs(t - 0.5f) * 2);
    }
}

void plate(Canvas& c, const Palette& p, float x, float y, float w, float h, const std::string& title, bool dialog) {
    const Box box{x - 8, y - 8, x + w + 8, y + h + 10};
    const float r = dialog ? 8.0f : 6.0f;
    auto shape = [&](float px, float py) { return sdRoundRect(px, py, x, y, w, h, r); };
    const bool light = p.brushed;
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x, y + 2, w, h, r); }, rgb(0x000000),
        light ? 0.28f : (dialog ? 0.7f : 0.5f), dialog ? 8.0f : 4.0f);
    c.fillV(box, shape, p.plateTop, p.plateBottom, y, y + h);
    c.fill(
        box, [&](float px, float py) { return std::fabs(shape(px, py) + 0.5f) - 0.5f; }, p.plateEdge);
    c.fill(
        box, [&](float px, float py) { return std::max(std::fabs(py - (y + 1.5f)) - 0.5f, shape(px, py) + 2.0f); },
        p.plateShine, light ? 0.7f : 0.09f);
    if (title.empty()) return;
    if (dialog) {
        const float bar = 26;
        auto band = [&](float px, float py) { return std::max(shape(px, py) + 1.0f, py - (y + bar)); };
        c.fillV(box, band, p.headTop, p.headBottom, y, y + bar);
        c.rect((int)x + 1, (int)(y + bar), (int)w - 2, 2, p.accent);
        c.text(title, (int)x + 12, (int)y + 1, (int)w - 24, (int)bar, 13, true, p.brand, 0);
        return;
    }
    const int size = 11;
    const int tw = c.textWidth(title, size, true);
    c.rect((int)x + 8, (int)y + 6, 3, 11, p.accent);
    c.text(title, (int)x + 15, (int)y + 3, (int)w - 20, 17, size, true, p.title, 0);
    const int rx = (int)x + 15 + tw + 8;
    if (rx < x + w - 12) c.rect(rx, (int)y + 11, (int)(x + w) - 10 - rx, 1, p.plateEdge, 0.9f);
}

void lcd(Canvas& c, const Palette& p, float x, float y, float w, float h, const std::string& caption) {
    const Box box{x - 2, y - 14, x + w + 2, y + h + 2};
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x - 1, y - 1, w + 2, h + 2, 4.0f); }, rgb(0x050505),
        0.9f);
    auto glass = [&](float px, float py) { return sdRoundRect(px, py, x + 1, y + 1, w - 2, h - 2, 2.5f); };
    c.fillV(box, glass, p.lcdTop, p.lcdBottom, y, y + h);
    c.fill(
        box, [&](float px, float py) { return std::max(glass(px, py), py - (y + 3.5f)); }, rgb(0x000000), 0.18f);
    if (!caption.empty() && y >= 12) c.text(caption, (int)x + 2, (int)y - 13, (int)w, 12, 9, true, p.label, 0);
}

void well(Canvas& c, const Palette& p, float x, float y, float w, float h, const std::string& caption) {
    const Box box{x - 2, y - 14, x + w + 2, y + h + 2};
    auto inner = [&](float px, float py) { return sdRoundRect(px, py, x, y, w, h, 3.0f); };
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x - 1, y - 1, w + 2, h + 2, 4.0f); }, rgb(0x000000),
        p.brushed ? 0.35f : 0.6f);
    c.fillV(box, inner, p.wellTop, p.wellBottom, y, y + h);
    c.fill(
        box, [&](float px, float py) { return std::max(inner(px, py), (y + h - 1.5f) - py); }, rgb(0xFFFFFF),
        p.brushed ? 0.5f : 0.06f);
    if (!caption.empty() && y >= 12) c.text(caption, (int)x + 2, (int)y - 13, (int)w, 12, 9, true, p.label, 0);
}

void groove(Canvas& c, float x, float y, float w, float h) {
    const Box box{x - 2, y - 2, x + w + 2, y + h + 2};
    const float r = std::min(w, h) / 2;
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x, y, w, h, r); }, rgb(0x050506), 0.9f);
    c.fill(
        box, [&](float px, float py) { return std::fabs(sdRoundRect(px, py, x, y, w, h, r)) - 0.5f; }, rgb(0xFFFFFF),
        0.12f);
}

void header(Canvas& c, const Palette& p, float x, float y, float w, float h, const std::string& label, bool top) {
    const Box box{x, y, x + w, y + h};
    c.fillV(
        box, [&](float px, float py) { return sdRoundRect(px, py, x, y, w, h, 0.0f); }, top ? p.headTop : p.headBottom,
        top ? p.headBottom : p.headTop, y, y + h);
    c.rect((int)x, top ? (int)(y + h) - 2 : (int)y, (int)w, 2, p.accent);
    const auto parts = split(label, '|');
    if (parts.empty()) return;
    const int size = top ? 20 : 11;
    c.text(parts[0], (int)x + 16, (int)y, (int)w - 32, (int)h - 2, size, true, p.brand, 0);
    if (parts.size() > 1) {
        const int bx = (int)x + 16 + c.textWidth(parts[0], size, true) + 12;
        const Rgba sub = mix(p.accent, p.brand, 0.4f);
        c.text(parts[1], bx, (int)y + 2, (int)w - bx, (int)h - 2, 11, true, sub, 0);
    }
}

// One pane of the librarian's slot grid (the view draws the names over it):
// 8 columns x 16 rows of 97 x 16 slots, the first column's left at x, each
// column with a 30 pixel numbered gutter before it.
void slotPane(Canvas& c, float x, float y) {
    const int colW = 97, rowH = 16, gap = 30, rows = 16, cols = 8;
    c.fill(
        Box{x - gap - 2, y - 4, x + cols * (colW + gap) + 2, y + rows * rowH + 4},
        [&](float px, float py) {
            return sdRoundRect(px, py, x - gap, y - 2, cols * (colW + gap) - gap + gap, rows * rowH + 4, 3.0f);
        },
        rgb(0x101215));
    for (int col = 0; col < cols; col++) {
        const int left = (int)x + col * (colW + gap);
        for (int row = 0; row < rows; row++) {
            const int top = (int)y + row * rowH;
            c.rect(left, top, colW, rowH, row % 2 ? rgb(0x16191D) : rgb(0x1D2126));
            c.text(std::to_string(col * rows + row + 1), left - gap, top, gap - 4, rowH, 10, true, rgb(0x969DA7), 2);
        }
        c.rect(left, (int)y, 1, rows * rowH, rgb(0x2A2F36));
    }
}

void bar(Canvas& c, const Palette& p, float x, float y, float w, float h, const std::string& label) {
    const Box box{x - 1, y - 1, x + w + 1, y + h + 2};
    auto shape = [&](float px, float py) { return sdRoundRect(px, py, x, y, w, h, 3.0f); };
    c.fill(
        box, [&](float px, float py) { return sdRoundRect(px, py, x, y + 1, w, h, 3.0f); }, rgb(0x000000), 0.35f);
    c.fillV(box, shape, p.headTop, p.headBottom, y, y + h);
    c.fill(
        box, [&](float px, float py) { return std::fabs(shape(px, py) + 0.5f) - 0.5f; }, rgb(0x000000), 0.5f);
    if (!label.empty()) c.text(label, (int)x + 10, (int)y, (int)w - 20, (int)h, 10, true, p.brand, 0);
}

// A window floating over the panel: a framed plate with a title band.
void window(Canvas& c, const Palette& p, float w, float h, const std::string& title) {
    plate(c, p, 0, 0, w, h, "", true);
    const float band = 32;
    auto shape = [&](float px, float py) { return sdRoundRect(px, py, 0, 0, w, h, 8.0f); };
    c.fillV(
        Box{0, 0, w, band + 2}, [&](float px, float py) { return std::max(shape(px, py) + 1.0f, py - band); },
        p.headTop, p.headBottom, 0, band);
    c.rect(1, (int)band, (int)w - 2, 2, p.accent);
    if (!title.empty()) c.text(title, 12, 0, (int)w - 24, (int)band, 14, true, p.brand, 0);
}

}  // namespace

const Palette& skinPalette(int skin) { return kPalettes[skin >= 0 && skin <= 2 ? skin : 1]; }

std::unique_ptr<Canvas> paintPanel(const ImageEntry& s, const PanelLayout* panel, const Palette& p) {
    int w = s.w, h = s.h, ox = 0, oy = 0;
    if (panel && panel->placed) {
        // Whole frames at every panel size need sides in multiples of 4.
        w = (panel->w + 3) / 4 * 4;
        h = (panel->h + 3) / 4 * 4;
        ox = panel->x;
        oy = panel->y;
    }
    // A background that carries its own title at its top edge, outside any
    // section, floats over the panel as a window.
    bool titled = false;
    if (panel && panel->placed && (panel->w < 1200 || panel->h < kPanelHeight - 36))
        for (const LayoutItem& it : panel->items)
            if ((it.kind == "label" || it.kind == "title") && it.y - oy >= 0 && it.y - oy <= 12) titled = true;
    const bool asWindow = !panel || s.window || titled || panel->items.empty();
    const bool floating = asWindow || panel->items.front().kind == "dialog" || panel->items.front().kind == "veil";
    // Slot panes alone (the librarian view's bitmap) leave the rest clear, so
    // that what the page below prints between the panes stays seen.
    const bool panesOnly =
        panel && !panel->items.empty() &&
        std::all_of(panel->items.begin(), panel->items.end(), [](const LayoutItem& i) { return i.kind == "slots"; });
    Rgba clear = floating ? Rgba{0, 0, 0, 0} : p.bodyBottom;
    if (panesOnly) clear = Rgba{p.bodyBottom.r, p.bodyBottom.g, p.bodyBottom.b, 0};
    auto out = std::make_unique<Canvas>(w, h, clear);
    Canvas& c = *out;
    if (!floating && !panesOnly) {
        const float t0 = std::clamp(float(oy) / kPanelHeight, 0.0f, 1.0f);
        const float t1 = std::clamp(float(oy + h) / kPanelHeight, 0.0f, 1.0f);
        c.gradient(0, 0, w, h, mix(p.bodyTop, p.bodyBottom, t0), mix(p.bodyTop, p.bodyBottom, t1));
        if (p.brushed) brush(c, oy);
    }
    std::vector<Box> bars;  // header and footer bars painted so far
    if (asWindow) {
        // A window: framed, its title band holds the layout's first label.
        window(c, p, (float)w, (float)h, panel ? "" : s.label);
        bars.push_back(Box{0, 0, (float)w, 32});
        if (!panel) return out;
    }
    auto onBar = [&](float x, float y, float w, float h) {
        for (const Box& b : bars)
            if (x >= b.x0 && y >= b.y0 && x + w <= b.x1 && y + h <= b.y1) return true;
        return false;
    };
    for (const LayoutItem& it : panel->items) {
        const float x = it.x - ox, y = it.y - oy;
        const std::string& k = it.kind;
        if (k == "plate") {
            plate(c, p, x, y, it.w, it.h, it.label, false);
        } else if (k == "dialog") {
            plate(c, p, x, y, it.w, it.h, it.label, true);
        } else if (k == "header" || k == "footer") {
            header(c, p, x, y, it.w, it.h, it.label, k == "header");
            bars.push_back(Box{x, y, x + it.w, y + it.h});
        } else if (k == "bar") {
            bar(c, p, x, y, it.w, it.h, it.label);
            bars.push_back(Box{x, y, x + it.w, y + it.h});
        } else if (k == "caption") {
            c.text(it.label, (int)x, (int)y, (int)it.w, (int)it.h, it.size ? it.size : 9, true,
                   onBar(x, y, it.w, it.h) ? p.brand : p.label, it.align < 0 ? 1 : it.align);
        } else if (k == "lcd") {
            lcd(c, p, x, y, it.w, it.h, it.label);
        } else if (k == "well") {
            well(c, p, x, y, it.w, it.h, it.label);
        } else if (k == "slot") {
            groove(c, x, y, it.w, it.h);
        } else if (k == "button" && (it.label == "<" || it.label == ">")) {
            // A stepping button: its arrow, printed in the panel so that the
            // clear button image over it shows it.
            paintButtonFace(c, x, y, it.w, it.h, false, "dark");
            const float cx = x + it.w / 2.0f, cy = y + it.h / 2.0f - 0.5f, s = std::min(it.w, it.h) * 0.3f;
            const float dir = it.label == "<" ? -1.0f : 1.0f;
            // Inside where all three edges' half-planes agree.
            auto arrow = [&](float px, float py) {
                const float u = (px - cx) * dir;
                const float v = std::fabs(py - cy);
                return std::max(-u - s * 0.6f, (u * 0.9f + v * 1.2f - s * 0.9f) / 1.5f);
            };
            c.fill(Box{x, y, x + it.w, y + it.h}, arrow, rgb(0xD5D9DF));
        } else if (k == "button") {
            paintButtonFace(c, x, y, it.w, it.h, false, "dark");
            c.text(it.label, (int)x, (int)y + 1, (int)it.w, (int)it.h - 1, it.size ? it.size : 10, true, rgb(0xD5D9DF),
                   1);
        } else if (k == "label") {
            c.text(it.label, (int)x, (int)y, (int)it.w, (int)it.h, it.size ? it.size : 10, true,
                   onBar(x, y, it.w, it.h) ? p.brand : p.label, it.align < 0 ? 1 : it.align);
        } else if (k == "title") {
            c.text(it.label, (int)x, (int)y, (int)it.w, (int)it.h, it.size ? it.size : 16, true, p.title,
                   it.align < 0 ? 1 : it.align);
        } else if (k == "text") {
            const int size = it.size ? it.size : 12;
            int line = 0;
            for (const std::string& t : split(it.label, '|'))
                c.text(t, (int)x, (int)y + line++ * (size * 3 / 2), (int)it.w, size * 3 / 2, size, false, p.label,
                       it.align < 0 ? 0 : it.align);
        } else if (k == "rule") {
            c.rect((int)x, (int)y, (int)it.w, std::max(1, (int)it.h), p.accent, 0.9f);
        } else if (k == "veil") {
            c.rect((int)x, (int)y, (int)it.w, (int)it.h, rgb(0x000000), 0.6f);
        } else if (k == "slots") {
            slotPane(c, x, y);
        }
    }
    return out;
}

std::unique_ptr<Canvas> paintImage(const ImageEntry& image, const PanelLayout* panel, const Palette& pal) {
    if (image.kind == "knob") return paintKnob(image);
    if (image.kind == "panel") return paintPanel(image, panel, pal);
    return paintControl(image);
}

}  // namespace drawimages
