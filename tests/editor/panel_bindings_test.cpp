// The MIDI side of the shipped panel description, read without building it:
// every program and global parameter has a control; each binding is keyed as
// the factories key it, and the lookups of incoming messages find it for both
// timbres; ranges, value lists and SysEx templates fit the encodings.
#include "panel_model.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using hvpanel::boundsOf;
using hvpanel::entries;
using hvpanel::Keys;
using hvpanel::Panel;
using hvpanel::Placed;

// One reading of the description per suite: its log lives in a data folder
// that the suite gives back at its end.
class PanelBindings : public testing::Test {
public:
    static void SetUpTestSuite() { shared() = std::make_unique<Panel>(); }
    static void TearDownTestSuite();
    static std::unique_ptr<Panel>& shared() {
        static std::unique_ptr<Panel> p;
        return p;
    }
};

Panel& panel() { return *PanelBindings::shared(); }

// Program parameters, by the first timbre's name where a timbre has its own.
std::vector<std::string> timbreParameters() {
    std::vector<std::string> v = {
        "kLfo1Frequency",   "kLfo2Frequency",   "kOsc1Control1",    "kOsc1Control2",      "kOsc2Semitone",
        "kOsc2Tune",        "kOsc1Level",       "kOsc2Level",       "kNoiseLevel",        "kPortamento",
        "kFilterCutoff",    "kFilterResonance", "kFilterType",      "kFilterEGIntensity", "kFilterKBDTrack",
        "kEG1Attack",       "kEG1Decay",        "kEG1Sustain",      "kEG1Release",        "kAmpLevel",
        "kAmpPan",          "kAmpGateSw",       "kAmpDistSw",       "kAmpKBDTrack",       "kEG2Attack",
        "kEG2Decay",        "kEG2Sustain",      "kEG2Release",      "kOsc1DWGSWave",      "kLfo1Waveform",
        "kLfo1KeySync",     "kOsc2OscMod",      "kDetune",          "kVibratoInt",        "kModSeqSwitch",
        "kModSeqType",      "kModSeqLastStep",  "kModSeqKeySync",   "kModSeqRunMode",     "kModSeqResolution",
        "kFilterVeloSense", "kAmpVeloSense",    "kLfo1TempoSync",   "kLfo1SyncNote",      "kLfo2Waveform",
        "kLfo2KeySync",     "kLfo2TempoSync",   "kLfo2SyncNote",    "kOsc1Waveform",      "kOsc2Waveform",
        "kVoiceAssign",     "kTimbreChannel",   "kTimbreChannel+2", "kVoiceTrigger",      "kEG1Reset",
        "kEG2Reset",        "kTimbreTune",      "kTimbreBendRange", "kTimbreTranspose"};
    for (int n = 1; n <= 4; ++n)
        for (const char* f : {"kVPatchAmnt", "kVPatchSrc", "kVPatchDest"}) v.push_back(f + std::to_string(n));
    for (int q = 1; q <= 3; ++q) {
        v.push_back("kSeq" + std::to_string(q) + "Knob");
        v.push_back("kSeq" + std::to_string(q) + "Motion");
        for (int s = 1; s <= 16; ++s) v.push_back("kSeq" + std::to_string(q) + "Step" + std::to_string(s));
    }
    return v;
}

std::vector<std::string> commonParameters() {
    std::vector<std::string> v = {
        "kModFxSpeed",      "kModFxDepth", "kDelayFxTime", "kDelayFxDepth", "kArpGate",     "kArpOnOff",
        "kArpLatch",        "kArpRange",   "kArpType",     "kModFxType",    "kDelayFxType", "kDelayFxTempoSync",
        "kDelayFxSyncNote", "kEQLowFreq",  "kEQLowGain",   "kEQHiFreq",     "kEQHiGain",    "kArpTempo",
        "kArpSwing",        "kArpReso",    "kArpKeySync",  "kArpTarget",    "kArpLength",   "kCommonMode",
        "kOctaveShift",     "kPatchName"};
    for (int s = 1; s <= 8; ++s) v.push_back("kArpStep" + std::to_string(s));
    return v;
}

