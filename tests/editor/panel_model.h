#pragma once
// The shipped panel description read as the panel walk reads it: every element
// once per multilayer copy, with its layers, copy offset, parameter index and
// rectangle at scale 1.0. Frame sizes are those of the images the build
// painted into the bundle.
#include "framework/IGraphics.h"
#include "framework/IGraphicsMac.h"
#include "src/UIConfigManager.h"
#include "uiconfig_log_fixture.h"

#include <cstdlib>

#include <tinyxml2.h>

#include <functional>
#include <map>
#include <sstream>
#include <tuple>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace hvpanel {

constexpr int kPanelW = 1200;
constexpr int kPanelH = 720;

struct Rect {
    int x = 0, y = 0, w = 0, h = 0;
    bool empty() const { return w <= 0 || h <= 0; }
    bool meets(const Rect& o) const { return x < o.x + o.w && o.x < x + w && y < o.y + o.h && o.y < y + h; }
    bool inside(const Rect& o) const { return x >= o.x && y >= o.y && x + w <= o.x + o.w && y + h <= o.y + o.h; }
};

struct Frame {
    int w = 0, h = 0, frames = 1;
};

// HALVORAN_BUNDLE names the bundle the build made while this lives.
class BuiltBundle {
public:
    BuiltBundle() {
        if (const char* old = std::getenv("HALVORAN_BUNDLE")) previous_ = old, had_ = true;
        setenv("HALVORAN_BUNDLE", HV_BUNDLE_DIR, 1);
    }
    ~BuiltBundle() {
        if (had_)
            setenv("HALVORAN_BUNDLE", previous_.c_str(), 1);
        else
            unsetenv("HALVORAN_BUNDLE");
    }
    BuiltBundle(const BuiltBundle&) = delete;
    BuiltBundle& operator=(const BuiltBundle&) = delete;

private:
    std::string previous_;
    bool had_ = false;
};

// The image table of one skin over the bundle the build made, at scale 1.0.
struct BuiltImages {
    std::unique_ptr<IGraphics> graphics;
    std::map<std::string, Frame> frames;

    BuiltImages(hvtest::LoggedManager& logged, int skin) {
        BuiltBundle bundle;
        graphics.reset(MakeGraphics(&logged.plug, 1200, 720, 25, 1.0));
        UIConfigManager& m = logged.manager;
        m.graphics = graphics.get();
        m.scale = 1.0;
        m.skin = skin;
        m.initImages(graphics.get());
        for (const auto& [name, info] : m.images) {
            const IBitmap b = m.getImageByName(graphics.get(), name);
            frames[name] = Frame{b.W, info.frames > 0 ? b.H / info.frames : b.H, info.frames};
        }
    }
};

// One element as built in one place: a multilayer element appears once per copy.
struct Placed {
    const tinyxml2::XMLElement* xml = nullptr;
    std::string tag, type;
    std::vector<std::string> layers;  // enclosing layers, outermost first; copies by their copy names
    int copy = -1;                    // copy offset
    std::string paramId;              // as written
    int param = -1;                   // index with the copy applied; -1 when none or unknown
    Rect rect;
    int order = 0;  // document order of the instance

    std::string text(const char* name) const {
        const char* v = xml->Attribute(name);
        return v ? v : "";
    }
    int integer(const char* name) const {
        int v = 0;
        return xml->QueryIntAttribute(name, &v) == tinyxml2::XML_SUCCESS ? v : 0;
    }
    bool midiBound() const {
        return tag == "knobcontrol" || tag == "buttoncontrol" || tag == "menucontrol" || tag == "slidercontrol";
    }
    bool sysEx() const { return midiBound() && type.rfind("se", 0) == 0; }
    bool cc() const { return midiBound() && type.rfind("cc", 0) == 0; }
    bool nrpn() const { return midiBound() && type.rfind("msbLsb", 0) == 0; }
    bool menu() const { return midiBound() && type.size() > 4 && type.compare(type.size() - 4, 4, "Menu") == 0; }
    std::string where() const {
        std::string s = "<" + tag + (type.empty() ? "" : " " + type) + " " + paramId + ">";
        for (const auto& l : layers) s += " in " + l;
        return s;
    }
};

