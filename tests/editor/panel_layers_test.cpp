// The editor's tab switches over the layers of the shipped panel description:
// one page of the main layer at a time, one timbre's copies, and the
// librarian's own layers in the state of the edited bank.
#include "framework/ControlLayer.h"
#include "src/Halvoran.h"
#include "src/PanelLayers.h"
#include "src/TabSwitchFunctions.h"
#include "src/UIConfigManager.h"
#include "support/JackServer.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

// The description's layers, made as the panel walk makes them (no controls),
// entered in the manager's layers by name.
class PanelLayersOnly {
public:
    hvtest::TempDataDir data;
    bool jack = (hvtest::JackServer::shared(), true);
    Halvoran plug;
    std::vector<std::unique_ptr<ControlLayer>> top;

    PanelLayersOnly() {
        plug.initParameterDefaults();
        plug.uiConfigManager = new UIConfigManager();
        plug.uiConfigManager->plug = &plug;
        tinyxml2::XMLDocument doc;
        EXPECT_EQ(doc.LoadFile((std::string(HV_SOURCE_DIR) + "/resources/uiconfig.xml").c_str()),
                  tinyxml2::XML_SUCCESS);
        walk(doc.RootElement()->FirstChildElement(), nullptr);
    }
    ~PanelLayersOnly() {
        delete plug.uiConfigManager;
        plug.uiConfigManager = nullptr;
    }

    // Shown on the panel: the layer and every layer around it.
    bool shown(const std::string& name) const {
        for (const auto& t : top) {
            std::vector<const ControlLayer*> path;
            if (find(t.get(), name, path)) {
                for (const ControlLayer* l : path)
                    if (!l->IsVisible()) return false;
                return true;
            }
        }
        ADD_FAILURE() << "no layer " << name;
        return false;
    }

    void tab(int value) {
        plug.GetParam(kMainTab)->Set(value);
        TabSwitchFunctions::mainTabSwitch(&plug, kMainTab, value, 0, 0);
    }
    void timbre(int value) {
        plug.selectedTimbre = value;
        TabSwitchFunctions::quickTabSwitch(&plug, kTimbreSelect, value, 0);
    }

private:
    void add(ControlLayer* made, ControlLayer* parent) {
        plug.uiConfigManager->layers[made->GetName()] = made;
        if (parent)
            parent->AddSubLayer(made);
        else
            top.emplace_back(made);
    }

    void walk(const tinyxml2::XMLElement* e, ControlLayer* parent) {
        for (; e; e = e->NextSiblingElement()) {
            const std::string tag = e->Name();
            if (tag == "layer") {
                auto* l = new ControlLayer(e->IntAttribute("id"), e->Attribute("name"));
                add(l, parent);
                walk(e->FirstChildElement(), l);
            } else if (tag == "multilayer") {
                for (int i = 0; i < e->IntAttribute("create"); ++i) {
                    auto* l = new ControlLayer(i, std::string(e->Attribute("name")) + std::to_string(i));
                    add(l, parent);
                    walk(e->FirstChildElement(), l);
                }
            }
        }
    }

    static bool find(const ControlLayer* l, const std::string& name, std::vector<const ControlLayer*>& path) {
        path.push_back(l);
        if (l->GetName() == name) return true;
        for (const ControlLayer* s : l->GetSubLayers())
            if (find(s, name, path)) return true;
        path.pop_back();
        return false;
    }
};

// The editor's start: every layer hidden, then the main layer shown.
void start(PanelLayersOnly& p) {
    for (auto& t : p.top) t->Hide(true);
    p.plug.hideLayer(PanelLayers::kMainLayer, false);
}

TEST(PanelLayers, OnePageAndOneTimbreAtATime) {
    PanelLayersOnly p;
    start(p);
    p.timbre(1);
    p.tab(PanelLayers::kTabProgram);
    EXPECT_TRUE(p.shown("programPage"));
    EXPECT_FALSE(p.shown("librarianPage"));
    EXPECT_FALSE(p.shown("modSequencePage"));
    EXPECT_TRUE(p.shown("timbre1"));
    EXPECT_FALSE(p.shown("timbre0")) << "both timbres' controls would lie on one another";

    p.tab(PanelLayers::kTabModSequence);
    EXPECT_TRUE(p.shown("modSeqTimbre1"));
    EXPECT_FALSE(p.shown("modSeqTimbre0"));
    EXPECT_FALSE(p.shown("timbre1"));

    p.timbre(0);
    EXPECT_TRUE(p.shown("modSeqTimbre0"));
    EXPECT_FALSE(p.shown("modSeqTimbre1"));
    p.tab(PanelLayers::kTabProgram);
    EXPECT_TRUE(p.shown("timbre0"));
    EXPECT_FALSE(p.shown("timbre1"));
    // The overlays keep to their own switches.
    for (const char* overlay : {"globalSettingsPage", "midiFilterSettings", "aboutWindow", "firstRun"})
        EXPECT_FALSE(p.shown(overlay)) << overlay;
}

TEST(PanelLayers, LibrarianLayersFollowTheEditedBank) {
    PanelLayersOnly p;
    start(p);
    p.tab(PanelLayers::kTabLibrarian);
    EXPECT_TRUE(p.shown("librarianPage"));
    EXPECT_TRUE(p.shown("saveChangesLayer"));
    EXPECT_FALSE(p.shown("patchRename")) << "the rename field waits for a rename";
    EXPECT_TRUE(p.shown("keepBankOpenLayer"));
    EXPECT_FALSE(p.shown("discardChangesLayerRight"));

    // Programs received into the edited bank: discarding is offered instead.
    p.plug.GetParam(kBankEditUnsaved)->Set(1.0);
    p.tab(PanelLayers::kTabProgram);
    p.tab(PanelLayers::kTabLibrarian);
    EXPECT_TRUE(p.shown("discardChangesLayerRight"));
    EXPECT_FALSE(p.shown("keepBankOpenLayer"));
    EXPECT_FALSE(p.shown("patchRename"));

    p.tab(PanelLayers::kTabProgram);
    for (const char* own : {"saveChangesLayer", "discardChangesLayerRight", "keepBankOpenLayer", "patchRename"})
        EXPECT_FALSE(p.shown(own)) << own;
}

}  // namespace