// The editor's own settings that the editor reads or switches.
const char* const kSettings[] = {"kMainTab",
                                 "kTimbreSelect",
                                 "kTimbreLinker",
                                 "kGlobalSettings",
                                 "kRandomize",
                                 "kLibSyncTimer",
                                 "kOverrideTempo",
                                 "kAdjustDAWOffset",
                                 "kSendMIDIClockInfo",
                                 "kSendMIDIClockPointer",
                                 "kDeviceOutSelection",
                                 "kDeviceInSelection",
                                 "kControlDisplayName",
                                 "kControlDisplayValue",
                                 "kControlDisplayCC",
                                 "kControlDisplayMIDIOutDelay",
                                 "kControlDisplayTimbre",
                                 "kPatchRename",
                                 "kPatchSearchString",
                                 "kPatchSelectionListUpper",
                                 "kPatchSelectionListLower",
                                 "kLibUpperPreviousBank",
                                 "kLibUpperNextBank",
                                 "kLibLowerPreviousBank",
                                 "kLibLowerNextBank",
                                 "kRefreshFolders",
                                 "kDiscardBankData",
                                 "kReadFromTimbre1",
                                 "kReadFromTimbre2",
                                 "kLoadToTimbre1",
                                 "kLoadToTimbre2",
                                 "kControlLibrary",
                                 "kMasterKeyboard",
                                 "kMIDILed",
                                 "kPushArrangement",
                                 "kRequestTempData",
                                 "kUserInterfaceSkin",
                                 "kUserInterfaceSize",
                                 "kFirstRunExit",
                                 "kDisplayAboutWindow",
                                 "kExitAboutWindow",
                                 "kViewMIDIFilterSettings",
                                 "kMIDIFilterTrackIncomingMIDI",
                                 "kMIDIFilterDirectToHardware",
                                 "kMIDIFilterToDAWBuffer",
                                 "kSectionLockArp",
                                 "kSectionLockFX1",
                                 "kSectionLockFX2",
                                 "kSectionLockEQ",
                                 "kSectionLockCommon"};
const char* const kTimbreSettings[] = {
    "kPartLock",         "kSectionLockOsc1",      "kSectionLockOsc2",    "kSectionLockVoice",
    "kSectionLockMixer", "kSectionLockPitchMod",  "kSectionLockUnisono", "kSectionLockFilter",
    "kSectionLockAmp",   "kSectionLockFilterEnv", "kSectionLockAmpEnv",  "kSectionLockLFO1",
    "kSectionLockLFO2",  "kSectionLockVP1",       "kSectionLockVP2",     "kSectionLockVP3",
    "kSectionLockVP4"};

int indexOf(Panel& p, const std::string& ref) {
    std::vector<std::string> parts;
    p.manager.Tokenize(ref, parts, "+");
    const int base = p.manager.getParamByName(parts[0]);
    return base < 0 ? -1 : base + (parts.size() > 1 ? std::stoi(parts[1]) : 0);
}

TEST_F(PanelBindings, EveryParameterHasAControl) {
    Panel& p = panel();
    auto has = [&](int index) { return !p.byParam(index).empty(); };
    for (const auto& name : timbreParameters()) {
        const int i = indexOf(p, name);
        ASSERT_GE(i, 0) << name;
        EXPECT_TRUE(has(i)) << name << " timbre 1";
        EXPECT_TRUE(has(i + 1)) << name << " timbre 2";
    }
    for (const auto& name : commonParameters()) EXPECT_TRUE(has(indexOf(p, name))) << name;
    for (int global = 283; global <= 297; ++global) EXPECT_TRUE(has(global)) << "global " << global;
    for (int pass = 349; pass <= 362; ++pass) EXPECT_TRUE(has(pass)) << "filter " << pass;
    for (const char* name : kSettings) EXPECT_TRUE(has(indexOf(p, name))) << name;
    for (const char* name : kTimbreSettings) {
        EXPECT_TRUE(has(indexOf(p, name))) << name;
        EXPECT_TRUE(has(indexOf(p, name) + 1)) << name << " timbre 2";
    }
}

