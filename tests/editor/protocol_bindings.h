#pragma once
// Registers a bound control for incoming MIDI the way the panel build does:
// under its binding's control-change, MSB/LSB or parameter-change address.
#include "src/ControlAction.h"
#include "src/UIConfigManager.h"

namespace hvproto {

inline void registerCC(UIConfigManager& ui, ControlAction* a, IControl* c, int key, int cc, int type) {
    a->key = key;
    a->ccNumber = cc;
    a->type = type;
    ui.registerCCControl(a, c);
}

// Data entry (CC 6) after CC 99 = msb and CC 98 = lsb.
inline void registerNRPN(UIConfigManager& ui, ControlAction* a, IControl* c, int key, int msb, int lsb, int type) {
    a->key = key;
    a->ccNumber = 6;
    a->msbValue = msb;
    a->lsbValue = lsb;
    a->lsbControl = 0;
    a->type = type;
    ui.registerMsbLsbControl(a, c);
}

// The parameter change F0 42 3g 58 41 lo hi ... F7.
inline void registerParameterChange(UIConfigManager& ui, IControl* c, int lo, int hi) {
    const unsigned char keys[4] = {0x58, 0x41, static_cast<unsigned char>(lo), static_cast<unsigned char>(hi)};
    ui.sysExControls.addToControlMap(keys, 0, c);
}

}  // namespace hvproto
