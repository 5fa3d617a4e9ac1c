// What the notification path reaches outside the program, gathered so tests
// can point it at their own devices, directories and servers.
#pragma once

#include <array>
#include <string>

#include "engine_io.h"
#include "notify_log.h"

namespace qor {

class PppdLocator;

// The notification code's six-entry device table (NotifyEnv::devices),
// looked up with `modemDevice` + 1. Indexes outside it give "none", which is
// never opened.
constexpr int kDeviceTableSize = 6;
constexpr int kDeviceNone = 5;

struct NotifyEnv {
    NotifyLog* log = nullptr;  // null: nothing is printed or logged
    Clock* clock = nullptr;    // null: real sleeps
    int smtpPort = 25;
    std::array<std::string, kDeviceTableSize> devices = {"/dev/modem", "/dev/ttyS0", "/dev/ttyS1",
                                                         "/dev/ttyS2", "/dev/ttyS3", "none"};
    std::string secretsDir = "/etc/ppp";
    std::string interfaceName = "ppp0";
    PppdLocator* pppd = nullptr;  // null: the process-wide search
    int linkWaitMs = 30000;
    int linkPollMs = 250;  // pause between two checks of the interface

    // Device path for a table index, "none" outside the table.
    const char* device(int32_t tableIndex) const {
        if (tableIndex < 0 || tableIndex >= kDeviceTableSize) return "none";
        return devices[static_cast<size_t>(tableIndex)].c_str();
    }
};

// Sleeps through `clock` when there is one.
void notifySleepMs(Clock* clock, long ms);

}  // namespace qor
