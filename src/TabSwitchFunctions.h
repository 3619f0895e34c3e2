#pragma once
// Shows and hides the panel's layers for the main tab and for the timbre
// selection (the layers are listed in PanelLayers.h). Called on another
// thread than the GUI thread, either is left for the GUI thread, which
// follows kMainTab and the selected timbre as they are when it runs.
class Halvoran;

class TabSwitchFunctions {
public:
    // value: the main tab, 0 librarian, 1 modulation sequences, 2 program.
    static void mainTabSwitch(Halvoran* plug, int paramIdx, int value, int, int);
    // timbre: 0 or 1.
    static void quickTabSwitch(Halvoran* plug, int paramIdx, int timbre, int);
};
