// ctest-labels: tsan x11
// Typing into the X11 backend's text entry under a UTF-8 locale, as a
// person types on a second connection: letters outside Latin-1, an accent
// from a dead key, and Backspace over a two-byte letter all come out as
// whole UTF-8 characters.
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ak = platform::appkit;

TEST(X11Typing, TheTextEntryTakesAnyLetterWhole) {
    std::setlocale(LC_CTYPE, "C");
    hvtest::ScopedEnv locale("LC_ALL", "C.UTF-8");
    hvtest::AppOnXvfb app;
    ASSERT_TRUE(app.start());
    auto window = std::make_unique<ak::Window>(ak::Size{200, 100}, "x11 typing");
    window->show();
    ASSERT_TRUE(app.pumpUntil([&] {
        XWindow x = app.probe().findWindow("x11 typing");
        return x && app.probe().viewable(x);
    }));

    std::string display = hvtest::XvfbServer::shared().display();
    std::thread person([display] {
        hvtest::XProbe p(display);
        ASSERT_TRUE(hvtest::waitUntil([&] { return !p.popups().empty(); }));
        for (XKeySym k : {XK_Cyrillic_DE, XK_EuroSign, XK_dead_diaeresis, XK_a, XK_Cyrillic_ZHE, XK_BackSpace})
            ASSERT_TRUE(p.key(k));
        p.key(XK_Return);
    });
    ak::TextEntryRequest r;
    r.frame = {10, 10, 150, 20};
    r.initialText = "x";
    std::optional<std::string> typed = ak::Application::backend().runTextEntry(window.get(), r);
    person.join();
    EXPECT_EQ(typed, std::optional<std::string>("xД€ä"));
    window.reset();
    app.stop();
    std::setlocale(LC_CTYPE, "C");
}
