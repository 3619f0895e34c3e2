// ctest-labels: tsan x11
// Typing into the X11 backend's text entry under a UTF-8 locale, as a
// person types on a second connection: letters outside Latin-1, an accent
// from a dead key, and Backspace over a two-byte letter all come out as
// whole UTF-8 characters; and the entry edits as the toolkit's fields do,
// through the clipboard other programs share.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Window.h"
#include "support/RunProgram.h"
#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace ak = platform::appkit;

TEST(X11Typing, TheTextEntryTakesAnyLetterWholeAndEditsAsTheToolkitsFieldsDo) {
    std::setlocale(LC_CTYPE, "C");
    hvtest::ScopedEnv locale("LC_ALL", "C.UTF-8");
    hvtest::AppOnXvfb app;
    ASSERT_TRUE(app.start());
    auto window = std::make_unique<ak::Window>(ak::Size{200, 100}, "x11 typing");
    ASSERT_TRUE(app.show(*window));
    using Keys = std::vector<std::pair<XKeySym, unsigned>>;
    auto keys = [](Keys ks) {
        return [ks](hvtest::XProbe& p, XWindow) {
            for (auto [k, mods] : ks) ASSERT_TRUE(p.key(k, mods));
        };
    };
    struct Case {
        const char* what;
        std::string initial;
        std::function<void(hvtest::XProbe&, XWindow entry)> edit;
        std::string want;
    } cases[] = {
        {"any letter comes whole", "x",
         keys({{XK_Cyrillic_DE, 0},
               {XK_EuroSign, 0},
               {XK_dead_diaeresis, 0},
               {XK_a, 0},
               {XK_Cyrillic_ZHE, 0},
               {XK_BackSpace, 0}}),
         "x\xD0\x94\xE2\x82\xAC\xC3\xA4"},
        {"Ctrl+A, then typing replaces", "Acid", keys({{XK_a, ControlMask}, {XK_B, 0}, {XK_a, 0}, {XK_s, 0}}), "Bas"},
        {"Shift and the arrows select", "abcdef",
         keys({{XK_Left, 0}, {XK_Left, ShiftMask}, {XK_Left, ShiftMask}, {XK_X, 0}}), "abcXf"},
        {"Home, End, Delete and Backspace", "hello",
         keys({{XK_Home, 0},
               {XK_Delete, 0},
               {XK_End, 0},
               {XK_BackSpace, 0},
               {XK_Home, 0},
               {XK_End, ShiftMask},
               {XK_Right, 0},
               {XK_exclam, 0}}),
         "ell!"},
        {"a dead key composes", "caf", keys({{XK_dead_acute, 0}, {XK_e, 0}}), "caf\xC3\xA9"},
        {"a double click selects a word", "one two",
         [](hvtest::XProbe& p, XWindow entry) {
             p.clickAt(entry, 8, 10);
             p.click();
             p.key(XK_1);
         },
         "1 two"},
        {"a paste takes another program's clipboard", "ab",
         [](hvtest::XProbe& p, XWindow) {
             hvtest::runProgram("printf 'pasted\\n' | xclip -selection clipboard -i >/dev/null 2>&1");
             ASSERT_TRUE(hvtest::waitUntil(
                 [] { return hvtest::runProgram("xclip -o -selection clipboard").out == "pasted\n"; }));
             p.key(XK_Left);
             p.key(XK_v, ControlMask);
         },
         "apastedb"},
        // Last: the text cut stays on the clipboard for other programs.
        {"a cut pasted back twice", "one two",
         keys({{XK_a, ControlMask}, {XK_x, ControlMask}, {XK_v, ControlMask}, {XK_v, ControlMask}}), "one twoone two"},
    };
    std::string display = hvtest::XvfbServer::shared().display();
    for (const Case& c : cases) {
        std::thread person([&] {
            hvtest::XProbe p(display);
            ASSERT_TRUE(hvtest::waitUntil([&] { return !p.popups().empty(); }));
            c.edit(p, p.popups().back());
            p.key(XK_Return);
        });
        ak::TextEntryRequest r;
        r.frame = {10, 10, 150, 20};
        r.initialText = c.initial;
        std::optional<std::string> typed = ak::Application::backend().runTextEntry(window.get(), r);
        person.join();
        EXPECT_EQ(typed, std::optional<std::string>(c.want)) << c.what;
    }
    EXPECT_EQ(hvtest::runProgram("xclip -o -selection clipboard").out, "one two");
    window.reset();
    app.stop();
    std::setlocale(LC_CTYPE, "C");
}
