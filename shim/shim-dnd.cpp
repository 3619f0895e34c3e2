#include "shim/shim-dnd.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "shim/shim-dlg.h"
#include "shim/shim-gdi-image.h"
#include "shim/shim-kb.h"

void (*SHIM_DDrop_onDragEnter)(HGLOBAL block, int x, int y) = nullptr;
void (*SHIM_DDrop_onDragOver)(int x, int y) = nullptr;
void (*SHIM_DDrop_onDragLeave)() = nullptr;
const char* (*SHIM_DDrop_getDroppedFileTargetPath)(const char* type) = nullptr;

namespace {

// The longest path: PATH_MAX less its terminator.
constexpr size_t kMaxName = 4095;
constexpr int kHeader = 16;

struct DragSource {
    std::string fileName;
    SHIM_DragWriteCallback write = nullptr;
};

DragSource& dragSource() {
    static DragSource s;
    return s;
}

bool exists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string lastComponent(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void put32(char* at, int32_t v) { memcpy(at, &v, 4); }

}  // namespace

HGLOBAL SHIM_MakeDropFilesBlock(const std::vector<std::string>& names, int x, int y, const char* prefix) {
    const std::string pre = prefix ? prefix : "";
    // An empty name would end the list, and one holding a NUL would split.
    auto fits = [&](const std::string& n) {
        const size_t len = pre.size() + n.size();
        return len > 0 && len <= kMaxName && n.find('\0') == std::string::npos;
    };
    size_t size = kHeader + 1;
    for (const auto& n : names)
        if (fits(n)) size += pre.size() + n.size() + 1;
    if (size > 0x7FFFFFFF) return nullptr;
    HGLOBAL block = GlobalAlloc(0, (int)size);
    char* p = static_cast<char*>(GlobalLock(block));
    if (!p) return block;
    put32(p, kHeader);
    put32(p + 4, x);
    put32(p + 8, y);
    put32(p + 12, 0);
    char* at = p + kHeader;
    for (const auto& n : names) {
        if (!fits(n)) continue;
        memcpy(at, pre.data(), pre.size());
        at += pre.size();
        memcpy(at, n.data(), n.size());
        at += n.size();
        *at++ = 0;
    }
    *at = 0;
    GlobalUnlock(block);
    return block;
}

void SHIM_SetDragSourceState(const char* fileName, SHIM_DragWriteCallback write) {
    dragSource().fileName = fileName ? fileName : "";
    dragSource().write = write;
}

bool SHIM_HasDragSourceState() { return !dragSource().fileName.empty() && dragSource().write; }

void SHIM_FinishDragDrop() { dragSource() = DragSource{}; }

namespace {

// A drag out of a toolkit window, as the window system takes it.
platform::appkit::DragSourceRequest dragFrom(Shim_vHalvoran_hwnd* v, const RECT* from) {
    platform::appkit::DragSourceRequest r;
    r.window = v->window();
    r.source = v;
    if (from) {
        const platform::appkit::Point at = v->convertToWindow({from->left, from->top});
        r.from = {at.x, at.y, from->right - from->left, from->bottom - from->top};
    }
    return r;
}

}  // namespace

void SHIM_InitiateDragDrop(HWND h, const RECT* from, const char* fileName, SHIM_DragWriteCallback write) {
    SHIM_FinishDragDrop();
    Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h);
    if (!v || !fileName) return;
    SHIM_SetDragSourceState(fileName, write);
    const std::string name = fileName;
    const size_t dot = name.find_last_of('.');
    platform::appkit::DragSourceRequest r = dragFrom(v, from);
    r.promisedTypes = {dot == std::string::npos ? name : name.substr(dot + 1)};
    r.writePromisedFiles = [](const std::string& folder) { return SHIM_DoDragDrop(folder.c_str()); };
    platform::appkit::Application::backend().beginDrag(r);
}

void SHIM_InitiateDragDropOfFileList(HWND h, const RECT* from, const char** paths, int count, HGDIOBJ icon) {
    SHIM_FinishDragDrop();
    Shim_vHalvoran_hwnd* v = SHIM_WindowObjectOf(h);
    if (!v || !paths || count < 1) return;
    platform::appkit::DragSourceRequest r = dragFrom(v, from);
    r.from.width = r.from.height = 0;  // dragged from the corner
    for (int i = 0; i < count; ++i)
        if (paths[i]) r.fileNames.push_back(paths[i]);
    // A flipped copy of the icon's image.
    SHIM_StraightPixels(GetNSImageFromHICON(icon), true, &r.image);
    platform::appkit::Application::backend().beginDrag(r);
}

std::string SHIM_KeepBothName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    std::string stem = hasExt ? path.substr(0, dot) : path;
    const std::string ext = hasExt ? path.substr(dot) : "";
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t digits = 0;
    while (digits < stem.size() - nameStart && digits < 4 && isdigit((unsigned char)stem[stem.size() - 1 - digits]))
        ++digits;
    int n = 0;
    const size_t sep = stem.size() - digits - 1;
    if (digits >= 1 && digits <= 3 && stem.size() - nameStart > digits &&
        (stem[sep] == ' ' || stem[sep] == '_' || stem[sep] == '-')) {
        n = atoi(stem.c_str() + sep + 1);
        stem.resize(sep + 1);
    } else {
        stem += ' ';
    }
    for (int k = n + 1; k <= 999; ++k) {
        char number[16];
        snprintf(number, sizeof number, "%03d", k);
        std::string candidate = stem + number + ext;
        if (!exists(candidate)) return candidate;
    }
    return "";
}

std::vector<std::string> SHIM_DoDragDrop(const char* destinationFolder) {
    const DragSource source = dragSource();
    SHIM_FinishDragDrop();
    if (!destinationFolder || !*destinationFolder || source.fileName.empty() || !source.write) return {};
    const std::string name = lastComponent(source.fileName);
    std::string target = std::string(destinationFolder) + "/" + name;
    if (exists(target)) {
        platform::appkit::AlertRequest ask;
        ask.title = "Copy";
        ask.message = "An item named \"" + name +
                      "\" already exists in this location. Do you want to replace it with the one you're moving?";
        ask.buttons = {"Keep Both Files", "Stop", "Replace"};
        const int answer = platform::appkit::Application::backend().runAlert(nullptr, ask);
        if (answer == 1) return {};
        if (answer != 2) {
            target = SHIM_KeepBothName(target);
            if (target.empty()) return {};
        }
    }
    source.write(target.c_str());
    if (!exists(target)) return {};
    return {lastComponent(target)};
}
