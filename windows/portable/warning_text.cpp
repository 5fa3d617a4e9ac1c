#include "warning_text.h"

#include <cstdio>

namespace qorwin {

const char* WarningCancelledText(int lastKind) {
    if (lastKind == kWarnAcFailure || lastKind == kWarnAcFailureReminder)
        return "The shutdown has been cancelled.\n"
               "Halvora will not shut down until\n"
               "the battery runs low or\n"
               "the power fails again.";
    return "The shutdown has been cancelled.\n"
           "Halvora will not shut down until\n"
           "the power fails again.";
}

bool WarningOffersCancel(int kind) { return kind >= kWarnBatteryLow && kind <= kWarnAcFailureReminder; }

void FormatSeconds(std::uint32_t seconds, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    if (seconds < 60)
        std::snprintf(out, size, "%u second%s", static_cast<unsigned>(seconds), seconds == 1 ? "" : "s");
    else
        std::snprintf(out, size, "%u min %02u s", static_cast<unsigned>(seconds / 60),
                      static_cast<unsigned>(seconds % 60));
}

bool WarningText(int kind, std::uint32_t seconds, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return false;
    char left[32];
    FormatSeconds(seconds, left, sizeof left);
    switch (kind) {
    case kWarnPowerRestored:
        std::snprintf(out, size, "AC power has been restored.\nThe UPS is back on mains power.");
        return true;
    case kWarnBatteryLow:
        std::snprintf(out, size,
                      "The UPS battery is low!\nWindows will be shut down in\n%s.\n"
                      "Please save your work now.",
                      left);
        return true;
    case kWarnAcFailure:
        std::snprintf(out, size,
                      "AC power failure!\nThe UPS runs on its battery.\n"
                      "Windows will be shut down in\n%s.",
                      left);
        return true;
    case kWarnBatteryLowReminder:
        std::snprintf(out, size,
                      "The UPS battery is low.\nWindows shuts down in %s.\n"
                      "Please save your work and\nclose your programs now.",
                      left);
        return true;
    case kWarnAcFailureReminder:
        std::snprintf(out, size,
                      "AC power has failed.\nWindows shuts down in %s.\n"
                      "Please save your work and\nclose your programs now.",
                      left);
        return true;
    default:
        return false;
    }
}

}  // namespace qorwin
