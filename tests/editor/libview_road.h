#pragma once
// The librarian as a musician meets it the first time: the real editor, as a
// host shows it, on a fresh data folder, with the simulated instrument on
// JACK; every step taken through the page's menus and buttons.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core_component.h"
#include "framework/ControlLayer.h"
#include "framework/IGraphicsMac.h"
#include "panel_model.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "src/LibrarianViewControl.h"
#include "src/MIDIMessageManager.h"
#include "src/MIDIMessageSender.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"
#include "src/PatchLibrarianDump.h"
#include "support/ScopedEnv.h"
#include "support/SimInstrument.h"
#include "support/TempDataDir.h"
#include "support/WaitUntil.h"

#if defined(HV_BUNDLE_DIR)

namespace libroad {

namespace fs = std::filesystem;
using platform::appkit::Event;
using platform::appkit::MouseButton;
using EV = platform::appkit::EventType;
using Bytes = hvtest::SimInstrument::Bytes;
constexpr int kUpper = LibrarianViewControl::kUpperPane;
constexpr int kLower = LibrarianViewControl::kLowerPane;

// The headless desktop, whose file manager is the real one when asked: the
// xdg-open that PATH finds, or none.
class Desktop : public platform::appkit::HeadlessBackend {
public:
    bool realFileManager = false;
    bool openFile(const std::string& path, const std::string& app) override {
        return realFileManager ? Backend::openFile(path, app) : HeadlessBackend::openFile(path, app);
    }
    void openFileThen(const std::string& path, const std::string& app, int patienceMs,
                      std::function<void(bool)> opened) override {
        if (realFileManager)
            Backend::openFileThen(path, app, patienceMs, std::move(opened));
        else
            HeadlessBackend::openFileThen(path, app, patienceMs, std::move(opened));
    }
};

inline std::string readFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Every file below the folder with its bytes.
inline std::map<std::string, std::string> filesBelow(const fs::path& root) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) out[fs::relative(e.path(), root).string()] = readFile(e.path());
    return out;
}

class LibrarianRoad : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(hvtest::JackServer::shared().running());
        MIDIMessageSender::pacingDivisor = 50;
        sim = std::make_unique<hvtest::SimInstrument>(0, "hvroad");
        desktop = new Desktop;
        platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(desktop));
        editor = std::make_unique<coretest::EditorInstance>();
        ASSERT_NE(editor->plug, nullptr);
        plug = editor->plug;
        window = std::make_unique<platform::appkit::Window>(
            platform::appkit::Size{plug->GetGUI()->Width(), plug->GetGUI()->Height()}, "editor");
        int w = 0, h = 0;
        ASSERT_NE(plug->OpenView(window->contentView(), &w, &h), nullptr);
        window->display();
        // A first start: the welcome window, then the ports, as it asks.
        clickOn(kFirstRunExit);
        ASSERT_FALSE(shown(PanelLayers::kFirstRun));
        editor->setParameter(kDeviceInSelection, editor->portIndex(kDeviceInSelection, sim->outPort()));
        editor->setParameter(kDeviceOutSelection, editor->portIndex(kDeviceOutSelection, sim->inPort()));
        ASSERT_TRUE(sim->waitConnected());
        ASSERT_TRUE(plug->midiOutReady);
    }
    void TearDown() override {
        if (editor) plug->CloseView(nullptr);
        editor.reset();
        window.reset();
        sim.reset();
        MIDIMessageSender::pacingDivisor = 1;
    }

    void click(int x, int y, MouseButton b = MouseButton::Left) {
        window->sendEvent(Event::mouse(EV::MouseDown, {x, y}, b));
        window->sendEvent(Event::mouse(EV::MouseUp, {x, y}, b));
    }
    void clickOn(int paramIdx) {
        IControl* c = plug->firstBoundControl(paramIdx);
        ASSERT_NE(c, nullptr) << paramIdx;
        click(c->GetRECTRef().MW(), c->GetRECTRef().MH());
    }
    void clickSlot(int pane, int slot, MouseButton b = MouseButton::Left) {
        const IRECT& r = plug->librarianView->slotRect(pane, slot);
        click(r.MW(), r.MH(), b);
    }
    // The page's MENU, with the item at path chosen.
    void menu(std::vector<int> path) {
        desktop->queueMenuChoice(std::move(path));
        click(900, 49);
    }
    // Waits for the transfer to end and lets the panel take what it asked.
    bool transferDone() {
        const bool ended = plug->midiManager->waitForEnd(MIDIMessageManager::kTransferThread, 60000);
        platform::appkit::RunLoop::main().runOnce();
        return ended;
    }
    bool shown(const char* layer) {
        ControlLayer* l = plug->getLayer(layer);
        return l && l->IsVisible();
    }
    std::string status() const { return plug->statusTextControl->GetTextString(); }
    // The value shown beside the status, on its row.
    std::string valueShown() const { return plug->valueTextControl->GetTextString(); }
    std::string slotName(int pane, int slot) const { return plug->librarianView->slot(pane, slot)->GetTextString(); }
    // Whether the bank is edited: the save row open in place of the edit
    // bank's chooser, kBankEditUnsaved 1.
    bool edited() {
        const bool row = shown(PanelLayers::kDiscardChangesRight);
        EXPECT_NE(row, shown(PanelLayers::kLeftPatchPopupMenu));
        EXPECT_EQ(row, plug->GetParam(kBankEditUnsaved)->Value() != 0.0);
        return row;
    }
    // A program as the instrument sends it.
    Bytes sent(int program) const {
        Bytes d = sim->program(program);
        d[2] = 0x30;
        return d;
    }
    std::string upperBankShown() const {
        IParam* p = plug->GetParam(kPatchSelectionListUpper);
        return p->GetDisplayText(p->Int());
    }

    hvtest::TempDataDir data;
    hvpanel::BuiltBundle bundle;
    std::unique_ptr<hvtest::SimInstrument> sim;
    Desktop* desktop = nullptr;
    std::unique_ptr<coretest::EditorInstance> editor;
    std::unique_ptr<platform::appkit::Window> window;
    Halvoran* plug = nullptr;
};

}  // namespace libroad

#endif
