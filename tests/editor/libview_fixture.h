#pragma once
// The librarian page on a headless panel: the editor object with its MIDI
// manager and a librarian scanned from bank files written for the test, the
// two-pane view on a plain background, the page's layers, the bank name
// displays, the bank choosers and the main menu as the editor builds them,
// all in a headless window that takes mouse and key events and scripted menu
// answers.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <string>
#include <utility>
#include <vector>

#include "core_fixture.h"
#include "framework/ControlLayer.h"
#include "framework/IControl.h"
#include "framework/IGraphicsMac.h"
#include "librarian_testbanks.h"
#include "platform/appkit/Event.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "platform/appkit/Window.h"
#include "raster/RAST_Bitmap.h"
#include "src/Halvoran.h"
#include "src/IPopupMenuControlEditMenus.h"
#include "src/IPopupMenuControlPatchLower.h"
#include "src/IPopupMenuControlPatchUpper.h"
#include "src/IPopupMenuControlSearchFiles.h"
#include "src/LibrarianViewControl.h"
#include "src/MIDIMessageManager.h"
#include "src/PanelLayers.h"
#include "src/PatchLibrarian.h"
#include "src/UIConfigManager.h"
#include "support/JackServer.h"
#include "support/TempDataDir.h"

namespace libviewtest {

using platform::appkit::Event;
using platform::appkit::Key;
using platform::appkit::MouseButton;
using EV = platform::appkit::EventType;

// A program dump whose name is `name` (at most 12 characters).
inline libtest::Bytes namedDump(const std::string& name, int channel = 0) {
    libtest::ProgramData d{};
    for (int k = 0; k < 12 && k < static_cast<int>(name.size()); ++k) d[k] = name[k];
    return libtest::programDump(d, channel);
}

// A raw bank file of `count` programs named prefix + slot number.
inline std::string bankBytes(const std::string& prefix, int count = 128) {
    std::string out;
    for (int i = 0; i < count; ++i) {
        char number[16];
        std::snprintf(number, sizeof number, "%03d", i);
        const libtest::Bytes dump = namedDump(prefix + number);
        out.append(dump.begin(), dump.end());
    }
    return out;
}

// A bank file below "Patches" and the prefix of its program names.
struct BankFile {
    std::string path;
    std::string prefix;
};

// The panel's colour under the view, and the highlight of a selected slot.
constexpr uint32_t kGround = 0x141414;
constexpr uint32_t kHighlight = 0xE1E1E1;

class LibrarianPage {
public:
    static constexpr int kViewX = 100, kViewY = 62;

