// What the notification path reaches outside the program, gathered so tests
// can point it at their own devices, directories and servers.
#pragma once

#include <array>
#include <string>

#include "engine_io.h"
#include "notify_log.h"
#include "port_tables.h"

namespace qor {

class PppdLocator;

// The notification code's six-entry device table (NotifyEnv::devices):
// "/dev/modem" and then the port table, looked up with `modemDevice` + 1.
// Indexes outside it give "none", which is never opened.
constexpr int kDeviceTableSize = kPortCount + 1;
constexpr int kDeviceNone = kPortNone + 1;

// The table index of a `modemDevice` setting; out of range gives "none".
inline int32_t notifyDeviceIndex(int32_t modemDevice) {
    return modemDevice >= 0 && modemDevice < kPortCount ? modemDevice + 1 : kDeviceNone;
}

struct NotifyEnv {
    NotifyLog* log = nullptr;  // null: nothing is printed or logged
    Clock* clock = nullptr;    // null: real sleeps
    int smtpPort = 25;
    std::array<std::string, kDeviceTableSize> devices = {"/dev/modem",  kPortNames[0], kPortNames[1],
                                                         kPortNames[2], kPortNames[3], kPortNames[4]};
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
