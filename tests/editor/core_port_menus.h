#pragma once
// The editor's panel in a headless window, its port menus clicked and
// answered as the user would.
#include "core_component.h"
#include "framework/IControl.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "support/TempDataDir.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace coretest {

class PortMenuPanel : public ::testing::Test {
protected:
    using Titles = std::vector<std::string>;

    void openPanel() {
        shownEditor = std::make_unique<ShownEditor>();
        ASSERT_TRUE(shownEditor->shown());
        editor = &shownEditor->editor;
        window = shownEditor->window.get();
        ASSERT_NE(editor->plug->statusTextControl, nullptr);
    }
    void closePanel() {
        shownEditor.reset();
        editor = nullptr;
        window = nullptr;
    }
    void TearDown() override { closePanel(); }

    // Clicks a port menu and answers it with the entry at `choice` (none
    // for -1); the titles it showed are kept in `shown`.
    const Titles& clickMenu(int paramIdx, int choice = -1) {
        shown.clear();
        IControl* menu = editor->plug->firstBoundControl(paramIdx);
        auto* headless = dynamic_cast<platform::appkit::HeadlessBackend*>(&platform::appkit::Application::backend());
        if (!menu || !headless) return shown;
        const IRECT& r = menu->GetRECTRef();
        const platform::appkit::Point at{(r.L + r.R) / 2, (r.T + r.B) / 2};
        headless->clearRecords();
        if (choice < 0)
            headless->queueMenuDismiss();
        else
            headless->queueMenuChoice({choice});
        window->sendEvent(platform::appkit::Event::mouse(platform::appkit::EventType::MouseDown, at));
        window->sendEvent(platform::appkit::Event::mouse(platform::appkit::EventType::MouseUp, at));
        if (headless->shownMenus().size() == 1) shown = headless->shownMenus()[0].titles;
        return shown;
    }
    // Chooses the port of that name; false when the menu did not list it.
    bool choosePort(int paramIdx, const std::string& name) {
        Titles listed = clickMenu(paramIdx);
        auto it = std::find(listed.begin(), listed.end(), name);
        if (it == listed.end()) return false;
        clickMenu(paramIdx, static_cast<int>(it - listed.begin()));
        shown = listed;
        editor->awaitPorts();
        return true;
    }
    std::string status() const { return editor->plug->statusTextControl->GetTextString(); }

    hvtest::TempDataDir dir;
    PanelBundle bundle{dir.path()};
    std::unique_ptr<ShownEditor> shownEditor;
    EditorInstance* editor = nullptr;
    platform::appkit::Window* window = nullptr;
    Titles shown;
};

}  // namespace coretest
