#include "platform/appkit/Application.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Menu.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "platform/appkit/X11Backend.h"

namespace platform::appkit {

namespace {

struct AppState {
    std::unique_ptr<Backend> backend;
    std::vector<Window*> windows;  // front to back; windows off screen last
    Window* key = nullptr;
    bool hidden = false;
    std::vector<Window*> hiddenByApp;
    std::vector<std::unique_ptr<Activity>> activities;
    Menu* mainMenu = nullptr;
    uint32_t presentation = 0;
};

AppState& state() {
    static auto* s = new AppState;
    return *s;
}

std::atomic<ApplicationDelegate*> g_delegate{nullptr};
std::atomic<bool> g_terminating{false};

bool listed(Window* w) {
    auto& all = state().windows;
    return std::find(all.begin(), all.end(), w) != all.end();
}

void unlist(Window* w) {
    auto& all = state().windows;
    all.erase(std::remove(all.begin(), all.end(), w), all.end());
}

}  // namespace

Backend& Application::backend() {
    auto& b = state().backend;
    if (!b) b = std::make_unique<HeadlessBackend>();
    return *b;
}

void Application::setBackend(std::unique_ptr<Backend> b) { state().backend = std::move(b); }

bool Application::useDisplayIfAvailable() {
    const char* d = std::getenv("DISPLAY");
    if (!d || !*d) return false;
    auto b = createX11Backend();
    if (!b) return false;
    setBackend(std::move(b));
    return true;
}

bool Application::isHeadless() { return dynamic_cast<HeadlessBackend*>(&backend()) != nullptr; }

std::vector<Window*> Application::windows() { return state().windows; }

std::vector<Window*> Application::orderedWindows() {
    std::vector<Window*> out;
    for (Window* w : state().windows)
        if (w->isVisible()) out.push_back(w);
    return out;
}

Window* Application::keyWindow() { return state().key; }

// Every window that can be key can be main here.
Window* Application::mainWindow() { return state().key; }

std::vector<Screen> Application::screens() { return backend().screens(); }

std::optional<Screen> Application::mainScreen() {
    auto all = screens();
    if (all.empty()) return std::nullopt;
    return all.front();
}

double Application::mainScreenHeight() {
    auto s = mainScreen();
    return s ? s->frame.height : 0.0;
}

Menu* Application::mainMenu() {
    Menu* m = state().mainMenu;
    return Menu::isLive(m) ? m : nullptr;
}

void Application::setMainMenu(Menu* m) {
    Menu*& cur = state().mainMenu;
    if (cur == m) return;
    if (m) m->retain();
    Menu* old = cur;
    cur = m;
    backend().setMenuBar(m);
    if (Menu::isLive(old)) old->release();
}

uint32_t Application::presentationOptions() { return state().presentation; }

void Application::setPresentationOptions(uint32_t options) { state().presentation = options; }

void Application::setDelegate(ApplicationDelegate* d) { g_delegate.store(d); }

ApplicationDelegate* Application::delegate() { return g_delegate.load(); }

void Application::terminate() {
    if (g_terminating.exchange(true)) return;
    if (ApplicationDelegate* d = delegate()) d->applicationWillTerminate();
    RunLoop::main().stop();
}

bool Application::isTerminating() { return g_terminating.load(); }

void Application::hide() {
    auto& s = state();
    if (s.hidden) return;
    s.hidden = true;
    s.hiddenByApp = orderedWindows();
    for (Window* w : s.hiddenByApp) w->orderOut();
}

void Application::unhide() {
    auto& s = state();
    if (!s.hidden) return;
    s.hidden = false;
    std::vector<Window*> again;
    again.swap(s.hiddenByApp);
    // Back to front, so the front one ends in front again.
    for (auto it = again.rbegin(); it != again.rend(); ++it)
        if (listed(*it)) (*it)->show();
}

bool Application::isHidden() { return state().hidden; }

bool Application::isActive() { return !state().hidden; }

void Application::addWindow(Window* w) { state().windows.push_back(w); }

void Application::removeWindow(Window* w) {
    auto& s = state();
    unlist(w);
    if (s.key == w) s.key = nullptr;
    s.hiddenByApp.erase(std::remove(s.hiddenByApp.begin(), s.hiddenByApp.end(), w), s.hiddenByApp.end());
}

void Application::orderWindowFront(Window* w) {
    auto& all = state().windows;
    unlist(w);
    // A child window stands directly in front of its parent; others in
    // front of the windows of their level or lower.
    Window* parent = w->parentWindow();
    auto at = parent && parent->isVisible() && listed(parent) ? std::find(all.begin(), all.end(), parent)
                                                              : std::find_if(all.begin(), all.end(), [&](Window* e) {
                                                                    return !e->isVisible() || e->level() <= w->level();
                                                                });
    at = all.insert(at, w);
    // Child windows stand directly in front of their parent.
    for (Window* c : w->childWindows()) {
        if (!c->isVisible()) continue;
        unlist(c);
        all.insert(std::find(all.begin(), all.end(), w), c);
    }
    backend().restack(orderedWindows());
}

void Application::orderWindowOut(Window* w) {
    unlist(w);
    state().windows.push_back(w);
}

void Application::setKeyWindow(Window* w) {
    auto& s = state();
    Window* old = s.key;
    if (old == w) return;
    s.key = w;
    if (old && listed(old) && old->delegate()) old->delegate()->windowDidResignKey(*old);
    if (w && w->delegate()) w->delegate()->windowDidBecomeKey(*w);
}

bool Application::dispatchNextEvent(int timeoutMs) { return backend().dispatchNextEvent(timeoutMs); }

Activity* Application::beginActivity(uint64_t options, const std::string& reason) {
    auto a = std::make_unique<Activity>();
    a->options = options;
    a->reason = reason;
    Activity* raw = a.get();
    state().activities.push_back(std::move(a));
    return raw;
}

void Application::endActivity(Activity* a) {
    auto& all = state().activities;
    all.erase(std::remove_if(all.begin(), all.end(), [&](const auto& p) { return p.get() == a; }), all.end());
}

int Application::activityCount() { return static_cast<int>(state().activities.size()); }

}  // namespace platform::appkit
