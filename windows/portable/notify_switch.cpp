#include "notify_switch.h"

#include "registry_values.h"

namespace qorwin {

bool NotifyChannelOn(SettingsStore& store, std::uint32_t bit) {
    std::uint32_t enabled = 0;
    return ReadDword(store, value::kEnableNotification, enabled) && (enabled & bit) != 0;
}

}  // namespace qorwin
