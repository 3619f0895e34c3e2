// ctest-labels: tsan
// The test unit driven through its exported component entry, as a host
// loads it: dlopen, open, initialise, render, query, save, restore, close.
#include "host/HostSession.h"
#include "host/HostTransport.h"
#include "platform/audiounit/AUHost.h"
#include "support/JackServer.h"
#include "support/MidiReceive.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>
#include <jack/jack.h>
#include <rtmidi/RtMidi.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

namespace {

using namespace platform::au;
using hvhost::HostTransport;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The test unit's parameters (tests/testplug/TestUnit.h).
enum {
    kGain = 0,
    kMode,
    kRadio,
    kSwitch,
    kMidiIn,
    kMidiOut,
    kTempoSeen,
    kEdges,
    kBlocks,
    kLastCC,
    kLastCCValue,
    kSysExSize,
    kSysExSum,
    kPoke,
    kResets,
    kNumParams
};

struct Notifications {
    std::mutex m;
    std::vector<std::pair<int, float>> calls;
    static void proc(void* user, int32_t id, float v) {
        auto* n = static_cast<Notifications*>(user);
        std::lock_guard<std::mutex> lock(n->m);
        n->calls.push_back({id, v});
    }
    size_t count() {
        std::lock_guard<std::mutex> lock(m);
        return calls.size();
    }
};

class ComponentEntry : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        std::string error;
        component = Component::load(HV_TESTUNIT_PATH, &error);
        ASSERT_NE(component, nullptr) << error;
        ASSERT_NE(component->viewEntry(), nullptr);
    }

    std::unique_ptr<Instance> openInstance(HostTransport* transport, uint32_t frames = 512) {
        auto inst = std::make_unique<Instance>(component->entry());
        EXPECT_EQ(inst->open(), kNoErr);
        EXPECT_EQ(inst->set(kPropSampleRate, 48000.0), kNoErr);
        EXPECT_EQ(inst->set(kPropMaxFramesPerSlice, frames), kNoErr);
        if (transport) {
            EXPECT_EQ(inst->set(kPropHostCallbacks, transport->callbacks()), kNoErr);
        }
        EXPECT_EQ(inst->initialize(), kNoErr);
        return inst;
    }

    float param(Instance& inst, int id) {
        float v = -12345;
        EXPECT_EQ(inst.getParameter(id, &v), kNoErr);
        return v;
    }

    void render(Instance& inst, HostTransport& t, int blocks, uint32_t n = 512) {
        std::vector<float> o0(n), o1(n);
        float* outs[2] = {o0.data(), o1.data()};
        for (int b = 0; b < blocks; ++b) {
            ASSERT_EQ(inst.render(n, 0, nullptr, 2, outs), kNoErr);
            t.advance(static_cast<int>(n));
        }
    }

    std::unique_ptr<Component> component;
};

TEST_F(ComponentEntry, LoadingRefusesLibrariesWithoutTheEntry) {
    std::string error;
    EXPECT_EQ(Component::load("/nonexistent/lib.so", &error), nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Component::load("libc.so.6", &error), nullptr);
    EXPECT_NE(error.find("Halvoran_Entry"), std::string::npos);
    // Calls on an instance that never opened fail cleanly.
    Instance never(component->entry());
    EXPECT_EQ(never.initialize(), kErrParam);
    AUCall bad{};
    bad.selector = kSelInitialize;
    EXPECT_EQ(component->entry()(&bad), kErrParam);
    EXPECT_EQ(component->entry()(nullptr), kErrParam);
}

