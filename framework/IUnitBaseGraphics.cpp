// The plug-in's side of its graphics.
#include "framework/IGraphics.h"
#include "framework/IUnitBase.h"

void IUnitBase::AttachGraphics(IGraphics* pGraphics) {
    if (pGraphics == mGraphics) return;
    DeleteGraphics();
    mGraphics = pGraphics;
}

void IUnitBase::DeleteGraphics() {
    delete mGraphics;
    mGraphics = nullptr;
}

void IUnitBase::ShowParamOnGUI(int idx) {
    if (IParam* p = GetParam(idx); p && mGraphics) mGraphics->SetParameterFromPlug(idx, p->GetNormalized(), true);
}

void IUnitBase::RedrawParamControls() {
    if (!mGraphics) return;
    for (int i = 0; i < NParams(); ++i) ShowParamOnGUI(i);
}
