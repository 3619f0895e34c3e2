#include "framework/IUnitAU_ViewFactory.h"

#include "framework/IGraphics.h"
#include "framework/IUnitBase.h"

namespace IUnitAU_ViewFactory {

void* uiViewForAudioUnit(IUnitBase* plug, void* parentView, int* width, int* height) {
    IGraphics* g = plug ? plug->GetGUI() : nullptr;
    if (!g) return nullptr;
    void* view = g->OpenWindow(parentView);
    if (width) *width = g->Width();
    if (height) *height = g->Height();
    return view;
}

void closeView(IUnitBase* plug, void* view) {
    IGraphics* g = plug ? plug->GetGUI() : nullptr;
    if (g && g->WindowIsOpen()) g->CloseWindow();
}

}  // namespace IUnitAU_ViewFactory
