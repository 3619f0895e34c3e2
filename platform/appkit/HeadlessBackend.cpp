#include "platform/appkit/HeadlessBackend.h"

#include <chrono>
#include <thread>

#include "platform/appkit/Keyboard.h"
#include "platform/appkit/Window.h"

namespace platform::appkit {

namespace {
class HeadlessPeer : public WindowPeer {
public:
    void show() override {}
    void hide() override {}
    void present(const Rect&) override {}
};

template <class T>
T popFront(std::deque<T>& q, T empty) {
    if (q.empty()) return empty;
    T v = std::move(q.front());
    q.pop_front();
    return v;
}
}  // namespace

MenuChoice resolveMenuPath(const Menu& menu, const std::vector<int>& path) {
    const Menu* cur = &menu;
    for (size_t i = 0; i < path.size(); ++i) {
        int idx = path[i];
        if (idx < 0 || idx >= static_cast<int>(cur->items.size())) return {};
        const MenuItem& it = cur->items[idx];
        if (i + 1 == path.size()) return isChoosable(it) ? MenuChoice{cur, idx} : MenuChoice{};
        if (!(cur = openSubmenu(*cur, idx))) return {};
    }
    return {};
}

void HeadlessBackend::clearRecords() {
    shownMenus_.clear();
    textRequests_.clear();
    fileRequests_.clear();
    openedURLs_.clear();
    workspaceRecords_.clear();
    alerts_.clear();
    drags_.clear();
}

std::unique_ptr<WindowPeer> HeadlessBackend::createPeer(Window&) { return std::make_unique<HeadlessPeer>(); }

void HeadlessBackend::processEvents(int timeoutMs) {
    if (timeoutMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(timeoutMs));
}

MenuChoice HeadlessBackend::popUpMenu(Window* w, const Menu& menu, Point at) {
    ShownMenu shown;
    shown.at = at;
    for (const auto& it : menu.items) {
        shown.titles.push_back(it.separator ? std::string() : it.title);
        shown.checked.push_back(it.checked);
    }
    shownMenus_.push_back(std::move(shown));
    return resolveMenuPath(menu, popFront(menuAnswers_, std::vector<int>{}));
}

std::optional<std::string> HeadlessBackend::runTextEntry(Window* w, const TextEntryRequest& r) {
    textRequests_.push_back(r);
    auto answer = popFront(textAnswers_, std::optional<std::string>{});
    if (answer) *answer = limitText(*answer, r.maxLength, r.filter);
    return answer;
}

std::optional<FilePanelAnswer> HeadlessBackend::scriptedFilePanel(Window* w, const FilePanelRequest& r) {
    fileRequests_.push_back(r);
    if (!answersFilePanels_) return std::nullopt;
    return FilePanelAnswer{popFront(fileAnswers_, std::vector<std::string>{})};
}

bool HeadlessBackend::openURL(const std::string& url) {
    openedURLs_.push_back(url);
    return true;
}

bool HeadlessBackend::openFile(const std::string& path, const std::string& app) {
    workspaceRecords_.push_back({"open", path, app});
    return true;
}

void HeadlessBackend::openFileThen(const std::string& path, const std::string& app, int,
                                   std::function<void(bool)> opened) {
    opened(openFile(path, app));
}

bool HeadlessBackend::launchApplication(const std::string& app) {
    workspaceRecords_.push_back({"launch", app, std::string()});
    return true;
}

bool HeadlessBackend::dispatchNextEvent(int timeoutMs) {
    if (events_.empty()) {
        processEvents(timeoutMs);
        return false;
    }
    QueuedEvent q = events_.front();
    events_.pop_front();
    if (Responder::isLive(q.window)) q.window->sendEvent(q.event);
    return true;
}

int HeadlessBackend::runAlert(Window*, const AlertRequest& r) {
    alerts_.push_back(r);
    int answer = popFront(alertAnswers_, 0);
    return answer >= 0 && answer < static_cast<int>(r.buttons.size()) ? answer : 0;
}

const KeyboardLayout* HeadlessBackend::keyboardLayout() { return layoutAvailable_ ? &usKeyboardLayout() : nullptr; }

}  // namespace platform::appkit
