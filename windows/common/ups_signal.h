// The shutdown signal to the UPS: DTR raised on its port for a while.
#pragma once

#include <windows.h>

namespace qorwin {

inline constexpr DWORD kUpsOffHoldMs = 10000;

// Opens portName ("COM1".."COM4") for reading (no sharing, existing device,
// overlapped), raises DTR, holds it holdMs and closes the port. False, and
// nothing sent, when the port cannot be opened or DTR cannot be raised.
bool SignalUpsOff(const char* portName, DWORD holdMs = kUpsOffHoldMs);

}  // namespace qorwin
