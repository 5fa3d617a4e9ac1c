// Finding halvora's main dialog by its title "Halvora". Message boxes carry
// that title too, so the dialog is told apart by its class and by its
// animation frame (control 1094), which no message box has.
#pragma once

#include <windows.h>

namespace qorwin {

inline constexpr char kMainDialogTitle[] = "Halvora";
inline constexpr int kMainDialogMarkControl = 1094;

namespace detail {
inline BOOL CALLBACK MatchMainDialog(HWND w, LPARAM lp) {
    char title[16] = {};
    char cls[16] = {};
    if (GetWindowTextA(w, title, sizeof title) <= 0 || lstrcmpA(title, kMainDialogTitle) != 0) return TRUE;
    if (GetClassNameA(w, cls, sizeof cls) <= 0 || lstrcmpA(cls, "#32770") != 0) return TRUE;
    if (!GetDlgItem(w, kMainDialogMarkControl)) return TRUE;
    *reinterpret_cast<HWND*>(lp) = w;
    return FALSE;
}
}  // namespace detail

// The main dialog, shown or hidden; nullptr when halvora does not run.
inline HWND FindMainDialog() {
    HWND found = nullptr;
    EnumWindows(&detail::MatchMainDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

}  // namespace qorwin
