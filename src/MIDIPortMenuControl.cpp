#include "src/MIDIPortMenuControl.h"

#include "src/Halvoran.h"

MIDIPortMenuControl::MIDIPortMenuControl(Halvoran* plug, IRECT rect, int paramIdx, IText* text)
    : ICaptionControl(plug, rect, paramIdx, text, true), mEditor(plug) {}

void MIDIPortMenuControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    if (mEditor) mEditor->refreshMIDIPortMenu(mParamIdx);
    ICaptionControl::OnMouseDown(x, y, mod);
}

void MIDIPortMenuControl::OnMouseDblClick(int x, int y, IMouseMod* mod) {
    if (mEditor) mEditor->refreshMIDIPortMenu(mParamIdx);
    ICaptionControl::OnMouseDblClick(x, y, mod);
}
