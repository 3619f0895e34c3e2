// The open and save panels: what a folder lists, where a panel starts and
// which path a typed name gives, and the panels run as windows (headless,
// driven from the modal run) picking, opening folders, filtering, choosing
// several files and asking before a file is replaced.
#include <gtest/gtest.h>

#include <functional>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Modal.h"
#include "platform/controls/FilePanel.h"
#include "support/TempDataDir.h"

using namespace platform::appkit;
using namespace platform::controls;

namespace {

HeadlessBackend& Headless() {
    auto* hb = new HeadlessBackend;
    Application::setBackend(std::unique_ptr<Backend>(hb));
    return *hb;
}

// Runs a panel as a window; `act` plays the user on the first pass.
int RunAsWindow(SavePanel& panel, const std::string& dir, const std::string& file, std::function<void()> act) {
    bool done = false;
    setModalIterationHook([&](Window*) {
        if (done) return;
        done = true;
        act();
    });
    int r = panel.runModal(dir, file);
    setModalIterationHook(nullptr);
    return r;
}

class FilePanels : public ::testing::Test {
protected:
    void SetUp() override {
        hb_ = &Headless();
        for (const char* f : {"b.hvx", "A.HVX", "c.syx", "notes.txt", ".hidden.hvx", "Sub/x.hvx", "alpha/y.mid"})
            dir_.write(f, "x");
    }
    void TearDown() override { Application::setBackend(std::make_unique<HeadlessBackend>()); }
    std::string root() const { return dir_.path().string(); }

    HeadlessBackend* hb_ = nullptr;
    hvtest::TempDataDir dir_;
};

}  // namespace

