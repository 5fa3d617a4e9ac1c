#include "config_settings.h"

#include <cstring>

#include "line_status.h"
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
    if (std::strcmp(port, "NONE") == 0) return 0;
    const int n = PortNumberFromName(port);  // item n is COMn
    return n != 0 ? n : -1;
}

std::string ConfigPortName(int index) {
    if (index < 0 || index >= kConfigPortItems) return std::string();
    char name[8];
    PortNameOf(index, name, sizeof name);
    return name;
}

void StorePortChoice(SettingsStore& store, const char* port) {
    WriteText(store, value::kPort, port);
    if (FurtherPortNumber(port) != 0)
        WriteText(store, value::kFurtherPort, port);
    else if (store.Exists(value::kFurtherPort))
        WriteText(store, value::kFurtherPort, "NONE");
}

}  // namespace qorwin
