#include "src/MIDIPortMenuControl.h"

#include "framework/IGraphics.h"
#include "src/Halvoran.h"

MIDIPortMenuControl::MIDIPortMenuControl(Halvoran* plug, IRECT rect, int paramIdx, IText* text)
    : ICaptionControl(plug, rect, paramIdx, text, true), mEditor(plug) {}

void MIDIPortMenuControl::OnMouseDown(int x, int y, IMouseMod* mod) {
    promptPorts();
    mRedraw = true;
}

void MIDIPortMenuControl::OnMouseDblClick(int x, int y, IMouseMod* mod) { promptPorts(); }

void MIDIPortMenuControl::promptPorts() {
    if (!mEditor) return;
    mEditor->refreshMIDIPortMenu(mParamIdx);
    IGraphics* graphics = GetGUI();
    if (!graphics || IsPromptDisabled()) return;
    std::vector<std::string> notes;
    switch (mEditor->externalMIDISystem()) {
        case MidiSystem::kAnswering:
            break;
        case MidiSystem::kAbsent:
            notes.push_back(kNoSystemText);
            break;
        case MidiSystem::kNotAnswering:
            notes.push_back(kNotAnsweringText);
            break;
    }
    graphics->PromptUserInput(this, notes);
}
