#pragma once
// The editor's plug-in object, as far as its helpers need it so far: the
// parameter table (from the plug-in base), the debug-log switch and the log
// file's path. The full plug-in class grows here.
#include "framework/IUnitBase.h"

#include <string>

class Halvoran : public IUnitBase {
public:
    // The editor's parameters and its own settings share one index space.
    static constexpr int kNumParams = 472;

    Halvoran() : IUnitBase(IUnitConfig{}, kNumParams) {}

    // True when the debug log was opened at start-up; while false no component
    // composes or writes a log line.
    bool debugLogOn = false;
    // The debug log file.
    std::string debugLogPath;
};
