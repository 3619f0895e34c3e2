// The standard dialogs headless: filter lists, where the file dialogs start,
// the result blocks and buffers they fill, the accessory template used
// once, the menu bar during a run, and the message box's buttons and
// results.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/appkit/Application.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/RunLoop.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-menu.h"
#include "shim/shim-miscdlg.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;

namespace {

// Notes the menu bar while a panel is answered.
class Recording : public HeadlessBackend {
public:
    std::optional<FilePanelAnswer> scriptedFilePanel(Window* w, const FilePanelRequest& r) override {
        barDuringRun = Application::mainMenu();
        return HeadlessBackend::scriptedFilePanel(w, r);
    }
    Menu* barDuringRun = nullptr;
};

class StandardDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        hb_ = new Recording;
        Application::setBackend(std::unique_ptr<Backend>(hb_));
    }
    void TearDown() override {
        Application::setMainMenu(nullptr);
        Application::setBackend(std::make_unique<HeadlessBackend>());
        RunLoop::main().runOnce();
    }
    Recording* hb_ = nullptr;
};

std::vector<std::string> g_accessoryLog;
LRESULT AccessoryProc(HWND, UINT msg, WPARAM, LPARAM) {
    if (msg == WM_INITDIALOG) g_accessoryLog.push_back("init");
    if (msg == WM_DESTROY) g_accessoryLog.push_back("destroy");
    return 0;
}
SHIM_DialogResourceIndex g_accessory{"ACC", "Options", 1, nullptr, 200, 40, nullptr};

}  // namespace

TEST_F(StandardDialogs, FilterListsGiveTheirExtensions) {
    struct Case {
        std::string list;  // NULs written as '|'
        std::vector<std::string> exts;
    } cases[] = {
        {"Audio|*.wav;*.AIF|All files|*.*||", {"wav", "AIF"}},
        {"Banks|*.hvx|Dumps|*.syx;*.mid||", {"hvx", "syx", "mid"}},
        {"||", {}},
        {"Nothing|||", {}},
        {"Odd|wav;*.;*.mid||", {"mid"}},
        {"Long|*.abcdefghijklmnopqrstuvwxyz0123456789||", {"abcdefghijklmnopqrstuvwxyz01234"}},
    };
    for (const auto& c : cases) {
        std::string list = c.list;
        for (char& ch : list)
            if (ch == '|') ch = 0;
        EXPECT_EQ(SHIM_ExtensionsFromList(list.c_str()), c.exts) << c.list;
    }
    EXPECT_TRUE(SHIM_ExtensionsFromList(nullptr).empty());
}

TEST_F(StandardDialogs, FileDialogsStartWhereTheirInitialFileSays) {
    struct Case {
        const char* dir;
        const char* file;
        const char* wantDir;
        const char* wantName;
    } cases[] = {
        {"/init", "/home/u/bank.hvx", "/home/u", "bank.hvx"},
        {"/init", "/bank.hvx", "/", "bank.hvx"},
        {"/init", "bank.hvx", "/init", "bank.hvx"},
        {nullptr, "bank.hvx", "", "bank.hvx"},
    };
    char out[64];
    for (const auto& c : cases) {
        hb_->clearRecords();
        EXPECT_FALSE(BrowseForSaveFile("Save", c.dir, c.file, "Banks\0*.hvx\0\0", out, sizeof out));
        ASSERT_EQ(hb_->fileRequests().size(), 1u);
        EXPECT_EQ(hb_->fileRequests()[0].directory, c.wantDir) << c.file;
        EXPECT_EQ(hb_->fileRequests()[0].fileName, c.wantName) << c.file;
        EXPECT_EQ(hb_->fileRequests()[0].title, "Save");
        EXPECT_EQ(hb_->fileRequests()[0].extensions, std::vector<std::string>{"hvx"});
    }
}

TEST_F(StandardDialogs, SaveAndFolderBuffersAreCutAndTerminated) {
    struct Case {
        std::optional<std::string> answer;
        int size;
        bool result;
        const char* stored;  // null: untouched
    } cases[] = {
        {"/tmp/bank.hvx", 64, true, "/tmp/bank.hvx"}, {"/tmp/bank.hvx", 4, true, "/tm"},  // cut, and still true
        {"/tmp/bank.hvx", 0, true, nullptr},          {std::nullopt, 64, false, nullptr}, {"", 64, false, nullptr},
    };
    for (const auto& c : cases) {
        char out[64];
        std::memset(out, 'x', sizeof out);
        hb_->queueFileChoice(c.answer);
        EXPECT_EQ(BrowseForSaveFile("t", "/tmp", "", nullptr, out, c.size), c.result);
        if (c.stored)
            EXPECT_STREQ(out, c.stored);
        else
            EXPECT_EQ(out[0], 'x');
    }
    char dir[8];
    hb_->queueFileChoice(std::string("/home/user/banks"));
    EXPECT_TRUE(BrowseForDirectory("Folder", "/home", dir, sizeof dir));
    EXPECT_STREQ(dir, "/home/u");
    EXPECT_TRUE(hb_->fileRequests().back().canChooseDirectories);
    EXPECT_FALSE(hb_->fileRequests().back().canChooseFiles);
    EXPECT_TRUE(hb_->fileRequests().back().canCreateDirectories);
    size_t asked = hb_->fileRequests().size();
    EXPECT_FALSE(BrowseForDirectory("Folder", "/home", dir, 0));
    EXPECT_EQ(hb_->fileRequests().size(), asked);
    EXPECT_FALSE(BrowseForDirectory("Folder", "/home", dir, sizeof dir));  // cancelled
}

