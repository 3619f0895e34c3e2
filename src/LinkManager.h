#pragma once
// Linked controls: while the timbres are linked, moving a parameter moves
// its partner too, and the partner's binding sends its MIDI.
#include "src/ControlAction.h"

class Halvoran;

class LinkManager {
public:
    // link: the moved parameter's link; value: its plain value.
    static void controlLinker(Halvoran* plug, LinkInfo link, int paramIdx, int, double value);
};
