#include "host/HostSession.h"

#include <pthread.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <vector>

using namespace platform::au;

namespace hvhost {

namespace {

std::string statusText(const char* what, OSStatus s) {
    return std::string(what) + " failed (" + std::to_string(s) + ")";
}

}  // namespace

bool saveProject(Instance& instance, const std::string& path, std::string* error) {
    platform::cf::PropertyDict state;
    OSStatus s = instance.getState(&state);
    if (s != kNoErr) {
        if (error) *error = statusText("reading the plug-in's state", s);
        return false;
    }
    return platform::cf::writePropertyListFile(path, state, error);
}

bool loadProject(Instance& instance, const std::string& path, std::string* error) {
    platform::cf::PropertyDict state;
    std::string why;
    if (!platform::cf::readPropertyListFile(path, &state, &why)) {
        if (error) *error = path + ": " + why;
        return false;
    }
    OSStatus s = instance.setState(state);
    if (s != kNoErr) {
        if (error) *error = statusText(("restoring " + path).c_str(), s);
        return false;
    }
    return true;
}

HostSession::HostSession(HostOptions options) : mOptions(std::move(options)) {}

HostSession::~HostSession() {
    stopRendering();
    if (mInstance) mInstance->close();
}

bool HostSession::start(std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    std::string why;
    mComponent = Component::load(mOptions.plugin, &why);
    if (!mComponent) return fail("cannot load the plug-in: " + why);
    mInstance = std::make_unique<Instance>(mComponent->entry());
    if (OSStatus s = mInstance->open(); s != kNoErr) return fail(statusText("opening the plug-in", s));

    mTransport = std::make_unique<HostTransport>(mOptions.sampleRate, mOptions.tempo, mOptions.playing);
    HostCallbackInfo callbacks = mTransport->callbacks();
    uint32_t frames = static_cast<uint32_t>(mOptions.blockSize);
    if (OSStatus s = mInstance->set(kPropSampleRate, mOptions.sampleRate); s != kNoErr)
        return fail(statusText("setting the sample rate", s));
    if (OSStatus s = mInstance->set(kPropMaxFramesPerSlice, frames); s != kNoErr)
        return fail(statusText("setting the block size", s));
    if (OSStatus s = mInstance->set(kPropHostCallbacks, callbacks); s != kNoErr)
        return fail(statusText("handing over the host callbacks", s));
    if (OSStatus s = mInstance->initialize(); s != kNoErr) return fail(statusText("initialising the plug-in", s));

    if (!mOptions.loadProject.empty() && !loadProject(*mInstance, mOptions.loadProject, &why)) return fail(why);
    for (auto [id, value] : mOptions.setParams)
        if (OSStatus s = mInstance->setParameter(id, value); s != kNoErr)
            return fail(statusText(("setting parameter " + std::to_string(id)).c_str(), s));

    mRenderThread = std::thread([this] { renderLoop(); });
    return true;
}

void HostSession::renderLoop() {
    // Named as a digital audio workstation names its audio thread.
    pthread_setname_np(pthread_self(), "host render");
    const int n = mOptions.blockSize;
    std::vector<float> in0(n), in1(n), out0(n), out1(n);
    float* ins[2] = {in0.data(), in1.data()};
    float* outs[2] = {out0.data(), out1.data()};
    size_t nextEvent = 0;
    const double limit = mOptions.seconds >= 0 ? mOptions.seconds * mOptions.sampleRate : -1.0;
    auto startTime = std::chrono::steady_clock::now();
    while (!mStop) {
        double now = static_cast<double>(mRendered.load()) / mOptions.sampleRate;
        for (; nextEvent < mOptions.events.size() && mOptions.events[nextEvent].at <= now; ++nextEvent) {
            const TimedEvent& ev = mOptions.events[nextEvent];
            if (ev.kind == TimedEvent::kTempo)
                mTransport->setTempo(ev.tempo);
            else
                mTransport->setPlaying(ev.kind == TimedEvent::kPlay);
        }
        if (limit >= 0 && static_cast<double>(mRendered.load()) >= limit) break;
        OSStatus s = mInstance->render(static_cast<uint32_t>(n), 2, ins, 2, outs);
        if (s != kNoErr && mRenderErrors.fetch_add(1) == 0)
            fprintf(stderr, "halvoran-host: render failed (%d)\n", static_cast<int>(s));
        mTransport->advance(n);
        mRendered += static_cast<uint64_t>(n);
        if (mOptions.realTime)
            std::this_thread::sleep_until(
                startTime + std::chrono::duration<double>(static_cast<double>(mRendered.load()) / mOptions.sampleRate));
    }
    mFinished = true;
}

void HostSession::stopRendering() {
    mStop = true;
    if (mRenderThread.joinable()) mRenderThread.join();
}

bool HostSession::finish(std::string* error) {
    stopRendering();
    bool ok = true;
    if (mInstance && mInstance->isOpen() && !mOptions.saveProject.empty())
        ok = saveProject(*mInstance, mOptions.saveProject, error);
    if (mInstance) mInstance->close();
    return ok;
}

std::string HostSession::valueNames(int32_t id, const ParameterInfo& info) {
    // Each whole value of the range with the text the plug-in shows for it,
    // so that a port or a list entry can be chosen by its name.
    constexpr float kMostValues = 1024;
    std::ostringstream out;
    if (!(info.maxValue >= info.minValue) || info.maxValue - info.minValue >= kMostValues) return "";
    for (int v = static_cast<int>(std::ceil(info.minValue)); v <= static_cast<int>(info.maxValue); ++v) {
        ParameterStringFromValue text{};
        text.paramID = id;
        text.value = static_cast<float>(v);
        if (mInstance->get(kPropParameterStringFromValue, &text) == kNoErr)
            out << '\t' << v << '\t' << text.text << '\n';
    }
    return out.str();
}

std::string HostSession::describeParams(bool withInfo) {
    std::ostringstream out;
    if (!mInstance || !mInstance->isOpen()) return "";
    uint32_t size = 0;
    bool writable = false;
    if (mInstance->getPropertyInfo(kPropParameterList, kScopeGlobal, 0, &size, &writable) != kNoErr) return "";
    std::vector<int32_t> ids(size / sizeof(int32_t));
    if (!ids.empty() && mInstance->getProperty(kPropParameterList, kScopeGlobal, 0, ids.data(), &size) != kNoErr)
        return "";
    for (int32_t id : ids) {
        ParameterInfo info{};
        float value = 0;
        mInstance->get(kPropParameterInfo, &info, static_cast<uint32_t>(id));
        mInstance->getParameter(id, &value);
        out << id << '\t' << info.name << '\t' << value;
        if (withInfo) {
            out << "\tmin " << info.minValue << "\tmax " << info.maxValue << "\tdefault " << info.defaultValue
                << "\tgroup " << info.group;
            if (info.flags & kParamFlagIsGlobalMeta) out << "\tmeta";
        }
        out << '\n';
        if (withInfo && (info.flags & kParamFlagValuesHaveStrings)) out << valueNames(id, info);
    }
    return out.str();
}

}  // namespace hvhost
