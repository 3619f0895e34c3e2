#include "tools/draw-images/ImageList.h"

#include <tinyxml2.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

namespace drawimages {

std::string ImageEntry::stem() const {
    std::string s = file.substr(file.find_last_of('/') + 1);
    const auto dot = s.rfind(".png");
    return dot == std::string::npos ? s : s.substr(0, dot);
}

namespace {

std::string attr(const tinyxml2::XMLElement* e, const char* name) {
    const char* v = e->Attribute(name);
    return v ? v : "";
}

std::string firstAttr(const tinyxml2::XMLElement* e, std::initializer_list<const char*> names) {
    for (const char* n : names)
        if (const char* v = e->Attribute(n)) return v;
    return "";
}

// Numbers of a comma list; false when one is not a number.
bool numbers(const std::string& text, std::vector<float>& out) {
    out.clear();
    std::stringstream ss(text);
    std::string part;
    while (std::getline(ss, part, ',')) {
        if (part.find_first_not_of(" \t") == std::string::npos) continue;
        char* end = nullptr;
        const float v = std::strtof(part.c_str(), &end);
        if (end == part.c_str()) return false;
        out.push_back(v);
    }
    return true;
}

// bounds="x,y,w,h" (also rect=), or x= y= w= h= (also width= height=).
bool readBounds(const tinyxml2::XMLElement* e, float& x, float& y, float& w, float& h) {
    std::vector<float> v;
    const std::string list = firstAttr(e, {"bounds", "rect", "position"});
    if (!list.empty()) {
        if (!numbers(list, v) || v.size() < 4) return false;
        x = v[0], y = v[1], w = v[2], h = v[3];
        return w > 0 && h > 0;
    }
    if (!e->Attribute("x") || !e->Attribute("y")) return false;
    x = e->FloatAttribute("x");
    y = e->FloatAttribute("y");
    w = e->FloatAttribute("w", e->FloatAttribute("width"));
    h = e->FloatAttribute("h", e->FloatAttribute("height"));
    return w > 0 && h > 0;
}

int alignOf(const std::string& a) {
    if (a == "left") return 0;
    if (a == "center" || a == "centre") return 1;
    if (a == "right") return 2;
    return -1;
}

std::string stemOf(const std::string& ref, const std::vector<ImageEntry>& images) {
    for (const ImageEntry& s : images)
        if (s.kind == "panel" && (s.name == ref || s.stem() == ref || s.file == ref)) return s.stem();
    std::string r = ref.substr(ref.find_last_of('/') + 1);
    const auto dot = r.rfind(".png");
    return dot == std::string::npos ? r : r.substr(0, dot);
}

bool readItem(const tinyxml2::XMLElement* e, LayoutItem& item, std::string& error) {
    item.kind = e->Name();
    if (item.kind == "section") item.kind = firstAttr(e, {"kind", "style"});
    if (item.kind.empty() || item.kind == "panel") item.kind = "plate";
    item.label = firstAttr(e, {"label", "title", "text"});
    item.size = e->IntAttribute("size", 0);
    item.align = alignOf(attr(e, "align"));
    if (!readBounds(e, item.x, item.y, item.w, item.h)) {
        error = "line " + std::to_string(e->GetLineNum()) + ": " + e->Name() + " without a usable rectangle";
        return false;
    }
    return true;
}

// The items below e, a section's own items (its captions) right after it.
bool readItems(const tinyxml2::XMLElement* e, std::vector<LayoutItem>& items, std::string& error) {
    for (const tinyxml2::XMLElement* c = e->FirstChildElement(); c; c = c->NextSiblingElement()) {
        LayoutItem item;
        if (!readItem(c, item, error)) return false;
        items.push_back(item);
        if (!readItems(c, items, error)) return false;
    }
    return true;
}

int roundUp4(int v) { return (v + 3) / 4 * 4; }

}  // namespace

bool readImageOverrides(const std::string& path, std::vector<ImageEntry>& images, std::vector<std::string>& notes,
                        std::string& error) {
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        error = path + ": " + (doc.ErrorStr() ? doc.ErrorStr() : "unreadable");
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    const tinyxml2::XMLElement* list = root ? root->FirstChildElement("images") : nullptr;
    for (const tinyxml2::XMLElement* e = list ? list->FirstChildElement("image") : nullptr; e;
         e = e->NextSiblingElement("image")) {
        const std::string name = attr(e, "name");
        ImageEntry* image = nullptr;
        for (ImageEntry& s : images)
            if (s.name == name) image = &s;
        if (!image) {
            notes.push_back(name + ": not an image of the table, ignored");
            continue;
        }
        const int frames = e->IntAttribute("frames", image->frames);
        if (frames != image->frames)
            notes.push_back(name + ": " + std::to_string(frames) + " frames asked, the table's " +
                            std::to_string(image->frames) + " drawn");
        const int w = e->IntAttribute("w", image->w), h = e->IntAttribute("h", image->h);
        if (w < 1 || h < 1) {
            error = path + " line " + std::to_string(e->GetLineNum()) + ": " + name + " without a usable size";
            return false;
        }
        image->w = roundUp4(w);
        image->h = roundUp4(h);
        if (image->w != w || image->h != h)
            notes.push_back(name + ": " + std::to_string(w) + "x" + std::to_string(h) + " drawn as " +
                            std::to_string(image->w) + "x" + std::to_string(image->h) +
                            " so that its frames stay whole at 0.75 and 1.25");
        if (e->Attribute("text")) image->label = attr(e, "text");
        const std::string kind = attr(e, "kind"), look = attr(e, "look");
        if (kind == "knob")
            image->style = look == "centre" || look == "center" || look == "step" ? "bipolar" : "unipolar";
        if (kind == "radio") {
            image->kind = "radio";
            image->cells = e->IntAttribute("buttons", image->cells);
            image->cellLabels.clear();
            std::stringstream texts(attr(e, "texts"));
            for (std::string t; std::getline(texts, t, '|');) image->cellLabels.push_back(t);
        }
        if (kind == "led" && (image->kind == "ledset" || image->kind == "led")) image->lamps = 1;
        // A single switch where a row of cells was planned.
        if ((kind == "switch" || kind == "button") && image->kind == "radio") {
            image->kind = "button";
            image->face = "dark";
            image->cells = 0;
        }
        if (look == "led" && image->kind == "button") {
            if (image->face == "pink") image->tone = "pink";
            image->face = "led";
        }
        if (look == "check") image->kind = "checkbox";
        if (look == "search") image->kind = "search";
        if (look == "lock" && image->kind != "lock") image->kind = "lock", image->tone = "amber";
        if (image->kind == "panel") image->window = kind == "plate";
    }
    return true;
}

bool readImageEntries(const std::string& path, std::vector<ImageEntry>& out, std::string& error) {
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        error = path + ": " + (doc.ErrorStr() ? doc.ErrorStr() : "unreadable");
        return false;
    }
    const tinyxml2::XMLElement* root = doc.FirstChildElement("images");
    if (!root) {
        error = path + ": no <images> element";
        return false;
    }
    for (const tinyxml2::XMLElement* e = root->FirstChildElement("image"); e; e = e->NextSiblingElement("image")) {
        ImageEntry s;
        s.file = attr(e, "file");
        s.name = attr(e, "name");
        s.kind = attr(e, "kind");
        s.style = attr(e, "style");
        s.face = attr(e, "face");
        s.label = attr(e, "label");
        s.tone = attr(e, "tone");
        s.lit = attr(e, "lit");
        s.frames = e->IntAttribute("frames", 1);
        s.cells = e->IntAttribute("cells", 0);
        s.lamps = e->IntAttribute("lamps", 0);
        s.perSkin = attr(e, "skins") == "yes";
        std::vector<float> size;
        const std::string where = path + " line " + std::to_string(e->GetLineNum());
        if (!numbers(attr(e, "size"), size) || size.size() != 2) {
            error = where + ": size must be \"w,h\"";
            return false;
        }
        s.w = (int)size[0];
        s.h = (int)size[1];
        // A frame must stay whole when the panel is drawn at 0.75 or 1.25.
        if (s.file.empty() || s.kind.empty() || s.frames < 1 || s.w < 4 || s.h < 4 || s.w % 4 || s.h % 4) {
            error = where + ": needs a file, a kind, frames >= 1 and a size in multiples of 4";
            return false;
        }
        out.push_back(s);
    }
    return true;
}

