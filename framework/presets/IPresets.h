#pragma once
// The plug-in's presets: it ships no factory presets, so the present preset
// is always a user preset (number -1), named "Untitled" until the host
// names it. State travels through the saved-state dictionary alone.
#include <string>

class IPresets {
public:
    static constexpr const char* kUntitled = "Untitled";

    int NFactoryPresets() const { return 0; }
    int GetCurrentNumber() const { return -1; }
    const std::string& GetCurrentName() const { return mName; }
    // Only user presets (number < 0) can be chosen; an empty or null name
    // reads as "Untitled". False for a factory number.
    bool SetCurrent(int number, const char* name);

private:
    std::string mName = kUntitled;
};