// Each parameter has one binding, whose kind the last element naming the
// parameter decides: a display or plain switch after a MIDI control would
// silence the parameter.
TEST_F(PanelBindings, TheLastElementOfAParameterIsItsBinding) {
    Panel& p = panel();
    std::map<int, const Placed*> last;
    std::set<int> bound;
    for (const Placed& e : p.placed) {
        if (e.param < 0) continue;
        last[e.param] = &e;
        if (e.midiBound()) bound.insert(e.param);
    }
    for (int index : bound) EXPECT_TRUE(last[index]->midiBound()) << last[index]->where() << " comes last";
    // Program parameters all reach the instrument, directly or with the program.
    for (const auto& name : timbreParameters())
        for (int t = 0; t < 2; ++t) EXPECT_TRUE(bound.count(indexOf(p, name) + t)) << name << " timbre " << t + 1;
    for (const auto& name : commonParameters())
        if (name != "kPatchName") {
            EXPECT_TRUE(bound.count(indexOf(p, name))) << name;
        }
}

std::unique_ptr<Keys>& sharedKeys() {
    static std::unique_ptr<Keys> k;
    return k;
}

void PanelBindings::TearDownTestSuite() {
    sharedKeys().reset();
    shared().reset();
}

Keys& keys() {
    if (!sharedKeys()) sharedKeys() = std::make_unique<Keys>(hvpanel::keysOf(panel()));
    return *sharedKeys();
}

TEST_F(PanelBindings, NoBindingReplacesAnother) {
    for (const auto& c : keys().clashes) ADD_FAILURE() << c;
}

TEST_F(PanelBindings, IncomingMessagesFindTheirControlForBothTimbres) {
    Panel& p = panel();
    Keys& k = keys();
    const hvpanel::Lookup lookup = k.lookup();
    for (const Placed& e : p.placed) {
        if (!e.midiBound()) continue;
        for (int t : e.copy >= 0 ? std::vector<int>{e.copy} : std::vector<int>{0, 1}) {
            // Any control of the parameter will do: they share the binding.
            EXPECT_EQ(hvpanel::reached(lookup, e, t, k.firstMessage[&e]), e.param) << e.where() << " timbre " << t + 1;
        }
    }
}

