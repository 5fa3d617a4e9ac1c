#include "ups_status.h"

namespace qor {

namespace {
const char* const kEventNames[kEventKinds] = {"AC Fail", "Battery Low", "AC Recoveried",
                                              "Connect Fail"};
}

const char* eventDisplayName(int32_t kind) {
    if (kind < 0 || kind >= kEventKinds) return "";
    return kEventNames[kind];
}

}  // namespace qor
