#include "framework/ControlLayer.h"

#include "framework/IControl.h"
#include "framework/IGraphics.h"

ControlLayer::ControlLayer(int id, std::string name) : mId(id), mName(std::move(name)) {}

ControlLayer::~ControlLayer() {
    for (IControl* c : mControls) delete c;
    for (ControlLayer* l : mSubLayers) delete l;
}

void ControlLayer::AddControl(IControl* c) {
    if (c) mControls.push_back(c);
}

void ControlLayer::AddSubLayer(ControlLayer* l) {
    if (l && l != this) mSubLayers.push_back(l);
}

ControlLayer* ControlLayer::FindSubLayer(int id) {
    for (ControlLayer* l : mSubLayers) {
        if (l->mId == id) return l;
        if (ControlLayer* d = l->FindSubLayer(id)) return d;
    }
    return nullptr;
}

ControlLayer* ControlLayer::FindSubLayer(const std::string& name) {
    for (ControlLayer* l : mSubLayers) {
        if (l->mName == name) return l;
        if (ControlLayer* d = l->FindSubLayer(name)) return d;
    }
    return nullptr;
}

void ControlLayer::Hide(bool hide) {
    mVisible = !hide;
    for (IControl* c : mControls) c->Hide(hide);
    for (ControlLayer* l : mSubLayers) l->Hide(hide);
}

void ControlLayer::GrayOut(bool gray) {
    for (IControl* c : mControls) c->GrayOut(gray);
    for (ControlLayer* l : mSubLayers) l->GrayOut(gray);
}

void ControlLayer::setControlsDirty() {
    for (IControl* c : mControls) c->SetDirty(false);
    for (ControlLayer* l : mSubLayers) l->setControlsDirty();
}

void ControlLayer::setIgnoreHiddenWhenUpdatingScreen(bool flag) {
    mIgnoreHidden = flag;
    for (ControlLayer* l : mSubLayers) l->setIgnoreHiddenWhenUpdatingScreen(flag);
    if (!mControls.empty()) mControls.front()->SetIgnoreHidden(flag);
}

bool ControlLayer::isDirty(IRECT* r) {
    if (!mVisible && !mIgnoreHidden) return false;
    bool dirty = false;
    for (IControl* c : mControls) {
        if (!c->IsDirty() || (c->IsHidden() && !c->GetIgnoreHidden())) continue;
        *r = r->Union(c->GetRECT());
        dirty = true;
    }
    for (ControlLayer* l : mSubLayers) dirty |= l->isDirty(r);
    return dirty;
}

void ControlLayer::showSubLayersInIdRange(int lo, int hi, bool show) {
    for (ControlLayer* l : mSubLayers)
        if (l->mId >= lo && l->mId <= hi) l->Hide(!show);
}

void ControlLayer::showOnlySubLayerId(int lo, int hi, int id) {
    for (ControlLayer* l : mSubLayers)
        if (l->mId >= lo && l->mId <= hi) l->Hide(l->mId != id);
}

void ControlLayer::SetValueFromPlug(int paramIdx, double normalized) {
    for (IControl* c : mControls) {
        if (c->ParamIdx() == paramIdx) c->SetValueFromPlug(normalized);
        int aux = c->AuxParamIdx(paramIdx);
        if (aux >= 0) c->SetAuxParamValueFromPlug(aux, normalized);
    }
    for (ControlLayer* l : mSubLayers) l->SetValueFromPlug(paramIdx, normalized);
}

IControl* TopControlAt(const std::vector<IControl*>& controls, int x, int y) {
    for (auto it = controls.rbegin(); it != controls.rend(); ++it) {
        IControl* c = *it;
        if (!c->IsHidden() && !c->IsGrayed() && c->IsHit(x, y)) return c;
    }
    return nullptr;
}

IControl* ControlLayer::GetMouseControl(int x, int y) {
    if (!mVisible) return nullptr;
    for (auto it = mSubLayers.rbegin(); it != mSubLayers.rend(); ++it)
        if (IControl* c = (*it)->GetMouseControl(x, y)) return c;
    return TopControlAt(mControls, x, y);
}

void ControlLayer::Draw(IGraphics* g, const IRECT* r) {
    if (!mVisible) return;
    for (IControl* c : mControls) g->DrawControl(c, r);
    for (ControlLayer* l : mSubLayers) l->Draw(g, r);
}

void ControlLayer::SetClean() {
    for (IControl* c : mControls) c->SetClean();
    for (ControlLayer* l : mSubLayers) l->SetClean();
}
