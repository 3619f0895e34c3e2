// ctest-labels: tsan
// The shipped panel against the simulated instrument on real JACK ports: what
// the instrument sends on every bound address (control change, NRPN, SysEx
// parameter change) moves that parameter's control, for both timbres, and
// what the panel sends for a control reaches the instrument on its address.
#include "core_component.h"
#include "framework/IControl.h"
#include "panel_model.h"
#include "src/ControlAction.h"
#include "src/Halvoran.h"
#include "src/MIDIMessageManager.h"
#include "support/SimInstrument.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <array>
#include <map>
#include <set>
#include <memory>
#include <thread>
#include <vector>

namespace {

using coretest::EditorInstance;
using hvpanel::Placed;
using hvtest::SimInstrument;
using namespace std::chrono_literals;

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    return hvtest::waitUntil(done, static_cast<int>(limit.count()), 10);
}

// What the instrument sends for a value of a control-change or NRPN binding,
// and the value the parameter takes from it.
struct Sent {
    int data = 0;
    double value = 0;
};

int maxOf(hvpanel::Panel& p, const Placed& e) {
    const std::vector<int> b = hvpanel::boundsOf(p, e);
    if (e.menu()) return std::max(b[2] - b[1] - 1, 1);
    if (e.tag == "buttoncontrol") return 1;
    return b[2];
}

// A value of the parameter's range other than 0, different per parameter.
int pick(hvpanel::Panel& p, const Placed& e) {
    const int m = maxOf(p, e);
    return m <= 1 ? 1 : 1 + e.param % (m - 1);
}

// The data byte the instrument sends to put the parameter at 2 (or its only
// value other than 0), where the editor maps the byte.
Sent incoming(hvpanel::Panel& p, const Placed& e) {
    const int cc = e.integer("ccNumber"), lsb = e.integer("lsbValue"), msb = e.integer("msbValue");
    if (e.cc() && cc == 77) return {36, 2};
    if (e.cc() && cc == 78) return {127, 2};
    if (e.cc() && (cc == 82 || cc == 83 || cc == 87 || cc == 88)) return {85, 2};
    if (e.nrpn() && msb == 4 && (lsb <= 3 || (lsb >= 8 && lsb <= 11))) return {36, 2};
    if (e.nrpn() && lsb == 7) return {51, 2};
    if (e.tag == "buttoncontrol") return {127, 1};
    const int v = pick(p, e);
    return {v, static_cast<double>(v)};
}

// The parameter change that puts a SysEx-bound parameter at a value of its
// range, by the instrument's encodings: (value, high byte, resulting value).
std::array<int, 3> parameterChange(hvpanel::Panel& p, const Placed& e) {
    const int i = e.param;
    if ((i >= 110 && i <= 205) || (i >= 230 && i <= 233)) return {6, 0, 70};  // +6 around the centre
    if (i == 107 || i == 109) return {3, 0, 15};                              // +3 dB
    if (i == 234) return {22, 1, 130};                                        // 150 BPM
    if (i == 235) return {20, 0, 120};                                        // +20
    const int v = pick(p, e);
    return {v, 0, v};
}

class PanelRoundTrip : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        data.write("Halvoran UI.txt", "normal\ns-model\nfirst run: no\n");
        sim = std::make_unique<SimInstrument>(0, "hvpanel");
        {
            hvpanel::BuiltBundle bundle;
            editor = std::make_unique<EditorInstance>();
        }
        ASSERT_NE(editor->plug, nullptr);
        plug = editor->plug;
        ASSERT_NE(plug->getLayer("programPage"), nullptr) << "the panel was not built";
        editor->setParameter(kDeviceInSelection,
                             static_cast<float>(editor->listedPortIndex(kDeviceInSelection, sim->outPort())));
        editor->setParameter(kDeviceOutSelection,
                             static_cast<float>(editor->listedPortIndex(kDeviceOutSelection, sim->inPort())));
        ASSERT_TRUE(sim->waitConnected());
        ASSERT_TRUE(plug->midiOutReady);
        // Whatever the editor asked of the instrument on opening is answered.
        ASSERT_TRUE(sim->waitIdle());
        ASSERT_TRUE(eventually([&] { return !plug->midiManager->awaitingPanelDump; }));
    }
    void TearDown() override {
        editor.reset();
        sim.reset();
    }

    double value(int index) const { return plug->GetParam(index)->Value(); }

    // Once the instrument has sent everything, each parameter takes its value.
    void expectValues(const std::map<int, double>& expected, const std::string& what) {
        ASSERT_TRUE(sim->waitIdle());
        eventually([&] {
            for (const auto& [index, v] : expected)
                if (value(index) != v) return false;
            return true;
        });
        for (const auto& [index, v] : expected)
            EXPECT_EQ(value(index), v) << plug->GetParam(index)->GetNameForHost() << what;
    }

    hvtest::TempDataDir data;
    hvpanel::Panel panel;
    std::unique_ptr<SimInstrument> sim;
    std::unique_ptr<EditorInstance> editor;
    Halvoran* plug = nullptr;
};

