#pragma once
// The host's musical time as a plug-in asks for it during a render call:
// tempo, beat position and transport. The render thread advances it; the
// plug-in's callbacks read it on that same thread.
#include <atomic>
#include <cstdint>

#include "platform/audiounit/AudioUnit.h"

namespace hvhost {

class HostTransport {
public:
    HostTransport(double sampleRate, double tempo, bool playing);

    // The callbacks to hand the plug-in; they read this object.
    platform::au::HostCallbackInfo callbacks();

    void setPlaying(bool playing);
    void setTempo(double bpm);
    // After a render call of nFrames: the timeline moves while playing, and
    // a start or stop is reported as changed only once.
    void advance(int nFrames);

    bool playing() const { return mPlaying; }
    double tempo() const { return mTempo; }
    double samplePosition() const { return mSamplePos; }
    double beat() const;

private:
    static platform::au::OSStatus beatAndTempo(void* user, double* beat, double* tempo);
    static platform::au::OSStatus musicalTimeLocation(void* user, uint32_t* toNextBeat, float* numerator,
                                                      uint32_t* denominator, double* downBeat);
    static platform::au::OSStatus transportState(void* user, bool* playing, bool* changed, double* samplePos,
                                                 bool* cycling, double* cycleStart, double* cycleEnd);

    double mSampleRate;
    std::atomic<double> mTempo;
    std::atomic<bool> mPlaying;
    std::atomic<bool> mChanged{false};
    std::atomic<double> mSamplePos{0.0};
};

}  // namespace hvhost