inline std::string sourcePath(const std::string& name) { return std::string(HV_SOURCE_DIR) + "/resources/" + name; }

class Panel {
public:
    hvtest::LoggedManager logged{true};
    UIConfigManager& manager = logged.manager;
    std::unique_ptr<BuiltImages> images;
    tinyxml2::XMLDocument doc{true, tinyxml2::PRESERVE_WHITESPACE};
    tinyxml2::XMLDocument sections{true, tinyxml2::PRESERVE_WHITESPACE};
    std::vector<Placed> placed;
    std::map<std::string, Frame> frames;  // image name -> its frame in the bundle
    std::map<std::string, std::vector<std::string>> lists;
    std::vector<std::string> layerNames;  // in document order, copies included
    std::vector<std::string> problems;    // what could not be read

    ~Panel() {
        manager.ClearImageCache();
        images.reset();
    }

    Panel() {
        if (doc.LoadFile(sourcePath("uiconfig.xml").c_str()) != tinyxml2::XML_SUCCESS)
            throw std::runtime_error(std::string("uiconfig.xml: ") + doc.ErrorStr());
        if (sections.LoadFile(sourcePath("panel-sections.xml").c_str()) != tinyxml2::XML_SUCCESS)
            throw std::runtime_error(std::string("panel-sections.xml: ") + sections.ErrorStr());
        manager.initParams();
        images = std::make_unique<BuiltImages>(logged, 1);
        frames = images->frames;
        const tinyxml2::XMLElement* root = doc.FirstChildElement("uiconfig");
        if (!root) throw std::runtime_error("uiconfig.xml has no uiconfig");
        manager.readReasources(&doc);
        lists = manager.valueLists;
        walk(root->FirstChildElement(), {}, -1);
    }

    std::vector<const Placed*> byParam(int index) const {
        std::vector<const Placed*> out;
        for (const Placed& p : placed)
            if (p.param == index) out.push_back(&p);
        return out;
    }

    // The comma list of an attribute read by the panel's own parser, missing values 0.
    std::vector<int> values(const Placed& p, const char* name, int count) {
        std::vector<int> v(count, 0);
        manager.getCSValues(p.text(name), v.data(), count);
        return v;
    }

private:
    int order_ = 0;

    Rect frameAt(const std::string& image, int x, int y) {
        auto it = frames.find(image);
        if (it == frames.end()) {
            problems.push_back("no frame size for image " + image);
            return Rect{x, y, 0, 0};
        }
        return Rect{x, y, it->second.w, it->second.h};
    }

    void place(const tinyxml2::XMLElement* e, const std::vector<std::string>& layers, int copy) {
        Placed p;
        p.xml = e;
        p.tag = e->Name();
        p.type = p.text("type");
        p.layers = layers;
        p.copy = copy;
        p.order = order_++;
        p.paramId = p.text("paramId");
        if (!p.paramId.empty()) {
            std::vector<std::string> parts;
            manager.Tokenize(p.paramId, parts, "+");
            const int named = parts.empty() ? -1 : manager.getParamByName(parts[0]);
            if (named >= 0) {
                p.param = named + (copy >= 0 ? copy : 0) + (parts.size() > 1 ? std::stoi(parts[1]) : 0);
                if (p.param >= 472) p.param = -1;
            }
        }
        auto pos = values(p, "position", 4);
        auto bounds = values(p, "bounds", 4);
        const std::string image = p.text("imageId");
        if (p.midiBound()) {
            p.rect = p.menu() ? Rect{pos[0], pos[1], pos[2], 13} : frameAt(image, pos[0], pos[1]);
        } else if (p.tag == "switch" || p.tag == "autooff" || p.tag == "radio" || p.tag == "background") {
            p.rect = frameAt(image, pos[0], pos[1]);
        } else if (p.tag == "multiFx") {
            p.rect = p.type == "Menu" ? Rect{pos[0], pos[1], pos[2], pos[3]} : frameAt(image, pos[0], pos[1]);
        } else if (p.tag == "display" || p.tag == "dropMenu" || p.tag == "patchBrowser") {
            p.rect = Rect{bounds[0], bounds[1], bounds[2], bounds[3]};
        }
        placed.push_back(p);
    }

