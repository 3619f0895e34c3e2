// The plug-in's side of its graphics. Kept apart from IUnitBase.cpp so the
// parameter and MIDI code builds without the GUI classes.
#include "framework/IUnitBase.h"

#if __has_include("framework/IGraphics.h")
#include "framework/IGraphics.h"
#define HV_UNIT_HAS_GRAPHICS 1
#else
#define HV_UNIT_HAS_GRAPHICS 0
#endif

void IUnitBase::AttachGraphics(IGraphics* pGraphics) {
    if (pGraphics == mGraphics) return;
    DeleteGraphics();
    mGraphics = pGraphics;
}

void IUnitBase::DeleteGraphics() {
#if HV_UNIT_HAS_GRAPHICS
    delete mGraphics;
#endif
    mGraphics = nullptr;
}

void IUnitBase::RedrawParamControls() {
#if HV_UNIT_HAS_GRAPHICS
    if (!mGraphics) return;
    for (int i = 0; i < NParams(); ++i) ShowParamOnGUI(i);
#endif
}

void IUnitBase::ShowParamOnGUI(int idx) {
#if HV_UNIT_HAS_GRAPHICS
    if (IParam* p = GetParam(idx); p && mGraphics) mGraphics->SetParameterFromPlug(idx, p->GetNormalized(), true);
#endif
}
