#pragma once
// The plug-in object's framework side: its parameters, the recursive plug-in
// mutex, the two roads of a change made on the panel, state chunks, host
// queries and the external MIDI ports.
#include <memory>
#include <string>
#include <vector>

#include "base/BASE_Mutex.h"
#include "framework/ByteChunk.h"
#include "framework/Hosts.h"
#include "framework/IMidiPorts.h"
#include "framework/IParam.h"
#include "framework/IUnitStructs.h"

class IGraphics;

// What the plug-in says of itself to the host.
struct IUnitConfig {
    const char* effectName = "";  // also names the settings file and the log
    const char* productName = "";
    const char* mfrName = "";
    int version = 0x00010000;  // major << 16 | minor << 8 | bugfix
    // Four-character codes the host files the plug-in under.
    uint32_t type = 0;
    uint32_t subtype = 0;
    uint32_t manufacturer = 0;
};

class IUnitBase {
public:
    static constexpr int kMaxVersionStrLen = 32;

    IUnitBase(const IUnitConfig& config, int nParams);
    virtual ~IUnitBase();
    IUnitBase(const IUnitBase&) = delete;
    IUnitBase& operator=(const IUnitBase&) = delete;

    // ---- Parameters
    int NParams() const { return static_cast<int>(mParams.size()); }
    // Null for an index outside the list (negative ones too).
    IParam* GetParam(int idx) const;
    // The last n parameters are not automated (n is held inside 0..NParams).
    void addNonAutomateParamCount(int n);
    int NNonAutomatedParams() const { return mNonAutomated; }
    int NAutomatedParams() const { return NParams() - mNonAutomated; }
    bool IsParamAutomated(int idx) const { return idx >= 0 && idx < NAutomatedParams(); }

    // ---- The plug-in mutex: recursive. The host entry, both change roads,
    // both change handlers of the plug-in, Reset and the state helpers take it.
    // It guards state alone: no file is written, no dialog run and no X
    // call made under it (see Unlocked), so that no thread waits on it for
    // long. The render thread never takes it.
    BASE_Mutex& GetMutex() { return mMutex; }
    void Lock() { mMutex.Enter(); }
    void Unlock() { mMutex.Leave(); }
    // Lets go of the mutex for the life of the scope, however deep the
    // calling thread holds it, and takes it back as deep after: around a
    // file write, a dialog or a wait. What it guarded may have changed by
    // then, so it closes what a handler does. Nothing when not held.
    class Unlocked {
    public:
        explicit Unlocked(BASE_Mutex& mutex)
            : mMutex(mutex), mDepth(mutex.IsOwnedByCurrentThread() ? mutex.GetNestCount() : 0) {
            for (int i = 0; i < mDepth; ++i) mMutex.Leave();
        }
        ~Unlocked() {
            for (int i = 0; i < mDepth; ++i) mMutex.Enter();
        }
        Unlocked(const Unlocked&) = delete;
        Unlocked& operator=(const Unlocked&) = delete;

    private:
        BASE_Mutex& mMutex;
        const int mDepth;
    };

    // ---- Changes made on the panel. Under the mutex: set the normalised
    // value, tell the host, then OnParamChange (or OnParamChange2 for a
    // value that came from the instrument).
    void SetParameterFromGUI(int idx, double normalizedValue);
    void SetParameterFromGUI2(int idx, double normalizedValue);

