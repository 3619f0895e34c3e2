// ctest-labels: tsan x11
// While a pop-up menu or the text entry is open, the main run loop's timers
// and the work other threads post to it keep running; what runs there may
// not open another modal loop, and a menu whose window goes away closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Modal.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

#include <X11/keysym.h>

namespace ak = platform::appkit;

TEST(X11Tracking, TimersAndPostedWorkRunWhileAMenuOrTheTextEntryIsOpen) {
    hvtest::AppOnXvfb app;
    ASSERT_TRUE(app.start());
    auto window = std::make_unique<ak::Window>(ak::Size{200, 100}, "x11 tracking");
    ASSERT_TRUE(app.show(*window));
    ak::Backend& backend = ak::Application::backend();
    ak::Menu menu;
    menu.items.push_back({"One"});
    menu.items.push_back({"Two"});

    std::atomic<int> ticks{0}, posted{0};
    // What a timer got when it asked for modal loops of its own.
    bool refused = true;
    ak::RepeatingTimer timer(5, [&] {
        ++ticks;
        refused = refused && !backend.popUpMenu(window.get(), menu, {0, 0}) &&
                  !backend.runTextEntry(window.get(), ak::TextEntryRequest{}) &&
                  ak::runModalForWindow(window.get()) == ak::kModalResponseAbort;
    });
    std::atomic<bool> posting{true};
    double longestWaitMs = 0;  // of the posted work, on the main thread
    std::thread poster([&] {
        while (posting) {
            ak::RunLoop::main().post([&, sent = std::chrono::steady_clock::now()] {
                ++posted;
                longestWaitMs = std::max(
                    longestWaitMs,
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent).count());
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });

    struct Case {
        const char* what;
        std::function<bool()> open;  // true when it ended with nothing chosen
        std::function<void()> close;
    } cases[] = {
        {"menu",
         [&] {
             return !backend.popUpMenu(window.get(), menu, {10, 10});
         },
         [&] { hvtest::XProbe(hvtest::XvfbServer::shared().display()).key(XK_Escape); }},
        {"text entry",
         [&] {
             return !backend.runTextEntry(window.get(), ak::TextEntryRequest{{10, 10, 150, 20}, "", 0});
         },
         [&] { hvtest::XProbe(hvtest::XvfbServer::shared().display()).key(XK_Escape); }},
        {"menu whose window closes",
         [&] {
             return !backend.popUpMenu(window.get(), menu, {10, 10});
         },
         [&] { ak::RunLoop::main().post([&] { window.reset(); }); }},
    };
    for (const Case& c : cases) {
        std::atomic<bool> followed{false};
        std::thread person([&] {
            hvtest::XProbe p(hvtest::XvfbServer::shared().display());
            if (!hvtest::waitUntil([&] { return !p.popups().empty(); }, 20000)) return;
            const int t0 = ticks, p0 = posted;
            followed =
                hvtest::waitUntil([&] { return ticks >= t0 + 3 && posted >= p0 + 3 && !p.popups().empty(); }, 20000);
            c.close();
        });
        EXPECT_TRUE(c.open()) << c.what;
        person.join();
        EXPECT_TRUE(followed) << c.what;
    }
    timer.invalidate();
    std::printf("posted work waited at most %.1f ms\n", longestWaitMs);
    EXPECT_TRUE(refused);
    EXPECT_EQ(window, nullptr);
    posting = false;
    poster.join();
    app.stop();
}
