#include "notify_env.h"

#include <time.h>

#include <cerrno>

namespace qor {

void notifySleepMs(Clock* clock, long ms) {
    if (ms <= 0) return;
    if (clock != nullptr) {
        clock->sleepMicros(ms * 1000);
        return;
    }
    struct timespec ts {};
    ts.tv_sec = ms / 1000;
    ts.tv_nsec = (ms % 1000) * 1000000L;
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

}  // namespace qor
