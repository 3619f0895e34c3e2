#pragma once
// The open and save panels: a modal window listing a folder's entries in a
// table (folders first, then the files the allowed extensions let through),
// a button up to the enclosing folder, a name field for saving, an optional
// accessory view of the caller's, and the OK and Cancel buttons. A double
// click opens a folder or picks a file; Return picks, Escape cancels.
//
// A backend that answers panels by script (headless) answers in place of
// the window; the panel then shows nothing.

#include <string>
#include <vector>

#include "platform/appkit/Panels.h"
#include "platform/appkit/Window.h"
#include "platform/controls/Button.h"
#include "platform/controls/Delegates.h"
#include "platform/controls/Table.h"
#include "platform/controls/TextField.h"

namespace platform::controls {

// One entry of a listed folder.
struct FolderEntry {
    std::string name;
    bool isFolder = false;
    friend bool operator==(const FolderEntry&, const FolderEntry&) = default;
};

// The entries of a folder as a panel lists them: no hidden entries, folders
// (symbolic links to folders too) before files, each group by name with
// case ignored; files only when their extension is allowed (any when the
// list is empty) and, with filesToo false, no files at all. An unreadable
// folder lists nothing.
std::vector<FolderEntry> listFolder(const std::string& folder, const std::vector<std::string>& extensions,
                                    bool filesToo);

// The folder and the name a panel starts with, from a proposed file that
// may hold a path ("/" for a name right after a lone leading slash) and a
// proposed folder used when the file names none.
void splitInitialPath(const std::string& file, const std::string& folder, std::string& dirOut, std::string& nameOut);

// The path a save panel gives for a typed name: the name in the folder,
// with the first allowed extension added when it has none of them.
std::string savePathFor(const std::string& folder, const std::string& name, const std::vector<std::string>& extensions);

class SavePanel : public appkit::Window,
                  public appkit::ActionTarget,
                  public TableViewDataSource,
                  public TableViewDelegate,
                  public appkit::WindowDelegate {
public:
    enum : int { kCancel = 0, kOK = 1 };

    SavePanel();
    ~SavePanel() override;

    const std::vector<std::string>& allowedFileTypes() const { return types_; }
    void setAllowedFileTypes(std::vector<std::string> types) { types_ = std::move(types); }
    bool canCreateDirectories() const { return canCreate_; }
    void setCanCreateDirectories(bool c) { canCreate_ = c; }
    const std::string& prompt() const { return prompt_; }
    void setPrompt(const std::string& p) { prompt_ = p; }

    // Taken over: shown between the list and the buttons until replaced or
    // cleared (null); a cleared one is deleted.
    bool setAccessoryView(appkit::View* v) override;
    bool takesAccessoryViews() const override { return true; }
    appkit::View* accessoryView() const { return accessory_; }

    // Modal: shows the panel in the folder with the name proposed (either
    // may be empty) until the user picks or cancels; kOK or kCancel. The
    // window the panel belongs to may be null.
    int runModal(const std::string& directory, const std::string& file, appkit::Window* parent = nullptr);
    // The path picked (the first one for an open panel).
    std::string filename() const { return paths_.empty() ? std::string() : paths_.front(); }
    const std::vector<std::string>& filenames() const { return paths_; }

    // The folder listed now, and what it lists.
    const std::string& directory() const { return directory_; }
    const std::vector<FolderEntry>& entries() const { return entries_; }
    // Lists another folder (a relative one within the one listed now).
    void showFolder(const std::string& folder);
    // What the buttons do: pick (OK) or cancel.
    void ok();
    void cancel();

    // ActionTarget
    bool respondsToAction(const std::string& selector) const override;
    void performAction(const std::string& selector, appkit::Responder* sender) override;
    // TableViewDataSource
    int numberOfRowsInTableView(TableView*) override { return static_cast<int>(entries_.size()); }
    std::string tableViewObjectValue(TableView*, TableColumn*, int row) override;
    // TableViewDelegate
    void tableViewSelectionDidChange(TableView* sender) override;
    // WindowDelegate
    bool windowShouldClose(appkit::Window&) override;

    TableView* table() const { return table_; }
    TextField* nameField() const { return name_; }
    Button* okButton() const { return okButton_; }

protected:
    virtual appkit::FilePanelKind kind() const { return appkit::FilePanelKind::Save; }
    virtual appkit::FilePanelRequest request() const;
    // The paths the OK button picks now; none keeps the panel open.
    virtual std::vector<std::string> pick();
    // Lays the controls out for the size of the window.
    void layOut();
    bool filesListed() const;
    std::vector<std::string> types_;
    std::string directory_;
    std::string proposedName_;
    std::vector<FolderEntry> entries_;
    std::vector<std::string> paths_;
    bool canCreate_ = false;
    bool resolvesAliases_ = true;
    bool multiple_ = false;
    bool chooseFiles_ = true;
    bool chooseFolders_ = false;

private:
    void build();
    void newFolder();

    std::string prompt_;
    appkit::View* accessory_ = nullptr;
    TableView* table_ = nullptr;
    TextField* name_ = nullptr;
    TextField* nameLabel_ = nullptr;
    TextField* folderLabel_ = nullptr;
    Button* upButton_ = nullptr;
    Button* newFolderButton_ = nullptr;
    Button* okButton_ = nullptr;
    Button* cancelButton_ = nullptr;
};

class OpenPanel : public SavePanel {
public:
    OpenPanel();
    bool allowsMultipleSelection() const { return multiple_; }
    void setAllowsMultipleSelection(bool m);
    bool canChooseFiles() const { return chooseFiles_; }
    void setCanChooseFiles(bool c) { chooseFiles_ = c; }
    bool canChooseDirectories() const { return chooseFolders_; }
    void setCanChooseDirectories(bool c) { chooseFolders_ = c; }
    // Symbolic links picked give the paths they point to.
    bool resolvesAliases() const { return resolvesAliases_; }
    void setResolvesAliases(bool r) { resolvesAliases_ = r; }

protected:
    appkit::FilePanelKind kind() const override { return appkit::FilePanelKind::Open; }
    std::vector<std::string> pick() override;
};

}  // namespace platform::controls
