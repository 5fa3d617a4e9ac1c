// The event log "Halvora.log" and the safe-close log "BTUPSSAV.LOG".
#pragma once

#include <string>

#include "profile_ini.h"

namespace qorwin {

// Appends an entry with the local time (a ring of 500).
void LogEvent(const char* text);
// Whether Halvora.log can be written, found without changing it (a missing
// one is created and removed again); the outcome counts as a log access.
bool CheckEventLogWritable();
// Empties it, under the same lock as LogEvent.
void ClearEventLog();

ProfileIni EventLogFile();
// Brantel\BTUPSSAV.LOG in the Windows folder, written by the safe-close library.
ProfileIni SafeCloseLogFile();

}  // namespace qorwin
