// One look at a serial port's modem status lines.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qorwin {

// Opens the port (no sharing, overlapped), sets 2400 baud 8N1 with DTR
// control off, issues the escape function (SETRTS feeds the UPS contacts),
// reads the modem status word and closes the port again. -1 when the port
// cannot be opened or set up, the escape function fails, or its status cannot
// be read.
std::int32_t LineProbe(const char* portName, DWORD escapeCode);

// The probe the monitor uses: with SETRTS.
std::int32_t ProbeUpsLine(const char* portName);

}  // namespace qorwin