TEST_F(ComponentEntry, OpenInitialiseRenderWithTransportAndTempoThenClose) {
    HostTransport transport(48000, 120.7, false);
    auto inst = openInstance(&transport);
    EXPECT_EQ(param(*inst, kResets), 1.0f);  // Initialize resets
    render(*inst, transport, 3);
    EXPECT_EQ(param(*inst, kBlocks), 3.0f);
    EXPECT_NEAR(param(*inst, kTempoSeen), 120.7f, 1e-4);
    EXPECT_EQ(param(*inst, kEdges), 0.0f);
    transport.setPlaying(true);
    render(*inst, transport, 2);
    EXPECT_EQ(param(*inst, kEdges), 1.0f);
    EXPECT_EQ(transport.samplePosition(), 1024.0);
    transport.setTempo(98.25);
    transport.setPlaying(false);
    render(*inst, transport, 1);
    EXPECT_EQ(param(*inst, kEdges), 2.0f);
    EXPECT_NEAR(param(*inst, kTempoSeen), 98.25f, 1e-4);

    EXPECT_EQ(inst->reset(), kNoErr);
    EXPECT_EQ(param(*inst, kResets), 2.0f);
    std::vector<float> big(4096);
    float* outs[1] = {big.data()};
    EXPECT_EQ(inst->render(4096, 0, nullptr, 1, outs), kErrTooManyFramesToProcess);
    EXPECT_EQ(inst->uninitialize(), kNoErr);
    EXPECT_EQ(inst->render(16, 0, nullptr, 1, outs), kErrUninitialized);
    EXPECT_EQ(inst->close(), kNoErr);
    EXPECT_FALSE(inst->isOpen());
}

TEST_F(ComponentEntry, ParameterListAndInfoCarryTheMetaFlag) {
    auto inst = openInstance(nullptr);
    uint32_t size = 0;
    bool writable = true;
    ASSERT_EQ(inst->getPropertyInfo(kPropParameterList, kScopeGlobal, 0, &size, &writable), kNoErr);
    EXPECT_EQ(size, kNumParams * sizeof(int32_t));
    EXPECT_FALSE(writable);
    ParameterInfo info{};
    ASSERT_EQ(inst->get(kPropParameterInfo, &info, kRadio), kNoErr);
    EXPECT_STREQ(info.name, "Radio");
    EXPECT_NE(info.flags & kParamFlagIsGlobalMeta, 0u);
    ASSERT_EQ(inst->get(kPropParameterInfo, &info, kMode), kNoErr);
    EXPECT_EQ(info.flags & kParamFlagIsGlobalMeta, 0u);
    EXPECT_EQ(info.maxValue, 3.0f);
    EXPECT_EQ(info.defaultValue, 1.0f);
    EXPECT_EQ(inst->get(kPropParameterInfo, &info, 999), kErrInvalidElement);
    uint32_t junk = 0;
    EXPECT_EQ(inst->get(12345u, &junk), kErrInvalidProperty);
    EXPECT_EQ(inst->getPropertyInfo(12345u, kScopeGlobal, 0, &size, &writable), kErrInvalidProperty);
    float v = 0;
    EXPECT_EQ(inst->getParameter(kNumParams, &v), kErrInvalidParameter);
    EXPECT_EQ(inst->setParameter(-1, 1.0f), kErrInvalidParameter);
    CocoaViewInfo view{};
    ASSERT_EQ(inst->get(kPropCocoaUI, &view), kNoErr);
    EXPECT_STREQ(view.viewClassName, "Halvoran_View");
    EXPECT_EQ(fs::path(view.bundlePath), fs::path(HV_TESTUNIT_PATH).parent_path());
    // The test unit has no graphics: the view entry makes no view.
    AUViewCall vc{};
    vc.selector = kViewSelOpen;
    vc.instance = inst->handle();
    EXPECT_EQ(component->viewEntry()(&vc), kErrUnsupported);
    vc.selector = 9;
    EXPECT_EQ(component->viewEntry()(&vc), kErrUnsupported);
}

