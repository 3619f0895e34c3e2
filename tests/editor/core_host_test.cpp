// halvoran-host runs the real editor: it loads the plug-in from its bundle,
// sets its ports and values, saves the project, and a second run recalls it,
// reopens the ports by name and sends the program to the instrument's place.
#include "base/BASE_RegularFile.h"
#include "core_component.h"
#include "support/RunProgram.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

TEST(CoreHostProgram, AProjectSavedByTheHostIsRecalledWithItsPortsAndValues) {
    ASSERT_TRUE(hvtest::JackServer::shared().running());
    hvtest::TempDataDir dir;
    Peer peer;
    const int in = peer.inMenuIndex(), out = peer.outMenuIndex();
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
    auto sized = [&](size_t n) {
        return std::find_if(got.begin(), got.end(), [n](const Bytes& m) { return m.size() == n; });
    };
    const auto global = sized(235), dump = sized(297);
    ASSERT_NE(global, got.end());
    ASSERT_NE(dump, got.end());
    EXPECT_LT(global, dump);
    EXPECT_EQ(Bytes(global->begin(), global->begin() + 5), (Bytes{0xF0, 0x42, 0x35, 0x58, 0x51}));
    EXPECT_EQ(Bytes(dump->begin(), dump->begin() + 5), (Bytes{0xF0, 0x42, 0x35, 0x58, 0x40}));
}

// No MIDI system answers (no ALSA sequencer, no JACK server): the editor
// says so in one line of its own, and JACK's client library says nothing.
TEST(CoreHostProgram, WithoutAMIDISystemOneLineSaysSo) {
    hvtest::TempDataDir dir;
    hvtest::ProgramRun run = hvtest::runProgram(
        std::string("HALVORAN_MIDI_API=jack JACK_DEFAULT_SERVER=hv-nobody-answers JACK_NO_START_SERVER=1 ") +
        "LSAN_OPTIONS=suppressions='" + HV_EDITOR_LSAN_SUPP + "' timeout 120 '" + HV_EDITOR_HOST + "' --plugin '" +
        HV_EDITOR_PLUGIN + "' --list-params 2>&1 >/dev/null");
    ASSERT_EQ(run.status, 0) << run.out;
    // One line, whether or not this machine has an ALSA sequencer.
    EXPECT_EQ(run.out.rfind("MIDI: no MIDI system: ", 0), 0u) << run.out;
    EXPECT_NE(run.out.find("no JACK server is running (server \"hv-nobody-answers\")"), std::string::npos);
    EXPECT_EQ(std::count(run.out.begin(), run.out.end(), '\n'), 1) << run.out;
}

// A file of the user's that another program swaps for a FIFO after the
// editor looked at it (the bank scan saw a bank there) holds nothing: the
// start goes on without it, and a project so swapped fails to load.
TEST(CoreHostProgram, FilesSwappedForFifosHoldNothing) {
    const std::string bank(38016, '\0');
    const struct {
        const char* what;
        const char* swapped;  // below the data folder
        const char* args;
        int status;
        const char* said;  // on the output or in the log
    } rows[] = {
        {"a bank", "Patches/Plain.syx", "", 0, "could not read file"},
        {"an oversized bank", "Patches/Big.syx", "", 0, "could not read file"},
        {"the settings", "Halvoran UI.txt", "", 0, "is not understood"},
        {"the log", "Halvoran LOG.txt", "", 0, ""},  // nothing said: it only must not hold the start
        {"the project", "song.proj", "--load song.proj", 1, "song.proj: cannot read"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        hvtest::TempDataDir dir;
        dir.write("Halvoran LOG.txt", "");
        dir.write("Halvoran UI.txt", "small\nlegacy\nfirst run: no\n");
        dir.write("song.proj", "<plist/>");
        dir.write("Patches/Plain.syx", bank);
        dir.write("Patches/Big.syx", bank + bank);
        hvtest::ProgramRun run = hvtest::runProgram(
            "cd '" + dir.str() + "' && HALVORAN_MIDI_API=jack JACK_DEFAULT_SERVER=hv-nobody-answers " +
            "JACK_NO_START_SERVER=1 ASAN_OPTIONS=verify_asan_link_order=0 LD_PRELOAD='" + HV_OUTSIDE_FILES +
            "' HV_SWAP_FOR_FIFO='" + std::filesystem::path(row.swapped).filename().string() +
            "' LSAN_OPTIONS=suppressions='" + HV_EDITOR_LSAN_SUPP + "' timeout 120 '" + HV_EDITOR_HOST +
            "' --plugin '" + HV_EDITOR_PLUGIN + "' --fast --seconds 0 " + row.args + " 2>&1");
        EXPECT_EQ(run.status, row.status) << run.out;
        EXPECT_TRUE(std::filesystem::is_fifo(dir.path() / row.swapped));
        std::string log;  // none when the log is the FIFO
        BASE_ReadRegularFile((dir.str() + "Halvoran LOG.txt").c_str(), 1 << 20, log);
        if (!*row.said) continue;
        // Said of that file: its line names it.
        const std::string all = run.out + log, name = std::filesystem::path(row.swapped).filename().string();
        const size_t at = all.find(row.said);
        ASSERT_NE(at, std::string::npos) << all;
        const size_t line = all.rfind('\n', at) + 1;  // 0 when it is the first
        EXPECT_NE(all.substr(line, all.find('\n', at) - line).find(name), std::string::npos) << all;
    }
}

}  // namespace

#endif
