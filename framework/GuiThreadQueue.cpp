#include "framework/GuiThreadQueue.h"

#include "platform/appkit/RunLoop.h"

using platform::appkit::RunLoop;

GuiThreadQueue::GuiThreadQueue() : mShared(std::make_shared<Shared>()) {}

GuiThreadQueue::~GuiThreadQueue() { close(); }

void GuiThreadQueue::call(std::function<void()> work) {
    {
        std::lock_guard<std::mutex> g(mShared->listLock);
        if (!mShared->open) return;
        mShared->waiting.push_back(std::move(work));
    }
    if (RunLoop::isMainThread()) {
        runWaiting(*mShared);
        return;
    }
    // The loop may run this after the queue's owner has gone.
    RunLoop::main().post([weak = std::weak_ptr<Shared>(mShared)] {
        if (std::shared_ptr<Shared> s = weak.lock()) runWaiting(*s);
    });
}

void GuiThreadQueue::runWaiting(Shared& s) {
    std::lock_guard<std::recursive_mutex> running(s.running);
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> g(s.listLock);
            if (!s.open || s.waiting.empty()) return;
            work = std::move(s.waiting.front());
            s.waiting.pop_front();
        }
        work();
    }
}

void GuiThreadQueue::close() {
    std::lock_guard<std::recursive_mutex> running(mShared->running);
    std::lock_guard<std::mutex> g(mShared->listLock);
    mShared->open = false;
    mShared->waiting.clear();
}
