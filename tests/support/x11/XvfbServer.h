#pragma once
// A private X server (Xvfb) for the tests of one program, never the user's
// display. The server picks a free display itself (-displayfd), so two test
// programs started at once cannot race for the same number.
//
//   auto& x = hvtest::XvfbServer::shared();      // started on first use
//   ASSERT_TRUE(x.ok());
//   hvtest::ScopedEnv on("DISPLAY", x.display());  // for this process and its children (support/ScopedEnv.h)
//
// Link hv_testsupport_x11 for these and for XProbe.
#include <string>
#include <sys/types.h>

namespace hvtest {

class XvfbServer {
public:
    // The server shared by every test of this program: started on first use
    // (1280 x 1024, 24 bits), stopped when the program exits. Call it first
    // from the main thread: the server also stops when the thread that
    // started it ends, so a crashed test leaves no server behind. A server
    // that will not start fails the calling test; check ok().
    static XvfbServer& shared();

    XvfbServer(int width, int height);  // starts a server of its own
    ~XvfbServer();                      // and stops it
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool ok() const { return pid_ > 0 && !display_.empty(); }
    // ":N", for XOpenDisplay or DISPLAY.
    const std::string& display() const { return display_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // What the server printed, for a failure message.
    std::string log() const;

private:
    void stop();

    int width_, height_;
    pid_t pid_ = -1;
    std::string display_;
    std::string logPath_;
};

}  // namespace hvtest
