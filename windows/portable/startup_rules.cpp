#include "startup_rules.h"

namespace qorwin {

bool ShouldAskShutdownStatus(std::uint32_t shutDown, std::uint32_t showStatus) {
    return shutDown == 1 && showStatus == 1;
}

bool IsBootFileRestorePlatform(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor) {
    return platformId == 1 && major == 4 && minor >= 10;
}

}  // namespace qorwin
