// The shipped panel description read without building it: its shape and
// layers, that every name resolves, that the layout fits the panel and that
// its drawing plan (panel-sections.xml) matches it.
#include "panel_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "src/PanelLayers.h"

namespace {

using hvpanel::Panel;
using hvpanel::Placed;
using hvpanel::Rect;

// One reading of the description per suite: its log lives in a data folder
// that the suite gives back at its end.
class PanelDescription : public testing::Test {
public:
    static void SetUpTestSuite() { shared() = std::make_unique<Panel>(); }
    static void TearDownTestSuite() { shared().reset(); }
    static std::unique_ptr<Panel>& shared() {
        static std::unique_ptr<Panel> p;
        return p;
    }
};

Panel& panel() { return *PanelDescription::shared(); }

int countLines(const Panel& p, const std::string& part) {
    int n = 0;
    for (const auto& line : p.logged.lines()) n += line.find(part) != std::string::npos;
    return n;
}

TEST_F(PanelDescription, ShapeElementsAndLayers) {
    Panel& p = panel();
    EXPECT_TRUE(p.problems.empty()) << p.problems.front();
    const tinyxml2::XMLElement* root = p.doc.FirstChildElement("uiconfig");
    ASSERT_NE(root->FirstChildElement(), nullptr);
    EXPECT_STREQ(root->FirstChildElement()->Name(), "valueLists");
    EXPECT_EQ(root->FirstChildElement("valueLists")->NextSiblingElement("valueLists"), nullptr);

    static const std::set<std::string> kTags = {"patchBrowser", "background",    "display",     "switch",
                                                "autooff",      "dropMenu",      "multiFx",     "radio",
                                                "knobcontrol",  "buttoncontrol", "menucontrol", "slidercontrol"};
    static const std::set<std::string> kMidiTypes = {
        "seKnob", "seKnob2",  "seSliderVer", "seSliderHor",  "seButton",   "ccSliderVer", "ccSliderHor",
        "ccKnob", "ccButton", "msbLsbKnob",  "msbLsbButton", "msbLsbMenu", "seMenu",      "ccMenu"};
    static const std::set<std::string> kDropTypes = {"textSelection", "deviceSelection", "nameSelection",
                                                     "dropSelection"};
    int browsers = 0;
    for (const Placed& e : p.placed) {
        EXPECT_TRUE(kTags.count(e.tag)) << "builds nothing: " << e.where();
        if (e.midiBound()) {
            EXPECT_TRUE(kMidiTypes.count(e.type)) << e.where();
        }
        if (e.tag == "dropMenu") {
            EXPECT_TRUE(kDropTypes.count(e.type)) << e.where();
        }
        if (e.tag == "multiFx") {
            EXPECT_TRUE(e.type == "Knob" || e.type == "Switch" || e.type == "Menu") << e.where();
        }
        browsers += e.tag == "patchBrowser";
    }
    EXPECT_EQ(browsers, 1);

    // Layer names are unique: the editor finds layers by name.
    std::set<std::string> names;
    for (const auto& n : p.layerNames) EXPECT_TRUE(names.insert(n).second) << "second layer " << n;
    for (const char* need :
         {"mainLayer", "librarianPage", "modSequencePage", "programPage", "timbre0", "timbre1", "modSeqTimbre0",
          "modSeqTimbre1", "globalSettingsPage", "midiFilterSettings", "firstRun", "aboutWindow", "patchRename",
          "saveChangesLayer", "discardChangesLayerRight", "keepBankOpenLayer"})
        EXPECT_TRUE(names.count(need)) << "no layer " << need;
    // The librarian's bank choosers and the progress overlay are the editor's own.
    for (const char* own : {"LeftPatchPopupMenu", "RightPatchPopupMenu", "RightSearchPopupMenu", "BANKEDITMENU",
                            "progressOverlay", "cancelRequestLayer"})
        EXPECT_FALSE(names.count(own)) << own;
}

// The pages switch by id under the main layer: exactly the tab pages carry
// the ids the tab switch shows one of.
TEST_F(PanelDescription, PagesCarryTheTabIds) {
    Panel& p = panel();
    const tinyxml2::XMLElement* main = nullptr;
    for (auto* e = p.doc.RootElement()->FirstChildElement("layer"); e; e = e->NextSiblingElement("layer"))
        if (std::string(e->Attribute("name")) == "mainLayer") main = e;
    ASSERT_NE(main, nullptr);
    std::map<int, std::string> pages;
    for (auto* e = main->FirstChildElement(); e; e = e->NextSiblingElement())
        if (std::string(e->Name()) == "layer") pages[e->IntAttribute("id")] = e->Attribute("name");
    EXPECT_EQ(main->IntAttribute("id"), PanelLayers::kMainLayerId);
    for (int tab = 0; tab < PanelLayers::kNumTabs; ++tab)
        EXPECT_EQ(pages[PanelLayers::kFirstPageId + tab], PanelLayers::kPageNames[tab]);
    for (const auto& [id, name] : pages)
        if (id >= PanelLayers::kFirstPageId && id <= PanelLayers::kLastPageId) {
            EXPECT_LT(id - PanelLayers::kFirstPageId, PanelLayers::kNumTabs) << name;
        }
    // The overlays repaint what they covered when they close: their first
    // control is the background that spans them.
    for (auto* e = p.doc.RootElement()->FirstChildElement("layer"); e; e = e->NextSiblingElement("layer")) {
        EXPECT_STREQ(e->Attribute("overlay"), "true") << e->Attribute("name");
        if (std::string(e->Attribute("name")) != "mainLayer") {
            EXPECT_STREQ(e->FirstChildElement()->Name(), "background") << e->Attribute("name");
        }
    }
}

TEST_F(PanelDescription, EveryParameterNameResolves) {
    Panel& p = panel();
    EXPECT_EQ(countLines(p, "NOT FOUND"), 0);
    std::set<int> named;
    for (const auto& [name, index] : p.manager.paramNames) named.insert(index);
    for (const Placed& e : p.placed) {
        if (e.paramId.empty()) {
            // Only the elements that take no parameter, and the port menus,
            // which are found by their fixed index.
            EXPECT_TRUE(e.tag == "background" || e.tag == "patchBrowser") << e.where();
            continue;
        }
        EXPECT_GE(e.param, 0) << e.where();
        // A second timbre's copy lands on the unnamed index after a timbre
        // parameter, never on another named parameter.
        if (e.copy == 1) {
            EXPECT_FALSE(named.count(e.param)) << e.where() << " reaches a named parameter";
        }
    }
}

// Every image the panel names is in the image table of every skin, painted
// into the bundle, with frames that stay whole at the three panel sizes.
TEST_F(PanelDescription, EveryImageIsPaintedForEverySkin) {
    Panel& p = panel();
    for (int skin = 0; skin < 3; ++skin) {
        hvtest::LoggedManager logged;
        logged.manager.initParams();
        hvpanel::BuiltImages built(logged, skin);
        for (const Placed& e : p.placed) {
            const std::string image = e.text("imageId");
            if (!image.empty()) {
                EXPECT_TRUE(built.frames.count(image)) << image << " skin " << skin;
            }
        }
        logged.manager.ClearImageCache();
    }
    for (const auto& [name, f] : p.frames) {
        ASSERT_GT(f.w * f.h, 0) << name;
        EXPECT_EQ(f.w % 4, 0) << name;
        EXPECT_EQ(f.h % 4, 0) << name;
    }
    // A radio group draws from two frames, each showing the whole group.
    for (const Placed& e : p.placed) {
        if (e.tag == "radio") {
            EXPECT_EQ(p.frames[e.text("imageId")].frames, 2) << e.where();
        }
    }
}

TEST_F(PanelDescription, LayoutFitsThePanelWithoutOverlaps) {
    Panel& p = panel();
    const Rect whole{0, 0, hvpanel::kPanelW, hvpanel::kPanelH};
    std::vector<const Placed*> controls;
    for (const Placed& e : p.placed) {
        EXPECT_FALSE(e.rect.empty()) << e.where();
        EXPECT_TRUE(e.rect.inside(whole)) << e.where() << " at " << e.rect.x << "," << e.rect.y;
        if (e.tag != "background" && e.tag != "patchBrowser") controls.push_back(&e);
    }
    // The editor's two cancel buttons stand where it puts them, inside the panel.
    for (auto [x, y] : {std::pair{860, 340}, {1150, 122}}) {
        const hvpanel::Frame f = p.frames["BUTTON_LIB_CANCEL_ID"];
        EXPECT_TRUE((Rect{x, y, f.w, f.h}.inside(whole))) << "cancel button at " << x << "," << y;
    }
    // What the editor adds itself on the librarian page: the bank choosers over
    // the two bank names, and the main menu's hot area.
    const Rect upperChooser{414, 39, 415, 16}, lowerChooser{414, 342, 415, 18}, bankMenu{861, 39, 79, 20};
    const Placed* browser = nullptr;
    for (const Placed& e : p.placed)
        if (e.tag == "patchBrowser") browser = &e;
    ASSERT_NE(browser, nullptr);
    // The bank view spans both panes and the strip between them; what lies
    // over it must come later, to be drawn and hit first, and keep off the slots.
    const Rect& view = browser->rect;
    const Rect upperSlots{view.x + 30, view.y + 1, 986, 256}, lowerSlots{view.x + 30, view.y + 303, 986, 256};
    for (const Placed* c : controls) {
        const bool onLibrarian = c->layers.size() >= 2 && c->layers[1] == "librarianPage";
        if (onLibrarian) {
            EXPECT_FALSE(c->rect.meets(bankMenu)) << c->where();
            EXPECT_FALSE(c->rect.meets(upperSlots) || c->rect.meets(lowerSlots)) << c->where() << " on the slots";
            if (c->rect.meets(view)) {
                EXPECT_GT(c->order, browser->order) << c->where() << " under the bank view";
            }
            const bool bankName = c->type == "textSelection";
            EXPECT_EQ(bankName, c->rect.meets(upperChooser) || c->rect.meets(lowerChooser)) << c->where();
        }
    }
    // A page that opens over the panel leaves its own switch in view: the one
    // control that opens it closes it too.
    const std::map<std::string, std::string> opener = {{"globalSettingsPage", "kGlobalSettings"},
                                                       {"midiFilterSettings", "kViewMIDIFilterSettings"}};
    for (const auto& [layer, param] : opener) {
        const Placed* cover = nullptr;
        for (const Placed& e : p.placed)
            if (e.tag == "background" && !e.layers.empty() && e.layers[0] == layer && !cover) cover = &e;
        ASSERT_NE(cover, nullptr) << layer;
        const auto switches = p.byParam(p.manager.getParamByName(param));
        EXPECT_EQ(switches.size(), 1u) << param;
        for (const Placed* s : switches) EXPECT_FALSE(s->rect.meets(cover->rect)) << param << " under " << layer;
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            const Placed& a = *controls[i];
            const Placed& b = *controls[j];
            if (a.param == b.param || !hvpanel::shownTogether(a, b)) continue;
            // The message and the value share the display's second line.
            if (std::set<std::string>{a.text("paramId"), b.text("paramId")} ==
                std::set<std::string>{"kControlDisplayName", "kControlDisplayValue"})
                continue;
            EXPECT_FALSE(a.rect.meets(b.rect)) << a.where() << " overlaps " << b.where();
        }
}

// The drawing plan: each background it describes is placed by the panel where
// the plan puts it and painted at the plan's size, and everything painted on
// it lies on it.
TEST_F(PanelDescription, DrawingPlanMatchesThePanel) {
    Panel& p = panel();
    const tinyxml2::XMLElement* root = p.sections.RootElement();
    ASSERT_STREQ(root->Name(), "panelSections");
    auto bounds = [&](const tinyxml2::XMLElement* e) {
        std::vector<int> v(4, 0);
        p.manager.getCSValues(e->Attribute("bounds") ? e->Attribute("bounds") : "", v.data(), 4);
        return Rect{v[0], v[1], v[2], v[3]};
    };
    std::map<std::string, Rect> planned;
    for (auto* e = root->FirstChildElement("background"); e; e = e->NextSiblingElement("background")) {
        const std::string image = e->Attribute("image");
        const Rect r = bounds(e);
        EXPECT_TRUE(planned.emplace(image, r).second) << image << " planned twice";
        ASSERT_TRUE(p.frames.count(image)) << image;
        EXPECT_EQ(p.frames[image].w, r.w) << image;
        EXPECT_EQ(p.frames[image].h, r.h) << image;
        for (auto* i = e->FirstChildElement(); i; i = i->NextSiblingElement()) {
            const Rect ir = bounds(i);
            EXPECT_FALSE(ir.empty()) << image << " line " << i->GetLineNum();
            EXPECT_TRUE(ir.inside(r)) << image << " line " << i->GetLineNum();
        }
    }
    // The images drawn other than the painter's own list are the panel's.
    const tinyxml2::XMLElement* wanted = root->FirstChildElement("images");
    for (auto* i = wanted ? wanted->FirstChildElement("image") : nullptr; i; i = i->NextSiblingElement("image")) {
        const std::string name = i->Attribute("name");
        ASSERT_TRUE(p.frames.count(name)) << name;
        EXPECT_EQ(p.frames[name].w, i->IntAttribute("w")) << name;
        EXPECT_EQ(p.frames[name].h, i->IntAttribute("h")) << name;
    }
    // The full-panel background is the editor's own; the others are placed here.
    ASSERT_TRUE(planned.count("BG_ID_PLAIN"));
    EXPECT_EQ(planned["BG_ID_PLAIN"].w, hvpanel::kPanelW);
    EXPECT_EQ(planned["BG_ID_PLAIN"].h, hvpanel::kPanelH);
    std::set<std::string> placedImages;
    for (const Placed& e : p.placed) {
        if (e.tag != "background" && e.tag != "patchBrowser") continue;
        const std::string image = e.text("imageId");
        placedImages.insert(image);
        // The two text fields are painted whole, without a plan.
        if (image == "BG_SEARCH_FIELD_ID" || image == "BG_RENAME_ID") continue;
        ASSERT_TRUE(planned.count(image)) << image << " has no plan";
        EXPECT_EQ(planned[image].x, e.rect.x) << image;
        EXPECT_EQ(planned[image].y, e.rect.y) << image;
    }
    for (const auto& [image, r] : planned) {
        if (image != "BG_ID_PLAIN") {
            EXPECT_TRUE(placedImages.count(image)) << image << " planned, never placed";
        }
    }
}

}  // namespace