    void walk(const tinyxml2::XMLElement* e, std::vector<std::string> layers, int copy) {
        static const std::set<std::string> kLayerTags = {
            "layer",      "eg2layer",        "vplayer",      "lfo1layer",    "lfo2layer",
            "voicelayer", "osccontrollayer", "modseq1layer", "modseq2layer", "modseq3layer"};
        for (; e; e = e->NextSiblingElement()) {
            const std::string tag = e->Name();
            if (tag == "valueLists") continue;
            if (kLayerTags.count(tag)) {
                const std::string name = e->Attribute("name") ? e->Attribute("name") : "";
                layerNames.push_back(name);
                auto inner = layers;
                inner.push_back(name);
                walk(e->FirstChildElement(), inner, copy);
            } else if (tag == "multilayer") {
                const std::string base = e->Attribute("name") ? e->Attribute("name") : "";
                for (int i = 0; i < e->IntAttribute("create"); ++i) {
                    const std::string name = base + std::to_string(i);
                    layerNames.push_back(name);
                    auto inner = layers;
                    inner.push_back(name);
                    walk(e->FirstChildElement(), inner, i);
                }
            } else {
                place(e, layers, copy);
            }
        }
    }
};

// Two instances can be seen at once unless they lie in different pages of the
// main layer, in different copies of one multilayer, or in the two bank-state
// layers of the librarian, which take turns. A top-level layer other than the
// main layer is an overlay: it may cover the main panel.
inline bool shownTogether(const Placed& a, const Placed& b) {
    static const std::set<std::string> kTurns = {"keepBankOpenLayer", "discardChangesLayerRight"};
    if (a.layers.empty() || b.layers.empty()) {
        const Placed& inner = a.layers.empty() ? b : a;
        return inner.layers.empty() || inner.layers[0] == "mainLayer";
    }
    const std::size_t n = std::min(a.layers.size(), b.layers.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (a.layers[i] == b.layers[i]) continue;
        if (i == 0 || a.layers[i - 1] == "mainLayer") return false;
        if (kTurns.count(a.layers[i]) && kTurns.count(b.layers[i])) return false;
        // Copies of one multilayer sit at the same depth with the same offset pattern.
        if (a.copy >= 0 && b.copy >= 0 && a.copy != b.copy) return false;
        return true;
    }
    return true;
}

// ---------------------------------------------------------------------------
// Keys, as the factories register them.

inline const std::set<std::string> kMixerLayers = {"miniMixer", "multiModeMixer", "miniMixer2", "multiModeMixer2",
                                                   "multiModeSettingsPage1"};

// What the lookups of incoming messages hold: the parameter of the control
// stored under the keys, -1 for none.
struct Lookup {
    std::function<int(int key, int number, int type)> cc;
    std::function<int(int key, int msb, int lsb, int type)> nrpn;
    std::function<int(int lo, int hi)> sysex;
};

struct Keys {
    std::map<std::tuple<int, int, int>, const Placed*> cc;
    std::map<std::tuple<int, int, int, int, int>, const Placed*> nrpn;
    std::map<std::tuple<int, int, int, int>, const Placed*> sysex;
    std::vector<std::string> clashes;
    std::map<const Placed*, std::vector<int>> firstMessage;

