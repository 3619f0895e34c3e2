#pragma once
// The backend for tests: windows exist only as backing stores, and every modal
// panel takes its answer from a queue the test fills beforehand. An empty
// queue means the user dismissed the menu or cancelled the panel.

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/appkit/Backend.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/Cursor.h"

namespace platform::appkit {

class HeadlessBackend : public Backend {
public:
    // A menu answer is a path of item indices: {1, 2} chooses item 2 of the
    // submenu that item 1 opens. An empty path dismisses the menu.
    void queueMenuChoice(std::vector<int> path) { menuAnswers_.push_back(std::move(path)); }
    void queueMenuDismiss() { menuAnswers_.push_back({}); }
    void queueTextEntry(std::optional<std::string> text) { textAnswers_.push_back(std::move(text)); }
    // A file panel's answer: a path, or nothing to cancel; several paths
    // for a panel that takes more than one.
    void queueFileChoice(std::optional<std::string> path) {
        fileAnswers_.push_back(path ? std::vector<std::string>{*path} : std::vector<std::string>{});
    }
    void queueFileChoices(std::vector<std::string> paths) { fileAnswers_.push_back(std::move(paths)); }
    // Off, file panels run as windows (tests then drive them through the
    // modal iteration hook).
    void setAnswersFilePanels(bool on) { answersFilePanels_ = on; }
    // An alert answer is a button index; an empty queue takes the default.
    void queueAlertChoice(int button) { alertAnswers_.push_back(button); }
    // Off, the session offers no keyboard layout translation.
    void setKeyboardLayoutAvailable(bool on) { layoutAvailable_ = on; }
    HeadlessCursorSystem& pointer() { return cursors_; }

    // What was shown, for tests to check.
    struct ShownMenu {
        Point at;
        std::vector<std::string> titles;  // top level, separators as ""
        std::vector<bool> checked;
    };
    const std::vector<ShownMenu>& shownMenus() const { return shownMenus_; }
    const std::vector<TextEntryRequest>& textRequests() const { return textRequests_; }
    const std::vector<FilePanelRequest>& fileRequests() const { return fileRequests_; }
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    // Documents opened and programs started through the workspace.
    struct WorkspaceRecord {
        std::string kind;  // "open" or "launch"
        std::string target;
        std::string app;  // the program chosen for a document ("" for the desktop's)
        friend bool operator==(const WorkspaceRecord&, const WorkspaceRecord&) = default;
    };
    const std::vector<WorkspaceRecord>& workspaceRecords() const { return workspaceRecords_; }
    const std::vector<AlertRequest>& alerts() const { return alerts_; }
    // Drags started; a test drops them where it likes.
    const std::vector<DragSourceRequest>& drags() const { return drags_; }
    void clearRecords();

    // The screens tests see; one 1920 x 1080 screen unless they set others.
    void setScreens(std::vector<Screen> screens) { screens_ = std::move(screens); }
    std::vector<Screen> screens() override { return screens_; }

    // Events the run loop delivers one at a time through dispatchNextEvent.
    void queueEvent(Window* w, const Event& e) { events_.push_back({w, e}); }
    size_t queuedEvents() const { return events_.size(); }
    bool dispatchNextEvent(int timeoutMs) override;

    const char* name() const override { return "headless"; }
    std::unique_ptr<WindowPeer> createPeer(Window& w) override;
    void processEvents(int timeoutMs) override;
    MenuChoice popUpMenu(Window* w, const Menu& menu, Point at) override;
    std::optional<std::string> runTextEntry(Window* w, const TextEntryRequest& r) override;
    std::optional<FilePanelAnswer> scriptedFilePanel(Window* w, const FilePanelRequest& r) override;
    bool openURL(const std::string& url) override;
    bool openFile(const std::string& path, const std::string& app) override;
    void openFileThen(const std::string& path, const std::string& app, int patienceMs,
                      std::function<void(bool)> opened) override;
    bool launchApplication(const std::string& app) override;
    int runAlert(Window* w, const AlertRequest& r) override;
    CursorSystem& cursors() override { return cursors_; }
    const KeyboardLayout* keyboardLayout() override;
    bool beginDrag(const DragSourceRequest& r) override {
        drags_.push_back(r);
        return true;
    }

private:
    struct QueuedEvent {
        Window* window;
        Event event;
    };
    std::deque<QueuedEvent> events_;
    std::vector<Screen> screens_{{{0, 0, 1920, 1080}, {0, 0, 1920, 1080}}};
    std::vector<WorkspaceRecord> workspaceRecords_;
    std::deque<std::vector<int>> menuAnswers_;
    std::deque<std::optional<std::string>> textAnswers_;
    std::deque<std::vector<std::string>> fileAnswers_;
    std::vector<ShownMenu> shownMenus_;
    std::vector<TextEntryRequest> textRequests_;
    std::vector<FilePanelRequest> fileRequests_;
    std::vector<std::string> openedURLs_;
    std::deque<int> alertAnswers_;
    std::vector<AlertRequest> alerts_;
    std::vector<DragSourceRequest> drags_;
    HeadlessCursorSystem cursors_;
    bool layoutAvailable_ = true;
    bool answersFilePanels_ = true;
};

// Follows a path of item indices through a menu and its submenus.
MenuChoice resolveMenuPath(const Menu& menu, const std::vector<int>& path);

}  // namespace platform::appkit