    explicit LibrarianPage(std::vector<BankFile> files = {{"Alpha.syx", "Alpha "}, {"Beta.syx", "Beta "}},
                           double scale = 1.0)
        : scale(scale) {
        hvtest::JackServer::shared();
        // Transfers started here wait a fiftieth of their pauses.
        MIDIMessageSender::pacingDivisor = 50;
        for (const BankFile& f : files) data.write("Patches/" + f.path, bankBytes(f.prefix));
        backend = new platform::appkit::HeadlessBackend;
        platform::appkit::Application::setBackend(std::unique_ptr<platform::appkit::Backend>(backend));

        plug = std::make_unique<coretest::RecordingPlug>();
        Halvoran* p = plug.get();
        p->initParameterDefaults();
        p->GetParam(kMainTab)->Set(PanelLayers::kTabLibrarian);
        p->uiConfigManager = new UIConfigManager();
        p->uiConfigManager->plug = p;
        p->patchLibrarian = new PatchLibrarian(p);
        librarian = p->patchLibrarian;
        librarian->selectedBankUpper = 0;
        librarian->selectedBankLower = 0;
        librarian->loadPatchesFromFilesystem(p->getPatchesFolderStr());

        const int w = static_cast<int>(1200 * scale), h = static_cast<int>(720 * scale);
        graphics = new IGraphicsMac(p, w, h, 25, scale);
        p->AttachGraphics(graphics);
        p->graphics = graphics;
        p->midiManager = new MIDIMessageManager(p, nullptr, librarian, graphics);

        // The page, its save and rename layers, and the About window.
        page = layer(10, "librarianPage", nullptr);
        save = layer(30, PanelLayers::kSaveChanges, page);
        rename = layer(31, PanelLayers::kPatchRename, page);
        about = layer(23, PanelLayers::kAboutWindow, nullptr);
        p->ResetPatchSelectionMenus();
        upperDisplay = display(kPatchSelectionListUpper, 414, 39, 415, 16);
        lowerDisplay = display(kPatchSelectionListLower, 414, 342, 415, 18);
        p->upperBankListControl = upperDisplay;
        p->lowerBankListControl = lowerDisplay;
        saveButton = new IControl(p, IRECT(130, 662, 210, 682));
        save->AddControl(saveButton);

        // The bank names each pane starts with, as the editor takes them.
        p->upperBankName = p->GetParam(kPatchSelectionListUpper)->GetDisplayText(0);
        p->lowerBankName = p->GetParam(kPatchSelectionListLower)->GetDisplayText(0);
        if (!librarian->bankFiles.empty())
            p->upperBankFolder = p->lowerBankFolder = librarian->bankFiles[0]->folderName;

        ground = std::make_unique<RAST_MemBitmap>(static_cast<int>(1048 * scale), static_cast<int>(564 * scale), 4);
        for (int y = 0; y < ground->getHeight(); ++y)
            for (int x = 0; x < ground->getWidth(); ++x)
                ground->getBits()[y * ground->getRowSpan() + x] = IColor(255, 0x14, 0x14, 0x14).ToWord();
        IBitmap bitmap(ground.get(), ground->getWidth(), ground->getHeight(), 1);
        const int x = static_cast<int>(kViewX * scale), y = static_cast<int>(kViewY * scale);
        view = new LibrarianViewControl(p, x, y, kLibrarianArea, &bitmap, IRECT(x, y, x + bitmap.W, y + bitmap.H),
                                        librarian, scale);
        page->AddControl(view);
        p->librarianView = view;
        graphics->AttachLayer(page);
        graphics->AttachLayer(about);
        page->Hide(false);
        rename->Hide(true);
        p->buildLibrarianMenus();
        for (const char* shown :
             {PanelLayers::kLeftPatchPopupMenu, PanelLayers::kRightPatchPopupMenu, PanelLayers::kBankEditMenu})
            p->hideLayer(shown, false);
        p->librarianPageShown(false);

        window = std::make_unique<platform::appkit::Window>(platform::appkit::Size{w, h}, "librarian");
        graphics->OpenWindow(window->contentView());
        window->display();
        tick();
        backend->clearRecords();
    }

    ~LibrarianPage() {
        graphics->CloseWindow();
        window.reset();
        // Any transfer a test started ends with the manager; what it would
        // still ask the instrument no test reads.
        if (plug && plug->midiManager) plug->midiManager->cancelTransfer();
        plug.reset();
        MIDIMessageSender::pacingDivisor = 1;
    }

    Halvoran* editor() const { return plug.get(); }
    MIDIMessageSender* sender() const { return plug->midiManager->sender; }
    uint32_t jobCode() const { return sender()->jobCode.load(); }
    // Waits (up to a minute) until no transfer job runs, then lets the panel
    // take what the job asked of it.
    bool transfersDone() const {
        const bool ended = plug->midiManager->waitForEnd(MIDIMessageManager::kTransferThread, 60000);
        platform::appkit::RunLoop::main().runOnce();
        return ended;
    }

    // The program changes sent since the last call, once the transfer they
    // started has ended.
    std::vector<coretest::Msg> programChanges() {
        EXPECT_TRUE(transfersDone());
        std::vector<coretest::Msg> out;
        for (const coretest::Msg& m : plug->takeSent())
            if ((m[0] & 0xF0) == 0xC0) out.push_back(m);
        return out;
    }

