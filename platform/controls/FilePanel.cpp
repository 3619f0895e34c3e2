#include "platform/controls/FilePanel.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Modal.h"
#include "platform/controls/Painter.h"
#include "platform/controls/ScrollView.h"

namespace platform::controls {

namespace fs = std::filesystem;
using appkit::FilePanelKind;

namespace {

constexpr const char* kOpenRow = "panelOpenRow:";
constexpr const char* kOKAction = "panelOK:";
constexpr const char* kCancelAction = "panelCancel:";
constexpr const char* kUp = "panelUp:";
constexpr const char* kNewFolder = "panelNewFolder:";
constexpr double kMargin = 12, kButtonW = 90, kButtonH = 24, kRowH = 22;

bool lessIgnoringCase(const std::string& a, const std::string& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int x = std::tolower(static_cast<unsigned char>(a[i])), y = std::tolower(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y;
    }
    return a.size() != b.size() ? a.size() < b.size() : a < b;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool isFolder(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string parentOf(const std::string& folder) {
    fs::path p(folder);
    if (!p.has_relative_path()) return "/";
    std::string up = p.lexically_normal().parent_path().string();
    if (up.size() > 1 && up.back() == '/') up.pop_back();
    return up.empty() ? "/" : up;
}

// The panel's content: its background, and Escape to cancel.
class PanelView : public appkit::View {
public:
    explicit PanelView(SavePanel* panel) : panel_(panel) {}
    void drawRect(appkit::Canvas& canvas, const appkit::Rect& dirty) override { canvas.fillRect(dirty, 0xECECEC); }
    bool isOpaque() const override { return true; }
    bool keyDown(const appkit::Event& e) override {
        if (e.key == appkit::Key::Escape) {
            panel_->cancel();
            return true;
        }
        return false;
    }

private:
    SavePanel* panel_;
};

TextField* makeLabel(const std::string& text) {
    auto* l = new TextField();
    l->setEditable(false);
    l->setSelectable(false);
    l->setBezeled(false);
    l->setDrawsBackground(false);
    l->setBordered(false);
    l->setStringValue(text);
    return l;
}

Button* makeButton(const std::string& title, const char* action, appkit::Responder* target) {
    auto* b = new Button();
    b->setTitle(title);
    b->setTarget(target);
    b->setAction(action);
    return b;
}

}  // namespace

std::vector<FolderEntry> listFolder(const std::string& folder, const std::vector<std::string>& extensions,
                                    bool filesToo) {
    std::vector<FolderEntry> folders, files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code sec;
        if (it->is_directory(sec)) {
            folders.push_back({name, true});
        } else if (filesToo && (extensions.empty() || appkit::pathHasExtension(name, extensions))) {
            files.push_back({name, false});
        }
    }
    auto byName = [](const FolderEntry& a, const FolderEntry& b) { return lessIgnoringCase(a.name, b.name); };
    std::sort(folders.begin(), folders.end(), byName);
    std::sort(files.begin(), files.end(), byName);
    folders.insert(folders.end(), files.begin(), files.end());
    return folders;
}

void splitInitialPath(const std::string& file, const std::string& folder, std::string& dirOut, std::string& nameOut) {
    std::string f = file.substr(0, 2047);
    size_t slash = f.rfind('/');
    if (slash != std::string::npos) {
        dirOut = slash == 0 ? "/" : f.substr(0, slash);
        nameOut = f.substr(slash + 1);
    } else {
        nameOut = f;
        dirOut = folder;
    }
}

std::string savePathFor(const std::string& folder, const std::string& name,
                        const std::vector<std::string>& extensions) {
    std::string path = join(folder, name);
    if (!extensions.empty() && !appkit::pathHasExtension(path, extensions)) path += "." + extensions.front();
    return path;
}

// ---- the panel

SavePanel::SavePanel()
    : Window(appkit::FRect{0, 0, 560, 420}, appkit::kStyleTitled | appkit::kStyleClosable | appkit::kStyleResizable,
             "Save") {
    setDelegate(this);
    setMinSize({420, 300});
}

SavePanel::~SavePanel() { setDelegate(nullptr); }

bool SavePanel::setAccessoryView(appkit::View* v) {
    if (v == accessory_) return true;
    if (accessory_) {
        appkit::View* old = accessory_;
        accessory_ = nullptr;
        old->removeFromSuperview();
        delete old;
    }
    accessory_ = v;
    if (v) {
        if (v->superview()) v->removeFromSuperview();
        contentView()->addSubview(v);
    }
    if (table_) layOut();
    return true;
}

appkit::FilePanelRequest SavePanel::request() const {
    appkit::FilePanelRequest r;
    r.kind = kind();
    r.directory = directory_;
    r.fileName = proposedName_;
    r.extensions = types_;
    r.title = title();
    r.allowsMultipleSelection = multiple_;
    r.canChooseFiles = chooseFiles_;
    r.canChooseDirectories = chooseFolders_;
    r.canCreateDirectories = canCreate_;
    return r;
}

bool SavePanel::filesListed() const { return kind() == FilePanelKind::Save || chooseFiles_; }

void SavePanel::build() {
    auto* content = new PanelView(this);
    if (accessory_) accessory_->removeFromSuperview();
    setContentView(content);
    if (accessory_) content->addSubview(accessory_);

    upButton_ = makeButton("Up", kUp, this);
    folderLabel_ = makeLabel(directory_);
    auto* scroll = new ScrollView();
    table_ = new TableView();
    table_->setHasHeaderView(false);
    table_->setAllowsMultipleSelection(multiple_);
    table_->setAllowsEmptySelection(true);
    table_->setAllowsColumnReordering(false);
    table_->setRowHeight(kRowH - 2);
    table_->addTableColumn(std::make_unique<TableColumn>("name"));
    table_->tableColumns()[0]->setEditable(false);
    table_->setDataSource(this);
    table_->setDelegate(this);
    table_->setTarget(this);
    table_->setDoubleAction(kOpenRow);
    scroll->setHasVerticalScroller(true);
    scroll->setAutohidesScrollers(true);
    scroll->setDocumentView(table_);
    content->addSubview(upButton_);
    content->addSubview(folderLabel_);
    content->addSubview(scroll);
    if (kind() == FilePanelKind::Save) {
        nameLabel_ = makeLabel("Name:");
        name_ = new TextField();
        name_->setStringValue(proposedName_);
        content->addSubview(nameLabel_);
        content->addSubview(name_);
    }
    std::string okTitle = prompt_;
    if (okTitle.empty())
        okTitle = kind() == FilePanelKind::Save ? "Save" : chooseFolders_ && !chooseFiles_ ? "Choose" : "Open";
    okButton_ = makeButton(okTitle, kOKAction, this);
    cancelButton_ = makeButton("Cancel", kCancelAction, this);
    content->addSubview(cancelButton_);
    content->addSubview(okButton_);
    setDefaultButton(okButton_);
    if (canCreate_) {
        newFolderButton_ = makeButton("New Folder", kNewFolder, this);
        content->addSubview(newFolderButton_);
    }
    layOut();
}

void SavePanel::layOut() {
    if (!table_) return;
    double w = frame().width, h = frame().height;
    double inner = w - 2 * kMargin;
    upButton_->setFrameF({kMargin, kMargin, 60, kButtonH});
    folderLabel_->setFrameF({kMargin + 70, kMargin + 2, inner - 70, kButtonH - 4});
    double bottom = h - kMargin - kButtonH;
    okButton_->setFrameF({w - kMargin - kButtonW, bottom, kButtonW, kButtonH});
    cancelButton_->setFrameF({w - 2 * (kMargin + kButtonW) + kMargin / 2, bottom, kButtonW, kButtonH});
    if (newFolderButton_) newFolderButton_->setFrameF({kMargin, bottom, 110, kButtonH});
    double y = bottom - kMargin;
    if (accessory_) {
        double ah = accessory_->frameF().height;
        y -= ah;
        accessory_->setFrameF({kMargin, y, inner, ah});
        y -= kMargin / 2;
    }
    if (name_) {
        y -= kButtonH;
        nameLabel_->setFrameF({kMargin, y + 2, 50, kButtonH - 4});
        name_->setFrameF({kMargin + 56, y, inner - 56, kButtonH});
        y -= kMargin / 2;
    }
    double top = kMargin + kButtonH + kMargin / 2;
    if (auto* scroll = appkit::enclosingScrollView(table_))
        scroll->setFrameF({kMargin, top, inner, std::max(y - top, 40.0)});
    table_->tableColumns()[0]->setWidth(inner - appkit::ScrollView::kScrollerWidth - 4);
    table_->tile();
}

void SavePanel::showFolder(const std::string& folder) {
    std::string f = folder.empty() ? std::string("/") : folder;
    if (f[0] != '/') f = directory_.empty() ? f : join(directory_, f);
    // Shown and walked as a whole path.
    std::error_code ec;
    fs::path whole = fs::absolute(f, ec).lexically_normal();
    if (!ec) f = whole.string();
    if (f.size() > 1 && f.back() == '/') f.pop_back();
    if (!isFolder(f)) return;
    directory_ = f;
    entries_ = listFolder(directory_, types_, filesListed());
    if (folderLabel_) folderLabel_->setStringValue(directory_);
    if (table_) {
        table_->deselectAll();
        table_->reloadData();
        table_->scrollRowToVisible(0);
    }
}

std::string SavePanel::tableViewObjectValue(TableView*, TableColumn*, int row) {
    if (row < 0 || row >= static_cast<int>(entries_.size())) return std::string();
    const FolderEntry& e = entries_[static_cast<size_t>(row)];
    return e.isFolder ? e.name + "/" : e.name;
}

void SavePanel::tableViewSelectionDidChange(TableView* sender) {
    // Clicking a file in a save panel proposes its name.
    int row = sender->selectedRow();
    if (name_ && row >= 0 && row < static_cast<int>(entries_.size()) && !entries_[size_t(row)].isFolder)
        name_->setStringValue(entries_[size_t(row)].name);
}

bool SavePanel::respondsToAction(const std::string& s) const {
    return s == kOpenRow || s == kOKAction || s == kCancelAction || s == kUp || s == kNewFolder;
}

void SavePanel::performAction(const std::string& s, appkit::Responder*) {
    if (s == kOKAction) {
        ok();
    } else if (s == kCancelAction) {
        cancel();
    } else if (s == kUp) {
        showFolder(parentOf(directory_));
    } else if (s == kNewFolder) {
        newFolder();
    } else if (s == kOpenRow) {
        int row = table_->clickedRow();
        if (row < 0 || row >= static_cast<int>(entries_.size())) return;
        if (entries_[size_t(row)].isFolder)
            showFolder(join(directory_, entries_[size_t(row)].name));
        else
            ok();
    }
}

void SavePanel::newFolder() {
    std::string name = "New Folder";
    for (int n = 2; fs::exists(join(directory_, name)) && n < 1000; ++n) name = "New Folder " + std::to_string(n);
    std::error_code ec;
    if (!fs::create_directory(join(directory_, name), ec)) return;
    showFolder(directory_);
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == name) table_->selectRowIndexes({static_cast<int>(i)}, false);
}

std::vector<std::string> SavePanel::pick() {
    std::string name = name_ ? name_->stringValue() : std::string();
    // Nothing but blanks names no file: it would be saved as ".syx".
    if (name.find_first_not_of(" \t") == std::string::npos) return {};
    std::string path = name[0] == '/' ? name : join(directory_, name);
    if (isFolder(path)) {
        showFolder(path);
        if (name_) name_->setStringValue(std::string());
        return {};
    }
    size_t slash = path.rfind('/');
    std::string folder = path.substr(0, std::max<size_t>(slash, 1));
    if (!isFolder(folder)) return {};
    path = savePathFor(folder, path.substr(slash + 1), types_);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        appkit::AlertRequest ask{
            "Replace",
            "\"" + path.substr(path.rfind('/') + 1) + "\" already exists. Do you want to replace it?",
            {"Cancel", "Replace"},
            0};
        if (appkit::Application::backend().runAlert(this, ask) != 1) return {};
    }
    return {path};
}