    // ---- What the plug-in overrides.
    virtual void OnParamChange(int paramIdx) {}
    virtual void OnParamChange2(int paramIdx) {}
    virtual void Reset() {}
    virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames) {}
    virtual void ProcessMidiMsg(IMidiMsg* pMsg, bool fromDevice) {}
    virtual void ProcessSysEx(ISysEx* pSysEx, bool fromDevice) {}
    // The state the host saves. By default the automated parameters.
    virtual bool SerializeState(ByteChunk* pChunk) { return SerializeParams(pChunk); }
    // Returns the position after what was read, or -1.
    virtual int UnserializeState(ByteChunk* pChunk, int startPos) { return UnserializeParams(pChunk, startPos); }

    // ---- State helpers, each under the mutex. Values are f64 plain values.
    // The automated parameters, in index order.
    bool SerializeParams(ByteChunk* pChunk);
    // Returns the position after them, or -1 when the chunk does not hold
    // them all; nothing is changed then.
    int UnserializeParams(ByteChunk* pChunk, int startPos);
    // `count` values from the first non-automated parameter on.
    bool SerializeNonAutomatedParams(ByteChunk* pChunk, int count);
    // Reads `count` values, each clamped to its parameter's range. A chunk
    // that does not hold them all changes no value and gives -1.
    int UnserializeNonAutomatedParams(ByteChunk* pChunk, int startPos, int count);
    // Every parameter's plain value, and those values set back.
    std::vector<double> ParamValues();
    void RestoreParamValues(const std::vector<double>& values);
    // Shows every parameter's value on its controls.
    void RedrawParamControls();

    // ---- Host and identity.
    const char* GetEffectName() const { return mConfig.effectName; }
    const char* GetProductName() const { return mConfig.productName; }
    const char* GetMfrName() const { return mConfig.mfrName; }
    const IUnitConfig& GetConfig() const { return mConfig; }
    int GetEffectVersion() const { return mConfig.version; }
    // Writes "major.minor.bugfix" into buf (kMaxVersionStrLen bytes at most).
    void GetEffectVersionStr(char* buf) const;
    EHost GetHost() const { return mHost; }
    void SetHost(const char* hostName) { mHost = LookUpHost(hostName); }
    double GetSampleRate() const { return mSampleRate; }
    int GetBlockSize() const { return mBlockSize; }
    // The host's musical time; the base knows no host and reports a
    // stopped transport at 120 BPM.
    virtual void GetTime(ITimeInfo* pTimeInfo);
    virtual double GetTempo();

    // ---- Graphics. The plug-in owns the graphics it attaches.
    IGraphics* GetGUI() const { return mGraphics; }
    void AttachGraphics(IGraphics* pGraphics);

    // ---- External MIDI ports, chosen by name. Each list starts with
    // "Select MIDI Device" (no port); it is asked on first use and again by
    // a refresh, and each call returns a copy of the latest.
    std::vector<std::string> getExternalMIDIInNames();
    std::vector<std::string> getExternalMIDIOutNames();
    // Closes the open port at once and, unless index is 0 or `name` is not
    // listed, has the MIDI worker open the port called `name`; returns its
    // list index (0 for none) without waiting on the MIDI system (the first
    // lists aside, as getExternalMIDIInNames waits for them). Messages sent
    // meanwhile wait for the output. `opened` then says, on the MIDI
    // worker's thread, whether it opened, unless a later choice came first
    // or the ports were closed. Port errors are printed.
    int chooseExternalMIDIIn(int index, const char* name, IMidiPorts::Chosen opened);
    int chooseExternalMIDIOut(int index, const char* name, IMidiPorts::Chosen opened);
    // The same, waiting for the port within the MIDI time limit: index is
    // left at its list index when it opened, else 0.
    void setExternalMIDIIn(int& index, const char* name);
    void setExternalMIDIOut(int& index, const char* name);
    bool isExternalMIDIInOpen() const;
    bool isExternalMIDIOutOpen() const;
    // Starts making the port name lists in the background; the first use
    // of them waits until they are made, or for a second at most from here
    // when the MIDI system does not answer (they fill when it does).
    void prefetchExternalMIDINames();
    // The name lists asked afresh from the MIDI system (as a port menu does
    // when it opens); after the system went away its dead ports are closed
    // first.
    std::vector<std::string> refreshExternalMIDIInNames();
    std::vector<std::string> refreshExternalMIDIOutNames();
    // The MIDI system went away (a JACK server ended) since the ports were
    // made; a refresh clears it.
    bool externalMIDILost() const;
    // Whether the MIDI system answers, is not there, or did not answer in
    // time (then a port chosen meanwhile opens once it does).
    MidiSystem externalMIDISystem() const;
    // What the input port's real-time side measured of itself, and what it
    // dropped.
    IMidiPorts::InputFigures externalMIDIInputFigures() const;
    // Closes both ports and ends the input callback: no callback (nor a
    // choice's `opened`) runs once this returns. It gives the MIDI system a
    // second at most, in all: a plug-in calls it first in its destructor,
    // before it deletes anything its MIDI input reaches. Safe to call again.
    void closeExternalMIDIPorts();
    // One complete message from the input port: SysEx goes to ProcessSysEx,
    // anything else (up to three bytes) to ProcessMidiMsg, both with true.
    void processMIDIInput(const uint8_t* bytes, size_t size);

protected:
    void SetSampleRate(double sampleRate) { mSampleRate = sampleRate; }
    void SetBlockSize(int blockSize) { mBlockSize = blockSize; }
    // Shows one parameter's value on its controls.
    void ShowParamOnGUI(int idx);
    // Tells the host of a change made on the panel; the binding overrides.
    virtual void InformHostOfParamChange(int idx, double normalizedValue) {}
    // Queues bytes for the external output port, one message at a time
    // from any thread, without waiting on the MIDI system; false when no
    // port is open or being opened, or too much waits already.
    bool SendExternalMIDI(const uint8_t* bytes, size_t size);

private:
    void SetParameterFromGUIAndCall(int idx, double normalizedValue, void (IUnitBase::*handler)(int));
    IMidiPorts& Ports();
    void DeleteGraphics();

    IUnitConfig mConfig;
    std::vector<std::unique_ptr<IParam>> mParams;
    int mNonAutomated = 0;
    BASE_Mutex mMutex;
    double mSampleRate = 44100.0;
    int mBlockSize = 1024;
    EHost mHost = kHostUnknown;
    IGraphics* mGraphics = nullptr;
    std::unique_ptr<IMidiPorts> mPorts;
};
