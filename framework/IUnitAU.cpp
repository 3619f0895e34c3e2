#include "framework/IUnitAU.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "framework/IUnitAU_ViewFactory.h"
#include "framework/Log.h"
#include "platform/corefoundation/Bundle.h"

using namespace platform::au;
using platform::cf::PropertyDict;

namespace {

void copyText(char* dst, size_t room, const char* src) { snprintf(dst, room, "%s", src ? src : ""); }

// Writes one fixed-size property value after checking the caller's room.
template <class T>
OSStatus putValue(AUCall* c, const T& value) {
    if (!c->data || c->dataSize < sizeof(T)) return kErrParam;
    memcpy(c->data, &value, sizeof(T));
    c->dataSize = sizeof(T);
    return kNoErr;
}

template <class T>
bool takeValue(const AUCall* c, T* out) {
    if (!c->data || c->dataSize < sizeof(T)) return false;
    memcpy(out, c->data, sizeof(T));
    return true;
}

constexpr uint32_t kMaxFramesLimit = 1u << 16;

}  // namespace

IUnitAU::IUnitAU(const IUnitInstanceInfo& info, const IUnitConfig& config, int nParams)
    : IUnitBase(config, nParams), mInfo(info) {}

IUnitAU::~IUnitAU() = default;

// ---- MIDI out

bool IUnitAU::SendMidiMsg(IMidiMsg* pMsg) {
    if (!pMsg) return false;
    const uint8_t bytes[3] = {pMsg->mStatus, pMsg->mData1, pMsg->mData2};
    return SendExternalMIDI(bytes, static_cast<size_t>(pMsg->Size()));
}

bool IUnitAU::SendMidiSysex(const unsigned char* data, int size) {
    // Nothing to send, and no first byte to look at.
    if (!data || size <= 0) return false;
    std::vector<unsigned char> bytes;
    bytes.reserve(static_cast<size_t>(size) + 2);
    bool framed = data[0] == 0xF0;
    if (!framed) bytes.push_back(0xF0);
    bytes.insert(bytes.end(), data, data + size);
    if (!framed) bytes.push_back(0xF7);
    return SendExternalMIDI(bytes.data(), bytes.size());
}

bool IUnitAU::SendMidiSysex2(std::vector<unsigned char> bytes) {
    if (bytes.empty()) return false;
    return SendExternalMIDI(bytes.data(), bytes.size());
}

// ---- Host time

ITimeInfo IUnitAU::QueryHostTime() {
    ITimeInfo t;
    HostCallbackInfo h;
    {
        std::lock_guard<std::mutex> lock(mTimeMutex);
        h = mHostCallbacks;
    }
    double beat = 0.0, tempo = 0.0;
    if (h.beatAndTempoProc && h.beatAndTempoProc(h.hostUserData, &beat, &tempo) == kNoErr) {
        t.mPPQPos = beat;
        if (tempo > 0.0 && std::isfinite(tempo)) t.mTempo = tempo;
    }
    uint32_t toNextBeat = 0, denominator = 0;
    float numerator = 0.0f;
    double downBeat = 0.0;
    if (h.musicalTimeLocationProc &&
        h.musicalTimeLocationProc(h.hostUserData, &toNextBeat, &numerator, &denominator, &downBeat) == kNoErr) {
        if (numerator > 0.0f) t.mNumerator = static_cast<int>(numerator);
        if (denominator > 0) t.mDenominator = static_cast<int>(denominator);
        t.mLastBar = downBeat;
    }
    bool playing = false, changed = false, cycling = false;
    double samplePos = 0.0, cycleStart = 0.0, cycleEnd = 0.0;
    if (h.transportStateProc && h.transportStateProc(h.hostUserData, &playing, &changed, &samplePos, &cycling,
                                                     &cycleStart, &cycleEnd) == kNoErr) {
        t.mTransportIsRunning = playing;
        t.mTransportChanged = changed;
        t.mSamplePos = samplePos;
        t.mTransportLoop = cycling;
        t.mCycleStart = cycleStart;
        t.mCycleEnd = cycleEnd;
    }
    return t;
}

void IUnitAU::GetTime(ITimeInfo* pTimeInfo) {
    if (!pTimeInfo) return;
    std::lock_guard<std::mutex> lock(mTimeMutex);
    *pTimeInfo = mBlockTime;
}

double IUnitAU::GetTempo() { return mTempo.load(std::memory_order_relaxed); }