void SavePanel::ok() {
    std::vector<std::string> picked = pick();
    if (picked.empty()) return;
    paths_ = std::move(picked);
    appkit::stopModalWithCode(kOK);
}

void SavePanel::cancel() {
    paths_.clear();
    appkit::stopModalWithCode(kCancel);
}

bool SavePanel::windowShouldClose(appkit::Window&) {
    cancel();
    return false;
}

int SavePanel::runModal(const std::string& directory, const std::string& file, appkit::Window* parent) {
    paths_.clear();
    directory_ = directory;
    proposedName_ = file;
    if (auto answer = appkit::Application::backend().scriptedFilePanel(parent, request())) {
        paths_ = answer->paths;
        if (!multiple_ && paths_.size() > 1) paths_.resize(1);
        return paths_.empty() ? kCancel : kOK;
    }
    std::string start = directory;
    if (!isFolder(start)) {
        const char* home = std::getenv("HOME");
        start = home && isFolder(home) ? home : "/";
    }
    build();
    directory_.clear();  // the start is not within the folder proposed
    showFolder(start);
    setOwnerWindow(parent);
    if (parent) {
        appkit::FRect p = parent->frame(), f = frame();
        setFrameOrigin({p.x + (p.width - f.width) / 2, p.y + p.height - f.height - 40});
    } else {
        center();
    }
    makeKeyAndOrderFront();
    if (name_)
        makeFirstResponder(name_);
    else
        makeFirstResponder(table_);
    int code = appkit::runModalForWindow(this);
    orderOut();
    return code == kOK ? kOK : kCancel;
}

