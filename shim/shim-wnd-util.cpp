// Window utilities: painting entry points, mouse capture, DefWindowProc,
// broadcast, properties, dropped-file blocks, non-client mouse routing and
// opening documents and addresses.
#include <strings.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/Backend.h"
#include "platform/appkit/Event.h"
#include "shim/shim-dlg.h"
#include "shim/shim-dnd.h"
#include "shim/shim-wnd-internal.h"
#include "shim/shim-wnd.h"

using namespace platform::appkit;
using namespace shimwnd;

namespace {

HWND m_fakeCapture = nullptr;
bool m_capChangeNotify = false;

LPARAM PackPoint(POINT p) {
    return static_cast<LPARAM>((static_cast<uint32_t>(p.y) << 16) | (static_cast<uint32_t>(p.x) & 0xFFFF));
}

POINT UnpackPoint(LPARAM lp) { return {static_cast<int16_t>(lp & 0xFFFF), static_cast<int16_t>((lp >> 16) & 0xFFFF)}; }

bool EqualsNoCase(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

bool StartsWithNoCase(const char* s, const char* prefix) { return strncasecmp(s, prefix, std::strlen(prefix)) == 0; }

bool EndsWithAppNoCase(const std::string& s) { return s.size() >= 5 && EqualsNoCase(s.substr(s.size() - 4), ".app"); }

// The block whose names dropIndex() holds; GlobalFree forgets it.
std::atomic<HGLOBAL> g_indexedDrop{nullptr};

// The indexed block's size and list offset, where each of its names starts,
// then where the last one's terminator ends.
struct DropIndex {
    int size = 0;
    uint32_t list = 0;
    std::vector<uint32_t> starts;
};

DropIndex& dropIndex() {
    static DropIndex index;
    return index;
}

// The names of a dropped-file block, bounded by the block's size. The list
// is walked once per block and where each name starts kept, so that reading
// a drop name by name is linear; a name read is checked against the block
// as it is now.
struct DropNames {
    explicit DropNames(HDROP h) : h_(h), base_(static_cast<const char*>(GlobalLock(h))), size_(GlobalSize(h)) {}
    ~DropNames() {
        if (base_) GlobalUnlock(h_);
    }
    const DROPFILES* header() const {
        return base_ && size_ >= static_cast<int>(sizeof(DROPFILES)) ? reinterpret_cast<const DROPFILES*>(base_)
                                                                     : nullptr;
    }
    // The name at index, or null past the list's end (or a malformed block).
    const char* name(UINT index, size_t* length) {
        const DROPFILES* d = header();
        if (!d) return nullptr;
        if (!indexed()) walk();
        const std::vector<uint32_t>& starts = dropIndex().starts;
        for (int pass = 0;; ++pass) {
            if (index + size_t(1) >= starts.size()) return nullptr;
            const size_t start = starts[index], end = starts[index + 1] - 1;
            const bool afterName = start == d->pFiles || base_[start - 1] == 0;
            if (afterName && std::memchr(base_ + start, 0, end - start + 1) == base_ + end) {
                *length = end - start;
                return base_ + start;
            }
            if (pass == 1) return nullptr;
            walk();
        }
    }
    UINT count() {
        if (!header()) return 0;
        if (!indexed()) walk();
        return static_cast<UINT>(dropIndex().starts.size() - 1);
    }
    bool indexed() const {
        const DropIndex& index = dropIndex();
        return g_indexedDrop.load() == h_ && index.size == size_ && index.list == header()->pFiles;
    }
    void walk() {
        DropIndex& index = dropIndex();
        index.size = size_;
        index.list = header()->pFiles;
        index.starts.clear();
        const size_t end = static_cast<size_t>(size_);
        size_t at = index.list;
        while (at < end) {
            const void* nul = std::memchr(base_ + at, 0, end - at);
            if (!nul || nul == base_ + at) break;
            index.starts.push_back(static_cast<uint32_t>(at));
            at = static_cast<size_t>(static_cast<const char*>(nul) - base_) + 1;
        }
        index.starts.push_back(static_cast<uint32_t>(at));
        g_indexedDrop = h_;
    }
    HDROP h_;
    const char* base_;
    int size_;
};

}  // namespace

void SHIM_ForgetDropFilesBlock(HGLOBAL block) {
    HGLOBAL indexed = block;
    if (block) g_indexedDrop.compare_exchange_strong(indexed, nullptr);
}

HDC BeginPaint(HWND h, PAINTSTRUCT* ps) {
    if (!h || !ps) return nullptr;
    ps->hdc = nullptr;
    ps->fErase = 0;
    ps->rcPaint = {0, 0, 0, 0};
    auto* source = Responder::isLive(h) ? dynamic_cast<SHIM_PaintInfoSource*>(h) : nullptr;
    if (!source) return nullptr;
    source->getShimPaintInfo(ps);
    return ps->hdc;
}

BOOL EndPaint(HWND h, PAINTSTRUCT* ps) { return TRUE; }

HWND GetCapture() { return m_fakeCapture; }

HWND SetCapture(HWND h) {
    HWND old = m_fakeCapture;
    bool oldNotify = m_capChangeNotify;
    m_fakeCapture = h;
    m_capChangeNotify = SHIM_Answers(h, SHIM_SEL_CAPCHANGENOTIFY) && SHIM_ObjectOf(h)->shimCapChangeNotify() != 0;
    if (old != h && old && oldNotify) SendMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LPARAM>(h));
    return old;
}