TEST_F(PanelRoundTrip, TheInstrumentMovesEveryBoundControlForBothTimbres) {
    for (int timbre = 0; timbre < 2; ++timbre) {
        editor->setParameter(kTimbreSelect, static_cast<float>(timbre));
        ASSERT_TRUE(eventually([&] { return plug->selectedTimbre == timbre; }));
        std::map<int, double> expected;
        for (const Placed& e : panel.placed) {
            if (!(e.cc() || e.nrpn()) || (e.copy >= 0 ? e.copy != timbre : timbre != 0)) continue;
            const int cc = e.integer("ccNumber");
            // The delay's sync note answers 13 only while tempo sync is on, and
            // the wave-sample choice 15 only while oscillator 1 plays one.
            if ((cc == 13 && e.param == kDelayFxSyncNote) || e.param == kOsc1DWGSWave + std::max(e.copy, 0)) continue;
            const Sent s = incoming(panel, e);
            if (e.cc())
                sim->sendControlChange(cc, s.data);
            else
                sim->sendNRPN(e.integer("msbValue"), e.integer("lsbValue"), s.data);
            expected[e.param] = s.value;
        }
        expectValues(expected, " timbre " + std::to_string(timbre + 1));
    }

    // Parameter changes carry each timbre's own address.
    std::map<int, double> expected;
    for (const Placed& e : panel.placed) {
        if (!e.sysEx() || e.param == kCommonMode) continue;
        const std::vector<int> m = hvpanel::expand(panel, e);
        ASSERT_GE(m.size(), 6u) << e.where();
        const auto [v, h, result] = parameterChange(panel, e);
        sim->sendParameterChange(m[4], m[5], v, h);
        expected[e.param] = result;
    }
    expectValues(expected, " by parameter change");
}

TEST_F(PanelRoundTrip, ThePanelReachesTheInstrumentOnEachAddress) {
    // Values the editor maps on the way out.
    auto dataFor = [](const Placed& e, int v) {
        const int cc = e.integer("ccNumber"), msb = e.integer("msbValue"), lsb = e.integer("lsbValue");
        const int i = e.param - std::max(e.copy, 0);
        if (e.cc() && i == kOsc1Waveform) return v * 18;
        if (e.cc() && i == kOsc2Waveform) return v == 1 ? 64 : 127;
        if (e.cc() && (cc == 82 || cc == 83 || cc == 87 || cc == 88)) return v == 1 ? 43 : v == 2 ? 85 : 127;
        if (e.cc() && i == kOsc1DWGSWave) return 2 * v;
        if (e.cc() && i == kDelayFxSyncNote)
            return std::array<int, 15>{8, 10, 19, 27, 36, 44, 53, 61, 70, 78, 87, 95, 104, 112, 121}[v];
        if (e.nrpn() && msb == 4 && (lsb <= 3 || (lsb >= 8 && lsb <= 11))) return v * 18;
        if (e.nrpn() && lsb == 7) return std::array<int, 6>{0, 26, 51, 77, 102, 127}[v];
        if (e.tag == "buttoncontrol") return 127;
        return v;
    };
    // The messages, on the global channel 0, that a change must bring.
    auto arrived = [&](const std::vector<SimInstrument::Bytes>& wanted) {
        return sim->waitFor(
            [&](const std::vector<SimInstrument::Message>& got) {
                std::size_t next = 0;
                for (const auto& m : got)
                    if (next < wanted.size() && m.bytes == wanted[next]) ++next;
                return next == wanted.size();
            },
            10s);
    };
    std::set<int> moved;
    for (const Placed& e : panel.placed) {
        if (!(e.cc() || e.nrpn()) || !moved.insert(e.param).second) continue;
        const int v = pick(panel, e);
        IParam* param = plug->GetParam(e.param);
        sim->clearReceived();
        plug->SetParameterFromGUI(e.param, (v - param->GetMin()) / (param->GetMax() - param->GetMin()));
        const auto want = static_cast<uint8_t>(dataFor(e, v));
        std::vector<SimInstrument::Bytes> wanted;
        if (e.cc()) {
            wanted.push_back({0xB0, static_cast<uint8_t>(e.integer("ccNumber")), want});
        } else {
            wanted.push_back({0xB0, 99, static_cast<uint8_t>(e.integer("msbValue"))});
            wanted.push_back({0xB0, 98, static_cast<uint8_t>(e.integer("lsbValue"))});
            wanted.push_back({0xB0, 6, want});
        }
        EXPECT_TRUE(arrived(wanted)) << e.where() << " value " << v;
    }
    // A SysEx-bound control sends the whole program.
    const int dumps = sim->programDumpsTaken();
    plug->SetParameterFromGUI(kEQLowGain, 20.0 / 24.0);
    EXPECT_TRUE(eventually([&] { return sim->programDumpsTaken() > dumps; }));
}

}  // namespace
