// A recording window procedure for the toolkit's window tests: every message
// a window gets is written to one log as "name:MESSAGE", with answers and
// paint colours set per window.
#pragma once

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "shim/shim-dlg.h"
#include "shim/shim-gdi.h"
#include "shim/shim-wnd.h"

struct WindowRecorder {
    struct Entry {
        std::string name;
        int paintColour = -1;  // filled over BeginPaint's rectangle on WM_PAINT; -1: none
        std::map<UINT, LRESULT> answers;
        std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)> hook;  // runs first; nonzero answers
        std::vector<RECT> paints;                                 // BeginPaint's rectangle of each WM_PAINT
    };
    // The messages whose names the log carries; others are left out.
    static const char* NameOf(UINT msg) {
        switch (msg) {
            case WM_CREATE:
                return "CREATE";
            case WM_DESTROY:
                return "DESTROY";
            case WM_SIZE:
                return "SIZE";
            case WM_PAINT:
                return "PAINT";
            case WM_ERASEBKGND:
                return "ERASEBKGND";
            case WM_SHOWWINDOW:
                return "SHOWWINDOW";
            case WM_NCCALCSIZE:
                return "NCCALCSIZE";
            case WM_NCPAINT:
                return "NCPAINT";
            case WM_INITDIALOG:
                return "INITDIALOG";
            case WM_COMMAND:
                return "COMMAND";
            case WM_TIMER:
                return "TIMER";
            case WM_CTLCOLORDLG:
                return "CTLCOLORDLG";
            case WM_CAPTURECHANGED:
                return "CAPTURECHANGED";
            case WM_CONTEXTMENU:
                return "CONTEXTMENU";
            case WM_DISPLAYCHANGE:
                return "DISPLAYCHANGE";
            default:
                return nullptr;
        }
    }

    static WindowRecorder& get() {
        static WindowRecorder r;
        return r;
    }
    // Forgets the log and the paints; names and answers stay.
    void reset() {
        log.clear();
        for (auto& [h, e] : entries) e.paints.clear();
    }
    void forgetAll() {
        entries.clear();
        log.clear();
    }
    Entry& entry(HWND h) { return entries[h]; }
    void name(HWND h, const std::string& n) { entries[h].name = n; }
    std::string joined() const {
        std::string s;
        for (const auto& l : log) s += (s.empty() ? "" : " ") + l;
        return s;
    }
    // The log without messages of the given kinds.
    std::string without(std::initializer_list<const char*> kinds) const {
        std::string s;
        for (const auto& l : log) {
            bool skip = false;
            for (const char* k : kinds) skip = skip || l.find(std::string(":") + k) != std::string::npos;
            if (!skip) s += (s.empty() ? "" : " ") + l;
        }
        return s;
    }

    static LRESULT Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
        WindowRecorder& r = get();
        Entry& e = r.entries[h];
        // A window names itself through its creation parameter.
        if ((msg == WM_CREATE || msg == WM_INITDIALOG) && e.name.empty() && lp)
            e.name = reinterpret_cast<const char*>(lp);
        if (const char* n = NameOf(msg)) r.log.push_back((e.name.empty() ? "?" : e.name) + ":" + n);
        if (e.hook)
            if (LRESULT a = e.hook(h, msg, wp, lp)) return a;
        if (msg == WM_PAINT && e.paintColour >= 0) {
            PAINTSTRUCT ps;
            HDC hdc = BeginPaint(h, &ps);
            e.paints.push_back(ps.rcPaint);
            HGDIOBJ brush = CreateSolidBrush(e.paintColour);
            SHIM_FillRect(hdc, &ps.rcPaint, brush);
            DeleteObject(brush);
            EndPaint(h, &ps);
            return 0;
        }
        auto it = e.answers.find(msg);
        if (it != e.answers.end()) return it->second;
        return DefWindowProc(h, msg, wp, lp);
    }

    std::map<HWND, Entry> entries;
    std::vector<std::string> log;
};
