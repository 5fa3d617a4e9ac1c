// A halvora.exe started for one test and ended with its tray menu's Exit.
#pragma once

#include <gtest/gtest.h>

#include "harness.h"

namespace wt {

inline constexpr char kTrayTitle[] = "HalvoraQor";
inline constexpr UINT kTrayCallback = WM_USER + 1;
inline constexpr WPARAM kCmdShow = 32771;
inline constexpr WPARAM kCmdAbout = 32772;
inline constexpr WPARAM kCmdExit = 32774;

inline bool OwnedBy(HWND w, DWORD pid) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    return owner == pid;
}

inline HWND WindowOf(DWORD pid, const char* cls, const char* title) {
    for (HWND w : TopWindows(cls, title))
        if (OwnedBy(w, pid)) return w;
    return nullptr;
}

class Halvora {
public:
    ~Halvora() { Exit(); }

    // Starts it and waits until the start-up is through (its defaults exist).
    bool Start(bool waitForDefaults = true) {
        return proc.Start("halvora.exe") && WaitReady(waitForDefaults);
    }

    bool WaitReady(bool waitForDefaults = true) {
        bool ok = WaitFor([this, waitForDefaults] {
            tray = WindowOf(proc.Id(), nullptr, kTrayTitle);
            dlg = MainDialog();
            RegValue v;
            return tray && dlg && (!waitForDefaults || ReadQorValue("Pager Number", v));
        }, 20000);
        return ok;
    }

    HWND MainDialog() const {
        for (HWND w : TopWindows("#32770", "Halvora"))
            if (OwnedBy(w, proc.Id()) && GetDlgItem(w, 1094)) return w;
        return nullptr;
    }

    void Exit() {
        if (proc.Running() && tray) PostMessageA(tray, WM_COMMAND, kCmdExit, 0);
        proc.WaitExit(8000);
        proc.Kill();
        tray = dlg = nullptr;
    }

    Process proc;
    HWND tray = nullptr;
    HWND dlg = nullptr;
};

// The visible message box of a process with the given caption, or nullptr.
inline HWND MessageBoxOf(DWORD pid, const char* caption) {
    for (HWND w : TopWindows("#32770", caption))
        if (OwnedBy(w, pid) && IsWindowVisible(w) && !GetDlgItem(w, 1094)) return w;
    return nullptr;
}

// The text of a message box (its static with id 0xFFFF).
inline std::string MessageBoxText(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

}  // namespace wt
