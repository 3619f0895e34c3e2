#pragma once
// The program under test on the shared private Xvfb: DISPLAY points there,
// the AppKit stand-in's X11 backend is installed, and a probe (a second
// connection) drives input and reads back. Stopping puts the headless
// backend back, for the tests after it.
//
//   hvtest::AppOnXvfb x;           // in SetUp: ASSERT_TRUE(x.start());
//   x.pumpUntil([&] { ... });      // runs the main run loop while waiting
#include <functional>
#include <memory>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

namespace hvtest {

class AppOnXvfb {
public:
    bool start() {
        auto& server = XvfbServer::shared();
        if (!server.ok()) return false;
        env_ = std::make_unique<ScopedEnv>("DISPLAY", server.display());
        if (!platform::appkit::Application::useDisplayIfAvailable()) return false;
        probe_ = std::make_unique<XProbe>(server.display());
        return probe_->ok();
    }
    void stop() {
        platform::appkit::RunLoop::main().runOnce();
        platform::appkit::Application::setBackend(std::make_unique<platform::appkit::HeadlessBackend>());
        probe_.reset();
        env_.reset();
    }
    XProbe& probe() { return *probe_; }
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
        return waitUntil(
            [&] {
                platform::appkit::RunLoop::main().runOnce();
                return done();
            },
            timeoutMs);
    }

    // Shows the window and waits until it can be seen.
    bool show(platform::appkit::Window& w) {
        w.show();
        return pumpUntil([&] {
            XWindow x = probe_->findWindow(w.title());
            return x && probe_->viewable(x);
        });
    }

private:
    std::unique_ptr<ScopedEnv> env_;
    std::unique_ptr<XProbe> probe_;
};

}  // namespace hvtest