// ---- State

OSStatus IUnitAU::GetState(PropertyDict* pState) {
    if (!pState) return kErrParam;
    const IUnitConfig& cfg = GetConfig();
    pState->clear();
    pState->setInt("version", cfg.version);
    pState->setInt("type", cfg.type);
    pState->setInt("subtype", cfg.subtype);
    pState->setInt("manufacturer", cfg.manufacturer);
    pState->setString("name", mPresets.GetCurrentName());
    ByteChunk chunk;
    if (SerializeState(&chunk)) {
        const uint8_t* b = chunk.GetBytes();
        pState->setData("data", platform::cf::Bytes(b, b + chunk.Size()));
    }
    return kNoErr;
}

OSStatus IUnitAU::SetState(const PropertyDict& state) {
    // A state saved by another plug-in is not ours to read.
    const IUnitConfig& cfg = GetConfig();
    for (auto [key, mine] : {std::pair<const char*, int64_t>{"type", cfg.type},
                             {"subtype", cfg.subtype},
                             {"manufacturer", cfg.manufacturer}}) {
        const int64_t* v = state.getInt(key);
        if (v && *v != mine) return kErrInvalidPropertyValue;
    }
    const platform::cf::Bytes* data = state.getData("data");
    if (!data) return kErrInvalidProperty;
    if (const std::string* name = state.getString("name")) mPresets.SetCurrent(-1, name->c_str());
    ByteChunk chunk;
    if (!data->empty() && chunk.PutBytes(data->data(), static_cast<int>(data->size())) < 0) return kErrParam;
    // A state that cannot be read whole is refused and leaves every value as
    // it was, whatever the plug-in's reader had set before it gave up.
    const std::vector<double> before = ParamValues();
    const int read = UnserializeState(&chunk, 0);
    if (read < 0) {
        RestoreParamValues(before);
        RedrawParamControls();
        return kErrInvalidPropertyValue;
    }
    if (read != 0) RedrawParamControls();
    return kNoErr;
}

// ---- Parameters

bool IUnitAU::GetParameterInfo(int idx, ParameterInfo* pInfo) const {
    const IParam* p = GetParam(idx);
    if (!p || !pInfo) return false;
    *pInfo = ParameterInfo{};
    copyText(pInfo->name, sizeof pInfo->name, p->GetNameForHost());
    copyText(pInfo->unitName, sizeof pInfo->unitName, p->GetLabelForHost());
    copyText(pInfo->group, sizeof pInfo->group, p->GetParamGroupForHost());
    pInfo->minValue = static_cast<float>(p->GetMin());
    pInfo->maxValue = static_cast<float>(p->GetMax());
    pInfo->defaultValue = static_cast<float>(p->GetDefault());
    pInfo->flags = kParamFlagIsReadable | kParamFlagIsWritable | kParamFlagHasName;
    if (!IsParamAutomated(idx)) pInfo->flags |= kParamFlagNonRealTime;
    if (p->GetNDisplayTexts() > 0) pInfo->flags |= kParamFlagValuesHaveStrings;
    if (p->IsMeta()) pInfo->flags |= kParamFlagIsGlobalMeta;
    return true;
}

void IUnitAU::SetParameterFromHost(int idx, double plainValue) {
    BASE_MutexLock lock(GetMutex());
    IParam* p = GetParam(idx);
    if (!p) return;
    p->Set(plainValue);
    ShowParamOnGUI(idx);
    OnParamChange(idx);
}

void IUnitAU::InformHostOfParamChange(int idx, double normalizedValue) {
    const IParam* p = GetParam(idx);
    if (!p) return;
    float plain = static_cast<float>(p->FromNormalized(normalizedValue));
    std::vector<ParamListener> listeners;
    {
        std::lock_guard<std::mutex> lock(mListenerMutex);
        listeners = mParamListeners;
    }
    for (const ParamListener& l : listeners) l.proc(l.user, idx, plain);
}

void IUnitAU::NotifyPropertyListeners(uint32_t id) {
    std::vector<PropListener> listeners;
    {
        std::lock_guard<std::mutex> lock(mListenerMutex);
        listeners = mPropListeners;
    }
    for (const PropListener& l : listeners)
        if (l.id == id) l.proc(l.user, this, id, kScopeGlobal, 0);
}

// ---- Lifecycle and render

