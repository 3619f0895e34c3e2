#pragma once
// What the command line asks of halvoran-host.
#include <string>
#include <utility>
#include <vector>

namespace hvhost {

// A change at a point of the run: the transport starts or stops, or the
// tempo moves. `at` is in seconds of rendered time from the start.
struct TimedEvent {
    double at = 0.0;
    enum Kind { kPlay, kStop, kTempo } kind = kPlay;
    double tempo = 0.0;
};

struct HostOptions {
    std::string plugin;  // the plug-in library
    double sampleRate = 48000.0;
    int blockSize = 512;
    double tempo = 120.0;
    bool playing = false;
    std::vector<TimedEvent> events;  // in time order
    double seconds = -1.0;           // below 0: until interrupted
    bool realTime = true;            // pace render calls to the sample rate
    std::string loadProject, saveProject;
    std::vector<std::pair<int, float>> setParams;
    bool listParams = false;   // print the parameter infos
    bool printParams = false;  // print every parameter's value at the end
    bool view = false;         // show the plug-in's panel
    bool help = false;
};

// False, with a message, for a command line it cannot follow.
bool parseOptions(int argc, const char* const* argv, HostOptions* out, std::string* error);
const char* usageText();
// The plug-in next to this program in the build tree, or "".
std::string defaultPluginPath(const char* argv0);

}  // namespace hvhost
