#include "system_services.h"

#include <sys/time.h>
#include <time.h>

#include <cerrno>

#include "child_process.h"

namespace qor {

int64_t SystemClock::now() {
    struct timeval tv {};
    gettimeofday(&tv, nullptr);
    return tv.tv_sec;
}

void SystemClock::sleepMicros(long usec) {
    struct timespec ts {};
    ts.tv_sec = usec / 1000000;
    ts.tv_nsec = (usec % 1000000) * 1000;
    // Signals (the console's clean-up, SIGCHLD) must not cut a probe short.
    while (nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

int SystemShell::run(const char* command) { return runShellCommand(command); }

}  // namespace qor
