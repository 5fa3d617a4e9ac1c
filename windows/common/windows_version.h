// The running Windows as GetVersionEx reports it.
#pragma once

#include <windows.h>

#include "safe_close_rules.h"  // WinVersion

namespace qorwin {

// The NT family with version 0.0 when the version cannot be read.
inline WinVersion RunningWindows() {
    OSVERSIONINFOA vi = {};
    vi.dwOSVersionInfoSize = sizeof vi;
    WinVersion v;
    v.platformId = 2;
    if (GetVersionExA(&vi)) {
        v.platformId = vi.dwPlatformId;
        v.major = vi.dwMajorVersion;
        v.minor = vi.dwMinorVersion;
    }
    return v;
}

}  // namespace qorwin
