#include "shim/shim-miscdlg.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/controls/FilePanel.h"
#include "shim/shim-dlg-toplevel.h"
#include "shim/shim-menu.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using platform::appkit::Application;
using platform::controls::OpenPanel;
using platform::controls::SavePanel;

namespace {

// The accessory template, consumed by the next file dialog.
struct Template {
    const char* id = nullptr;
    DLGPROC proc = nullptr;
    SHIM_DialogResourceIndex* list = nullptr;
} g_template;

constexpr size_t kMaxPath = 2047;

// What every file dialog does around its panel's run: the accessory from
// the template, the modal menu bar, and the accessory's end.
int RunPanel(SavePanel& panel, const char* title, const std::string& dir, const std::string& file) {
    panel.setTitle(title ? title : "");
    HWND accessory = nullptr;
    if (g_template.proc && g_template.id) {
        accessory = SHIM_CreateDialog(g_template.list, g_template.id, &panel, g_template.proc, 0);
        g_template.proc = nullptr;
        g_template.id = nullptr;
    }
    HMENU copy = nullptr;
    if (HMENU modal = SHIM_GetDefaultModalWindowMenu()) {
        copy = SHIM_DuplicateMenu(modal);
        SHIM_SetCurrentMenu(copy);
    }
    int answer = panel.runModal(dir, file, Application::keyWindow());
    if (copy) {
        if (HMENU focused = GetMenu(GetFocus())) SHIM_SetCurrentMenu(focused);
        DestroyMenu(copy);
    }
    if (accessory && platform::appkit::Responder::isLive(accessory)) SendMessage(accessory, WM_DESTROY, 0, 0);
    panel.setAccessoryView(nullptr);
    return answer;
}

std::string Cut(const std::string& path, size_t max) { return path.substr(0, shimwnd::Utf8Cut(path.c_str(), max)); }

void CopyOut(const std::string& s, char* out, int outSize) {
    size_t n = shimwnd::Utf8Cut(s.c_str(), static_cast<size_t>(outSize) - 1);
    std::memcpy(out, s.data(), n);
    out[n] = 0;
}

}  // namespace

std::vector<std::string> SHIM_ExtensionsFromList(const char* list) {
    std::vector<std::string> out;
    out.reserve(30);
    if (!list) return out;
    const char* p = list;
    while (*p) {
        p += std::strlen(p) + 1;  // the description
        if (!*p) break;
        std::string patterns = p;
        size_t at = 0;
        while (at < patterns.size()) {
            size_t dot = patterns.find('.', at);
            if (dot == std::string::npos) break;
            std::string ext = patterns.substr(dot + 1, 31);
            ext = ext.substr(0, ext.find(';'));
            if (!ext.empty() && ext[0] != '*') out.push_back(ext);
            size_t semi = patterns.find(';', dot);
            if (semi == std::string::npos) break;
            at = semi + 1;
        }
        p += patterns.size() + 1;
    }
    return out;
}

void BrowseFile_SetTemplate(const char* dlgid, DLGPROC dlgProc, SHIM_DialogResourceIndex* list) {
    g_template = {dlgid, dlgProc, list};
}

bool BrowseForSaveFile(const char* title, const char* initialDir, const char* initialFile, const char* extList,
                       char* out, int outSize) {
    SavePanel panel;
    panel.setAllowedFileTypes(SHIM_ExtensionsFromList(extList));
    std::string dir, name;
    platform::controls::splitInitialPath(initialFile ? initialFile : "", initialDir ? initialDir : "", dir, name);
    if (RunPanel(panel, title, dir, name) != SavePanel::kOK) return false;
    std::string path = Cut(panel.filename(), kMaxPath);
    if (path.empty()) return false;
    if (out && outSize >= 1) CopyOut(path, out, outSize);
    return true;
}

char* BrowseForFiles(const char* title, const char* initialDir, const char* initialFile, bool allowMultiple,
                     const char* extList) {
    OpenPanel panel;
    panel.setAllowsMultipleSelection(allowMultiple);
    panel.setCanChooseFiles(true);
    panel.setCanChooseDirectories(false);
    panel.setResolvesAliases(true);
    panel.setAllowedFileTypes(SHIM_ExtensionsFromList(extList));
    std::string dir, name;
    platform::controls::splitInitialPath(initialFile ? initialFile : "", initialDir ? initialDir : "", dir, name);
    if (RunPanel(panel, title, dir, name) != SavePanel::kOK || panel.filenames().empty()) return nullptr;
    const auto& paths = panel.filenames();
    if (paths.size() == 1 || !allowMultiple) {
        std::string p = Cut(paths.front(), kMaxPath);
        auto* block = static_cast<char*>(std::malloc(p.size() + 2));
        if (!block) return nullptr;
        std::memcpy(block, p.c_str(), p.size() + 1);
        block[p.size() + 1] = 0;
        return block;
    }
    size_t used = 1;
    auto* block = static_cast<char*>(std::malloc(used));
    if (!block) return nullptr;
    block[0] = 0;
    for (const std::string& full : paths) {
        std::string p = Cut(full, kMaxPath);
        auto* grown = static_cast<char*>(std::realloc(block, used + p.size() + 1));
        if (!grown) {
            std::free(block);
            return nullptr;
        }
        block = grown;
        std::memcpy(block + used, p.c_str(), p.size() + 1);
        used += p.size() + 1;
    }
    auto* grown = static_cast<char*>(std::realloc(block, used + 1));
    if (!grown) {
        std::free(block);
        return nullptr;
    }
    grown[used] = 0;
    return grown;
}

bool BrowseForDirectory(const char* title, const char* initialDir, char* out, int outSize) {
    if (!out || outSize < 1) return false;
    OpenPanel panel;
    panel.setAllowsMultipleSelection(false);
    panel.setCanChooseFiles(false);
    panel.setCanChooseDirectories(true);
    panel.setCanCreateDirectories(true);
    panel.setResolvesAliases(true);
    if (RunPanel(panel, title, initialDir ? initialDir : "", "") != SavePanel::kOK || panel.filenames().empty())
        return false;
    CopyOut(Cut(panel.filename(), kMaxPath), out, outSize);
    out[outSize - 1] = 0;
    return true;
}

int MessageBox(HWND, const char* text, const char* caption, int type) {
    struct Kind {
        int type;
        std::vector<std::string> buttons;
        std::vector<int> results;
        int escape;  // the button Escape answers, -1 for none
    };
    static const Kind kKinds[] = {
        {MB_OK, {"OK"}, {IDOK}, 0},
        {MB_OKCANCEL, {"OK", "Cancel"}, {IDOK, IDCANCEL}, 1},
        {MB_YESNOCANCEL, {"Yes", "Cancel", "No"}, {IDYES, IDCANCEL, IDNO}, 1},
        {MB_YESNO, {"Yes", "No"}, {IDYES, IDNO}, -1},
        {MB_RETRYCANCEL, {"Retry", "Cancel"}, {IDRETRY, IDCANCEL}, 1},
    };
    for (const Kind& k : kKinds) {
        if (k.type != type) continue;
        platform::appkit::AlertRequest r{caption ? caption : "", text ? text : "", k.buttons, k.escape};
        int chosen = Application::backend().runAlert(nullptr, r);
        if (k.type == MB_OK) return IDOK;
        return chosen >= 0 && chosen < static_cast<int>(k.results.size()) ? k.results[static_cast<size_t>(chosen)]
                                                                          : IDCANCEL;
    }
    return 0;
}