TEST_F(StandardDialogs, OpenDialogsGiveResultBlocks) {
    auto block = [](const char* b) {
        // Up to the double NUL, NULs shown as '|'.
        std::string s;
        for (size_t i = 0;; ++i) {
            if (!b[i] && i > 0 && !b[i - 1]) break;
            s += b[i] ? b[i] : '|';
        }
        return s;
    };
    struct Case {
        std::vector<std::string> paths;
        bool multiple;
        const char* block;  // null: no result
    } cases[] = {
        {{"/a/1.hvx", "/a/2.hvx", "/a/3.hvx"}, true, "|/a/1.hvx|/a/2.hvx|/a/3.hvx|"},
        {{"/a/1.hvx"}, true, "/a/1.hvx|"},
        {{"/a/1.hvx", "/a/2.hvx"}, false, "/a/1.hvx|"},
        {{}, true, nullptr},
    };
    for (const auto& c : cases) {
        hb_->queueFileChoices(c.paths);
        char* b = BrowseForFiles("Open", "/a", "", c.multiple, "Banks\0*.hvx\0\0");
        if (!c.block) {
            EXPECT_EQ(b, nullptr);
            continue;
        }
        ASSERT_TRUE(b);
        EXPECT_EQ(block(b), c.block);
        std::free(b);
        EXPECT_EQ(hb_->fileRequests().back().allowsMultipleSelection, c.multiple);
    }
}

TEST_F(StandardDialogs, TheAccessoryTemplateServesOneDialogAndTheModalMenuIsACopy) {
    g_accessoryLog.clear();
    BrowseFile_SetTemplate("ACC", AccessoryProc, &g_accessory);
    HMENU modal = CreatePopupMenu();
    SHIM_Menu_AddMenuItem(modal, "Edit", 5, 0);
    SHIM_SetDefaultModalWindowMenu(modal);
    char out[64];
    hb_->queueFileChoice(std::string("/tmp/a.hvx"));
    EXPECT_TRUE(BrowseForSaveFile("t", "/tmp", "", nullptr, out, sizeof out));
    EXPECT_EQ(g_accessoryLog, (std::vector<std::string>{"init", "destroy"}));
    ASSERT_TRUE(hb_->barDuringRun);
    EXPECT_NE(hb_->barDuringRun, SHIM_MenuOf(modal));
    EXPECT_EQ(hb_->barDuringRun->items.at(0).title, "Edit");
    hb_->queueFileChoice(std::string("/tmp/a.hvx"));
    EXPECT_TRUE(BrowseForSaveFile("t", "/tmp", "", nullptr, out, sizeof out));
    EXPECT_EQ(g_accessoryLog.size(), 2u);
    SHIM_SetDefaultModalWindowMenu(nullptr);
    DestroyMenu(modal);
}

TEST_F(StandardDialogs, MessageBoxesShowTheirButtonsInOrderAndAnswerByButton) {
    struct Case {
        int type;
        int pick;
        std::vector<std::string> buttons;  // empty: nothing shown
        int result;
    } cases[] = {
        {MB_OK, 0, {"OK"}, IDOK},
        {MB_OKCANCEL, 1, {"OK", "Cancel"}, IDCANCEL},
        {MB_OKCANCEL, 0, {"OK", "Cancel"}, IDOK},
        {MB_YESNOCANCEL, 2, {"Yes", "Cancel", "No"}, IDNO},
        {MB_YESNOCANCEL, 1, {"Yes", "Cancel", "No"}, IDCANCEL},
        {MB_YESNO, 0, {"Yes", "No"}, IDYES},
        {MB_RETRYCANCEL, 0, {"Retry", "Cancel"}, IDRETRY},
        {MB_ABORTRETRYIGNORE, 0, {}, 0},
        {0x10 | MB_OK, 0, {}, 0},
    };
    for (const auto& c : cases) {
        hb_->clearRecords();
        hb_->queueAlertChoice(c.pick);
        EXPECT_EQ(MessageBox(nullptr, "100% sure?", "Question", c.type), c.result) << c.type;
        if (c.buttons.empty()) {
            EXPECT_TRUE(hb_->alerts().empty());
            hb_->clearRecords();
            continue;
        }
        ASSERT_EQ(hb_->alerts().size(), 1u);
        EXPECT_EQ(hb_->alerts()[0].buttons, c.buttons);
        EXPECT_EQ(hb_->alerts()[0].title, "Question");
        EXPECT_EQ(hb_->alerts()[0].message, "100% sure?");
    }
    EXPECT_EQ(MessageBox(nullptr, nullptr, nullptr, MB_OK), IDOK);
}
