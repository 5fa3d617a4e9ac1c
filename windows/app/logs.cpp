#include "logs.h"

#include <windows.h>

#include "access_faults.h"
#include "event_log.h"
#include "safe_close_rules.h"
#include "win_raii.h"

namespace qorwin {
namespace {

// The GUI thread and MailThread both log: the count and the entry are read
// and written as one step, or two entries could get one number.
SRWLOCK g_eventLogLock = SRWLOCK_INIT;

}  // namespace

ProfileIni EventLogFile() { return ProfileIni(kEventLogFile); }

ProfileIni SafeCloseLogFile() {
    char windows[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(windows, MAX_PATH);
    char folder[kCloseTextSize];
    char path[kCloseTextSize];
    if (n == 0 || n >= MAX_PATH || !SafeCloseLogFolder(windows, folder, sizeof folder) ||
        !SafeCloseLogPath(folder, path, sizeof path))
        path[0] = '\0';
    return ProfileIni(path);
}

void LogEvent(const char* text) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LogTime t{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute};
    ProfileIni log = EventLogFile();
    SrwGuard hold(g_eventLogLock);
    AppendLogEntry(log, t, text);
    ProcessAccessFaults().Report(kFaultEventLog, !log.WriteFailed());
}

bool CheckEventLogWritable() {
    const std::string path = WindowsFolder() + kEventLogFile;
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    // A probe file made here must not be removed under an entry being written.
    SrwGuard hold(g_eventLogLock);
    UniqueHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, share, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file && GetLastError() == ERROR_FILE_NOT_FOUND)
        file.reset(CreateFileA(path.c_str(), GENERIC_WRITE | DELETE, share, nullptr, CREATE_NEW,
                               FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    const bool ok = static_cast<bool>(file);
    ProcessAccessFaults().Report(kFaultEventLog, ok);
    return ok;
}

void ClearEventLog() {
    ProfileIni log = EventLogFile();
    SrwGuard hold(g_eventLogLock);
    ClearHistory(log);
}

}  // namespace qorwin