    Lookup lookup() const {
        auto param = [](const auto& map, const auto& key) {
            auto it = map.find(key);
            return it == map.end() ? -1 : it->second->param;
        };
        return Lookup{[this, param](int k, int n, int t) { return param(cc, std::make_tuple(k, n, t)); },
                      [this, param](int k, int m, int l, int t) { return param(nrpn, std::make_tuple(k, m, l, 0, t)); },
                      [this, param](int lo, int hi) { return param(sysex, std::make_tuple(0x58, 0x41, lo, hi)); }};
    }
};

inline std::vector<int> boundsOf(Panel& p, const Placed& e) { return p.values(e, "valueBounds", 4); }

// Entries of a menu: maxValue - minValue.
inline int entries(Panel& p, const Placed& e) {
    auto b = boundsOf(p, e);
    return b[2] - b[1];
}

inline std::vector<int> expand(Panel& p, const Placed& e) {
    UIConfigManager& m = p.manager;
    const int index = std::stoi(e.text("sysexIndex"));
    tinyxml2::XMLDocument doc;
    doc.LoadFile(sourcePath("sysex.xml").c_str());
    const tinyxml2::XMLElement* s = doc.RootElement()->FirstChildElement("sysex");
    for (int i = 0; i < index && s; ++i) s = s->NextSiblingElement("sysex");
    if (!s) return {};
    const std::string text = s->FirstChildElement("values")->FirstChildElement("value")->GetText();
    const int cb = e.integer("changingByte");
    auto b = boundsOf(p, e);
    ControlActionSysExMessage out;
    const int i = e.param;
    auto by = [&](auto fallback) {
        if (i == 107 || i == 109)
            m.calculateSysexWithChangingByteEQ(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy);
        else if (i == 234)
            m.calculateSysexWithChangingByteTempo(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy);
        else if (i == 235)
            m.calculateSysexWithChangingByteSwing(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy);
        else if (i == 280 || i == 281)
            m.calculateSysexWithChangingByteTranspose(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy);
        else if (i == 276 || i == 277)
            m.calculateSysexWithChangingByteTuning(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy);
        else
            fallback();
    };
    if (e.type == "seKnob" || e.type == "seSliderVer" || e.type == "seSliderHor") {
        m.calculateSysexWithChangingByte(text, cb, b[2] - b[1] + 1, &out, b[1] + e.integer("msgZeroVal"), e.copy);
    } else if (e.type == "seKnob2") {
        by([&] { m.calculateSysexWithChangingByteModSeq(text, cb, b[2] - b[1] + 1, &out, b[1], e.copy); });
    } else if (e.type == "seButton") {
        if (i == 256 || i == 257)
            m.calculateSysexWithTwoChangingBytes(text, cb, 2, &out, 0, e.copy);
        else
            m.calculateSysexWithChangingByte(text, cb, 2, &out, 0, e.copy);
    } else if (e.type == "seMenu") {
        const int n = entries(p, e);
        const bool two = (i >= 73 && i <= 78) || (i >= 81 && i <= 88) || i == 254 || i == 255 || i == 268 || i == 269;
        if (i == 107 || i == 109 || i == 234 || i == 235 || (i >= 276 && i <= 281 && i != 278 && i != 279)) {
            b[2] = b[1] + n;  // the menu expands n + 1 messages
            by([] {});
        } else if (two) {
            m.calculateSysexWithTwoChangingBytes(text, cb, n + 1, &out, b[1], e.copy);
        } else {
            m.calculateSysexWithChangingByte(text, cb, n + 1, &out, b[1], e.copy);
        }
    }
    return out.messages.empty() ? std::vector<int>{} : out.messages.front();
}

