#pragma once
// A private X server (Xvfb) for the tests of one program, never the user's
// display. The server picks a free display itself (-displayfd), so two test
// programs started at once cannot race for the same number. It runs bare, or
// with a reparenting window manager (Openbox, on a private configuration and
// without a session) as a musician's desktop has one: the shared server has
// one when HV_TEST_WM is "openbox" (CTest's "-wm" entries set it).
//
//   auto& x = hvtest::XvfbServer::shared();      // started on first use
//   ASSERT_TRUE(x.ok());
//   hvtest::ScopedEnv on("DISPLAY", x.display());  // for this process and its children (support/ScopedEnv.h)
//
// Link hv_testsupport_x11 for these and for XProbe.
#include <string>
#include <sys/types.h>

typedef struct _XDisplay Display;

namespace hvtest {

class XvfbServer {
public:
    enum class WindowManager { Bare, Openbox };
    // The window manager HV_TEST_WM asks for.
    static WindowManager requested();

    // The server shared by every test of this program: started on first use
    // (1280 x 1024, 24 bits), stopped when the program exits. Call it first
    // from the main thread: the server also stops when the thread that
    // started it ends, so a crashed test leaves no server behind. A server
    // that will not start fails the calling test; check ok().
    static XvfbServer& shared();

    // Starts a server of its own, and the window manager once the server
    // answers; ready once the manager has taken the screen.
    XvfbServer(int width, int height, WindowManager wm = WindowManager::Bare);
    ~XvfbServer();  // stops both
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return pid_ > 0 && !display_.empty() && (wm_ == WindowManager::Bare || wmPid_ > 0); }
    WindowManager windowManager() const { return wm_; }
    // ":N", for XOpenDisplay or DISPLAY.
    const std::string& display() const { return display_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // What the server and the window manager printed, for a failure message.
    std::string log() const;
    // Returns once the window manager, if one runs, has handled everything
    // the server told it before: a window of a closed connection that it
    // unmanages late would otherwise be moved under the same id reused by
    // the next connection.
    static void settleWindowManager(Display* d);

private:
    void startWindowManager();
    void stop();

    int width_, height_;
    WindowManager wm_;
    pid_t pid_ = -1;
    pid_t wmPid_ = -1;
    std::string wmDir_;  // the manager's private configuration and cache
    std::string display_;
    std::string logPath_;
};

}  // namespace hvtest
