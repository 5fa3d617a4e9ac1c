#include "ups_signal.h"

#include "win_raii.h"

namespace qorwin {

bool SignalUpsOff(const char* portName, DWORD holdMs) {
    if (portName == nullptr || portName[0] == '\0') return false;
    UniqueHandle port(CreateFileA(portName, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
    if (!port) return false;
    if (!EscapeCommFunction(port.get(), SETDTR)) return false;
    Sleep(holdMs);
    return true;
}

}  // namespace qorwin
