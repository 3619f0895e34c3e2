#include "platform/appkit/Modal.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

struct ModalSession {
    Window* window = nullptr;
    Window* previousKey = nullptr;  // given the key status back at the end
    std::atomic<int> code{kModalResponseContinue};
};

namespace {

// The modal runs, innermost last. Guarded for abortModal from other threads.
std::mutex& lock() {
    static std::mutex m;
    return m;
}

std::vector<ModalSession*>& runs() {
    static std::vector<ModalSession*> r;
    return r;
}

std::function<void(Window*)>& hook() {
    static std::function<void(Window*)> h;
    return h;
}

void endInnermost(int code) {
    std::lock_guard<std::mutex> hold(lock());
    if (runs().empty()) return;
    int running = kModalResponseContinue;
    runs().back()->code.compare_exchange_strong(running, code);
    RunLoop::main().wake();
}

}  // namespace

void stopModal() { endInnermost(kModalResponseStop); }
void stopModalWithCode(int code) { endInnermost(code); }
void abortModal() { endInnermost(kModalResponseAbort); }

ModalSession* beginModalSession(Window* w) {
    auto* s = new ModalSession;
    s->window = w;
    s->previousKey = Application::keyWindow();
    {
        std::lock_guard<std::mutex> hold(lock());
        runs().push_back(s);
    }
    if (w) {
        // It belongs to the window the user was working in, unless it says
        // otherwise; it takes the keyboard for the run.
        if (!w->ownerWindow() && s->previousKey != w) w->setOwnerWindow(s->previousKey);
        w->setModal(true);
        w->makeKeyAndOrderFront();
    }
    return s;
}

int runModalSession(ModalSession* s) {
    if (!s) return kModalResponseAbort;
    // A program asked to quit ends its runs as if they were cancelled.
    int running = kModalResponseContinue;
    if (RunLoop::quitRequested()) s->code.compare_exchange_strong(running, kModalResponseAbort);
    if (s->code == kModalResponseContinue) RunLoop::main().runOnce();
    return s->code;
}

void endModalSession(ModalSession* s) {
    if (!s) return;
    {
        std::lock_guard<std::mutex> hold(lock());
        auto& r = runs();
        r.erase(std::remove(r.begin(), r.end(), s), r.end());
    }
    if (Responder::isLive(s->window)) s->window->setModal(false);
    Window* back = s->previousKey;
    Window* outer = modalWindow();
    if (back != s->window && Responder::isLive(back) && back->isVisible() && (!outer || outer == back))
        back->makeKeyWindow();
    delete s;
}

int runModalForWindow(Window* w) {
    // Not from a timer or posted work while a menu or the like is open: that
    // loop holds the pointer and the keyboard.
    if (RunLoop::main().inTrackingWork()) return kModalResponseAbort;
    ModalSession* s = beginModalSession(w);
    while (s->code == kModalResponseContinue) {
        if (auto h = hook()) h(w);
        if (runModalSession(s) != kModalResponseContinue) break;
        // Asleep until there is work; a test's hook wants its passes.
        RunLoop::main().waitForWork(hook() ? 10 : -1);
    }
    int code = s->code;
    endModalSession(s);
    return code;
}

Window* modalWindow() {
    std::lock_guard<std::mutex> hold(lock());
    return runs().empty() ? nullptr : runs().back()->window;
}

void setModalIterationHook(std::function<void(Window*)> h) { hook() = std::move(h); }

}  // namespace platform::appkit
