#include "shutdown_plan.h"

#include "line_status.h"

namespace qorwin {

int SafeCloseIndex(const char* port) { return PortNumberFromName(port) - 1; }

const char* PortToClose(const char* stored, const char* watched) {
    return SafeCloseIndex(watched) >= 0 ? watched : stored;
}

const char* SafeCloseLibrary(const WinVersion& v) {
    return v.platformId == kPlatformNt ? "CLOZWINNT.dll" : "CLOZWIN9.dll";
}

bool TurnsOffAutoScanBeforeClose(const WinVersion& v) {
    return v.platformId != kPlatformNt && v.major == 4 && v.minor >= 10 && v.minor <= 89;
}

AfterSafeClose StepAfterSafeClose(const WinVersion& v) {
    if (v.platformId == kPlatformNt || v.major != 4) return AfterSafeClose::Nothing;
    if (v.minor >= 90) return AfterSafeClose::LogOffThenSignal;
    if (v.minor >= 10) return AfterSafeClose::AutoScanOff;
    return AfterSafeClose::Nothing;
}

EndSessionPlan PlanEndSession(std::uint32_t shutups, const WinVersion& v) {
    EndSessionPlan p;
    if (shutups == 0) return p;
    p.act = true;
    p.signalPort = static_cast<int>(shutups > 0x7FFFFFFFu ? 0x7FFFFFFFu : shutups);
    p.ntPrivilege = v.platformId == kPlatformNt;
    return p;
}

}  // namespace qorwin
