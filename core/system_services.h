// The real clock and shell behind the engine's interfaces.
#pragma once

#include "engine_io.h"

namespace qor {

class SystemClock : public Clock {
public:
    int64_t now() override;  // gettimeofday, whole seconds
    void sleepMicros(long usec) override;
};

class SystemShell : public Shell {
public:
    // Through the shell, waited for; the command starts with default signal
    // actions and nothing blocked.
    int run(const char* command) override;
};

}  // namespace qor