TEST_F(ComponentEntry, AClickOnTheSwitchNotifiesTheHostExactlyOnce) {
    auto inst = openInstance(nullptr);
    Notifications n;
    ASSERT_EQ(inst->addParameterListener(Notifications::proc, &n), kNoErr);
    // The unit answers "Poke" as a click on its switch would.
    ASSERT_EQ(inst->setParameter(kPoke, 1.0f), kNoErr);
    ASSERT_EQ(n.count(), 1u);
    EXPECT_EQ(n.calls[0].first, kSwitch);
    EXPECT_EQ(n.calls[0].second, 1.0f);
    EXPECT_EQ(param(*inst, kSwitch), 1.0f);
    ASSERT_EQ(inst->setParameter(kGain, 0.2f), kNoErr);  // the host's own change
    EXPECT_EQ(n.count(), 1u);
    ASSERT_EQ(inst->removeParameterListener(Notifications::proc, &n), kNoErr);
    ASSERT_EQ(inst->setParameter(kPoke, 1.0f), kNoErr);
    EXPECT_EQ(n.count(), 1u);
    EXPECT_EQ(param(*inst, kSwitch), 0.0f);
}

TEST_F(ComponentEntry, StateRoundTripsThroughAProjectFileIntoAFreshInstance) {
    fs::path dir = fs::temp_directory_path() / ("hv-entry-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::string project = (dir / "song.hvproj").string();
    HostTransport transport(48000, 133, true);
    {
        auto inst = openInstance(&transport);
        render(*inst, transport, 4);
        inst->setParameter(kGain, 0.3f);
        inst->setParameter(kMode, 2);
        inst->setParameter(kRadio, 2);
        PresetInfo preset{-1, "Bright Pad"};
        ASSERT_EQ(inst->set(kPropPresentPreset, preset), kNoErr);
        std::string error;
        ASSERT_TRUE(hvhost::saveProject(*inst, project, &error)) << error;
    }
    auto fresh = openInstance(nullptr);
    EXPECT_EQ(param(*fresh, kGain), 0.5f);
    std::string error;
    ASSERT_TRUE(hvhost::loadProject(*fresh, project, &error)) << error;
    EXPECT_NEAR(param(*fresh, kGain), 0.3f, 1e-6);
    EXPECT_EQ(param(*fresh, kMode), 2.0f);
    EXPECT_EQ(param(*fresh, kRadio), 2.0f);
    EXPECT_EQ(param(*fresh, kBlocks), 4.0f);
    EXPECT_EQ(param(*fresh, kEdges), 1.0f);
    PresetInfo preset{};
    ASSERT_EQ(fresh->get(kPropPresentPreset, &preset), kNoErr);
    EXPECT_STREQ(preset.name, "Bright Pad");

    // Without "data" the state is refused, and nothing changes.
    platform::cf::PropertyDict state;
    ASSERT_EQ(fresh->getState(&state), kNoErr);
    state.erase("data");
    fresh->setParameter(kGain, 0.9f);
    EXPECT_EQ(fresh->setState(state), kErrInvalidProperty);
    EXPECT_NEAR(param(*fresh, kGain), 0.9f, 1e-6);
    ASSERT_TRUE(platform::cf::writePropertyListFile(project, state));
    EXPECT_FALSE(hvhost::loadProject(*fresh, project, &error));
    EXPECT_NE(error.find("-10879"), std::string::npos) << error;
    // A file that is no project is refused with a reason.
    std::ofstream(project) << "garbage";
    EXPECT_FALSE(hvhost::loadProject(*fresh, project, &error));
    EXPECT_NE(error.find("not XML"), std::string::npos) << error;
    fs::remove_all(dir);
}

TEST_F(ComponentEntry, MidiFromThePortReachesTheUnitAndTransportEdgesGoOut) {
    // The instrument's ports exist before the plug-in lists them.
    RtMidiOut instOut(RtMidi::UNIX_JACK, "hv-inst-out");
    instOut.openVirtualPort("out");
    RtMidiIn instIn(RtMidi::UNIX_JACK, "hv-inst-in", 1024);
    instIn.ignoreTypes(false, false, false);
    instIn.openVirtualPort("in");
    HostTransport transport(48000, 120, false);
    auto inst = openInstance(&transport);

    // The selectors show the port names as their value texts.
    auto indexOf = [&](int param, const std::string& name) {
        ParameterInfo info{};
        inst->get(kPropParameterInfo, &info, static_cast<uint32_t>(param));
        for (int i = 0; i <= static_cast<int>(info.maxValue); ++i) {
            ParameterStringFromValue s{param, static_cast<float>(i), {}};
            if (inst->get(kPropParameterStringFromValue, &s) == kNoErr && name == s.text) return i;
        }
        return -1;
    };
    EXPECT_EQ(indexOf(kMidiIn, "Select MIDI Device"), 0);
    int inIdx = indexOf(kMidiIn, hvtest::jackPortName("hv-inst-out", "out"));
    int outIdx = indexOf(kMidiOut, hvtest::jackPortName("hv-inst-in", "in"));
    ASSERT_GT(inIdx, 0);
    ASSERT_GT(outIdx, 0);
    ASSERT_EQ(inst->setParameter(kMidiIn, static_cast<float>(inIdx)), kNoErr);
    ASSERT_EQ(inst->setParameter(kMidiOut, static_cast<float>(outIdx)), kNoErr);
    EXPECT_EQ(param(*inst, kMidiIn), static_cast<float>(inIdx));
    // The connection carries data once it stands and the server has run a
    // few cycles since.
    hvtest::JackParty watch(hvtest::uniqueClientName("hvwatch"));
    ASSERT_TRUE(watch.opened());
    watch.countCycles();
    ASSERT_TRUE(hvtest::waitUntil(
        [&] {
            jack_port_t* port = jack_port_by_name(watch.client(), hvtest::jackPortName("hv-inst-out", "out").c_str());
            return port && jack_port_connected(port) > 0;
        },
        60000));
    const uint64_t seen = watch.cycles();
    ASSERT_TRUE(hvtest::waitUntil([&] { return watch.cycles() >= seen + 3; }, 60000));

    Notifications n;
    ASSERT_EQ(inst->addParameterListener(Notifications::proc, &n), kNoErr);
    std::vector<unsigned char> cc{0xB3, 74, 127};
    instOut.sendMessage(&cc);
    // The host hears last, after the unit handled the message on its MIDI
    // thread.
    EXPECT_TRUE(hvtest::waitUntil([&] { return n.count() > 0; }, 60000));
    EXPECT_EQ(param(*inst, kLastCC), 74.0f);
    EXPECT_EQ(param(*inst, kLastCCValue), 127.0f);
    EXPECT_EQ(param(*inst, kGain), 1.0f);  // the panel followed
    EXPECT_EQ(n.count(), 1u);              // and the host heard, once
    std::vector<unsigned char> dump(297, 0x01);
    dump.front() = 0xF0;
    dump.back() = 0xF7;
    instOut.sendMessage(&dump);
    EXPECT_TRUE(hvtest::waitUntil([&] { return param(*inst, kSysExSize) == 297.0f; }, 60000));
    EXPECT_EQ(param(*inst, kSysExSize), 297.0f);
    EXPECT_EQ(param(*inst, kSysExSum), float(0xF0 + 0xF7 + 295));

    // Transport edges in render go out as clock start and stop.
    render(*inst, transport, 2);
    transport.setPlaying(true);
    render(*inst, transport, 3);
    transport.setPlaying(false);
    render(*inst, transport, 1);
    auto got = hvtest::receiveMidi(instIn, 2, 2s);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], (std::vector<unsigned char>{0xFA}));
    EXPECT_EQ(got[1], (std::vector<unsigned char>{0xFC}));
    EXPECT_TRUE(hvtest::receiveMidi(instIn, 1, 100ms).empty());

    // Selector 0 ("Select MIDI Device") closes the port.
    ASSERT_EQ(inst->setParameter(kMidiOut, 0.0f), kNoErr);
    transport.setPlaying(true);
    render(*inst, transport, 1);
    EXPECT_TRUE(hvtest::receiveMidi(instIn, 1, 100ms).empty());
    EXPECT_EQ(inst->close(), kNoErr);
    hvtest::closeMidiPorts({&instIn, &instOut});
}

}  // namespace
