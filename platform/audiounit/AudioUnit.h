#pragma once
// The component interface between a host and an Audio Unit plug-in library:
// one exported entry that takes a call record. Plain C layouts, so a host
// and a plug-in built apart agree on them.
#include <cstdint>

namespace platform::au {

using OSStatus = int32_t;

// Results, with the numbers hosts know them by.
enum : OSStatus {
    kNoErr = 0,
    kErrUnsupported = -4,
    kErrParam = -50,
    kErrInvalidPropertyValue = -10851,
    kErrPropertyNotWritable = -10865,
    kErrInvalidScope = -10866,
    kErrUninitialized = -10867,
    kErrTooManyFramesToProcess = -10874,
    kErrFailedInitialization = -10875,
    kErrInvalidElement = -10877,
    kErrInvalidParameter = -10878,
    kErrInvalidProperty = -10879,
};

enum Selector : int32_t {
    kSelOpen = 0,
    kSelClose,
    kSelInitialize,
    kSelUninitialize,
    kSelReset,
    kSelGetPropertyInfo,
    kSelGetProperty,
    kSelSetProperty,
    kSelGetParameter,
    kSelSetParameter,
    kSelRender,
    kSelAddPropertyListener,
    kSelRemovePropertyListener,
    kSelAddParameterListener,
    kSelRemoveParameterListener,
};

enum PropertyID : uint32_t {
    kPropClassInfo = 0,                  // platform::cf::PropertyDict (the saved state)
    kPropSampleRate = 2,                 // double
    kPropParameterList = 3,              // int32_t ids, one per parameter
    kPropParameterInfo = 4,              // ParameterInfo, element = parameter id
    kPropMaxFramesPerSlice = 14,         // uint32_t
    kPropFactoryPresets = 24,            // FactoryPresets
    kPropHostCallbacks = 27,             // HostCallbackInfo
    kPropCocoaUI = 31,                   // CocoaViewInfo
    kPropParameterStringFromValue = 33,  // ParameterStringFromValue
    kPropPresentPreset = 36,             // PresetInfo
};

enum Scope : uint32_t { kScopeGlobal = 0, kScopeInput = 1, kScopeOutput = 2 };

// Parameter flags, as hosts read them.
enum : uint32_t {
    kParamFlagNonRealTime = 1u << 24,   // not automated
    kParamFlagIsGlobalMeta = 1u << 18,  // changing it moves other parameters
    kParamFlagValuesHaveStrings = 1u << 21,
    kParamFlagHasName = 1u << 27,
    kParamFlagIsReadable = 1u << 30,
    kParamFlagIsWritable = 1u << 31,
};

struct ParameterInfo {
    char name[55];
    char unitName[55];
    char group[55];
    float minValue;
    float maxValue;
    float defaultValue;
    uint32_t flags;
};

// The text a parameter shows for a value (a port name, "on", "12.5").
struct ParameterStringFromValue {
    int32_t paramID;
    float value;
    char text[256];  // out
};

// The host's musical time, asked for by the plug-in during a render call.
// A callback the host leaves null is not asked.
struct HostCallbackInfo {
    void* hostUserData;
    OSStatus (*beatAndTempoProc)(void* hostUserData, double* outCurrentBeat, double* outCurrentTempo);
    OSStatus (*musicalTimeLocationProc)(void* hostUserData, uint32_t* outDeltaSampleOffsetToNextBeat,
                                        float* outTimeSigNumerator, uint32_t* outTimeSigDenominator,
                                        double* outCurrentMeasureDownBeat);
    OSStatus (*transportStateProc)(void* hostUserData, bool* outIsPlaying, bool* outTransportStateChanged,
                                   double* outCurrentSampleInTimeLine, bool* outIsCycling, double* outCycleStartBeat,
                                   double* outCycleEndBeat);
};

struct PresetInfo {
    int32_t number;  // below 0 for a user preset
    char name[256];
};

struct FactoryPresets {
    int32_t count;
    const PresetInfo* presets;  // owned by the plug-in instance
};

// Where the plug-in's view comes from: the bundle folder and the name of
// the view class its view factory makes.
struct CocoaViewInfo {
    char bundlePath[1024];
    char viewClassName[64];
};

using PropertyListenerProc = void (*)(void* user, void* instance, uint32_t propertyID, uint32_t scope,
                                      uint32_t element);
// Called when the plug-in changes a parameter itself (from its panel), with
// the plain value.
using ParameterListenerProc = void (*)(void* user, int32_t paramID, float value);

struct AUCall {
    int32_t selector;
    void* instance;  // set by kSelOpen; given to every later call

    // Properties. For Get, dataSize holds the room at data and comes back
    // as the size written; GetPropertyInfo gives size and writability.
    uint32_t propertyID;
    uint32_t scope;
    uint32_t element;
    void* data;
    uint32_t dataSize;
    bool writable;

    // Parameters: plain values.
    int32_t paramID;
    float paramValue;

    // Render: nFrames at most the maximum frames per slice.
    uint32_t nFrames;
    uint32_t nInputs;
    uint32_t nOutputs;
    float** inputs;
    float** outputs;

    // Listeners: added and removed by procedure and user pointer.
    PropertyListenerProc propertyListener;
    ParameterListenerProc parameterListener;
    void* listenerUser;
};

using EntryProc = int32_t (*)(AUCall*);

// The view entry: opens the plug-in's view into a parent view of the host.
enum ViewSelector : int32_t { kViewSelOpen = 0, kViewSelClose };

struct AUViewCall {
    int32_t selector;
    void* instance;    // the plug-in instance from kSelOpen
    void* parentView;  // the host's view
    int32_t x, y;
    int32_t width, height;  // out: the size of the view made
    void* view;             // out of kViewSelOpen, in to kViewSelClose
};

using ViewEntryProc = int32_t (*)(AUViewCall*);

constexpr const char* kEntryName = "Halvoran_Entry";
constexpr const char* kViewEntryName = "Halvoran_ViewEntry";

}  // namespace platform::au
