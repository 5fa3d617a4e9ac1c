#include "registry_values.h"

#include <cstring>

#include "event_value.h"
#include "modem_setting.h"

namespace qorwin {
namespace {

const ValueLayout kLayouts[] = {
    {value::kPort, ValueKind::String, kPortBufferSize},
    {value::kBatteryLife, ValueKind::Dword, 4},
    {value::kBatteryLowLife, ValueKind::Dword, 4},
    {value::kWarningTime, ValueKind::Dword, 4},
    {value::kInterval, ValueKind::Dword, 4},
    {value::kShowStatus, ValueKind::Dword, 4},
    {value::kLanguageType, ValueKind::Dword, 4},
    {value::kEnableNotification, ValueKind::Dword, 4},
    {value::kPowerFailWarning, ValueKind::Binary, kEventValueSize},
    {value::kPowerRestored, ValueKind::Binary, kEventValueSize},
    {value::kBatteryLow, ValueKind::Binary, kEventValueSize},
    {value::kEmailSetting, ValueKind::Binary, kEmailSettingSize},
    {value::kEmailAddress, ValueKind::Binary, kListSize},
    {value::kModemSetting, ValueKind::Binary, kModemSettingSize},
    {value::kSpecialInitString, ValueKind::String, kModemStringSize},
    {value::kDialingPrefix, ValueKind::String, kModemStringSize},
    {value::kPagerNumber, ValueKind::Binary, kListSize},
    {value::kShutDown, ValueKind::Dword, 4},
    {value::kShutups, ValueKind::Dword, 4},
    {value::kSteplog, ValueKind::Dword, 4},
    {value::kRestoreSystemFile, ValueKind::Dword, 4},
    {value::kBootGui, ValueKind::Dword, 4},
};

// True when the value reads back as the program reads it: of its kind, a
// DWORD of exactly 4 bytes, a string or record no longer than its size.
bool Readable(SettingsStore& store, const char* name, ValueKind kind, std::uint32_t size) {
    unsigned char buf[kListSize];
    if (size > sizeof buf) return false;
    std::uint32_t got = 0;
    if (!store.Read(name, kind, buf, size, &got)) return false;
    return kind != ValueKind::Dword || got == size;
}

// A value that cannot be read (missing, or of the wrong type or size) gets
// its default; otherwise every later read would refuse it for ever.
bool WriteUnlessReadable(SettingsStore& store, const char* name, ValueKind kind, const void* data,
                         std::uint32_t size, std::uint32_t readSize = 0) {
    if (Readable(store, name, kind, readSize != 0 ? readSize : size)) return false;
    return store.Write(name, kind, data, size);
}

}  // namespace

const ValueLayout* FindValueLayout(const char* name) {
    if (name == nullptr) return nullptr;
    for (const ValueLayout& s : kLayouts)
        if (std::strcmp(s.name, name) == 0) return &s;
    return nullptr;
}

const ValueLayout* AllValueLayouts(std::uint32_t* count) {
    if (count) *count = static_cast<std::uint32_t>(sizeof kLayouts / sizeof kLayouts[0]);
    return kLayouts;
}

int WriteMissingDefaults(SettingsStore& store) {
    if (!store.EnsureKey()) return 0;
    int written = 0;
    const std::uint32_t zero = 0;
    written += WriteUnlessReadable(store, value::kEnableNotification, ValueKind::Dword, &zero, 4);

    // A text of more than 253 characters makes a value longer than the record.
    unsigned char event[kEventValueSize];
    FormatEventValue(value::kPowerFailWarning, 0, event);
    written += WriteUnlessReadable(store, value::kPowerFailWarning, ValueKind::Binary, event, sizeof event,
                                   kEventValueMaxSize);
    FormatEventValue(value::kPowerRestored, 0, event);
    written += WriteUnlessReadable(store, value::kPowerRestored, ValueKind::Binary, event, sizeof event,
                                   kEventValueMaxSize);
    FormatEventValue(value::kBatteryLow, 0, event);
    written += WriteUnlessReadable(store, value::kBatteryLow, ValueKind::Binary, event, sizeof event,
                                   kEventValueMaxSize);

    static const unsigned char kZeros[kListSize] = {};
    written += WriteUnlessReadable(store, value::kEmailSetting, ValueKind::Binary, kZeros, kEmailSettingSize);
    written += WriteUnlessReadable(store, value::kEmailAddress, ValueKind::Binary, kZeros, kListSize);

    unsigned char modem[kModemSettingSize];
    FormatModemSetting(DefaultModemSetting(), modem);
    written += WriteUnlessReadable(store, value::kModemSetting, ValueKind::Binary, modem, sizeof modem);
    written += WriteUnlessReadable(store, value::kSpecialInitString, ValueKind::String, kZeros, kModemStringSize);
    written += WriteUnlessReadable(store, value::kDialingPrefix, ValueKind::String, kZeros, kModemStringSize);
    written += WriteUnlessReadable(store, value::kPagerNumber, ValueKind::Binary, kZeros, kListSize);
    return written;
}

}  // namespace qorwin
