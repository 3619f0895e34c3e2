#pragma once
// Another client's window taking files dropped on it over XDND, as a file
// manager does: it accepts every position, asks for the text/uri-list on a
// drop, or, for promised files (Direct Save), names a folder for them and
// asks the source to write them there. Or it keeps silent: it answers
// nothing, or nothing after the positions. It runs on the caller's thread,
// in serveUntil, between the steps of a test.
#include <functional>
#include <string>
#include <vector>

#include "support/x11/XProbe.h"

namespace hvtest {

class XdndTarget {
public:
    // A mapped window at root (x, y) on the display; saveFolder is where
    // promised files go.
    // AsksWhenTold takes the drop but asks for the data only in ask().
    enum class Manner { Answers, Silent, SilentOnDrop, AsksWhenTold };
    XdndTarget(const std::string& display, int x, int y, int width, int height, std::string saveFolder = "",
               Manner manner = Manner::Answers);
    ~XdndTarget();
    XdndTarget(const XdndTarget&) = delete;
    XdndTarget& operator=(const XdndTarget&) = delete;

    bool ok() const { return dpy_ != nullptr; }
    XWindow window() const { return win_; }
    // Handles what arrives until done() holds or the time is up.
    bool serveUntil(const std::function<bool()>& done, int timeoutMs = 30000);
    // Asks the drag's source for its data, as on a drop.
    void ask();

    int positions = 0;               // positions that came
    bool dropSeen = false;           // a drop came
    std::string last;                // the name of the last XDND message that came
    bool dropped = false;            // data came in answer and was finished
    std::vector<std::string> files;  // the uri-list's lines, as sent
    std::string saveAnswer;          // the source's answer to a Direct Save ("S" done)

private:
    void handle(const void* event);
    Display* dpy_ = nullptr;
    XWindow win_ = 0;
    XWindow source_ = 0;
    std::string saveFolder_;
    Manner manner_;
};

}  // namespace hvtest
