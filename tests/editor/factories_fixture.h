#pragma once
// The test panel description built through the editor's own reader: the plain
// XML sources in tests/editor/data are enciphered into a bundle, with the few
// images the panel uses, and read by readUIConfig at a given scale.
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "support/JackServer.h"
#include "uiconfig_bundle_fixture.h"

#include <gtest/gtest.h>

namespace hvtest {

struct FactoryPanel : BundleManager {
    explicit FactoryPanel(double scale, int skin = 1) : BundleManager(scale) {
        // The port menus list the ports of a private JACK server.
        JackServer::shared();
        putPng("bg-main.png", 200, 100);
        putPng("browser-layer.png", 50, 50);
        putPng("button-pink.png", 120, 80);        // radio: two frames of 120 x 40
        putPng("button-black-woled.png", 20, 40);  // switch: two frames of 20 x 20
        putPng("btn-18x18.png", 16, 8);            // fader handle
        putPng("Halvoran25.png", 40, 1000);        // knob: 25 frames of 40 x 40
        putEnciphered("uiconfig.tea", sourceData("factories_panel.xml"));
        putEnciphered("sysex.tea", sourceData("factories_sysex.xml"));
        manager.readUIConfig(graphics.get(), &plug, nullptr, skin, scale);
    }

    IParam* param(int i) const { return plug.GetParam(i); }
    ControlAction* action(int i) const { return plug.GetParam(i)->GetControlAction(); }
    // The i-th control bound to a parameter, or null.
    IControl* bound(int paramIdx, std::size_t i = 0) const {
        ControlAction* a = action(paramIdx);
        return a && i < a->boundControls.size() ? a->boundControls[i] : nullptr;
    }
    ControlLayer* layer(const std::string& name) const {
        auto it = manager.layers.find(name);
        return it == manager.layers.end() ? nullptr : it->second;
    }
    // The first control of paramIdx in a layer tree, or null.
    static IControl* controlIn(const ControlLayer* l, int paramIdx) {
        if (!l) return nullptr;
        for (IControl* c : l->GetControls())
            if (c->ParamIdx() == paramIdx) return c;
        for (ControlLayer* sub : l->GetSubLayers())
            if (IControl* c = controlIn(sub, paramIdx)) return c;
        return nullptr;
    }
    // Every control on the panel, in layers or not.
    int countControls() const {
        int n = graphics->NControls();
        for (int i = 0; i < graphics->NLayers(); ++i) n += countIn(graphics->GetLayer(i));
        return n;
    }
    static int countIn(const ControlLayer* l) {
        int n = static_cast<int>(l->GetControls().size());
        for (ControlLayer* sub : l->GetSubLayers()) n += countIn(sub);
        return n;
    }
};

}  // namespace hvtest
