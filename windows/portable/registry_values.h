// Names, kinds and sizes of the values under the Halvora key, and the
// defaults written at start.
#pragma once

#include <cstdint>

#include "settings_store.h"

namespace qorwin {

// HKEY_LOCAL_MACHINE subkey that holds every value below.
inline constexpr char kQorKeyPath[] = "Software\\Brantel\\Halvora\\Qor";

namespace value {
inline constexpr char kPort[] = "Port";
inline constexpr char kBatteryLife[] = "Battery life";
inline constexpr char kBatteryLowLife[] = "Battery low life";
inline constexpr char kWarningTime[] = "Warnning time";
inline constexpr char kInterval[] = "Interval";
inline constexpr char kShowStatus[] = "Show Status";
inline constexpr char kLanguageType[] = "Language Type";
inline constexpr char kEnableNotification[] = "Enable Notification";
inline constexpr char kPowerFailWarning[] = "Power Fail Warning";
inline constexpr char kPowerRestored[] = "Power Restored";
inline constexpr char kBatteryLow[] = "Battery Low";
inline constexpr char kEmailSetting[] = "Email Setting";
inline constexpr char kEmailAddress[] = "Email Address";
inline constexpr char kModemSetting[] = "Modem Setting";
inline constexpr char kSpecialInitString[] = "Special Initialize String";
inline constexpr char kDialingPrefix[] = "Dialing Prefix";
inline constexpr char kPagerNumber[] = "Pager Number";
inline constexpr char kShutDown[] = "ShutDown";
inline constexpr char kShutups[] = "Shutups";
inline constexpr char kSteplog[] = "Steplog";
inline constexpr char kRestoreSystemFile[] = "RestoreSystemFile";
inline constexpr char kBootGui[] = "BootGUI";
// Added: a port above COM4 chosen in the configuration dialog, which the
// detection tries after COM1..COM4. Absent until such a port is chosen.
inline constexpr char kFurtherPort[] = "Further Port";
}  // namespace value

inline constexpr std::uint32_t kPortBufferSize = 20;      // "Port" is read into 20 bytes
inline constexpr std::uint32_t kEventValueSize = 256;
inline constexpr std::uint32_t kEmailSettingSize = 568;
inline constexpr std::uint32_t kListSize = 2048;          // address and pager lists
inline constexpr std::uint32_t kModemSettingSize = 256;
inline constexpr std::uint32_t kModemStringSize = 60;     // init string, dialing prefix

struct ValueLayout {
    const char* name;
    ValueKind kind;
    std::uint32_t size;  // bytes; for "Port" the read buffer
};

// Every value of the key, in the order of the settings table; nullptr when unknown.
const ValueLayout* FindValueLayout(const char* name);
const ValueLayout* AllValueLayouts(std::uint32_t* count);

// Makes sure the key exists and writes each notification, e-mail, modem and
// pager default whose value cannot be read: missing, or of the wrong type or
// size. Values that read are never touched. Returns the number written.
int WriteMissingDefaults(SettingsStore& store);

}  // namespace qorwin
