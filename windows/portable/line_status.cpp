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
    if (name[3] < '1' || name[3] > '0' + kPortCount || name[4] != '\0') return 0;
    return name[3] - '0';
}

void PortNameOf(int number, char* out, std::size_t size) {
    if (number >= 1 && number <= kPortCount)
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

int FindUpsPort(const LineProbeFn& probe) {
    if (!probe) return 0;
    for (int n = 1; n <= kPortCount; ++n) {
        char name[8];
        PortNameOf(n, name, sizeof name);
        if (UpsPresent(probe(name))) return n;
    }
    return 0;
}

}  // namespace qorwin
