#include "TestUnit.h"

#include <cstdint>

namespace testunit {

namespace {

constexpr uint32_t kStateMagic = 0x48565455;  // "HVTU"

void initPortSelector(IParam* p, const char* name, const std::vector<std::string>& names) {
    p->InitEnum(name, 0, static_cast<int>(names.size()), "", "MIDI", -1, -1);
    for (size_t i = 0; i < names.size(); ++i) p->SetDisplayText(static_cast<int>(i), names[i].c_str());
}

void initCounter(IParam* p, const char* name) { p->InitDouble(name, 0, 0, 1e9, 1, "", "Seen", -1, -1); }

}  // namespace

IUnitConfig config() {
    IUnitConfig c;
    c.effectName = "Halvoran Test Unit";
    c.productName = "HvTestUnit";
    c.mfrName = "Tallowmere Audio";
    c.version = 0x00010002;
    c.type = platform::cf::fourCC("aumf");
    c.subtype = platform::cf::fourCC("HvTu");
    c.manufacturer = platform::cf::fourCC("Tlmr");
    return c;
}

TestUnit::TestUnit(const IUnitInstanceInfo& info, bool withPorts) : IUnitAU(info, config(), kNumParams) {
    const std::vector<std::string> none{"Select MIDI Device"};
    GetParam(kGain)->InitDouble("Gain", 0.5, 0, 1, 0.01, "", "Main", -1, -1);
    GetParam(kMode)->InitEnum("Mode", 1, 4, "", "Main", -1, -1);
    GetParam(kRadio)->InitEnum("Radio", 0, 3, "", "Main", -1, -1);
    GetParam(kRadio)->SetIsMeta(true);
    GetParam(kSwitch)->InitBool("Switch", false, "", "Main", -1, -1);
    initPortSelector(GetParam(kMidiIn), "MIDI In", withPorts ? getExternalMIDIInNames() : none);
    initPortSelector(GetParam(kMidiOut), "MIDI Out", withPorts ? getExternalMIDIOutNames() : none);
    GetParam(kTempoSeen)->InitDouble("Tempo Seen", 0, 0, 1000, 0.001, "BPM", "Seen", -1, -1);
    initCounter(GetParam(kEdges), "Transport Edges");
    initCounter(GetParam(kBlocks), "Blocks");
    GetParam(kLastCC)->InitDouble("Last CC", -1, -1, 127, 1, "", "Seen", -1, -1);
    GetParam(kLastCCValue)->InitDouble("Last CC Value", 0, 0, 127, 1, "", "Seen", -1, -1);
    initCounter(GetParam(kSysExSize), "SysEx Size");
    initCounter(GetParam(kSysExSum), "SysEx Sum");
    GetParam(kPoke)->InitBool("Poke", false, "", "Main", -1, -1);
    initCounter(GetParam(kResets), "Resets");
    addNonAutomateParamCount(kNumParams - kNumAutomated);
}

TestUnit::~TestUnit() {
    // Before anything the input callback reaches goes away.
    closeExternalMIDIPorts();
}

void TestUnit::OnParamChange(int idx) {
    IParam* p = GetParam(idx);
    if (idx == kMidiIn || idx == kMidiOut) {
        int index = p->Int();
        const char* name = p->GetDisplayText(index);
        if (idx == kMidiIn)
            setExternalMIDIIn(index, name);
        else
            setExternalMIDIOut(index, name);
        p->Set(index);
    } else if (idx == kPoke && p->Bool()) {
        // As a click on the switch would: one change from the panel.
        SetParameterFromGUI(kSwitch, GetParam(kSwitch)->Bool() ? 0.0 : 1.0);
    }
}

void TestUnit::Reset() {
    BASE_MutexLock lock(GetMutex());
    GetParam(kResets)->Set(GetParam(kResets)->Value() + 1);
}

void TestUnit::ProcessDoubleReplacing(double**, double**, int) {
    ITimeInfo t;
    GetTime(&t);
    GetParam(kTempoSeen)->Set(GetTempo());
    GetParam(kBlocks)->Set(GetParam(kBlocks)->Value() + 1);
    if (t.mTransportIsRunning != mWasRunning) {
        mWasRunning = t.mTransportIsRunning;
        GetParam(kEdges)->Set(GetParam(kEdges)->Value() + 1);
        SendMidiSysex2({static_cast<unsigned char>(mWasRunning ? 0xFA : 0xFC)});
    }
}

void TestUnit::ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) {
    if (!fromDevice || msg->StatusMsg() != IMidiMsg::kControlChange) return;
    GetParam(kLastCC)->Set(msg->ControlChangeIdx());
    GetParam(kLastCCValue)->Set(msg->mData2);
    // The instrument moved a control: the panel follows and the host hears.
    SetParameterFromGUI2(kGain, msg->mData2 / 127.0);
}

void TestUnit::ProcessSysEx(ISysEx* sysex, bool fromDevice) {
    if (!fromDevice) return;
    double sum = 0;
    for (int i = 0; i < sysex->mSize; ++i) sum += sysex->mData[i];
    GetParam(kSysExSum)->Set(sum);
    GetParam(kSysExSize)->Set(sysex->mSize);
}

bool TestUnit::SerializeState(ByteChunk* chunk) {
    uint32_t magic = kStateMagic;
    chunk->Put(&magic);
    return SerializeParams(chunk) && SerializeNonAutomatedParams(chunk, kNumParams - kNumAutomated);
}

int TestUnit::UnserializeState(ByteChunk* chunk, int startPos) {
    uint32_t magic = 0;
    int pos = chunk->Get(&magic, startPos);
    if (pos < 0 || magic != kStateMagic) return -1;
    pos = UnserializeParams(chunk, pos);
    return UnserializeNonAutomatedParams(chunk, pos, kNumParams - kNumAutomated);
}

}  // namespace testunit
