#include "framework/presets/IPresets.h"

bool IPresets::SetCurrent(int number, const char* name) {
    if (number >= NFactoryPresets()) return false;
    mName = (name && *name) ? name : kUntitled;
    return true;
}