// The bindings the editor's code hard-wires to controller numbers, NRPN
// addresses and SysEx ids.
TEST_F(PanelBindings, HardWiredAssignments) {
    Panel& p = panel();
    Keys& k = keys();
    auto ccParam = [&](int key, int number, int type) {
        auto it = k.cc.find({key, number, type});
        return it == k.cc.end() ? -1 : it->second->param;
    };
    for (int t = 0; t < 2; ++t) {
        const int key = t + 1;
        EXPECT_EQ(ccParam(key, 77, 0), indexOf(p, "kOsc1Waveform") + t);
        EXPECT_EQ(ccParam(key, 78, 0), indexOf(p, "kOsc2Waveform") + t);
        EXPECT_EQ(ccParam(key, 15, 2), indexOf(p, "kOsc1DWGSWave") + t);
        // 82, 83, 87 and 88 carry the four parameters sent as 43, 85 and 127.
        std::set<int> quarter;
        for (int number : {82, 83, 87, 88}) quarter.insert(ccParam(key, number, 0) - t);
        EXPECT_EQ(quarter, (std::set<int>{24, 92, 96, 252}));
        EXPECT_EQ(ccParam(key, 86, 1), indexOf(p, "kGlobalLocalOn"));
        for (int n = 0; n < 4; ++n) {
            auto src = k.nrpn.find({key, 4, n, 0, 0});
            auto dst = k.nrpn.find({key, 4, 8 + n, 0, 0});
            ASSERT_NE(src, k.nrpn.end());
            ASSERT_NE(dst, k.nrpn.end());
            EXPECT_EQ(src->second->param, 73 + 2 * n + t);
            EXPECT_EQ(dst->second->param, 81 + 2 * n + t);
        }
    }
    EXPECT_EQ(ccParam(0, 13, 0), indexOf(p, "kDelayFxSyncNote"));
    for (int number : {12, 13, 93, 94}) EXPECT_GE(ccParam(0, number, 1), 0) << number;
    bool arpType = false;
    for (const auto& [key, e] : k.nrpn) {
        if (std::get<2>(key) == 7 && std::get<1>(key) != 4) arpType |= e->param == indexOf(p, "kArpType");
        // The arpeggiator's switches go as MSB/LSB sets (their 1 is sent as 127).
    }
    EXPECT_TRUE(arpType);
    for (const char* name : {"kArpOnOff", "kArpLatch"})
        for (const Placed* e : p.byParam(indexOf(p, name)))
            if (e->midiBound()) {
                EXPECT_EQ(e->type, "msbLsbButton") << name;
            }
    // The common mode answers at SysEx id (16, 0); five further ids refresh the
    // timbre view and are taken.
    auto sysexParam = [&](int lo, int hi) {
        auto it = k.sysex.find({0x58, 0x41, lo, hi});
        return it == k.sysex.end() ? -1 : it->second->param;
    };
    EXPECT_EQ(sysexParam(16, 0), indexOf(p, "kCommonMode"));
    for (auto [lo, hi] : {std::pair{0, 2}, {41, 0}, {107, 0}, {112, 0}, {123, 1}})
        EXPECT_GE(sysexParam(lo, hi), 0) << lo << "," << hi;
}

// ---------------------------------------------------------------------------
// Ranges, value lists and templates.

struct Range {
    int min = 0, max = 0, def = 0;
};

Range rangeOf(Panel& p, const Placed& e) {
    auto b = boundsOf(p, e);
    if (e.menu() || (e.tag == "dropMenu" && e.type == "dropSelection")) return {0, std::max(b[2] - b[1] - 1, 1), b[0]};
    if (e.tag == "buttoncontrol" || e.tag == "switch" || e.tag == "autooff" ||
        (e.tag == "multiFx" && e.type == "Switch"))
        return {0, 1, b[0] ? 1 : 0};
    if (e.tag == "multiFx" && e.type == "Menu") return {0, std::max(b[2] - b[1] - 1, 1), b[0]};
    if (e.tag == "radio") return {0, std::max(e.integer("buttons") - 1, 1), 0};
    return {b[1], b[2], b[0]};
}

