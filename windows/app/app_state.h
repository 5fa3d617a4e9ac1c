// What the whole halvora process shares: its registered messages, the UPS
// port number and the worker threads' ids.
#pragma once

#include <windows.h>

#include <string>

#include "main_dialog_lookup.h"  // kMainDialogTitle

namespace qorwin {

struct AppMessages {
    UINT warningType = 0;  // "Halvora Qor Warning Type"
    UINT makePager = 0;    // "Make Pager"
    UINT sendEmail = 0;    // "Send E-Mail"
};

// Registers the three messages; called once at program start.
void RegisterAppMessages();
const AppMessages& Messages();

// n of COMn on which the UPS was found (1..4), 0 when none.
int PortNumber();
void SetPortNumber(int n);

struct WorkerThreads {
    HANDLE mail = nullptr;
    DWORD mailId = 0;
    HANDLE pager = nullptr;
    DWORD pagerId = 0;
};
WorkerThreads& Workers();

inline constexpr char kTrayWindowTitle[] = "HalvoraQor";
inline constexpr char kInstanceMutex[] = "Brantel Halvora background";
inline constexpr UINT kTrayCallback = WM_USER + 1;

// Title of the warning pop-up: text 1030 of the language library, or the
// pop-up's own fixed name when the library gives none (an empty title would
// match some unrelated untitled window).
std::string WarningWindowTitle();

}  // namespace qorwin
