#pragma once
// The editor's plug-in object, as far as its helpers need it so far: the
// parameter table (from the plug-in base), the debug-log switch and the log
// file's path. The full plug-in class grows here.
#include "framework/IUnitBase.h"
#include "src/DataFolder.h"

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

    // The bank folder: the data folder followed by "Patches", no trailing
    // separator.
    std::string getPatchesFolderStr() const { return halvoranDataFolder() + "Patches"; }

    // Set while a bank dump requested from the instrument is being received;
    // the bank reader clears it when it has taken the dump.
    bool bankDumpSeen = false;

    // File and folder name of the bank last chosen for each pane.
    std::string upperBankName;
    std::string upperBankFolder;
    std::string lowerBankName;
    std::string lowerBankFolder;
};
