// The event log "Halvora.log" and the safe-close log "BTUPSSAV.LOG".
#pragma once

#include <string>

#include "profile_ini.h"

namespace qorwin {

// Appends an entry with the local time (a ring of 500).
void LogEvent(const char* text);
// Empties it, under the same lock as LogEvent.
void ClearEventLog();

ProfileIni EventLogFile();
// Brantel\BTUPSSAV.LOG in the Windows folder, written by the safe-close library.
ProfileIni SafeCloseLogFile();

}  // namespace qorwin
