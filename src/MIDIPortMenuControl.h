#pragma once
// The panel's MIDI port menus: before the menu opens, the MIDI system is
// asked afresh for its ports, so a port that came (or came back, after its
// server was restarted) can be chosen. When there is no MIDI system, or it
// does not answer, the menu says so in an item that cannot be chosen.
#include "framework/IControl.h"

class Halvoran;

class MIDIPortMenuControl : public ICaptionControl {
public:
    static constexpr const char* kNoSystemText = "No MIDI system found";
    static constexpr const char* kNotAnsweringText = "MIDI system not answering";

    MIDIPortMenuControl(Halvoran* plug, IRECT rect, int paramIdx, IText* text);
    void OnMouseDown(int x, int y, IMouseMod* mod) override;
    void OnMouseDblClick(int x, int y, IMouseMod* mod) override;

private:
    void promptPorts();

    Halvoran* mEditor;
};
