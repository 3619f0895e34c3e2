// The host's test panel in a real X11 window on a private Xvfb server: the
// panel is drawn, a click moves its switch, and a screenshot is taken.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <png.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

bool executable(const char* p) { return access(p, X_OK) == 0; }

pid_t spawn(const std::vector<std::string>& args, const std::string& out = "") {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, out.empty() ? "/dev/null" : out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    return rc == 0 ? pid : -1;
}

::Window findWindow(Display* d, ::Window w, const char* title) {
    char* name = nullptr;
    if (XFetchName(d, w, &name) && name) {
        bool match = std::string(name) == title;
        XFree(name);
        if (match) return w;
    }
    ::Window root, parent, *kids = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d, w, &root, &parent, &kids, &n)) return 0;
    ::Window found = 0;
    for (unsigned i = 0; i < n && !found; ++i) found = findWindow(d, kids[i], title);
    if (kids) XFree(kids);
    return found;
}

unsigned long pixelAt(Display* d, ::Window w, int x, int y) {
    XImage* img = XGetImage(d, w, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!img) return 0;
    unsigned long p = XGetPixel(img, 0, 0) & 0xFFFFFF;
    XDestroyImage(img);
    return p;
}

bool screenshot(Display* d, ::Window w, int width, int height, const std::string& path) {
    XImage* img = XGetImage(d, w, 0, 0, width, height, AllPlanes, ZPixmap);
    if (!img) return false;
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    bool ok = f && png && info && !setjmp(png_jmpbuf(png));
    if (ok) {
        png_init_io(png, f);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        std::vector<unsigned char> row(width * 3);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                unsigned long p = XGetPixel(img, x, y);
                row[x * 3] = (p >> 16) & 255;
                row[x * 3 + 1] = (p >> 8) & 255;
                row[x * 3 + 2] = p & 255;
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
    }
    png_destroy_write_struct(&png, &info);
    if (f) std::fclose(f);
    XDestroyImage(img);
    return ok;
}

void sendButton(Display* d, ::Window w, int type, int x, int y) {
    XEvent ev{};
    ev.xbutton.type = type;
    ev.xbutton.display = d;
    ev.xbutton.window = w;
    ev.xbutton.root = DefaultRootWindow(d);
    ev.xbutton.x = x;
    ev.xbutton.y = y;
    ev.xbutton.button = Button1;
    ev.xbutton.state = type == ButtonRelease ? Button1Mask : 0;
    ev.xbutton.same_screen = True;
    XSendEvent(d, w, True, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &ev);
    XFlush(d);
}

template <class F>
bool waitFor(F f, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (f()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return f();
}

}  // namespace

TEST(GuiXvfb, HostShowsTheTestPanelAndAClickMovesItsSwitch) {
#ifndef HV_HOST_EXE
    GTEST_SKIP() << "halvoran-host is not part of this build";
#else
    if (!executable("/usr/bin/Xvfb")) GTEST_SKIP() << "Xvfb is not installed (package xvfb)";
    // A private server on a display number of our own.
    std::string display;
    pid_t xvfb = -1;
    for (int n = 87; n < 120 && xvfb < 0; ++n) {
        if (access(("/tmp/.X11-unix/X" + std::to_string(n)).c_str(), F_OK) == 0) continue;
        display = ":" + std::to_string(n);
        xvfb = spawn({"/usr/bin/Xvfb", display, "-screen", "0", "640x480x24", "-nolisten", "tcp"});
    }
    ASSERT_GT(xvfb, 0);
    Display* d = nullptr;
    waitFor([&] { return (d = XOpenDisplay(display.c_str())) != nullptr; }, 8000);
    ASSERT_NE(d, nullptr) << "Xvfb did not start on " << display;

    setenv("DISPLAY", display.c_str(), 1);
    std::string out = testing::TempDir() + "halvoran-host-xvfb.txt";
    pid_t host = spawn({HV_HOST_EXE, "--test-panel", "--seconds", "8"}, out);
    unsetenv("DISPLAY");
    ASSERT_GT(host, 0);

    ::Window w = 0;
    waitFor([&] { return (w = findWindow(d, DefaultRootWindow(d), "Halvoran test panel")) != 0; }, 8000);
    ASSERT_NE(w, 0u) << "no panel window appeared";
    XWindowAttributes attrs{};
    waitFor([&] { return XGetWindowAttributes(d, w, &attrs) && attrs.map_state == IsViewable; }, 4000);
    EXPECT_EQ(attrs.width, 360);
    EXPECT_EQ(attrs.height, 160);
    // The switch (at 30,40, 60 x 40) shows its grey "off" frame.
    EXPECT_TRUE(waitFor([&] { return pixelAt(d, w, 60, 60) == 0x6E6E6E; }, 4000));
    std::string before = testing::TempDir() + "halvoran-xvfb-before.png";
    EXPECT_TRUE(screenshot(d, w, 360, 160, before));

    sendButton(d, w, ButtonPress, 60, 60);
    sendButton(d, w, ButtonRelease, 60, 60);
    // The next timer tick redraws it in its orange "on" frame.
    EXPECT_TRUE(waitFor([&] { return pixelAt(d, w, 60, 60) == 0xFF8C00; }, 4000));
    std::string after = testing::TempDir() + "halvoran-xvfb-after.png";
    EXPECT_TRUE(screenshot(d, w, 360, 160, after));
    std::printf("screenshots: %s %s\n", before.c_str(), after.c_str());

    kill(host, SIGTERM);
    int status = 0;
    waitpid(host, &status, 0);
    std::ifstream log(out);
    std::stringstream text;
    text << log.rdbuf();
    EXPECT_NE(text.str().find("param Switch = 1"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("Showing the panel in a window on " + display), std::string::npos) << text.str();

    XCloseDisplay(d);
    kill(xvfb, SIGTERM);
    waitpid(xvfb, &status, 0);
#endif
}
