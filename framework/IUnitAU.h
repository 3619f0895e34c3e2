#pragma once
// The Audio Unit binding of the plug-in: the component entry's selectors,
// properties, saved state, parameter info and notification, the render
// call with the host's time, and the sends to the external MIDI output.
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "framework/IUnitBase.h"
#include "framework/presets/IPresets.h"
#include "platform/audiounit/AudioUnit.h"
#include "platform/corefoundation/PropertyDict.h"

// What the entry knows of the instance it makes.
struct IUnitInstanceInfo {
    std::string mBundleID;
    std::string mBundlePath;                 // the bundle folder
    std::string mCocoaViewFactoryClassName;  // "Halvoran_View"
};

class IUnitAU : public IUnitBase {
public:
    IUnitAU(const IUnitInstanceInfo& info, const IUnitConfig& config, int nParams);
    ~IUnitAU() override;

    const IUnitInstanceInfo& GetInstanceInfo() const { return mInfo; }

    // ---- MIDI to the external output port (never to the host), through
    // its queue: none of these waits on the MIDI system.
    // A short message: 2 bytes for program change and channel pressure,
    // 3 for other channel messages.
    virtual bool SendMidiMsg(IMidiMsg* pMsg);
    // Sends the bytes as one SysEx: F0 in front and F7 behind unless they
    // already start with F0. False for no bytes, or when nothing was queued.
    bool SendMidiSysex(const unsigned char* data, int size);
    // Sends the bytes unchanged (whole dumps, clock bytes). False for an
    // empty vector, or when nothing was queued.
    bool SendMidiSysex2(std::vector<unsigned char> bytes);

    // ---- Host time, asked of the host once at the start of each render
    // call; a stopped transport at 120 BPM before the first.
    void GetTime(ITimeInfo* pTimeInfo) override;
    // BPM; 120 while the host gives none. Safe from any thread.
    double GetTempo() override;

    // ---- Saved state: "version", "type", "subtype", "manufacturer",
    // "name", and "data" when SerializeState agrees.
    platform::au::OSStatus GetState(platform::cf::PropertyDict* pState);
    // Needs "data"; UnserializeState reads it from 0, and a non-zero result
    // redraws the parameter controls.
    platform::au::OSStatus SetState(const platform::cf::PropertyDict& state);

    bool GetParameterInfo(int idx, platform::au::ParameterInfo* pInfo) const;
    IPresets& Presets() { return mPresets; }

    // ---- The view: the panel's window opened into the host's view, or
    // null when the plug-in has no graphics.
    virtual void* OpenView(void* parentView, int* width, int* height);
    virtual void CloseView(void* view);

    // ---- The component entry: every selector but Open.
    platform::au::OSStatus Dispatch(platform::au::AUCall* call);
    bool IsInitialized() const { return mInitialized; }

protected:
    void InformHostOfParamChange(int idx, double normalizedValue) override;
    // A parameter set by the host: plain value, shown on the panel, then
    // OnParamChange.
    void SetParameterFromHost(int idx, double plainValue);

private:
    platform::au::OSStatus GetPropertyInfo(platform::au::AUCall* c);
    platform::au::OSStatus GetProperty(platform::au::AUCall* c);
    platform::au::OSStatus SetProperty(platform::au::AUCall* c);
    platform::au::OSStatus Render(platform::au::AUCall* c);
    platform::au::OSStatus Initialize();
    void Uninitialize();
    void AllocateBuffers();
    void NotifyPropertyListeners(uint32_t id);

    IUnitInstanceInfo mInfo;
    IPresets mPresets;
    bool mInitialized = false;
    uint32_t mMaxFrames = 1024;

    ITimeInfo QueryHostTime();

    std::mutex mTimeMutex;  // guards the callbacks and the block's time
    platform::au::HostCallbackInfo mHostCallbacks{};
    ITimeInfo mBlockTime;
    // The tempo of the last render call; read by other threads.
    std::atomic<double> mTempo{120.0};

    static constexpr int kMaxChannels = 2;
    std::vector<double> mInBufs[kMaxChannels], mOutBufs[kMaxChannels];

    struct ParamListener {
        platform::au::ParameterListenerProc proc;
        void* user;
    };
    struct PropListener {
        platform::au::PropertyListenerProc proc;
        void* user;
        uint32_t id;
    };
    std::mutex mListenerMutex;
    std::vector<ParamListener> mParamListeners;
    std::vector<PropListener> mPropListeners;
};

// ---- Entry machinery. A plug-in library exports its entries with
// HALVORAN_UNIT_ENTRY(Class, "bundle.id"), where Class derives from
// IUnitAU and is built from an IUnitInstanceInfo.
using IUnitMakeFn = IUnitAU* (*)(const IUnitInstanceInfo&);

// Under a static recursive mutex: fills the instance info (bundle id and
// folder, view class "Halvoran_View") and makes the plug-in.
IUnitAU* IUnitAU_MakePlug(const char* bundleID, IUnitMakeFn make);
// The component entry: Open makes an instance through MakePlug, Close
// deletes it, the rest go to IUnitAU::Dispatch under the plug-in mutex
// (Render runs outside it).
int32_t IUnitAU_Entry(platform::au::AUCall* call, IUnitAU* (*makePlug)());
// The view entry: Open asks the instance for its view; Close removes it.
int32_t IUnitAU_ViewEntry(platform::au::AUViewCall* call);

#define HALVORAN_UNIT_ENTRY(PLUG_CLASS, BUNDLE_ID)                                                                 \
    IUnitAU* MakePlug() {                                                                                          \
        return IUnitAU_MakePlug(BUNDLE_ID,                                                                         \
                                [](const IUnitInstanceInfo& info) -> IUnitAU* { return new PLUG_CLASS(info); });   \
    }                                                                                                              \
    extern "C" __attribute__((visibility("default"))) int32_t Halvoran_Entry(platform::au::AUCall* call) {         \
        return IUnitAU_Entry(call, MakePlug);                                                                      \
    }                                                                                                              \
    extern "C" __attribute__((visibility("default"))) int32_t Halvoran_ViewEntry(platform::au::AUViewCall* call) { \
        return IUnitAU_ViewEntry(call);                                                                            \
    }