TEST_F(PanelBindings, RangesFitTheEncodings) {
    Panel& p = panel();
    const std::map<std::string, int> exactMax = {
        {"kArpTempo", 280},        {"kArpSwing", 200},       {"kOctaveShift", 6},      {"kCommonMode", 3},
        {"kEQLowGain", 24},        {"kEQHiGain", 24},        {"kTimbreTune", 100},     {"kTimbreTranspose", 48},
        {"kTimbreBendRange", 24},  {"kTimbreChannel", 16},   {"kAmpLevel", 127},       {"kOsc2Semitone", 127},
        {"kFilterVeloSense", 127}, {"kAmpVeloSense", 127},   {"kOsc1Waveform", 7},     {"kOsc2Waveform", 2},
        {"kFilterType", 3},        {"kLfo1Waveform", 3},     {"kLfo2Waveform", 3},     {"kOsc2OscMod", 3},
        {"kArpType", 5},           {"kDelayFxSyncNote", 14}, {"kMasterTranspose", 24}, {"kMasterTune", 100},
        {"kArpLength", 7},         {"kModSeqLastStep", 15},  {"kArpRange", 3},         {"kVoiceAssign", 2},
        {"kTimbreChannel+2", 2},   {"kGlobalMIDICha", 15}};
    for (const auto& [name, max] : exactMax)
        for (const Placed* e : p.byParam(indexOf(p, name))) EXPECT_EQ(rangeOf(p, *e).max, max) << e->where();
    for (int q = 1; q <= 3; ++q)
        for (int s = 1; s <= 16; ++s)
            for (const Placed* e : p.byParam(indexOf(p, "kSeq" + std::to_string(q) + "Step" + std::to_string(s))))
                EXPECT_EQ(rangeOf(p, *e).max, 127) << e->where();
    for (const Placed* e : p.byParam(indexOf(p, "kOsc1DWGSWave"))) EXPECT_LE(rangeOf(p, *e).max, 63);
    for (const Placed& e : p.placed) {
        if (!e.midiBound() && e.tag != "multiFx" && e.tag != "dropMenu") continue;
        if (e.tag == "dropMenu" && e.type != "dropSelection") continue;
        const Range r = rangeOf(p, e);
        // Incoming values are not moved by the minimum; every draw of the
        // randomizer needs a maximum of 1 or more.
        EXPECT_EQ(r.min, 0) << e.where();
        EXPECT_GE(r.max, 1) << e.where();
        EXPECT_GE(r.def, r.min) << e.where();
        EXPECT_LE(r.def, r.max) << e.where();
    }
}

TEST_F(PanelBindings, MenusHaveTheirTexts) {
    Panel& p = panel();
    for (const Placed& e : p.placed) {
        const bool menu =
            e.menu() || (e.tag == "dropMenu" && e.type == "dropSelection") || (e.tag == "multiFx" && e.type == "Menu");
        if (!menu) continue;
        const int n = entries(p, e);
        const std::string list = e.text("valueList");
        std::vector<std::string> parts;
        p.manager.Tokenize(e.text("valueDisplay"), parts, ":");
        const bool display = parts.size() == 2 && std::stoi(parts[1]) - std::stoi(parts[0]) + 1 == n;
        if (!list.empty()) {
            ASSERT_TRUE(p.lists.count(list)) << e.where() << " names no list " << list;
            EXPECT_EQ(static_cast<int>(p.lists[list].size()), n) << e.where() << " " << list;
        } else {
            EXPECT_TRUE(display) << e.where() << " has neither texts nor a number range";
        }
    }
}

// The lists the editor reads by name: the tempo of every arpeggiator value,
// the timbre names, and the value display's lists, each as long as the
// parameter it names has values.
TEST_F(PanelBindings, ListsTheEditorReadsByName) {
    Panel& p = panel();
    const auto& tempo = p.lists["tempoValues"];
    ASSERT_EQ(tempo.size(), 281u);
    for (int i = 0; i < 281; ++i) EXPECT_EQ(tempo[i], std::to_string(20 + i));
    EXPECT_GE(p.lists["timbreList"].size(), 2u);
    const std::map<std::string, std::string> shown = {
        {"filterType", "kFilterType"},           {"arpRange", "kArpRange"},
        {"arpResolution", "kArpReso"},           {"arpTarget", "kArpTarget"},
        {"voiceAssign", "kVoiceAssign"},         {"voicePriority", "kTimbreChannel+2"},
        {"octaveShift", "kOctaveShift"},         {"delayFxType", "kDelayFxType"},
        {"delaySyncNote", "kDelayFxSyncNote"},   {"modFxType", "kModFxType"},
        {"lfoWaveform", "kLfo1Waveform"},        {"lfoWaveform2", "kLfo2Waveform"},
        {"lfoKeySync", "kLfo1KeySync"},          {"lfoSyncNote", "kLfo1SyncNote"},
        {"osc1Waveform", "kOsc1Waveform"},       {"osc2Waveform", "kOsc2Waveform"},
        {"osc2OscMod", "kOsc2OscMod"},           {"patchSource", "kVPatchSrc1"},
        {"patchDestination", "kVPatchDest1"},    {"modSeqKnob", "kSeq1Knob"},
        {"modSeqMotion", "kSeq1Motion"},         {"modSeqType", "kModSeqType"},
        {"modKeySync", "kModSeqKeySync"},        {"modRunMode", "kModSeqRunMode"},
        {"modSeqSyncNote", "kModSeqResolution"}, {"eqLowFrequency", "kEQLowFreq"},
        {"eqHiFrequency", "kEQHiFreq"},          {"commonModeList", "kCommonMode"},
        {"osc1DWGSWave", "kOsc1DWGSWave"}};
    for (const auto& [list, param] : shown) {
        ASSERT_TRUE(p.lists.count(list)) << list;
        for (const Placed* e : p.byParam(indexOf(p, param)))
            EXPECT_EQ(static_cast<int>(p.lists[list].size()), rangeOf(p, *e).max + 1) << list << " " << e->where();
    }
}

