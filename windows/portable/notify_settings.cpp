#include "notify_settings.h"

#include "registry_values.h"

namespace qorwin {

const char* NotifyRowValueName(int row) {
    switch (row) {
    case kRowPowerFail: return value::kPowerFailWarning;
    case kRowPowerRestored: return value::kPowerRestored;
    case kRowBatteryLow: return value::kBatteryLow;
    default: return nullptr;
    }
}

NotifySettings LoadNotifySettings(SettingsStore& store) {
    NotifySettings s;
    ReadDword(store, value::kEnableNotification, s.enable);
    for (int row = 0; row < kNotifyRowCount; ++row) {
        unsigned char raw[kEventValueMaxSize] = {};
        if (!ReadBlock(store, NotifyRowValueName(row), raw, sizeof raw)) continue;
        EventValue ev = ParseEventValue(raw, sizeof raw);
        s.events[row].text = ev.text;
        s.events[row].channels = ev.channels;
    }
    return s;
}

void SaveNotifySettings(SettingsStore& store, const NotifySettings& s) {
    WriteDword(store, value::kEnableNotification, s.enable & (kEnableEmail | kEnablePager));
    for (int row = 0; row < kNotifyRowCount; ++row) {
        unsigned char raw[kEventValueMaxSize];
        const int mask = s.events[row].channels & (kChannelPopup | kChannelEmail | kChannelPager);
        const std::size_t size = FormatEventValue(StoredEventText(s.events[row].text).c_str(), mask, raw);
        WriteBlock(store, NotifyRowValueName(row), raw, size);
    }
}

std::string StoredEventText(const std::string& text) {
    std::string t = text.substr(0, text.find(','));
    if (t.size() > kEventTextMax) t.resize(kEventTextMax);
    return t;
}

}  // namespace qorwin
