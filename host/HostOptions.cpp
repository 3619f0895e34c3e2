#include "host/HostOptions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace hvhost {

namespace {

bool toDouble(const std::string& s, double* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    double v = strtod(s.c_str(), &end);
    if (errno || *end || !std::isfinite(v)) return false;
    *out = v;
    return true;
}

bool toInt(const std::string& s, long lo, long hi, long* out) {
    if (s.empty()) return false;
    char* end = nullptr;
    errno = 0;
    long v = strtol(s.c_str(), &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    *out = v;
    return true;
}

bool parseEvent(const std::string& text, TimedEvent* ev) {
    size_t colon = text.find(':');
    if (colon == std::string::npos || !toDouble(text.substr(0, colon), &ev->at) || ev->at < 0) return false;
    std::string what = text.substr(colon + 1);
    if (what == "play") {
        ev->kind = TimedEvent::kPlay;
    } else if (what == "stop") {
        ev->kind = TimedEvent::kStop;
    } else if (what.rfind("tempo=", 0) == 0) {
        ev->kind = TimedEvent::kTempo;
        if (!toDouble(what.substr(6), &ev->tempo) || ev->tempo <= 0) return false;
    } else {
        return false;
    }
    return true;
}

}  // namespace

const char* usageText() {
    return "usage: halvoran-host [options]\n"
           "  --plugin PATH        the plug-in library (default: the editor next to this program)\n"
           "  --rate HZ            sample rate (default 48000)\n"
           "  --block FRAMES       frames per render call (default 512)\n"
           "  --tempo BPM          host tempo (default 120)\n"
           "  --play               the transport runs from the start\n"
           "  --at SECONDS:WHAT    WHAT is play, stop or tempo=BPM, at that point of the run\n"
           "  --seconds S          run this long, then save and quit (default: until interrupted)\n"
           "  --fast               render as fast as possible instead of in real time\n"
           "  --load FILE          restore the plug-in from a project file\n"
           "  --save FILE          save the plug-in into a project file at the end\n"
           "  --set ID=VALUE       set a parameter (plain value) after loading\n"
           "  --list-params        print the parameters the plug-in reports, each value by name, and quit\n"
           "  --print-params       print every parameter's value at the end\n"
           "  --view               show the plug-in's panel\n";
}

bool parseOptions(int argc, const char* const* argv, HostOptions* out, std::string* error) {
    HostOptions o;
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](std::string* v) {
            if (i + 1 >= argc) return false;
            *v = argv[++i];
            return true;
        };
        std::string v;
        long n = 0;
        if (a == "--help" || a == "-h") {
            o.help = true;
        } else if (a == "--play") {
            o.playing = true;
        } else if (a == "--fast") {
            o.realTime = false;
        } else if (a == "--list-params") {
            o.listParams = true;
        } else if (a == "--print-params") {
            o.printParams = true;
        } else if (a == "--view") {
            o.view = true;
        } else if (!value(&v)) {
            return fail(a.rfind("--", 0) == 0 ? a + " needs a value" : "unknown argument " + a);
        } else if (a == "--plugin") {
            o.plugin = v;
        } else if (a == "--rate") {
            if (!toDouble(v, &o.sampleRate) || o.sampleRate < 1000 || o.sampleRate > 768000)
                return fail("bad sample rate " + v);
        } else if (a == "--block") {
            if (!toInt(v, 1, 65536, &n)) return fail("bad block size " + v);
            o.blockSize = static_cast<int>(n);
        } else if (a == "--tempo") {
            if (!toDouble(v, &o.tempo) || o.tempo <= 0) return fail("bad tempo " + v);
        } else if (a == "--at") {
            TimedEvent ev;
            if (!parseEvent(v, &ev)) return fail("bad event " + v + " (SECONDS:play|stop|tempo=BPM)");
            o.events.push_back(ev);
        } else if (a == "--seconds") {
            if (!toDouble(v, &o.seconds) || o.seconds < 0) return fail("bad duration " + v);
        } else if (a == "--load") {
            o.loadProject = v;
        } else if (a == "--save") {
            o.saveProject = v;
        } else if (a == "--set") {
            size_t eq = v.find('=');
            double value = 0;
            if (eq == std::string::npos || !toInt(v.substr(0, eq), 0, 1 << 20, &n) ||
                !toDouble(v.substr(eq + 1), &value))
                return fail("bad parameter setting " + v + " (ID=VALUE)");
            o.setParams.emplace_back(static_cast<int>(n), static_cast<float>(value));
        } else {
            return fail("unknown option " + a);
        }
    }
    std::stable_sort(o.events.begin(), o.events.end(),
                     [](const TimedEvent& x, const TimedEvent& y) { return x.at < y.at; });
    *out = std::move(o);
    return true;
}

std::string defaultPluginPath(const char* argv0) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::canonical("/proc/self/exe", ec);
    if (ec && argv0) self = std::filesystem::absolute(argv0, ec);
    if (ec) return "";
    std::filesystem::path p = self.parent_path().parent_path() / "Halvoran.bundle" / "Halvoran.so";
    return std::filesystem::exists(p, ec) ? p.string() : "";
}

}  // namespace hvhost