// Host names and groups fit the parameter's text fields, "[2] " and
// "Timbre 2:" included.
TEST_F(PanelBindings, NamesFitTheHostFields) {
    for (const Placed& e : panel().placed) {
        if (e.param < 0) continue;
        const std::string prefix = e.copy >= 0 ? "[" + std::to_string(e.copy + 1) + "] " : "";
        const std::string group =
            e.copy >= 0 ? "Timbre " + std::to_string(e.copy + 1) + ":" + e.text("paramGroup") : e.text("paramGroup");
        EXPECT_LE(prefix.size() + e.text("name").size(), 54u) << e.where();
        EXPECT_LE(group.size(), 54u) << e.where();
    }
}

// One template per SysEx-bound parameter, each the instrument's parameter
// change without its channel byte, each used by one parameter.
TEST_F(PanelBindings, SysExListsAreWellFormed) {
    Panel& p = panel();
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.LoadFile(hvpanel::sourcePath("sysex.xml").c_str()), tinyxml2::XML_SUCCESS);
    std::vector<std::string> templates;
    for (auto* s = doc.RootElement()->FirstChildElement("sysex"); s; s = s->NextSiblingElement("sysex")) {
        auto* values = s->FirstChildElement("values");
        ASSERT_NE(values, nullptr);
        EXPECT_EQ(values->NextSiblingElement(), nullptr);
        auto* value = values->FirstChildElement("value");
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(value->NextSiblingElement(), nullptr);
        templates.push_back(value->GetText());
        const std::vector<int> bytes = p.manager.convertStringSysextoVector(templates.back());
        ASSERT_EQ(bytes.size(), 9u) << templates.back();
        EXPECT_EQ(bytes[0], 0xF0);
        EXPECT_EQ(bytes[1], 0x42);
        EXPECT_EQ(bytes[2], 0x58);
        EXPECT_EQ(bytes[3], 0x41);
        for (int i = 4; i < 8; ++i) EXPECT_LT(bytes[i], 0x80) << templates.back();
        EXPECT_EQ(bytes[8], 0xF7);
    }
    std::map<int, std::set<int>> users;  // sysex index -> first timbre's parameter
    for (const Placed& e : p.placed) {
        if (!e.sysEx()) continue;
        EXPECT_EQ(e.integer("changingByte"), 7) << e.where();
        const int index = e.integer("sysexIndex");
        ASSERT_LT(index, static_cast<int>(templates.size())) << e.where();
        users[index].insert(e.param - std::max(e.copy, 0));
    }
    for (int i = 0; i < static_cast<int>(templates.size()); ++i) EXPECT_EQ(users[i].size(), 1u) << "entry " << i;
}

}  // namespace
