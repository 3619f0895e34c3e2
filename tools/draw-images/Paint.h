// The painters: one per kind of image, and the colour schemes of the skins.
#pragma once

#include <memory>
#include <string>

#include "tools/draw-images/Canvas.h"
#include "tools/draw-images/ImageList.h"

namespace drawimages {

// Colours of one skin's backgrounds. Controls are shared by every skin and
// keep their own colours, chosen to sit on all three.
struct Palette {
    const char* name;
    const char* suffix;  // before ".png" in the skin's background files
    Rgba bodyTop, bodyBottom;
    Rgba plateTop, plateBottom, plateEdge, plateShine;
    Rgba title, accent, label;
    Rgba headTop, headBottom, brand;
    Rgba lcdTop, lcdBottom, lcdText;
    Rgba wellTop, wellBottom;
    bool brushed;  // fine horizontal grain over the body
};

// Skins 0 ("legacy"), 1 ("s-model") and 2 ("platinum").
const Palette& skinPalette(int skin);

// The whole image (all frames, stacked), or null for an unknown kind.
// Backgrounds take their size and contents from panel, and colours from pal.
std::unique_ptr<Canvas> paintImage(const ImageEntry& image, const PanelLayout* panel, const Palette& pal);

std::unique_ptr<Canvas> paintKnob(const ImageEntry& image);
std::unique_ptr<Canvas> paintControl(const ImageEntry& image);
std::unique_ptr<Canvas> paintPanel(const ImageEntry& image, const PanelLayout* panel, const Palette& pal);

// Shared by the painters.
extern const Rgba kAccent;  // lit arcs and lamps of the controls
extern const Rgba kPink;    // the pink buttons and lamps
void paintButtonFace(Canvas& c, float x, float y, float w, float h, bool down, const std::string& face);

}  // namespace drawimages
