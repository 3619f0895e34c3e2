#pragma once
// One run of halvoran-host: the plug-in loaded through its component entry,
// opened, set to the sample rate and block size, initialised, restored from
// a project, rendered on a thread of its own with the host's tempo and
// transport, saved, and closed.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "host/HostOptions.h"
#include "host/HostTransport.h"
#include "platform/audiounit/AUHost.h"

namespace hvhost {

class HostSession {
public:
    explicit HostSession(HostOptions options);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads, opens, configures, initialises and restores the plug-in, sets
    // the parameters the command line names, and starts rendering.
    bool start(std::string* error);
    // True once the run has rendered the seconds it was asked for.
    bool finished() const { return mFinished; }
    // Ends the render thread.
    void stopRendering();
    // Stops rendering, saves the project when asked, and closes the plug-in.
    bool finish(std::string* error);

    platform::au::Component* component() { return mComponent.get(); }
    platform::au::Instance* instance() { return mInstance.get(); }
    HostTransport& transport() { return *mTransport; }
    const HostOptions& options() const { return mOptions; }
    uint64_t renderedFrames() const { return mRendered; }

    // "ID<TAB>NAME<TAB>VALUE" per parameter; with info, also range, flags,
    // and below a parameter whose values have texts, "<TAB>VALUE<TAB>TEXT"
    // for each whole value of its range.
    std::string describeParams(bool withInfo);

private:
    std::string valueNames(int32_t id, const platform::au::ParameterInfo& info);
    void renderLoop();

    HostOptions mOptions;
    std::unique_ptr<platform::au::Component> mComponent;
    std::unique_ptr<platform::au::Instance> mInstance;
    std::unique_ptr<HostTransport> mTransport;
    std::thread mRenderThread;
    std::atomic<bool> mStop{false};
    std::atomic<bool> mFinished{false};
    std::atomic<uint64_t> mRendered{0};
    std::atomic<int> mRenderErrors{0};
};

// The project file: the plug-in's saved-state dictionary as a property list.
bool saveProject(platform::au::Instance& instance, const std::string& path, std::string* error);
bool loadProject(platform::au::Instance& instance, const std::string& path, std::string* error);

}  // namespace hvhost
