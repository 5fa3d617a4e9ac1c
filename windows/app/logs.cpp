#include "logs.h"

#include <windows.h>

#include "event_log.h"

namespace qorwin {

ProfileIni EventLogFile() { return ProfileIni(kEventLogFile); }

ProfileIni SafeCloseLogFile() {
    return ProfileIni(WindowsFolder() + kSafeCloseLogFolder + "\\" + kSafeCloseLogFile);
}

void LogEvent(const char* text) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    LogTime t{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute};
    ProfileIni log = EventLogFile();
    AppendLogEntry(log, t, text);
}

}  // namespace qorwin
