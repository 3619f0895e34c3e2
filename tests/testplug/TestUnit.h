#pragma once
// A small plug-in for the framework and host tests: it exports the same two
// entries as the editor and shows, in parameters a host can read, what the
// framework handed it.
#include "framework/IUnitAU.h"

namespace testunit {

enum EParams {
    kGain = 0,  // double 0..1, automated
    kMode,      // enum of 4, automated
    kRadio,     // enum of 3 with the meta flag
    kSwitch,    // bool
    kMidiIn,    // port selectors: display texts are the port names
    kMidiOut,
    kTempoSeen,  // GetTempo() in the last render call
    kEdges,      // transport starts and stops seen
    kBlocks,     // render calls
    kLastCC,     // controller number of the last control change from the port
    kLastCCValue,
    kSysExSize,  // size and byte sum of the last SysEx from the port
    kSysExSum,
    kPoke,  // set by the host: the unit moves kSwitch as a click would
    kResets,
    kNumParams
};

constexpr int kNumAutomated = 2;

IUnitConfig config();

class TestUnit : public IUnitAU {
public:
    // Without ports the selectors list only "Select MIDI Device", and no
    // MIDI client is made.
    explicit TestUnit(const IUnitInstanceInfo& info, bool withPorts = true);
    ~TestUnit() override;

    void OnParamChange(int idx) override;
    void Reset() override;
    void ProcessDoubleReplacing(double** in, double** out, int nFrames) override;
    void ProcessMidiMsg(IMidiMsg* msg, bool fromDevice) override;
    void ProcessSysEx(ISysEx* sysex, bool fromDevice) override;
    bool SerializeState(ByteChunk* chunk) override;
    int UnserializeState(ByteChunk* chunk, int startPos) override;

private:
    bool mWasRunning = false;
};

}  // namespace testunit
