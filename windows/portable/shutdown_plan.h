// Which steps the shutdown sequence takes on which Windows, decided apart
// from the calls that take them.
#pragma once

#include <cstdint>

#include "safe_close_rules.h"  // WinVersion

namespace qorwin {

inline constexpr std::uint32_t kPlatformNt = 2;

// Port index 0..3 handed to SafeClose for "COM1".."COM4" (exactly); -1 skips
// the safe close.
int SafeCloseIndex(const char* port);

// The port the shutdown closes and later signals: the one whose line the
// ending countdown was watched on (the UPS is there, also when "Port" was
// changed since to NONE or to a port that did not answer), else "Port".
const char* PortToClose(const char* stored, const char* watched);

// "CLOZWINNT.dll" on the NT family, "CLOZWIN9.dll" on the 9x family.
const char* SafeCloseLibrary(const WinVersion& v);

// Windows 98 (9x, 4.10 to 4.89): "AutoScan" in c:\msdos.sys is turned off
// before the library is loaded.
bool TurnsOffAutoScanBeforeClose(const WinVersion& v);

enum class AfterSafeClose {
    Nothing,
    LogOffThenSignal,  // Windows Me: log off, 3 s, DTR on the "Port" for 10 s
    AutoScanOff,       // Windows 98: c:\msdos.sys "AutoScan" = "0" once more
};
AfterSafeClose StepAfterSafeClose(const WinVersion& v);

// The end-of-session handler for a stored "Shutups".
struct EndSessionPlan {
    bool act = false;       // false: default processing only
    int signalPort = 0;     // n of COMn for the DTR pulse
    bool ntPrivilege = false;  // enable SeShutdownPrivilege before ExitWindowsEx
};
EndSessionPlan PlanEndSession(std::uint32_t shutups, const WinVersion& v);

inline constexpr std::uint32_t kShutupsSignalled = 1000;  // the UPS has been told

// A "Shutups" left non-zero from an earlier run is cleared at start: that
// shutdown is over, and a stale one would make every later log-off wait a
// minute and shut the machine down.
inline bool ClearsStaleShutups(std::uint32_t shutups) { return shutups != 0; }

}  // namespace qorwin