void IUnitAU::AllocateBuffers() {
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        mInBufs[ch].assign(mMaxFrames, 0.0);
        mOutBufs[ch].assign(mMaxFrames, 0.0);
    }
}

OSStatus IUnitAU::Initialize() {
    AllocateBuffers();
    SetBlockSize(static_cast<int>(mMaxFrames));
    mInitialized = true;
    Reset();
    return kNoErr;
}

void IUnitAU::Uninitialize() {
    mInitialized = false;
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        mInBufs[ch] = {};
        mOutBufs[ch] = {};
    }
}

OSStatus IUnitAU::Render(AUCall* c) {
    if (!mInitialized) return kErrUninitialized;
    if (c->nFrames > mMaxFrames) return kErrTooManyFramesToProcess;
    int n = static_cast<int>(c->nFrames);
    double* ins[kMaxChannels];
    double* outs[kMaxChannels];
    for (int ch = 0; ch < kMaxChannels; ++ch) {
        ins[ch] = mInBufs[ch].data();
        outs[ch] = mOutBufs[ch].data();
        const float* src = (c->inputs && ch < static_cast<int>(c->nInputs)) ? c->inputs[ch] : nullptr;
        for (int i = 0; i < n; ++i) ins[ch][i] = src ? src[i] : 0.0;
        std::fill(outs[ch], outs[ch] + n, 0.0);
    }
    // The host is asked once per block; GetTime and GetTempo read that.
    ITimeInfo t = QueryHostTime();
    {
        std::lock_guard<std::mutex> lock(mTimeMutex);
        mBlockTime = t;
    }
    mTempo.store(t.mTempo, std::memory_order_relaxed);
    ProcessDoubleReplacing(ins, outs, n);
    for (uint32_t ch = 0; c->outputs && ch < c->nOutputs; ++ch) {
        float* dst = c->outputs[ch];
        if (!dst) continue;
        for (int i = 0; i < n; ++i) dst[i] = ch < kMaxChannels ? static_cast<float>(outs[ch][i]) : 0.0f;
    }
    return kNoErr;
}

// ---- Properties

OSStatus IUnitAU::GetPropertyInfo(AUCall* c) {
    c->writable = false;
    switch (c->propertyID) {
        case kPropClassInfo:
            c->dataSize = sizeof(PropertyDict);
            c->writable = true;
            return kNoErr;
        case kPropSampleRate:
            c->dataSize = sizeof(double);
            c->writable = true;
            return kNoErr;
        case kPropParameterList:
            c->dataSize = static_cast<uint32_t>(NParams()) * sizeof(int32_t);
            return kNoErr;
        case kPropParameterInfo:
            if (!GetParam(static_cast<int>(c->element))) return kErrInvalidElement;
            c->dataSize = sizeof(ParameterInfo);
            return kNoErr;
        case kPropMaxFramesPerSlice:
            c->dataSize = sizeof(uint32_t);
            c->writable = true;
            return kNoErr;
        case kPropFactoryPresets:
            c->dataSize = sizeof(FactoryPresets);
            return kNoErr;
        case kPropParameterStringFromValue:
            c->dataSize = sizeof(ParameterStringFromValue);
            return kNoErr;
        case kPropHostCallbacks:
            c->dataSize = sizeof(HostCallbackInfo);
            c->writable = true;
            return kNoErr;
        case kPropCocoaUI:
            if (mInfo.mCocoaViewFactoryClassName.empty()) return kErrInvalidProperty;
            c->dataSize = sizeof(CocoaViewInfo);
            return kNoErr;
        case kPropPresentPreset:
            c->dataSize = sizeof(PresetInfo);
            c->writable = true;
            return kNoErr;
        default:
            return kErrInvalidProperty;
    }
}

