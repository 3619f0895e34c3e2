// What the plug-in's view class ("Halvoran_View") does for a host: it opens
// the plug-in's panel into the host's view and closes it again.
#pragma once

class IUnitBase;

namespace IUnitAU_ViewFactory {

// parentView is the host's platform::appkit::View* (may be null: the host
// places the returned view). Null when the plug-in has no panel.
void* uiViewForAudioUnit(IUnitBase* plug, void* parentView, int* width, int* height);
// Stops the panel's timer and removes its view.
void closeView(IUnitBase* plug, void* view);

}  // namespace IUnitAU_ViewFactory
