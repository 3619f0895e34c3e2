// ctest-labels: x11
// The test panel plug-in in the host's real X11 window on a private Xvfb
// server: the panel is drawn, a click moves its switch, and a screenshot is
// taken.
#include <gtest/gtest.h>

#include "support/ScopedEnv.h"
#include "support/WaitUntil.h"
#include "support/x11/XProbe.h"
#include "support/x11/XvfbServer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

pid_t spawn(const std::vector<std::string>& args, const std::string& out) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

}  // namespace

TEST(GuiXvfb, HostShowsTheTestPanelAndAClickMovesItsSwitch) {
#ifndef HV_HOST_EXE
    GTEST_SKIP() << "halvoran-host is not part of this build";
#else
    auto& server = hvtest::XvfbServer::shared();
    ASSERT_TRUE(server.ok());
    hvtest::XProbe x(server.display());
    ASSERT_TRUE(x.ok());

    // Its own file: the bare and the window-manager runs may go at once.
    std::string out = testing::TempDir() + "halvoran-host-xvfb-" + std::to_string(getpid()) + ".txt";
    pid_t host = -1;
    {
        hvtest::ScopedEnv on("DISPLAY", server.display());
        host = spawn({HV_HOST_EXE, "--plugin", HV_TESTPANEL_PATH, "--view", "--seconds", "8"}, out);
    }
    ASSERT_GT(host, 0);

    XWindow w = 0;
    ASSERT_TRUE(hvtest::waitUntil([&] { return (w = x.findWindow("Halvoran")) != 0; }, 8000))
        << "no panel window appeared";
    ASSERT_TRUE(hvtest::waitUntil([&] { return x.viewable(w); }, 4000));
    auto g = x.geometry(w);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->width, 360);
    EXPECT_EQ(g->height, 160);
    // The switch (at 30,40, 60 x 40) shows its grey "off" frame.
    EXPECT_TRUE(hvtest::waitUntil([&] { return x.pixel(w, 60, 60) == 0x6E6E6E; }, 4000));
    std::string before = testing::TempDir() + "halvoran-xvfb-before.png";
    EXPECT_TRUE(hvtest::XProbe::savePng(x.capture(w), before));

    x.clickAt(w, 60, 60);
    // The next timer tick redraws it in its orange "on" frame.
    EXPECT_TRUE(hvtest::waitUntil([&] { return x.pixel(w, 60, 60) == 0xFF8C00; }, 4000));
    std::string after = testing::TempDir() + "halvoran-xvfb-after.png";
    EXPECT_TRUE(hvtest::XProbe::savePng(x.capture(w), after));
    std::printf("screenshots: %s %s\n", before.c_str(), after.c_str());

    kill(host, SIGTERM);
    int status = 0;
    waitpid(host, &status, 0);
    std::ifstream log(out);
    std::stringstream text;
    text << log.rdbuf();
    unlink(out.c_str());
    EXPECT_NE(text.str().find("param Switch = 1"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("Showing the panel in a window on " + server.display()), std::string::npos) << text.str();
#endif
}
