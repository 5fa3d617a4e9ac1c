// The real clock and shell behind the engine's interfaces, and the harmless
// port and shell a front-end gets when it was not given the machine's own.
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

// A port that never opens: no UPS is ever found on it.
class NoLine : public UpsLine {
public:
    int open(const char*) override { return -1; }
    bool isOpen() const override { return false; }
    int setLines(int) override { return 0; }
    int readStatus() override { return 0; }
    void close() override {}
};

// A shell that runs nothing: the halt command never reaches the machine.
class NoShell : public Shell {
public:
    int run(const char*) override { return -1; }
};

}  // namespace qor
