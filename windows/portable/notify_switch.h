// "Enable Notification": bit 0 e-mail, bit 1 pager. A channel the user has
// switched off in the notification dialog sends nothing, whatever the event
// values say; an unreadable value counts as off.
#pragma once

#include <cstdint>

#include "settings_store.h"

namespace qorwin {

inline constexpr std::uint32_t kNotifyEmailBit = 1;
inline constexpr std::uint32_t kNotifyPagerBit = 2;

bool NotifyChannelOn(SettingsStore& store, std::uint32_t bit);

}  // namespace qorwin
