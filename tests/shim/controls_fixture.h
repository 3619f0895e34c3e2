// A headless dialog for the control tests: a window whose content is a
// toolkit window object with a recording dialog procedure, the creation
// state set to one pixel per unit on it, and input sent as the window
// system would.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Backend.h"
#include "platform/appkit/HeadlessBackend.h"
#include "platform/appkit/Window.h"
#include "platform/controls/Table.h"
#include "shim/shim-dlg.h"
#include "shim/shim-wnd-controls.h"

// One message the dialog procedure got: WM_COMMAND's id and code, or
// WM_NOTIFY's record.
struct ControlNote {
    UINT msg;
    int id;
    int code;
    LPARAM lp;
    NMLISTVIEW nm;
};

class DialogFixture : public testing::Test {
protected:
    static std::vector<ControlNote>& notes() {
        static std::vector<ControlNote> n;
        return n;
    }
    // Runs first for every message; a nonzero answer is returned.
    static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>& hook() {
        static std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> h;
        return h;
    }
    static LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        if (hook())
            if (LRESULT a = hook()(h, msg, wp, lp)) return a;
        ControlNote n{msg, static_cast<int>(wp & 0xFFFF), static_cast<int>((wp >> 16) & 0xFFFF), lp, {}};
        if (msg == WM_NOTIFY) {
            auto* hdr = reinterpret_cast<const NMHDR*>(lp);
            n.code = hdr->code;
            // Tables send list-view records; other senders a bare header.
            bool table = dynamic_cast<platform::controls::TableView*>(hdr->hwndFrom) != nullptr;
            if (table && hdr->code != LVN_GETDISPINFO) n.nm = *reinterpret_cast<const NMLISTVIEW*>(lp);
        }
        if (msg == WM_COMMAND || msg == WM_NOTIFY || msg == WM_HSCROLL || msg == WM_CONTEXTMENU || msg == WM_DRAWITEM ||
            msg == 0x200 || msg == 0x202)
            notes().push_back(n);
        return 0;
    }

    void SetUp() override {
        auto b = std::make_unique<platform::appkit::HeadlessBackend>();
        backend = b.get();
        platform::appkit::Application::setBackend(std::move(b));
        notes().clear();
        hook() = nullptr;
        window = std::make_unique<platform::appkit::Window>(platform::appkit::Size{400, 300}, "dialog");
        static SHIM_DialogResourceIndex r{"controls", "controls", 4 | 0x10, nullptr, 400, 300, nullptr};
        Shim_vHalvoran_hwnd* v = Shim_vHalvoran_hwnd::initChild(&r, window.get(), Proc, 0);
        v->setHidden(false);
        dlg = v->handle();
        SHIM_MakeSetCurParms(1, 1, 0, 0, dlg, false, false);
    }
    void TearDown() override {
        hook() = nullptr;
        window.reset();
    }

    // Codes of the recorded messages of one kind.
    std::vector<int> codes(UINT msg) const {
        std::vector<int> out;
        for (const ControlNote& n : notes())
            if (n.msg == msg) out.push_back(n.code);
        return out;
    }
    void mouse(platform::appkit::EventType t, platform::appkit::Point at, int clicks = 1,
               platform::appkit::MouseButton b = platform::appkit::MouseButton::Left,
               platform::appkit::Modifiers m = {}) {
        auto e = platform::appkit::Event::mouse(t, at, b, clicks);
        e.modifiers = m;
        window->sendEvent(e);
    }
    void click(platform::appkit::Point at, int clicks = 1) {
        mouse(platform::appkit::EventType::MouseDown, at, clicks);
        mouse(platform::appkit::EventType::MouseUp, at, clicks);
    }
    void type(const std::u32string& text) {
        for (char32_t c : text)
            window->sendEvent(platform::appkit::Event::keyDown({0, 0}, platform::appkit::Key::Character, c));
    }

    platform::appkit::HeadlessBackend* backend = nullptr;
    std::unique_ptr<platform::appkit::Window> window;
    HWND dlg = nullptr;
};