TEST_F(FilePanels, FoldersListFoldersFirstWithoutHiddenEntriesAndByExtension) {
    struct Case {
        std::vector<std::string> exts;
        bool files;
        std::vector<std::string> names;
    } cases[] = {
        {{}, true, {"alpha", "Sub", "A.HVX", "b.hvx", "c.syx", "notes.txt"}},
        {{"hvx"}, true, {"alpha", "Sub", "A.HVX", "b.hvx"}},
        {{"syx", "mid"}, true, {"alpha", "Sub", "c.syx"}},
        {{"hvx"}, false, {"alpha", "Sub"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> names;
        for (const auto& e : listFolder(root(), c.exts, c.files)) names.push_back(e.name);
        EXPECT_EQ(names, c.names);
    }
    EXPECT_TRUE(listFolder(root() + "/none", {}, true).empty());
}

TEST_F(FilePanels, StartingPlacesAndSavePaths) {
    struct Split {
        const char* file;
        const char* folder;
        const char* dir;
        const char* name;
    } splits[] = {
        {"/home/u/bank.hvx", "/ignored", "/home/u", "bank.hvx"},
        {"/bank.hvx", "", "/", "bank.hvx"},
        {"bank.hvx", "/data", "/data", "bank.hvx"},
        {"bank.hvx", "", "", "bank.hvx"},
        {"", "/data", "/data", ""},
        {"/home/u/", "", "/home/u", ""},
    };
    for (const auto& s : splits) {
        std::string dir, name;
        splitInitialPath(s.file, s.folder, dir, name);
        EXPECT_EQ(dir, s.dir) << s.file;
        EXPECT_EQ(name, s.name) << s.file;
    }
    struct Save {
        const char* folder;
        const char* name;
        std::vector<std::string> exts;
        const char* path;
    } saves[] = {
        {"/d", "My Bank", {"hvx"}, "/d/My Bank.hvx"},
        {"/d/", "My Bank.HVX", {"hvx"}, "/d/My Bank.HVX"},
        {"/d", "x.syx", {"mid", "syx"}, "/d/x.syx"},
        {"/d", "x.txt", {"mid"}, "/d/x.txt.mid"},
        {"/d", "x", {}, "/d/x"},
    };
    for (const auto& s : saves) EXPECT_EQ(savePathFor(s.folder, s.name, s.exts), s.path) << s.name;
}

TEST_F(FilePanels, AScriptedAnswerStandsForTheWindow) {
    SavePanel save;
    save.setAllowedFileTypes({"hvx"});
    hb_->queueFileChoice(std::string("/tmp/x.hvx"));
    EXPECT_EQ(save.runModal("/tmp", "x.hvx"), SavePanel::kOK);
    EXPECT_EQ(save.filename(), "/tmp/x.hvx");
    EXPECT_FALSE(save.isVisible());
    ASSERT_EQ(hb_->fileRequests().size(), 1u);
    EXPECT_EQ(hb_->fileRequests()[0].kind, FilePanelKind::Save);
    EXPECT_EQ(hb_->fileRequests()[0].extensions, std::vector<std::string>{"hvx"});
    OpenPanel open;
    hb_->queueFileChoices({"/a", "/b"});
    EXPECT_EQ(open.runModal("", ""), SavePanel::kOK);
    EXPECT_EQ(open.filenames(), std::vector<std::string>{"/a"});  // one only without multiple selection
    EXPECT_EQ(open.runModal("", ""), SavePanel::kCancel);
}

TEST_F(FilePanels, TheSavePanelTakesATypedNameAndAsksBeforeReplacing) {
    hb_->setAnswersFilePanels(false);
    SavePanel panel;
    panel.setAllowedFileTypes({"hvx"});
    // A typed name gets the extension; the folder is the one listed.
    int r = RunAsWindow(panel, root(), "", [&] {
        EXPECT_TRUE(panel.isVisible());
        EXPECT_EQ(panel.entries().size(), 4u);
        panel.nameField()->setStringValue("New Bank");
        panel.okButton()->performClick();
    });
    EXPECT_EQ(r, SavePanel::kOK);
    EXPECT_EQ(panel.filename(), root() + "/New Bank.hvx");
    EXPECT_FALSE(panel.isVisible());

    // An existing file: the user is asked, and Cancel keeps the panel open.
    hb_->queueAlertChoice(0);
    r = RunAsWindow(panel, root(), "b.hvx", [&] {
        panel.ok();
        EXPECT_TRUE(panel.isVisible());
        hb_->queueAlertChoice(1);
        panel.ok();
    });
    EXPECT_EQ(r, SavePanel::kOK);
    EXPECT_EQ(panel.filename(), root() + "/b.hvx");
    ASSERT_EQ(hb_->alerts().size(), 2u);
    EXPECT_EQ(hb_->alerts()[0].buttons, (std::vector<std::string>{"Cancel", "Replace"}));

    // A folder's name opens the folder; a name that is empty or only blanks
    // is refused; Escape cancels.
    r = RunAsWindow(panel, root(), "Sub", [&] {
        panel.ok();
        EXPECT_EQ(panel.directory(), root() + "/Sub");
        EXPECT_EQ(panel.nameField()->stringValue(), "");
        for (const char* blank : {"", " ", " \t "}) {
            panel.nameField()->setStringValue(blank);
            panel.ok();
            EXPECT_TRUE(panel.isVisible());
        }
        panel.contentView()->keyDown(Event::keyDown({}, Key::Escape));
    });
    EXPECT_EQ(r, SavePanel::kCancel);
    EXPECT_TRUE(panel.filename().empty());
}

TEST_F(FilePanels, TheOpenPanelPicksSeveralFilesAndOpensFolders) {
    hb_->setAnswersFilePanels(false);
    OpenPanel panel;
    panel.setAllowsMultipleSelection(true);
    panel.setAllowedFileTypes({"hvx", "syx"});
    int r = RunAsWindow(panel, root(), "", [&] {
        // alpha/, Sub/, A.HVX, b.hvx, c.syx
        ASSERT_EQ(panel.entries().size(), 5u);
        panel.table()->selectRowIndexes({2, 4}, false);
        panel.ok();
    });
    EXPECT_EQ(r, SavePanel::kOK);
    EXPECT_EQ(panel.filenames(), (std::vector<std::string>{root() + "/A.HVX", root() + "/c.syx"}));

    // One folder picked opens it; its files are then listed.
    r = RunAsWindow(panel, root(), "", [&] {
        panel.table()->selectRowIndexes({1}, false);
        panel.ok();
        EXPECT_EQ(panel.directory(), root() + "/Sub");
        ASSERT_EQ(panel.entries().size(), 1u);
        panel.table()->selectRowIndexes({0}, false);
        panel.ok();
    });
    EXPECT_EQ(panel.filenames(), std::vector<std::string>{root() + "/Sub/x.hvx"});

    // A folder chooser takes the selected folder, or the one listed.
    OpenPanel folders;
    folders.setCanChooseFiles(false);
    folders.setCanChooseDirectories(true);
    r = RunAsWindow(folders, root(), "", [&] {
        EXPECT_EQ(folders.entries().size(), 2u);
        folders.ok();
    });
    EXPECT_EQ(folders.filenames(), std::vector<std::string>{root()});
}
