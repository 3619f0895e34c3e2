#include "framework/IUnitBase.h"

#include <algorithm>
#include <cstdio>

#include "framework/IMidiPorts.h"

IUnitBase::IUnitBase(const IUnitConfig& config, int nParams) : mConfig(config) {
    mParams.reserve(std::max(nParams, 0));
    for (int i = 0; i < nParams; ++i) mParams.push_back(std::make_unique<IParam>());
    // No MIDI client is made until a port list or a port is asked for.
    const char* name = *mConfig.productName ? mConfig.productName : "Halvoran";
    mPorts = std::make_unique<IMidiPorts>(name, [this](const uint8_t* b, size_t n) { processMIDIInput(b, n); });
}

IUnitBase::~IUnitBase() {
    closeExternalMIDIPorts();
    DeleteGraphics();
}

IParam* IUnitBase::GetParam(int idx) const {
    if (idx < 0 || idx >= NParams()) return nullptr;
    return mParams[idx].get();
}

void IUnitBase::addNonAutomateParamCount(int n) { mNonAutomated = std::clamp(n, 0, NParams()); }

void IUnitBase::SetParameterFromGUIAndCall(int idx, double normalizedValue, void (IUnitBase::*handler)(int)) {
    BASE_MutexLock lock(mMutex);
    IParam* p = GetParam(idx);
    if (!p) return;
    p->SetNormalized(normalizedValue);
    InformHostOfParamChange(idx, p->GetNormalized());
    (this->*handler)(idx);
}

void IUnitBase::SetParameterFromGUI(int idx, double normalizedValue) {
    SetParameterFromGUIAndCall(idx, normalizedValue, &IUnitBase::OnParamChange);
}

void IUnitBase::SetParameterFromGUI2(int idx, double normalizedValue) {
    SetParameterFromGUIAndCall(idx, normalizedValue, &IUnitBase::OnParamChange2);
}

namespace {

bool putValues(const std::vector<std::unique_ptr<IParam>>& params, int first, int count, ByteChunk* chunk) {
    if (!chunk) return false;
    for (int i = first; i < first + count; ++i) {
        double v = params[i]->Value();
        if (chunk->Put(&v) < 0) return false;
    }
    return true;
}

}  // namespace

bool IUnitBase::SerializeParams(ByteChunk* pChunk) {
    BASE_MutexLock lock(mMutex);
    return putValues(mParams, 0, NAutomatedParams(), pChunk);
}

namespace {

// Reads count values from pos into params[first..], each clamped. A chunk
// that does not hold them all changes nothing: -1.
int getValues(const std::vector<std::unique_ptr<IParam>>& params, int first, int count, const ByteChunk* chunk,
              int pos) {
    if (!chunk || pos < 0 || int64_t(pos) + int64_t(count) * 8 > chunk->Size()) return -1;
    for (int i = first; i < first + count; ++i) {
        double v = 0.0;
        pos = chunk->Get(&v, pos);
        params[i]->Set(v);
    }
    return pos;
}

}  // namespace

int IUnitBase::UnserializeParams(ByteChunk* pChunk, int startPos) {
    BASE_MutexLock lock(mMutex);
    return getValues(mParams, 0, NAutomatedParams(), pChunk, startPos);
}

bool IUnitBase::SerializeNonAutomatedParams(ByteChunk* pChunk, int count) {
    BASE_MutexLock lock(mMutex);
    count = std::clamp(count, 0, mNonAutomated);
    return putValues(mParams, NAutomatedParams(), count, pChunk);
}

int IUnitBase::UnserializeNonAutomatedParams(ByteChunk* pChunk, int startPos, int count) {
    BASE_MutexLock lock(mMutex);
    count = std::clamp(count, 0, mNonAutomated);
    return getValues(mParams, NAutomatedParams(), count, pChunk, startPos);
}

std::vector<double> IUnitBase::ParamValues() {
    BASE_MutexLock lock(mMutex);
    std::vector<double> values;
    values.reserve(mParams.size());
    for (const auto& p : mParams) values.push_back(p->Value());
    return values;
}

void IUnitBase::RestoreParamValues(const std::vector<double>& values) {
    BASE_MutexLock lock(mMutex);
    for (size_t i = 0; i < values.size() && i < mParams.size(); ++i) mParams[i]->Set(values[i]);
}

void IUnitBase::GetEffectVersionStr(char* buf) const {
    if (!buf) return;
    int v = mConfig.version;
    snprintf(buf, kMaxVersionStrLen, "%d.%d.%d", (v >> 16) & 0xFFFF, (v >> 8) & 0xFF, v & 0xFF);
}

void IUnitBase::GetTime(ITimeInfo* pTimeInfo) {
    if (pTimeInfo) *pTimeInfo = ITimeInfo();
}

double IUnitBase::GetTempo() { return 120.0; }

IMidiPorts& IUnitBase::Ports() { return *mPorts; }

std::vector<std::string> IUnitBase::getExternalMIDIInNames() { return Ports().inNames(); }

std::vector<std::string> IUnitBase::getExternalMIDIOutNames() { return Ports().outNames(); }

int IUnitBase::chooseExternalMIDIIn(int index, const char* name, IMidiPorts::Chosen opened) {
    return Ports().choose(true, index, name, std::move(opened));
}

int IUnitBase::chooseExternalMIDIOut(int index, const char* name, IMidiPorts::Chosen opened) {
    return Ports().choose(false, index, name, std::move(opened));
}

void IUnitBase::setExternalMIDIIn(int& index, const char* name) { Ports().setIn(index, name); }

void IUnitBase::setExternalMIDIOut(int& index, const char* name) { Ports().setOut(index, name); }

void IUnitBase::prefetchExternalMIDINames() { Ports().prefetchNames(); }

std::vector<std::string> IUnitBase::refreshExternalMIDIInNames() { return Ports().refreshInNames(); }

std::vector<std::string> IUnitBase::refreshExternalMIDIOutNames() { return Ports().refreshOutNames(); }

bool IUnitBase::externalMIDILost() const { return mPorts->lost(); }

MidiSystem IUnitBase::externalMIDISystem() const { return mPorts->state(); }

IMidiPorts::InputFigures IUnitBase::externalMIDIInputFigures() const { return mPorts->inputFigures(); }

bool IUnitBase::isExternalMIDIInOpen() const { return mPorts->inOpen(); }

bool IUnitBase::isExternalMIDIOutOpen() const { return mPorts->outOpen(); }

void IUnitBase::closeExternalMIDIPorts() { mPorts->closeAll(); }

bool IUnitBase::SendExternalMIDI(const uint8_t* bytes, size_t size) { return mPorts->send(bytes, size); }

void IUnitBase::processMIDIInput(const uint8_t* bytes, size_t size) {
    if (!bytes || size == 0) return;
    if (bytes[0] == 0xF0) {
        ISysEx sysex(0, bytes, static_cast<int>(size));
        ProcessSysEx(&sysex, true);
        return;
    }
    IMidiMsg msg(0, bytes[0], size > 1 ? bytes[1] : 0, size > 2 ? bytes[2] : 0);
    ProcessMidiMsg(&msg, true);
}
