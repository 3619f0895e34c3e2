// Work for the panel from any thread, done on the GUI thread (the process's
// main loop): at once when the caller is that thread, else posted to it. The
// panel's layers and controls are hit-tested and drawn there, so a change
// made there is never seen half done. Calls keep their order, whichever
// thread made them; what has not run when the queue closes never runs.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

class GuiThreadQueue {
public:
    GuiThreadQueue();
    ~GuiThreadQueue();
    GuiThreadQueue(const GuiThreadQueue&) = delete;
    GuiThreadQueue& operator=(const GuiThreadQueue&) = delete;

    void call(std::function<void()> work);
    // Drops what waits and refuses what comes; waits for a call running on
    // the GUI thread when closed from another.
    void close();

private:
    struct Shared {
        std::recursive_mutex running;  // held while calls run, and to close
        std::mutex listLock;
        bool open = true;
        std::deque<std::function<void()>> waiting;
    };
    static void runWaiting(Shared& s);
    std::shared_ptr<Shared> mShared;
};
