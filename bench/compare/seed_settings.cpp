// Writes a settings record of the given edition's defaults with the battery
// time and count-down step changed, for the comparison runs.
//   seed_settings console|desktop EXP_BAT_MIN PERIOD_SEC FILE
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "settings_file.h"
#include "ups_settings.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: seed_settings console|desktop EXP_BAT_MIN PERIOD_SEC FILE\n");
        return 2;
    }
    qor::UpsSettings s{};
    qor::storeDefaults(s, std::strcmp(argv[1], "desktop") == 0 ? qor::Edition::Desktop
                                                                : qor::Edition::Console);
    s.expBatMin = std::atoi(argv[2]);
    s.periodSec = std::atoi(argv[3]);
    return qor::saveSettings(s, argv[4]) ? 0 : 1;
}