    // ---- Events, in panel coordinates
    void press(int x, int y, MouseButton b = MouseButton::Left, int clicks = 1) {
        window->sendEvent(Event::mouse(EV::MouseDown, {x, y}, b, clicks));
    }
    void release(int x, int y, MouseButton b = MouseButton::Left) {
        window->sendEvent(Event::mouse(EV::MouseUp, {x, y}, b));
    }
    void click(int x, int y) {
        press(x, y);
        release(x, y);
    }
    void rightClick(int x, int y) {
        press(x, y, MouseButton::Right);
        release(x, y, MouseButton::Right);
    }
    void doubleClick(int x, int y) {
        click(x, y);
        press(x, y, MouseButton::Left, 2);
        release(x, y);
    }
    void drag(int x, int y) { window->sendEvent(Event::mouse(EV::MouseDragged, {x, y})); }
    void key(int x, int y, Key k) { window->sendEvent(Event::keyDown({x, y}, k)); }
    void tick() { graphics->OnTimer(); }
    uint32_t pixel(int x, int y) const { return window->pixelAt(x, y); }

    // ---- Slots
    const IRECT& rect(int pane, int slot) const { return view->slotRect(pane, slot); }
    // A point well inside a slot.
    std::pair<int, int> at(int pane, int slot) const {
        const IRECT& r = rect(pane, slot);
        return {r.L + r.W() / 2, r.T + r.H() / 2};
    }
    void clickSlot(int pane, int slot) {
        auto [x, y] = at(pane, slot);
        click(x, y);
    }
    // Drags lower slot `from` onto upper slot `to` and lets go there.
    void dropLowerOnUpper(int from, int to) {
        auto [lx, ly] = at(LibrarianViewControl::kLowerPane, from);
        press(lx, ly);
        drag(lx + 2, ly);
        auto [ux, uy] = at(LibrarianViewControl::kUpperPane, to);
        drag(ux, uy);
        release(ux, uy);
    }
    std::string text(int pane, int slot) const { return view->slot(pane, slot)->GetTextString(); }
    // Pixels of a slot's area that are not the panel's colour.
    int inked(int pane, int slot, uint32_t colour = kGround) const {
        const IRECT& r = rect(pane, slot);
        int n = 0;
        for (int y = r.T; y < r.B; ++y)
            for (int x = r.L; x < r.R; ++x) n += pixel(x, y) != colour;
        return n;
    }

    // ---- Banks
    int bankIndex(const std::string& folder, const std::string& name) const {
        for (size_t i = 0; i < librarian->bankFiles.size(); ++i)
            if (librarian->bankFiles[i]->folderName == folder && librarian->bankFiles[i]->fileName == name)
                return static_cast<int>(i);
        return -1;
    }
    PatchFile* bank(int index) const { return librarian->bankFiles.at(index); }

    // The top-level titles of the last menu shown.
    std::vector<std::string> lastMenu() const {
        return backend->shownMenus().empty() ? std::vector<std::string>{} : backend->shownMenus().back().titles;
    }

    hvtest::TempDataDir data;
    const double scale;
    platform::appkit::HeadlessBackend* backend = nullptr;
    std::unique_ptr<coretest::RecordingPlug> plug;
    PatchLibrarian* librarian = nullptr;
    IGraphicsMac* graphics = nullptr;
    ControlLayer *page = nullptr, *save = nullptr, *rename = nullptr, *about = nullptr;
    ICaptionControl *upperDisplay = nullptr, *lowerDisplay = nullptr;
    IControl* saveButton = nullptr;
    LibrarianViewControl* view = nullptr;
    std::unique_ptr<RAST_MemBitmap> ground;
    std::unique_ptr<platform::appkit::Window> window;

private:
    ControlLayer* layer(int id, const char* name, ControlLayer* parent) {
        auto* l = new ControlLayer(id, name);
        if (parent) parent->AddSubLayer(l);
        plug->uiConfigManager->layers[name] = l;
        return l;
    }
    ICaptionControl* display(int paramIdx, int x, int y, int w, int h) {
        IText style(13, &COLOR_WHITE);
        auto* c = new ICaptionControl(plug.get(), IRECT(x, y, x + w, y + h), paramIdx, &style, false);
        page->AddControl(c);
        plug->uiConfigManager->bindControl(paramIdx, ControlAction::kNone, c);
        return c;
    }
};

}  // namespace libviewtest
