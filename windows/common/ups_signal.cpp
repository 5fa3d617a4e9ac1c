#include "ups_signal.h"

#include "line_status.h"
#include "win_raii.h"

namespace qorwin {

bool SignalUpsOff(const char* portName, DWORD holdMs) {
    if (portName == nullptr || portName[0] == '\0') return false;
    char path[32];
    PortDevicePath(portName, path, sizeof path);
    UniqueHandle port(CreateFileA(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return false;
    if (!EscapeCommFunction(port.get(), SETDTR)) return false;
    Sleep(holdMs);
    return true;
}

}  // namespace qorwin
