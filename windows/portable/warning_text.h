// What the warning pop-up says for each kind of warning the monitor sends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorwin {

// wParam of the "Halvora Qor Warning Type" message; lParam carries seconds.
enum WarningKind : int {
    kWarnPowerRestored = 0,
    kWarnBatteryLow = 1,
    kWarnAcFailure = 2,
    kWarnBatteryLowReminder = 3,
    kWarnAcFailureReminder = 4,
    kWarnCancel = 5,  // sent back by the pop-up: stop the countdown
};

// The pop-up offers its Cancel button while a shutdown countdown runs.
bool WarningOffersCancel(int kind);

// Seconds as the pop-up shows them: "45 seconds", "1 second", "2 min 05 s".
void FormatSeconds(std::uint32_t seconds, char* out, std::size_t size);

// The pop-up's text for kind 0..4 (a few short lines). False for any other
// kind; out is then untouched.
bool WarningText(int kind, std::uint32_t seconds, char* out, std::size_t size);

// Shown once the user has cancelled a countdown from the pop-up; lastKind is
// the warning it was showing. A cancelled AC-failure countdown still lets a
// low battery start its own, a cancelled battery-low one waits for the power
// to fail anew.
const char* WarningCancelledText(int lastKind);

}  // namespace qorwin
