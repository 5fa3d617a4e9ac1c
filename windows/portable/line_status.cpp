#include "line_status.h"

#include <cstdio>
#include <cstring>

#include "text_format.h"

namespace qorwin {

bool UpsPresent(std::int32_t status) {
    return status != kProbeFailed && (static_cast<std::uint32_t>(status) & kUpsPresentMask) != 0;
}

PowerState ClassifyLine(std::uint32_t status) {
    if (status & kStatusCts) return PowerState::Normal;
    if (status & kStatusDcd) return PowerState::AcFail;
    return PowerState::BatteryLow;
}

int PortNumberFromName(const char* name) {
    if (name == nullptr || std::strncmp(name, "COM", 3) != 0) return 0;
    if (name[3] < '1' || name[3] > '9') return 0;
    int n = 0;
    for (const char* p = name + 3; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return 0;
        n = n * 10 + (*p - '0');
        if (n > kMaxPortNumber) return 0;
    }
    return n;
}

void PortNameOf(int number, char* out, std::size_t size) {
    if (number >= 1 && number <= kMaxPortNumber)
        std::snprintf(out, size, "COM%d", number);
    else
        CopyText(out, size, "NONE");
}

std::int32_t ProbeLine(CommPort& port, const char* portName, unsigned escapeCode) {
    if (portName == nullptr || portName[0] == '\0') return kProbeFailed;
    if (!port.Open(portName) || !port.ApplyLineSettings() || !port.Escape(escapeCode)) return kProbeFailed;
    std::uint32_t status = 0;
    if (!port.ModemStatus(status)) return kProbeFailed;
    return static_cast<std::int32_t>(status & 0x7FFFFFFFu);
}

void PortDevicePath(const char* name, char* out, std::size_t size) {
    if (PortNumberFromName(name) != 0)
        std::snprintf(out, size, "\\\\.\\%s", name);
    else
        CopyText(out, size, name ? name : "");
}

int FurtherPortNumber(const char* name) {
    const int n = PortNumberFromName(name);
    return n > kPortCount ? n : 0;
}

int FindUpsPort(const LineProbeFn& probe, int furtherPort) {
    if (!probe) return 0;
    for (int n = 1; n <= kPortCount; ++n) {
        char name[8];
        PortNameOf(n, name, sizeof name);
        if (UpsPresent(probe(name))) return n;
    }
    if (furtherPort > kPortCount && furtherPort <= kMaxPortNumber) {
        char name[8];
        PortNameOf(furtherPort, name, sizeof name);
        if (UpsPresent(probe(name))) return furtherPort;
    }
    return 0;
}

}  // namespace qorwin