// ---- open panels

OpenPanel::OpenPanel() { setTitle("Open"); }

void OpenPanel::setAllowsMultipleSelection(bool m) {
    multiple_ = m;
    if (table()) table()->setAllowsMultipleSelection(m);
}

std::vector<std::string> OpenPanel::pick() {
    std::vector<std::string> out;
    const auto& rows = table()->selectedRowIndexes();
    if (rows.size() == 1 && !chooseFolders_) {
        const FolderEntry& e = entries_[size_t(*rows.begin())];
        if (e.isFolder) {
            showFolder(join(directory_, e.name));
            return {};
        }
    }
    for (int row : rows) {
        if (row < 0 || row >= static_cast<int>(entries_.size())) continue;
        const FolderEntry& e = entries_[size_t(row)];
        if (e.isFolder ? !chooseFolders_ : !chooseFiles_) continue;
        std::string path = join(directory_, e.name);
        if (resolvesAliases_) {
            std::error_code ec;
            if (fs::is_symlink(path, ec)) {
                fs::path real = fs::canonical(path, ec);
                if (!ec) path = real.string();
            }
        }
        out.push_back(path);
        if (!multiple_) break;
    }
    if (out.empty() && rows.empty() && chooseFolders_) out.push_back(directory_);
    return out;
}

}  // namespace platform::controls