OSStatus IUnitAU::GetProperty(AUCall* c) {
    switch (c->propertyID) {
        case kPropClassInfo:
            if (!c->data || c->dataSize < sizeof(PropertyDict)) return kErrParam;
            return GetState(static_cast<PropertyDict*>(c->data));
        case kPropSampleRate:
            return putValue(c, GetSampleRate());
        case kPropParameterList: {
            uint32_t need = static_cast<uint32_t>(NParams()) * sizeof(int32_t);
            if (need && (!c->data || c->dataSize < need)) return kErrParam;
            auto* ids = static_cast<int32_t*>(c->data);
            for (int i = 0; i < NParams(); ++i) ids[i] = i;
            c->dataSize = need;
            return kNoErr;
        }
        case kPropParameterInfo: {
            ParameterInfo info;
            if (!GetParameterInfo(static_cast<int>(c->element), &info)) return kErrInvalidElement;
            return putValue(c, info);
        }
        case kPropMaxFramesPerSlice:
            return putValue(c, mMaxFrames);
        case kPropParameterStringFromValue: {
            ParameterStringFromValue v{};
            if (!takeValue(c, &v)) return kErrParam;
            const IParam* p = GetParam(v.paramID);
            if (!p) return kErrInvalidParameter;
            copyText(v.text, sizeof v.text, p->GetDisplayForHost(v.value).c_str());
            return putValue(c, v);
        }
        case kPropFactoryPresets:
            return putValue(c, FactoryPresets{mPresets.NFactoryPresets(), nullptr});
        case kPropHostCallbacks: {
            std::lock_guard<std::mutex> lock(mTimeMutex);
            return putValue(c, mHostCallbacks);
        }
        case kPropCocoaUI: {
            if (mInfo.mCocoaViewFactoryClassName.empty()) return kErrInvalidProperty;
            CocoaViewInfo v{};
            copyText(v.bundlePath, sizeof v.bundlePath, mInfo.mBundlePath.c_str());
            copyText(v.viewClassName, sizeof v.viewClassName, mInfo.mCocoaViewFactoryClassName.c_str());
            return putValue(c, v);
        }
        case kPropPresentPreset: {
            PresetInfo p{};
            p.number = mPresets.GetCurrentNumber();
            copyText(p.name, sizeof p.name, mPresets.GetCurrentName().c_str());
            return putValue(c, p);
        }
        default:
            return kErrInvalidProperty;
    }
}

OSStatus IUnitAU::SetProperty(AUCall* c) {
    OSStatus s = kNoErr;
    switch (c->propertyID) {
        case kPropClassInfo:
            if (!c->data) return kErrParam;
            s = SetState(*static_cast<const PropertyDict*>(c->data));
            break;
        case kPropSampleRate: {
            double rate = 0.0;
            if (!takeValue(c, &rate)) return kErrParam;
            if (!(rate > 0.0) || !std::isfinite(rate)) return kErrInvalidPropertyValue;
            SetSampleRate(rate);
            if (mInitialized) Reset();
            break;
        }
        case kPropMaxFramesPerSlice: {
            uint32_t frames = 0;
            if (!takeValue(c, &frames)) return kErrParam;
            if (frames == 0 || frames > kMaxFramesLimit) return kErrInvalidPropertyValue;
            mMaxFrames = frames;
            if (mInitialized) {
                AllocateBuffers();
                SetBlockSize(static_cast<int>(mMaxFrames));
                Reset();
            }
            break;
        }
        case kPropHostCallbacks: {
            // An older host may know fewer callbacks; the rest stay null.
            if (!c->data) return kErrParam;
            HostCallbackInfo h{};
            memcpy(&h, c->data, std::min<size_t>(c->dataSize, sizeof h));
            std::lock_guard<std::mutex> lock(mTimeMutex);
            mHostCallbacks = h;
            break;
        }
        case kPropPresentPreset: {
            PresetInfo p{};
            if (!takeValue(c, &p)) return kErrParam;
            p.name[sizeof p.name - 1] = '\0';
            if (!mPresets.SetCurrent(p.number, p.name)) return kErrInvalidPropertyValue;
            break;
        }
        case kPropParameterList:
        case kPropParameterInfo:
        case kPropFactoryPresets:
        case kPropCocoaUI:
        case kPropParameterStringFromValue:
            return kErrPropertyNotWritable;
        default:
            return kErrInvalidProperty;
    }
    if (s == kNoErr) NotifyPropertyListeners(c->propertyID);
    return s;
}

// ---- View

void* IUnitAU::OpenView(void* parentView, int* width, int* height) {
    return IUnitAU_ViewFactory::uiViewForAudioUnit(this, parentView, width, height);
}

void IUnitAU::CloseView(void* view) { IUnitAU_ViewFactory::closeView(this, view); }

// ---- Dispatch

