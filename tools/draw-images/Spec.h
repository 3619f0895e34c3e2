// What draw-images reads: the list of image files with how each is painted,
// and the section layout of the panel backgrounds.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace drawimages {

struct ImageSpec {
    std::string file;  // below resources/, e.g. "img-v2/Halvoran1.png"
    std::string name;  // the image name the panel asks for (backgrounds only)
    std::string kind, style, face, label, tone, lit;
    int frames = 1, w = 0, h = 0, cells = 0, lamps = 0;
    bool perSkin = false;  // one file per skin, the skin's suffix before ".png"

    std::string stem() const;  // file name without folder and ".png"
};

// One thing painted on a background, in panel coordinates at scale 1.0.
struct LayoutItem {
    std::string kind;   // plate, header, footer, lcd, well, slot, label, title, text, rule, dialog, veil, slots
    std::string label;  // a section's title, a label's text
    float x = 0, y = 0, w = 0, h = 0;
    int size = 0;   // text size, 0 for the kind's own
    int align = -1;  // 0 left, 1 centre, 2 right, -1 the kind's own
};

// A background: where the panel places it and what is painted on it.
struct PanelLayout {
    std::string stem;
    int x = 0, y = 0, w = 0, h = 0;
    bool placed = false;  // bounds were given
    std::vector<LayoutItem> items;
};

using Layout = std::map<std::string, PanelLayout>;  // by file stem, e.g. "bg-main"

bool readImageSpecs(const std::string& path, std::vector<ImageSpec>& out, std::string& error);

// Adds the backgrounds of a layout file to layout; a background already there
// is replaced whole. Backgrounds may be named by file stem ("layer-main") or
// by image name ("BG_ID_MAIN", resolved through specs). Sections outside any
// background element name theirs with a "background" attribute, else they
// belong to "bg-main".
bool readLayout(const std::string& path, const std::vector<ImageSpec>& specs, Layout& layout, std::string& error);

}  // namespace drawimages
