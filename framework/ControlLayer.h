// A named group of controls and sub-layers, shown, hidden, grayed out,
// hit-tested and drawn as a unit. A new layer is hidden.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "framework/IGraphicsStructs.h"

class IControl;
class IGraphics;

// The control of the list hit at (x, y), the last first, skipping hidden and
// grayed-out ones; null when none is.
IControl* TopControlAt(const std::vector<IControl*>& controls, int x, int y);

class ControlLayer {
public:
    ControlLayer(int id, std::string name);
    ~ControlLayer();
    ControlLayer(const ControlLayer&) = delete;
    ControlLayer& operator=(const ControlLayer&) = delete;

    int GetId() const { return mId; }
    const std::string& GetName() const { return mName; }
    int GetZone() const { return mZone; }
    void SetZone(int z) { mZone = z; }
    bool IsVisible() const { return mVisible; }
    bool GetIgnoreHidden() const { return mIgnoreHidden; }

    // The layer takes ownership; drawn and hit-tested in list order.
    void AddControl(IControl* c);
    void AddSubLayer(ControlLayer* l);
    const std::vector<IControl*>& GetControls() const { return mControls; }
    const std::vector<ControlLayer*>& GetSubLayers() const { return mSubLayers; }
    // The first sub-layer with this id or name at any depth, or null.
    ControlLayer* FindSubLayer(int id);
    ControlLayer* FindSubLayer(const std::string& name);

    // Hides (true) or shows (false) the layer with everything in it.
    void Hide(bool hide);
    void GrayOut(bool gray);
    void setControlsDirty();
    void setIgnoreHiddenWhenUpdatingScreen(bool flag);
    // Adds the areas of changed controls to r. A hidden layer counts only with
    // its ignore-hidden flag on, a hidden control only with its own flag on.
    bool isDirty(IRECT* r);

    // Sub-layers with ids lo..hi: show or hide them all, or show only `id`.
    void showSubLayersInIdRange(int lo, int hi, bool show);
    void showOnlySubLayerId(int lo, int hi, int id);

    // A value from the plug-in for every control showing paramIdx.
    void SetValueFromPlug(int paramIdx, double normalized);
    // The topmost shown, not grayed control under (x, y), or null.
    IControl* GetMouseControl(int x, int y);
    // Draws shown controls meeting r, then the sub-layers.
    void Draw(IGraphics* g, const IRECT* r);
    void SetClean();

private:
    int mId;
    std::string mName;
    int mZone = 0;
    bool mVisible = false;
    bool mIgnoreHidden = false;
    std::vector<IControl*> mControls;
    std::vector<ControlLayer*> mSubLayers;
};