void ReleaseCapture() {
    HWND old = m_fakeCapture;
    m_fakeCapture = nullptr;
    if (old && m_capChangeNotify) SendMessage(old, WM_CAPTURECHANGED, 0, 0);
}

BOOL SetProp(HWND h, const char* name, void* value) {
    if (!SHIM_Answers(h, SHIM_SEL_PROPS)) return 0;
    return SHIM_ObjectOf(h)->shimSetProp(name, value) ? TRUE : 0;
}

void* GetProp(HWND h, const char* name) {
    return SHIM_Answers(h, SHIM_SEL_PROPS) ? SHIM_ObjectOf(h)->shimGetProp(name, false) : nullptr;
}

void* RemoveProp(HWND h, const char* name) {
    return SHIM_Answers(h, SHIM_SEL_PROPS) ? SHIM_ObjectOf(h)->shimGetProp(name, true) : nullptr;
}

int EnumPropsEx(HWND h, PROPENUMPROCEX proc, LPARAM lp) {
    return SHIM_Answers(h, SHIM_SEL_PROPS) ? SHIM_ObjectOf(h)->shimEnumProps(proc, lp) : -1;
}

BOOL DragQueryPoint(HDROP h, POINT* p) {
    if (!h) return 0;
    DropNames block(h);
    const DROPFILES* d = block.header();
    if (!d) return 0;
    if (p) *p = d->pt;
    return d->fNC == 0 ? TRUE : FALSE;
}

UINT DragQueryFile(HDROP h, UINT index, char* buf, UINT size) {
    if (!h) return 0;
    DropNames block(h);
    if (index == 0xFFFFFFFF) return block.count();
    size_t len = 0;
    const char* name = block.name(index, &len);
    if (!name) return 0;
    if (!buf) return static_cast<UINT>(len);
    if (static_cast<int>(size) <= 0) return 0;
    size_t n = std::min(len, static_cast<size_t>(size) - 1);
    std::memcpy(buf, name, n);
    buf[n] = 0;
    return static_cast<UINT>(n);
}

void DragFinish(HDROP h) {}