bool readLayout(const std::string& path, const std::vector<ImageEntry>& images, Layout& layout, std::string& error) {
    tinyxml2::XMLDocument doc;
    if (doc.LoadFile(path.c_str()) != tinyxml2::XML_SUCCESS) {
        error = path + ": " + (doc.ErrorStr() ? doc.ErrorStr() : "unreadable");
        return false;
    }
    const tinyxml2::XMLElement* root = doc.RootElement();
    if (!root) {
        error = path + ": empty";
        return false;
    }
    Layout found;
    for (const tinyxml2::XMLElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        if (std::strcmp(e->Name(), "images") == 0) continue;  // readImageOverrides
        if (std::strcmp(e->Name(), "background") == 0) {
            PanelLayout p;
            p.stem = stemOf(firstAttr(e, {"image", "imageId", "name"}), images);
            float x = 0, y = 0, w = 0, h = 0;
            if (readBounds(e, x, y, w, h)) {
                p.x = (int)x, p.y = (int)y, p.w = (int)w, p.h = (int)h;
                p.placed = true;
            }
            if (!readItems(e, p.items, error)) {
                error = path + " " + error;
                return false;
            }
            // Items of an earlier flat listing for the same background stay.
            PanelLayout& slot = found[p.stem];
            p.items.insert(p.items.begin(), slot.items.begin(), slot.items.end());
            slot = p;
        } else {
            LayoutItem item;
            if (!readItem(e, item, error)) {
                error = path + " " + error;
                return false;
            }
            const std::string bg = firstAttr(e, {"background", "image", "imageId"});
            PanelLayout& p = found[stemOf(bg.empty() ? "bg-main" : bg, images)];
            p.stem = stemOf(bg.empty() ? "bg-main" : bg, images);
            p.items.push_back(item);
        }
    }
    for (auto& [stem, p] : found) {
        // A background listed without bounds keeps where it was placed before.
        auto before = layout.find(stem);
        if (!p.placed && before != layout.end() && before->second.placed) {
            p.x = before->second.x, p.y = before->second.y, p.w = before->second.w, p.h = before->second.h;
            p.placed = true;
        }
        layout[stem] = p;
    }
    return true;
}

}  // namespace drawimages
