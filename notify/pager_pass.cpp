#include "pager_pass.h"

#include <cstring>

#include "bounded_text.h"
#include "modem.h"

namespace qor {

namespace {
constexpr int kAttempts = 3;
constexpr int kPagerResponseSec = 30;
}  // namespace

ModemParams pagerModemParams(const UpsSettings& s) {
    ModemParams p{};
    p.carrierCheck = 0;
    p.flowControl = s.modemFlow;
    p.lineEnding = s.modemTermination;
    p.speed = modemSpeedBps(s.modemSpeed);
    p.responseTimeoutSec = kPagerResponseSec;
    return p;
}

bool pagerNumberUsable(const char* number) {
    for (const char* p = number; *p; ++p)
        if (*p >= '0' && *p <= '9') return true;
    return false;
}

bool pageNumber(int32_t code, const char* number, const UpsSettings& s, const NotifyEnv& env) {
    ModemParams params = pagerModemParams(s);
    ModemCommands commands = ModemCommands::fromSettings(s);
    const char* path = env.device(notifyDeviceIndex(s.modemDevice));
    bool none = std::strcmp(path, "none") == 0;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        CModem modem(env.log, env.clock);
        modem.setParams(&params);
        modem.setCommands(commands);
        // "none" is the table's word for no device, never a file name.
        if (none || !modem.open(path)) continue;
        if (!modem.setUp()) continue;
        if (modem.page(number, code)) {
            modem.close();
            return true;
        }
        notifySleepMs(env.clock, 3000);
        modem.close();
    }
    return false;
}

void runPagerPass(int32_t code, const UpsSettings& s, const NotifyEnv& env) {
    for (int slot = 0; slot < kListSlots; ++slot) {
        char number[kTextLen];
        copyBounded(number, s.pagerNumbers[slot]);
        if (env.log != nullptr && env.log->console()) env.log->sys(number);
        if (!pagerNumberUsable(number)) continue;
        pageNumber(code, number, s, env);
    }
}

}  // namespace qor