LRESULT DefWindowProc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_CONTEXTMENU:
        case WM_GESTURE:
        case WM_MOUSEWHEEL:
        case WM_MOUSEHWHEEL: {
            for (View* v = AsView(h); v;) {
                if (IsContentView(v) || !v->superview()) return 0;
                v = v->superview();
                if (SHIM_Answers(v, SHIM_SEL_MESSAGE)) return SendMessage(v, msg, wp, lp);
            }
            return 0;
        }
        case WM_NCHITTEST: {
            RECT r;
            GetWindowRect(h, &r);
            POINT p = UnpackPoint(lp);
            if (r.top > r.bottom) {
                std::swap(r.top, r.bottom);
                p.y = r.bottom - p.y + r.top;
            }
            NCCALCSIZE_PARAMS nc{};
            nc.rgrc[0] = r;
            SendMessage(h, WM_NCCALCSIZE, 0, reinterpret_cast<LPARAM>(&nc));
            return SHIM_PtInRect(&nc.rgrc[0], p) ? HTCLIENT : 0;
        }
        case WM_NCRBUTTONUP:
            SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), lp);
            return 1;
        case WM_RBUTTONUP: {
            POINT p = UnpackPoint(lp);
            ClientToScreen(h, &p);
            HWND target = WindowFromPoint(p);
            View* tv = AsView(target);
            if (Window* w = AsWindow(h)) {
                if (!tv || tv->window() != w) target = h;
            } else if (View* v = AsView(h)) {
                if (!tv || !tv->isDescendantOf(v)) target = h;
            } else {
                target = h;
            }
            SendMessage(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(target), PackPoint(p));
            return 1;
        }
        case WM_KEYDOWN:
        case WM_KEYUP:
            return 69;
        case WM_DISPLAYCHANGE: {
            if (View* v = AsView(h))
                for (View* s : std::vector<View*>(v->subviews()))
                    if (SHIM_Answers(s, SHIM_SEL_MESSAGE)) SendMessage(s, msg, wp, lp);
            if (auto d = reinterpret_cast<DLGPROC>(GetWindowLongPtr(h, DWL_DLGPROC)))
                SHIM_DoDialogColorUpdates(h, d, true);
            return 0;
        }
        default:
            return 0;
    }
}

void SHIM_BroadcastMessage(UINT msg, WPARAM wp, LPARAM lp) {
    for (Window* w : Application::windows()) {
        if (!Responder::isLive(w)) continue;
        View* c = w->contentView();
        if (!c || !SHIM_Answers(c, SHIM_SEL_MESSAGE)) continue;
        SendMessage(c, msg, wp, lp);
        if (msg == WM_DISPLAYCHANGE && Responder::isLive(c)) InvalidateRect(c, nullptr, FALSE);
    }
}

BOOL SHIM_HandleMouseEvent(Window* w, const Event& e) {
    if (GetCapture() || !Responder::isLive(w) || !w->contentView()) return 0;
    bool left = e.button == MouseButton::Left, right = e.button == MouseButton::Right;
    void (View::*deliver)(const Event&) = nullptr;
    switch (e.type) {
        case EventType::MouseDown:
        case EventType::MouseUp:
            if (left || right) deliver = e.type == EventType::MouseDown ? &View::mouseDown : &View::mouseUp;
            break;
        case EventType::MouseMoved:
            deliver = &View::mouseMoved;
            break;
        case EventType::MouseDragged:
            if (e.leftDown || e.rightDown) deliver = &View::mouseDragged;
            break;
        default:
            break;
    }
    if (!deliver) return 0;
    View* content = w->contentView();
    View* hit = content->hitTest(e.location);
    FPoint s = w->convertToScreen({static_cast<double>(e.location.x), static_cast<double>(e.location.y)});
    POINT screen{static_cast<int>(std::floor(s.x)), static_cast<int>(std::floor(s.y))};
    View* target = nullptr;
    for (View* v = hit; v; v = v->superview()) {
        if (SHIM_Answers(v, SHIM_SEL_MESSAGE) && SendMessage(v, WM_NCHITTEST, 0, PackPoint(screen)) > 1) target = v;
        if (v == content) break;
    }
    if (!target || !Responder::isLive(target)) return 0;
    (target->*deliver)(e);
    return TRUE;
}

BOOL ShellExecute(HWND h, const char* verb, const char* file, const char* parms, const char* dir, int show) {
    if (!file) file = "";
    Backend& workspace = Application::backend();
    if (StartsWithNoCase(file, "http://")) return workspace.openURL(file) ? TRUE : 0;
    std::string app = file;
    if (EqualsNoCase(app, "explorer.exe"))
        app.clear();
    else if (EqualsNoCase(app, "notepad.exe") || EqualsNoCase(app, "notepad"))
        app = "TextEdit.app";
    std::string doc = parms ? parms : "";
    if (EqualsNoCase(doc, "explorer.exe")) doc.clear();
    if (!app.empty() && !doc.empty()) return workspace.openFile(doc, app) ? TRUE : 0;
    std::string target = !app.empty() ? app : doc;
    if (target.empty()) return 0;
    if (EndsWithAppNoCase(target)) return workspace.launchApplication(target) ? TRUE : 0;
    return workspace.openFile(target, std::string()) ? TRUE : 0;
}