inline Keys keysOf(Panel& p) {
    Keys k;
    for (const Placed& e : p.placed) {
        if (!e.midiBound()) continue;
        const int channel = e.integer("channel");
        const bool mixer = !e.layers.empty() && kMixerLayers.count(e.layers.back());
        const int copyKey = e.copy >= 0 ? e.copy + 1 : channel;
        std::ostringstream clash;
        if (e.cc()) {
            int key = copyKey, type = e.copy < 0 ? 1 : 0;
            if (e.type == "ccKnob" && (e.param == 60 || e.param == 61)) type = 2;
            if (e.type == "ccMenu" && e.param == 105) type = 0;
            if (e.type == "ccSliderVer" || e.type == "ccSliderHor") {
                key = mixer ? channel : e.copy + 1;
                type = 0;
            }
            auto [it, fresh] = k.cc.emplace(std::make_tuple(key, e.integer("ccNumber"), type), &e);
            if (!fresh) clash << e.where() << " replaces " << it->second->where();
        } else if (e.nrpn()) {
            int key = copyKey, type = e.copy < 0 ? 1 : 0;
            if (e.type == "msbLsbMenu") {
                key = mixer ? channel : e.copy + 1;
                type = mixer ? 1 : 0;
            }
            auto [it, fresh] = k.nrpn.emplace(
                std::make_tuple(key, e.integer("msbValue"), e.integer("lsbValue"), e.integer("lsbControl"), type), &e);
            if (!fresh) clash << e.where() << " replaces " << it->second->where();
        } else {
            const std::vector<int> m = expand(p, e);
            k.firstMessage[&e] = m;
            if (m.size() < 8) {
                clash << e.where() << " has no message to key it";
            } else {
                const int at = e.integer("changingByte") == 7 ? 2 : 3;
                auto [it, fresh] = k.sysex.emplace(
                    std::make_tuple(m[at] & 0xFF, m[at + 1] & 0xFF, m[at + 2] & 0xFF, m[at + 3] & 0xFF), &e);
                if (!fresh) clash << e.where() << " replaces " << it->second->where();
            }
        }
        if (!clash.str().empty()) k.clashes.push_back(clash.str());
    }
    return k;
}

// The parameter that the instrument's message for instance e reaches when
// timbre t is selected and the instrument sends on channel 0, through the
// lookups an incoming control change, data entry or parameter change takes.
inline int reached(const Lookup& l, const Placed& e, int timbre, const std::vector<int>& firstMessage) {
    const int key = 1 + timbre;
    auto first = [](std::initializer_list<int> found) {
        for (int f : found)
            if (f >= 0) return f;
        return -1;
    };
    if (e.cc()) {
        const int number = e.integer("ccNumber");
        if (number == 12 || number == 93 || number == 94) return l.cc(0, number, 1);
        // 13 is the delay's sync note while tempo sync is on, else its time.
        if (number == 13) return l.cc(0, 13, e.param == 105 ? 0 : 1);
        if (number == 86) return first({l.cc(key, 86, 0), l.cc(key, 86, 1), l.cc(key, 86, 2)});
        // 15 reaches the wave-sample choice while the first oscillator plays one.
        if (number == 15 && (e.param == 60 || e.param == 61)) return l.cc(key, 15, 2);
        return first(
            {l.cc(key, number, 0), l.cc(key, number, 1), l.cc(key, number, 2), l.cc(0, number, 0), l.cc(0, number, 1)});
    }
    if (e.nrpn()) {
        const int msb = e.integer("msbValue"), lsb = e.integer("lsbValue");
        return first(
            {l.nrpn(key, msb, lsb, 0), l.nrpn(key, msb, lsb, 1), l.nrpn(0, msb, lsb, 0), l.nrpn(0, msb, lsb, 1)});
    }
    // The instrument's parameter change: F0 42 3n 58 41 idLo idHi v h F7.
    const std::size_t at = e.integer("changingByte") == 7 ? 2 : 3;
    if (firstMessage.size() < at + 4 || firstMessage[at] != 0x58 || firstMessage[at + 1] != 0x41) return -1;
    return l.sysex(firstMessage[at + 2], firstMessage[at + 3]);
}

}  // namespace hvpanel
