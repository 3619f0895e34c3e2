// What draw-images reads: the list of image files with how each is painted,
// and the section layout of the panel backgrounds.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace drawimages {

struct ImageEntry {
    std::string file;  // below resources/, e.g. "img-v2/Halvoran1.png"
    std::string name;  // the image name the panel asks for (backgrounds only)
    std::string kind, style, face, label, tone, lit;
    std::vector<std::string> cellLabels;  // radio cells' texts, left to right
    int frames = 1, w = 0, h = 0, cells = 0, lamps = 0;
    bool window = false;   // a background that floats over the panel as a framed window
    bool perSkin = false;  // one file per skin, the skin's suffix before ".png"

    std::string stem() const;  // file name without folder and ".png"
};

// One thing painted on a background, in panel coordinates at scale 1.0.
struct LayoutItem {
    std::string kind;   // plate, header, footer, lcd, well, slot, label, title, text, rule, dialog, veil, slots
    std::string label;  // a section's title, a label's text
    float x = 0, y = 0, w = 0, h = 0;
    int size = 0;    // text size, 0 for the kind's own
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

bool readImageEntries(const std::string& path, std::vector<ImageEntry>& out, std::string& error);

// Applies the <images> list of a layout file, by image name: the frame size
// the panel is laid out for (rounded up to multiples of 4, with a note), the
// texts and what the frames show. Frame counts stay the table's; a differing
// count or an unknown name gives a note.
bool readImageOverrides(const std::string& path, std::vector<ImageEntry>& images, std::vector<std::string>& notes,
                        std::string& error);

// Adds the backgrounds of a layout file to layout; a background already there
// is replaced whole. Backgrounds may be named by file stem ("layer-main") or
// by image name ("BG_ID_MAIN", resolved through images). Sections outside any
// background element name theirs with a "background" attribute, else they
// belong to "bg-main".
bool readLayout(const std::string& path, const std::vector<ImageEntry>& images, Layout& layout, std::string& error);

}  // namespace drawimages
