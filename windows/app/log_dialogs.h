// CHistoryDlg (Review History, 134) and CShutdownLogDlg (ShutDown Status, 136):
// the event log and the safe-close log, each with Clear.
#pragma once

#include <windows.h>

namespace qorwin {

void ShowReviewHistory(HINSTANCE inst, HWND owner);
void ShowShutdownStatus(HINSTANCE inst, HWND owner);

}  // namespace qorwin
