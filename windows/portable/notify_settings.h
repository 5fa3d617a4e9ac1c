// What the notification dialog edits: which remote channels are enabled and,
// per event, its message text and the channels that announce it.
#pragma once

#include <cstdint>
#include <string>

#include "event_value.h"
#include "settings_store.h"

namespace qorwin {

// Bits of "Enable Notification".
inline constexpr std::uint32_t kEnableEmail = 1;
inline constexpr std::uint32_t kEnablePager = 2;

// Rows of the dialog, in order.
enum NotifyRow : int { kRowPowerFail = 0, kRowPowerRestored = 1, kRowBatteryLow = 2, kNotifyRowCount = 3 };

// The event value a row edits ("Power Fail Warning", "Power Restored", "Battery Low").
const char* NotifyRowValueName(int row);

struct NotifyEvent {
    std::string text;
    int channels = 0;  // EventChannel bits
};

struct NotifySettings {
    std::uint32_t enable = 0;
    NotifyEvent events[kNotifyRowCount];
};

// Missing values give an empty text and no channels.
NotifySettings LoadNotifySettings(SettingsStore& store);
void SaveNotifySettings(SettingsStore& store, const NotifySettings& settings);

// The text as it is stored: at most 255 characters and cut at its first comma,
// since the reader takes everything after the first comma as the channel mask
// (a comma kept in the text would switch the event's channels off).
std::string StoredEventText(const std::string& text);

}  // namespace qorwin
