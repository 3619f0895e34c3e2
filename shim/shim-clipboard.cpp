#include "shim/shim-clipboard.h"

#include "platform/appkit/Pasteboard.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using platform::appkit::Bytes;
using platform::appkit::Paste;
using platform::appkit::Pasteboard;
using platform::appkit::PasteFailure;

namespace {

constexpr const char* kTextFormatName = "SHIM__CF_TEXT";
constexpr const char* kPrivatePasteboard = "SHIM_APP";

// A format set but not yet written; the record owns its handle.
struct PendingClip {
    UINT format;
    HGLOBAL handle;
};

std::vector<std::string> m_clip_fmts;  // pasteboard type of format n at n - 1
std::vector<UINT> m_clip_curfmts;      // the private pasteboard's formats at the last open
std::vector<PendingClip> m_clipsPending;
std::vector<HGLOBAL> m_clip_recs;  // handed out by GetClipboardData

const std::string* typeOf(UINT format) {
    return format >= 1 && format <= m_clip_fmts.size() ? &m_clip_fmts[format - 1] : nullptr;
}

void dropPending() {
    for (auto& p : m_clipsPending) GlobalFree(p.handle);
    m_clipsPending.clear();
}

DWORD errorOf(PasteFailure failure) {
    switch (failure) {
        case PasteFailure::TimedOut:
            return ERROR_TIMEOUT;
        case PasteFailure::TooLarge:
            return ERROR_NOT_ENOUGH_MEMORY;
        case PasteFailure::TooManyTypes:
            return ERROR_INVALID_DATA;
        case PasteFailure::NoFailure:
            break;
    }
    return ERROR_SUCCESS;
}

HGLOBAL handleOf(const void* bytes, size_t n) {
    if (n > size_t(INT32_MAX)) return nullptr;
    HGLOBAL h = GlobalAlloc(0, int(n));
    if (h && n) std::memcpy(GlobalLock(h), bytes, n);
    if (h && n) GlobalUnlock(h);
    return h;
}

}  // namespace

UINT RegisterClipboardFormat(const char* name) {
    if (!name) return 0;
    std::string type = std::strcmp(name, kTextFormatName) == 0 ? platform::appkit::kPasteboardTypeString : name;
    auto it = std::find(m_clip_fmts.begin(), m_clip_fmts.end(), type);
    if (it != m_clip_fmts.end()) return UINT(it - m_clip_fmts.begin()) + 1;
    m_clip_fmts.push_back(type);
    return UINT(m_clip_fmts.size());
}

BOOL OpenClipboard(HWND) {
    dropPending();
    RegisterClipboardFormat(kTextFormatName);
    m_clip_curfmts.clear();
    for (const std::string& type : Pasteboard::named(kPrivatePasteboard).types()) {
        auto it = std::find(m_clip_fmts.begin(), m_clip_fmts.end(), type);
        if (it == m_clip_fmts.end()) continue;
        UINT format = UINT(it - m_clip_fmts.begin()) + 1;
        if (std::find(m_clip_curfmts.begin(), m_clip_curfmts.end(), format) == m_clip_curfmts.end())
            m_clip_curfmts.push_back(format);
    }
    return TRUE;
}

BOOL EmptyClipboard() {
    dropPending();
    return TRUE;
}

HANDLE SetClipboardData(UINT format, HANDLE data) {
    if (!data) return nullptr;
    HGLOBAL handle = data;
    bool takenForOther = std::any_of(m_clipsPending.begin(), m_clipsPending.end(),
                                     [&](const PendingClip& p) { return p.handle == data && p.format != format; });
    if (takenForOther) {
        handle = handleOf(data, size_t(GlobalSize(data)));
        if (!handle) return nullptr;
    }
    auto same = std::find_if(m_clipsPending.begin(), m_clipsPending.end(),
                             [&](const PendingClip& p) { return p.format == format; });
    if (same == m_clipsPending.end()) {
        m_clipsPending.push_back({format, handle});
    } else if (same->handle != handle) {
        GlobalFree(same->handle);
        same->handle = handle;
    }
    return handle;
}

BOOL CloseClipboard() {
    for (HGLOBAL h : m_clip_recs) GlobalFree(h);
    m_clip_recs.clear();
    if (m_clipsPending.empty()) return TRUE;
    const UINT text = RegisterClipboardFormat(kTextFormatName);
    bool withText = std::any_of(m_clipsPending.begin(), m_clipsPending.end(),
                                [&](const PendingClip& p) { return p.format == text; });
    Pasteboard board = withText ? Pasteboard::general() : Pasteboard::named(kPrivatePasteboard);
    std::vector<std::string> types;
    for (const auto& p : m_clipsPending)
        if (const std::string* t = typeOf(p.format)) types.push_back(*t);
    if (!types.empty()) {
        board.declareTypes(types);
        for (const auto& p : m_clipsPending) {
            const std::string* type = typeOf(p.format);
            auto bytes = static_cast<const char*>(type ? GlobalLock(p.handle) : nullptr);
            if (!bytes) continue;
            size_t n = size_t(GlobalSize(p.handle));
            // Text ends at its terminator, or at the end of the block.
            if (p.format == text) n = strnlen(bytes, n);
            board.setData(Bytes(bytes, bytes + n), *type);
            GlobalUnlock(p.handle);
        }
    }
    dropPending();
    return TRUE;
}

UINT EnumClipboardFormats(UINT format) {
    if (format == 0) return m_clip_curfmts.empty() ? 0 : m_clip_curfmts.front();
    for (size_t i = m_clip_curfmts.size(); i-- > 1;)
        if (m_clip_curfmts[i - 1] == format) return m_clip_curfmts[i];
    return 0;
}

HANDLE GetClipboardData(UINT format) {
    SetLastError(ERROR_SUCCESS);
    const std::string* type = typeOf(format);
    if (!type) return nullptr;
    HGLOBAL h = nullptr;
    Paste paste;
    if (format == RegisterClipboardFormat(kTextFormatName)) {
        // The types first: an owner that offers no text (or does not answer)
        // is asked nothing more.
        Pasteboard general = Pasteboard::general();
        auto types = general.types(&paste);
        auto text = std::find(types.begin(), types.end(), *type) != types.end() ? general.stringForType(*type, &paste)
                                                                                : std::nullopt;
        if (text) h = handleOf(text->c_str(), text->size() + 1);
    } else {
        auto data = Pasteboard::named(kPrivatePasteboard).dataForType(*type, &paste);
        if (data) h = handleOf(data->data(), data->size());
    }
    SetLastError(errorOf(paste.failure));
    if (h) m_clip_recs.push_back(h);
    return h;
}
