#include "shim/shim-dnd.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "platform/appkit/Backend.h"

void (*SHIM_DDrop_onDragEnter)(HGLOBAL block, int x, int y) = nullptr;
void (*SHIM_DDrop_onDragOver)(int x, int y) = nullptr;
void (*SHIM_DDrop_onDragLeave)() = nullptr;
const char* (*SHIM_DDrop_getDroppedFileTargetPath)(const char* type) = nullptr;

namespace {

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
    size_t size = kHeader + 1;
    for (const auto& n : names) size += pre.size() + std::min(n.size(), kMaxName) + 1;
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
        memcpy(at, pre.data(), pre.size());
        at += pre.size();
        const size_t len = std::min(n.size(), kMaxName);
        memcpy(at, n.data(), len);
        at += len;
        *at++ = 0;
    }
    *at = 0;
    GlobalUnlock(block);
    return block;
}

bool SHIM_ReadDropFilesBlock(HGLOBAL block, std::vector<std::string>* names, POINT* at) {
    const int size = GlobalSize(block);
    const char* p = static_cast<const char*>(GlobalLock(block));
    if (!p) return false;
    int32_t offset = 0;
    memcpy(&offset, p, 4);
    bool whole = size >= kHeader + 1 && offset >= kHeader && offset < size;
    if (whole && at) {
        memcpy(&at->x, p + 4, 4);
        memcpy(&at->y, p + 8, 4);
    }
    if (names) names->clear();
    for (int i = offset; whole;) {
        const void* end = memchr(p + i, 0, (size_t)(size - i));
        if (!end) {
            whole = false;
            break;
        }
        const int len = (int)(static_cast<const char*>(end) - (p + i));
        if (len == 0) break;  // the list's end
        if (names) names->emplace_back(p + i, (size_t)len);
        i += len + 1;
        whole = i < size;
    }
    GlobalUnlock(block);
    return whole;
}

void SHIM_SetDragSourceState(const char* fileName, SHIM_DragWriteCallback write) {
    dragSource().fileName = fileName ? fileName : "";
    dragSource().write = write;
}

bool SHIM_HasDragSourceState() { return !dragSource().fileName.empty() && dragSource().write; }

void SHIM_FinishDragDrop() { dragSource() = DragSource{}; }

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
