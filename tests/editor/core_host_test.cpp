// halvoran-host runs the real editor: it loads the plug-in from its bundle,
// sets its ports and values, saves the project, and a second run recalls it,
// reopens the ports by name and sends the program to the instrument's place.
#include "core_component.h"
#include "support/RunProgram.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>

#if defined(HV_EDITOR_HOST) && defined(HV_EDITOR_PLUGIN)

namespace {

using coretest::Bytes;
using coretest::Peer;
using namespace std::chrono_literals;

hvtest::ProgramRun runHost(const std::string& args) {
    return hvtest::runProgram(std::string("LSAN_OPTIONS=suppressions='") + HV_EDITOR_LSAN_SUPP + "' '" +
                              HV_EDITOR_HOST + "' --plugin '" + HV_EDITOR_PLUGIN + "' " + args + " 2>/dev/null");
}

// "ID<TAB>NAME<TAB>VALUE" lines by id.
std::map<int, std::string> printed(const std::string& out) {
    std::map<int, std::string> m;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t a = line.find('\t'), b = line.find('\t', a + 1);
        if (a == std::string::npos || b == std::string::npos) continue;
        m[std::atoi(line.substr(0, a).c_str())] = line.substr(b + 1);
    }
    return m;
}

// The list index the editor will give a port: "Select MIDI Device" first.
template <class Midi>
int listIndex(Midi& lister, const std::string& name) {
    for (unsigned i = 0; i < lister.getPortCount(); ++i)
        if (lister.getPortName(i) == name) return static_cast<int>(i) + 1;
    return 0;
}

TEST(CoreHostProgram, AProjectSavedByTheHostIsRecalledWithItsPortsAndValues) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    hvtest::TempDataDir dir;
    Peer peer;
    RtMidiIn inLister(RtMidi::UNIX_JACK, coretest::uniqueClient("hvcore-list"));
    RtMidiOut outLister(RtMidi::UNIX_JACK, coretest::uniqueClient("hvcore-list"));
    const int in = listIndex(inLister, peer.outName());
    const int out = listIndex(outLister, peer.inName());
    ASSERT_GT(in, 0);
    ASSERT_GT(out, 0);

    const std::string project = dir.str() + "song.proj";
    hvtest::ProgramRun first =
        runHost("--fast --seconds 0.2 --set 428=" + std::to_string(in) + " --set 427=" + std::to_string(out) +
                " --set 288=5 --set 20=99 --set 468=1 --save '" + project + "'");
    ASSERT_EQ(first.status, 0) << first.out;
    peer.drain(200ms);

    // The recall sends the global data, then (after the instrument's pause
    // for it) the program.
    hvtest::ProgramRun second = runHost("--seconds 4.5 --load '" + project + "' --print-params");
    ASSERT_EQ(second.status, 0) << second.out;
    auto values = printed(second.out);
    EXPECT_EQ(values[20], "99");
    EXPECT_EQ(values[468], "1");
    EXPECT_EQ(values[427], std::to_string(out));
    EXPECT_EQ(values[428], std::to_string(in));

    auto got = peer.drain(500ms);
    ASSERT_GE(got.size(), 2u);
    const Bytes& global = got[got.size() - 2];
    ASSERT_EQ(global.size(), 235u);
    EXPECT_EQ(Bytes(global.begin(), global.begin() + 5), (Bytes{0xF0, 0x42, 0x35, 0x58, 0x51}));
    const Bytes& dump = got.back();
    ASSERT_EQ(dump.size(), 297u);
    EXPECT_EQ(Bytes(dump.begin(), dump.begin() + 5), (Bytes{0xF0, 0x42, 0x35, 0x58, 0x40}));
}

}  // namespace

#endif
