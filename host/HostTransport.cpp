#include "host/HostTransport.h"

#include <cmath>

using namespace platform::au;

namespace hvhost {

HostTransport::HostTransport(double sampleRate, double tempo, bool playing)
    : mSampleRate(sampleRate), mTempo(tempo), mPlaying(playing), mChanged(playing) {}

HostCallbackInfo HostTransport::callbacks() {
    HostCallbackInfo h{};
    h.hostUserData = this;
    h.beatAndTempoProc = beatAndTempo;
    h.musicalTimeLocationProc = musicalTimeLocation;
    h.transportStateProc = transportState;
    return h;
}

void HostTransport::setPlaying(bool playing) {
    if (mPlaying.exchange(playing) != playing) mChanged = true;
}

void HostTransport::setTempo(double bpm) {
    if (bpm > 0 && std::isfinite(bpm)) mTempo = bpm;
}

void HostTransport::advance(int nFrames) {
    if (mPlaying) mSamplePos = mSamplePos + nFrames;
    mChanged = false;
}

double HostTransport::beat() const { return mSamplePos / mSampleRate * mTempo / 60.0; }

OSStatus HostTransport::beatAndTempo(void* user, double* beat, double* tempo) {
    auto* t = static_cast<HostTransport*>(user);
    if (beat) *beat = t->beat();
    if (tempo) *tempo = t->mTempo;
    return kNoErr;
}

OSStatus HostTransport::musicalTimeLocation(void* user, uint32_t* toNextBeat, float* numerator, uint32_t* denominator,
                                            double* downBeat) {
    auto* t = static_cast<HostTransport*>(user);
    double b = t->beat();
    double samplesPerBeat = t->mSampleRate * 60.0 / t->mTempo;
    if (toNextBeat) *toNextBeat = static_cast<uint32_t>((std::ceil(b) - b) * samplesPerBeat);
    if (numerator) *numerator = 4.0f;
    if (denominator) *denominator = 4;
    if (downBeat) *downBeat = std::floor(b / 4.0) * 4.0;
    return kNoErr;
}

OSStatus HostTransport::transportState(void* user, bool* playing, bool* changed, double* samplePos, bool* cycling,
                                       double* cycleStart, double* cycleEnd) {
    auto* t = static_cast<HostTransport*>(user);
    if (playing) *playing = t->mPlaying;
    if (changed) *changed = t->mChanged;
    if (samplePos) *samplePos = t->mSamplePos;
    if (cycling) *cycling = false;
    if (cycleStart) *cycleStart = 0.0;
    if (cycleEnd) *cycleEnd = 0.0;
    return kNoErr;
}

}  // namespace hvhost