OSStatus IUnitAU::Dispatch(AUCall* c) {
    switch (c->selector) {
        case kSelInitialize:
            return Initialize();
        case kSelUninitialize:
            Uninitialize();
            return kNoErr;
        case kSelReset:
            Reset();
            return kNoErr;
        case kSelGetPropertyInfo:
            return GetPropertyInfo(c);
        case kSelGetProperty:
            return GetProperty(c);
        case kSelSetProperty:
            return SetProperty(c);
        case kSelGetParameter: {
            const IParam* p = GetParam(c->paramID);
            if (!p) return kErrInvalidParameter;
            c->paramValue = static_cast<float>(p->Value());
            return kNoErr;
        }
        case kSelSetParameter:
            if (!GetParam(c->paramID)) return kErrInvalidParameter;
            SetParameterFromHost(c->paramID, c->paramValue);
            return kNoErr;
        case kSelRender:
            return Render(c);
        case kSelAddParameterListener:
        case kSelRemoveParameterListener: {
            if (!c->parameterListener) return kErrParam;
            std::lock_guard<std::mutex> lock(mListenerMutex);
            auto same = [c](const ParamListener& l) {
                return l.proc == c->parameterListener && l.user == c->listenerUser;
            };
            std::erase_if(mParamListeners, same);
            if (c->selector == kSelAddParameterListener)
                mParamListeners.push_back({c->parameterListener, c->listenerUser});
            return kNoErr;
        }
        case kSelAddPropertyListener:
        case kSelRemovePropertyListener: {
            if (!c->propertyListener) return kErrParam;
            std::lock_guard<std::mutex> lock(mListenerMutex);
            auto same = [c](const PropListener& l) {
                return l.proc == c->propertyListener && l.user == c->listenerUser && l.id == c->propertyID;
            };
            std::erase_if(mPropListeners, same);
            if (c->selector == kSelAddPropertyListener)
                mPropListeners.push_back({c->propertyListener, c->listenerUser, c->propertyID});
            return kNoErr;
        }
        default:
            return kErrUnsupported;
    }
}

// ---- Entries

namespace {

BASE_Mutex& makePlugMutex() {
    static BASE_Mutex m;
    return m;
}

}  // namespace

IUnitAU* IUnitAU_MakePlug(const char* bundleID, IUnitMakeFn make) {
    BASE_MutexLock lock(makePlugMutex());
    IUnitInstanceInfo info;
    info.mBundleID = bundleID ? bundleID : "";
    info.mBundlePath = platform::cf::Bundle::containing(reinterpret_cast<const void*>(&IUnitAU_MakePlug)).root();
    info.mCocoaViewFactoryClassName = "Halvoran_View";
    return make(info);
}

int32_t IUnitAU_Entry(AUCall* call, IUnitAU* (*makePlug)()) {
    if (!call) return kErrParam;
    // Nothing may unwind into the host.
    try {
        if (call->selector == kSelOpen) {
            IUnitAU* plug = makePlug ? makePlug() : nullptr;
            if (!plug) return kErrFailedInitialization;
            call->instance = plug;
            return kNoErr;
        }
        auto* plug = static_cast<IUnitAU*>(call->instance);
        if (!plug) return kErrParam;
        if (call->selector == kSelClose) {
            // Not under the plug-in mutex: the MIDI input may be waiting
            // for it while the plug-in shuts that input down.
            BASE_MutexLock lock(makePlugMutex());
            delete plug;
            call->instance = nullptr;
            return kNoErr;
        }
        // The render thread takes no lock.
        if (call->selector == kSelRender) return plug->Dispatch(call);
        BASE_MutexLock lock(plug->GetMutex());
        return plug->Dispatch(call);
    } catch (const std::exception& e) {
        LogLine("component entry: %s", e.what());
    } catch (...) {
        LogLine("component entry: unknown failure");
    }
    return call->selector == kSelOpen ? kErrFailedInitialization : kErrParam;
}

int32_t IUnitAU_ViewEntry(AUViewCall* call) {
    if (!call || !call->instance) return kErrParam;
    auto* plug = static_cast<IUnitAU*>(call->instance);
    try {
        switch (call->selector) {
            case kViewSelOpen: {
                int w = call->width, h = call->height;
                call->view = plug->OpenView(call->parentView, &w, &h);
                if (!call->view) return kErrUnsupported;
                call->width = w;
                call->height = h;
                return kNoErr;
            }
            case kViewSelClose:
                plug->CloseView(call->view);
                call->view = nullptr;
                return kNoErr;
            default:
                return kErrUnsupported;
        }
    } catch (const std::exception& e) {
        LogLine("view entry: %s", e.what());
    }
    return kErrParam;
}
