// ctest-labels: tsan x11
// The standard dialogs on a real X server (a private Xvfb), used by a person
// on a second connection: the save panel takes a typed name and Return and
// gives folder plus name; the open panel gives the two files picked with
// Control-clicks; a three-button message box answers a click on its third
// button. Under a UTF-8 locale the save panel takes any letter typed and
// refuses a name of blanks, and Escape answers a message box that has a
// Cancel button. Panels opened and closed again and again leave no input
// context behind and no failed X request. A screenshot of the save panel
// is written as a test artefact.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "platform/appkit/Application.h"
#include "platform/appkit/X11Errors.h"
#include "shim/shim-miscdlg.h"
#include "support/ScopedEnv.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"
#include "support/x11/AppOnXvfb.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

// After the toolkit's headers: Xlib's macros would hide names in them.
#include "platform/appkit/X11Input.h"
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// The panel's rows: the list starts 42 pixels down, 22 a row.
constexpr int kListTop = 43, kRowPitch = 22;

class StandardDialogsX11 : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.start());
        for (const char* f : {"alpha.hvx", "beta.hvx", "gamma.hvx", "notes.txt"}) dir_.write(f, "x");
    }
    void TearDown() override { app_.stop(); }

    // A person at a window titled `title`: waits for it and its focus, then acts.
    static std::thread Person(const std::string& title, std::function<void(hvtest::XProbe&, XWindow)> act) {
        std::string display = hvtest::XvfbServer::shared().display();
        return std::thread([display, title, act] {
            hvtest::XProbe person(display);
            XWindow w = 0;
            ASSERT_TRUE(hvtest::waitUntil([&] { return (w = person.findWindow(title)) && person.viewable(w); }));
            ASSERT_TRUE(hvtest::waitUntil([&] {
                ::Window focus = 0;
                int revert = 0;
                XGetInputFocus(person.display(), &focus, &revert);
                return focus == w;
            }));
            act(person, w);
        });
    }

    hvtest::AppOnXvfb app_;
    hvtest::TempDataDir dir_;
};

// The same with the user's locale UTF-8, which the toolkit takes its
// character type from when it starts.
class StandardDialogsX11Utf8 : public StandardDialogsX11 {
protected:
    void SetUp() override {
        std::setlocale(LC_CTYPE, "C");
        StandardDialogsX11::SetUp();
    }
    void TearDown() override {
        StandardDialogsX11::TearDown();
        std::setlocale(LC_CTYPE, "C");
    }
    hvtest::ScopedEnv locale_{"LC_ALL", "C.UTF-8"};
};

}  // namespace

TEST_F(StandardDialogsX11, TheSavePanelTakesATypedNameAndReturn) {
    std::string shot = testing::TempDir() + "save-panel.png";
    std::thread person = Person("Save Bank", [shot](hvtest::XProbe& p, XWindow w) {
        // The list shows the bank files, drawn in dark text on white.
        ASSERT_TRUE(hvtest::waitUntil([&] {
            auto img = p.capture(w, 20, kListTop, 200, kRowPitch * 3);
            int dark = 0;
            for (uint32_t px : img.pixels) dark += (px & 0xFF) < 0x60;
            return dark > 30;
        }));
        EXPECT_TRUE(hvtest::XProbe::savePng(p.capture(w), shot));
        p.type("My Bank");
        p.key(XK_Return);
    });
    char out[512] = {};
    EXPECT_TRUE(BrowseForSaveFile("Save Bank", dir_.path().c_str(), "", "Banks\0*.hvx\0\0", out, sizeof out));
    person.join();
    EXPECT_EQ(std::string(out), dir_.path().string() + "/My Bank.hvx");
    std::printf("screenshot: %s\n", shot.c_str());
}

TEST_F(StandardDialogsX11, TheOpenPanelGivesTwoFilesPickedWithControlClicks) {
    std::thread person = Person("Open Banks", [](hvtest::XProbe& p, XWindow w) {
        // alpha.hvx, beta.hvx, gamma.hvx: the first and the third.
        p.clickAt(w, 60, kListTop + 0 * kRowPitch + 10);
        p.keyDown(XK_Control_L);
        p.clickAt(w, 60, kListTop + 2 * kRowPitch + 10);
        p.keyUp(XK_Control_L);
        p.key(XK_Return);
    });
    char* block = BrowseForFiles("Open Banks", dir_.path().c_str(), "", true, "Banks\0*.hvx\0\0");
    person.join();
    ASSERT_TRUE(block);
    std::string first = block + 1;
    std::string second = block + 1 + first.size() + 1;
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(first, dir_.path().string() + "/alpha.hvx");
    EXPECT_EQ(second, dir_.path().string() + "/gamma.hvx");
    EXPECT_EQ(block[1 + first.size() + 1 + second.size() + 1], 0);
    std::free(block);
}

