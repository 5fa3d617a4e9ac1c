// The files a front-end reads and keeps. Empty paths name no file, so a
// front-end not given the machine's own touches nothing under /etc or /dev.
#pragma once

#include <string>

#include "event_log.h"
#include "extra_settings.h"
#include "serial_line.h"
#include "settings_file.h"

namespace qor {

struct FrontEndFiles {
    // The machine's own: /etc/Qor.conf, /etc/Qor.event, the /dev/mouse link
    // and /etc/Qor.extra.
    static FrontEndFiles system() { return {kSettingsPath, kEventPath, kMouseLinkPath, kExtraSettingsPath}; }

    std::string settingsPath;   // empty: nothing read or written
    std::string eventPath;      // empty: nothing recorded, an empty log
    std::string mouseLinkPath;  // empty: no mouse link
    std::string extraPath;      // empty: no further settings, as if the file were absent
};

}  // namespace qor
