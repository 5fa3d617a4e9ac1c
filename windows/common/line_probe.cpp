#include "line_probe.h"

#include "line_status.h"
#include "win_raii.h"

namespace qorwin {

std::int32_t LineProbe(const char* portName, DWORD escapeCode) {
    if (portName == nullptr || portName[0] == '\0') return kProbeFailed;
    UniqueHandle port(CreateFileA(portName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return kProbeFailed;
    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port.get(), &dcb)) return kProbeFailed;
    dcb.BaudRate = CBR_2400;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fDtrControl = DTR_CONTROL_DISABLE;
    if (!SetCommState(port.get(), &dcb)) return kProbeFailed;
    EscapeCommFunction(port.get(), escapeCode);
    DWORD status = 0;
    // An unread status must not pass for "all lines off", which means battery low.
    if (!GetCommModemStatus(port.get(), &status)) return kProbeFailed;
    return static_cast<std::int32_t>(status & 0x7FFFFFFF);
}

std::int32_t ProbeUpsLine(const char* portName) { return LineProbe(portName, SETRTS); }

}  // namespace qorwin
