#pragma once
// The editor's plug-in object, as far as its helpers need it so far: the
// debug-log switch and the log file's path. The full plug-in class grows here.
#include <string>

class Halvoran {
public:
    // True when the debug log was opened at start-up; while false no component
    // composes or writes a log line.
    bool debugLogOn = false;
    // The debug log file.
    std::string debugLogPath;
};
