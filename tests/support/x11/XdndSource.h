#pragma once
// Another X client dragging files onto a window, as a file manager does over
// XDND: it offers text/uri-list, moves over a point of the target, drops,
// and answers the target's request for the list. The program under test
// runs in `pump` between the steps; nothing waits a fixed time.
#include <functional>
#include <string>
#include <vector>

#include "support/x11/XProbe.h"

namespace hvtest {

struct XdndOutcome {
    bool statusSeen = false;  // the target answered the position
    bool accepted = false;    // and would take the drop
    bool finished = false;    // the target ended the drop
    bool dropTaken = false;   // and took it
    std::string listSent;     // the text/uri-list the target asked for
};

// Drags the files to (x, y) of window `target` (the top-level window that
// announces XdndAware) and drops them there.
XdndOutcome dragFilesOnto(XProbe& probe, XWindow target, int x, int y, const std::vector<std::string>& paths,
                          const std::function<void()>& pump, int timeoutMs = 5000);

}  // namespace hvtest