// Under a window manager the focus may come to a panel already gone; its
// input context goes with it all the same, and X is never asked about it.
TEST_F(StandardDialogsX11, PanelsOpenedAgainAndAgainLeaveNothingBehind) {
    namespace ak = platform::appkit;
    const unsigned long failed = ak::x11FailedRequestCount();
    const size_t contexts = ak::X11InputMethod::contextCount();
    for (int round = 0; round < 4; ++round) {
        SCOPED_TRACE(round);
        std::thread person = Person("Save Bank", [](hvtest::XProbe& p, XWindow) {
            p.type("B");
            p.key(XK_Return);
        });
        char out[512] = {};
        EXPECT_TRUE(BrowseForSaveFile("Save Bank", dir_.path().c_str(), "", "Banks\0*.hvx\0\0", out, sizeof out));
        person.join();
        person = Person("Open Banks", [](hvtest::XProbe& p, XWindow w) {
            p.clickAt(w, 60, kListTop + 10);
            p.key(XK_Return);
        });
        std::free(BrowseForFiles("Open Banks", dir_.path().c_str(), "", false, "Banks\0*.hvx\0\0"));
        person.join();
        // What the last round left waiting has been handled by this one's.
        if (round > 0) {
            EXPECT_EQ(ak::X11InputMethod::contextCount(), contexts);
        }
    }
    EXPECT_EQ(ak::x11FailedRequestCount(), failed);
}

TEST_F(StandardDialogsX11, AThreeButtonMessageBoxAnswersItsThirdButton) {
    std::thread person = Person("Unsaved changes", [](hvtest::XProbe& p, XWindow w) {
        auto g = p.geometry(w);
        ASSERT_TRUE(g);
        // The buttons stand from the right, the first rightmost: the third
        // is the leftmost of them.
        int left = -1;
        ASSERT_TRUE(hvtest::waitUntil([&] {
            auto img = p.capture(w, 0, g->height - 40, g->width, 24);
            for (int x = 0; x < img.width && left < 0; ++x)
                if (img.at(x, 12) == 0xFAFAFA) left = x;
            return left >= 0;
        }));
        p.clickAt(w, left + 20, g->height - 28);
    });
    EXPECT_EQ(MessageBox(nullptr, "Save the bank first?", "Unsaved changes", MB_YESNOCANCEL), IDNO);
    person.join();
}

TEST_F(StandardDialogsX11Utf8, TheSavePanelTakesAnyLetterAndRefusesBlanks) {
    std::thread person = Person("Save Bank", [](hvtest::XProbe& p, XWindow) {
        for (XKeySym k : {XK_Cyrillic_BE, XK_Cyrillic_a, XK_Cyrillic_en, XK_Cyrillic_ka, XK_space, XK_EuroSign,
                          XK_space, XK_dead_acute, XK_e})
            ASSERT_TRUE(p.key(k));
        p.key(XK_Return);
    });
    char out[512] = {};
    EXPECT_TRUE(BrowseForSaveFile("Save Bank", dir_.path().c_str(), "", "Banks\0*.hvx\0\0", out, sizeof out));
    person.join();
    EXPECT_EQ(std::string(out), dir_.path().string() + "/Банк € é.hvx");

    // Blanks alone save nothing: the panel stays until Escape.
    person = Person("Save Blank", [](hvtest::XProbe& p, XWindow) {
        p.key(XK_space);
        p.key(XK_Return);
        p.key(XK_Escape);
    });
    out[0] = 0;
    EXPECT_FALSE(BrowseForSaveFile("Save Blank", dir_.path().c_str(), "", "Banks\0*.hvx\0\0", out, sizeof out));
    person.join();
    EXPECT_EQ(out[0], 0);
}

TEST_F(StandardDialogsX11Utf8, EscapeAnswersAMessageBoxThatHasACancelButton) {
    struct Case {
        int type;
        int result;
    } cases[] = {
        {MB_OKCANCEL, IDCANCEL},
        {MB_YESNOCANCEL, IDCANCEL},
        {MB_RETRYCANCEL, IDCANCEL},
        {MB_OK, IDOK},
        // No Cancel: Escape does nothing, Return then takes the default.
        {MB_YESNO, IDYES},
    };
    for (const Case& c : cases) {
        const std::string title = "Question " + std::to_string(c.type);
        std::thread person = Person(title, [](hvtest::XProbe& p, XWindow) {
            p.key(XK_Escape);
            p.key(XK_Return);
        });
        EXPECT_EQ(MessageBox(nullptr, "Replace the bank?", title.c_str(), c.type), c.result) << c.type;
        person.join();
    }
}
