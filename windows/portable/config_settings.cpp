#include "config_settings.h"

#include <cstring>

#include "registry_values.h"

namespace qorwin {

ConfigValues LoadConfigValues(SettingsStore& store) {
    ConfigValues v;
    ReadDword(store, value::kBatteryLife, v.batteryLife);
    ReadDword(store, value::kBatteryLowLife, v.batteryLowLife);
    ReadDword(store, value::kWarningTime, v.warningTime);
    ReadDword(store, value::kShowStatus, v.showStatus);
    ReadDword(store, value::kInterval, v.interval);
    return v;
}

void SaveConfigValues(SettingsStore& store, const ConfigValues& v) {
    WriteDword(store, value::kBatteryLife, v.batteryLife);
    WriteDword(store, value::kBatteryLowLife, v.batteryLowLife);
    WriteDword(store, value::kWarningTime, v.warningTime);
    WriteDword(store, value::kShowStatus, v.showStatus ? 1 : 0);
    WriteDword(store, value::kInterval, v.interval);
}

void ConfigNumbers(const ConfigValues& v, std::uint32_t (&out)[kConfigNumberCount]) {
    out[0] = v.batteryLife;
    out[1] = v.batteryLowLife;
    out[2] = v.warningTime;
    out[3] = v.interval;
}

ConfigCheck TakeConfigNumbers(const std::string (&texts)[kConfigNumberCount], ConfigValues& values) {
    int got[kConfigNumberCount] = {};
    for (int i = 0; i < kConfigNumberCount; ++i) {
        NumberCheck r = CheckDialogInteger(texts[i], kConfigMin, kConfigMax, &got[i]);
        if (r != NumberCheck::Ok) return ConfigCheck{i, r};
    }
    values.batteryLife = static_cast<std::uint32_t>(got[0]);
    values.batteryLowLife = static_cast<std::uint32_t>(got[1]);
    values.warningTime = static_cast<std::uint32_t>(got[2]);
    values.interval = static_cast<std::uint32_t>(got[3]);
    return ConfigCheck{};
}

int ConfigPortIndex(const char* port) {
    if (port == nullptr) return -1;
    for (int i = 0; i < kConfigPortCount; ++i)
        if (std::strcmp(kConfigPorts[i], port) == 0) return i;
    return -1;
}

}  // namespace qorwin
