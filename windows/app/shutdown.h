// The end of a countdown: the safe-close library of the running Windows
// family, the UPS told to switch off through DTR, and the end-of-session
// handler that finishes the shutdown.
#pragma once

#include <windows.h>


namespace qorwin {

// Blocks the calling (GUI) thread for the whole sequence. `watchedPort`: the
// port the countdown was watched on (see PortToClose).
void RunShutdown(HWND mainDialog, const char* watchedPort);

// WM_QUERYENDSESSION and WM_ENDSESSION: with a shutdown marked in "Shutups",
// the marker file, a minute's wait, the DTR pulse and the end of Windows.
// Default processing follows in every case.
void HandleEndSession();

}  // namespace qorwin
