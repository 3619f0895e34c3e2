#pragma once
// Where the editor keeps its banks, settings file and debug log.
#include <string>

// The data folder with a trailing separator: $HALVORAN_DATA_DIR when set,
// else "$XDG_DATA_HOME/Tallowmere Audio/Brem Halvoran Editor/" (XDG_DATA_HOME
// defaulting to ~/.local/share). Nothing is created here.
std::string halvoranDataFolder();
