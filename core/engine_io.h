// The small interfaces through which the monitor engine reaches the outside
// world, so that its rules can be exercised without hardware.
#pragma once

#include <cstdint>

#include "ups_status.h"

namespace qor {

class Clock {
public:
    virtual ~Clock() = default;
    virtual int64_t now() = 0;  // wall-clock seconds
    virtual void sleepMicros(long usec) = 0;
};

class Shell {
public:
    virtual ~Shell() = default;
    virtual int run(const char* command) = 0;  // like system(); result not examined
};

// Where classified events go: the desktop's in-memory list or the console's file.
class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void recordEvent(int32_t kind) = 0;
    // Called before the machine is halted, so nothing of this run is lost when
    // the halt command signals every process.
    virtual void flush() {}
};

// The notification dispatch as the engine sees it.
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void queueEvent(int32_t kind) = 0;
    // Starts a worker when codes wait and none runs.
    virtual void startWorkerIfIdle() = 0;
    // True when the notifier must hear of `kind` although the record's mail
    // and pager flags for it are off (the further settings' commands and
    // outage delay). Off unless those are set.
    virtual bool wantsEvent(int32_t kind) const {
        (void)kind;
        return false;
    }
    // Every tick, before its change (if any) is queued: the seconds before
    // this machine halts, -1 while no halt counts down.
    virtual void tick(int32_t secondsLeft) { (void)secondsLeft; }
};

// What the engine tells the machines that follow this UPS over the network.
struct ServedState {
    int32_t upsState = NoUps;  // UpsState of this tick
    int32_t secondsLeft = 0;   // before this machine halts; the whole allowance while on mains
    const char* port = "";     // where the UPS was found
};

class StatusPublisher {
public:
    virtual ~StatusPublisher() = default;
    virtual void publish(const ServedState& state) = 0;  // every tick
    // The count-down has ended: tells the followers to shut down and returns
    // once they have gone, or after a bounded wait, so that they are down
    // before this machine halts.
    virtual void shutdownFollowers() = 0;
};

// The UPS port. probeLine and signalShutdown are built on the four primitives.
class UpsLine {
public:
    virtual ~UpsLine() = default;
    virtual int open(const char* path) = 0;  // descriptor, or -1
    virtual bool isOpen() const = 0;
    virtual int setLines(int mode) = 0;      // 0: RTS only; 1: DTR only; else none
    virtual int readStatus() = 0;            // modem-status word, 0 on failure
    virtual void close() = 0;

    LineState probeLine(Clock& clock);
    int signalShutdown() { return setLines(1); }

protected:
    // Microseconds the probe waits between raising RTS and reading the lines.
    virtual long settleMicros() { return 100000; }
};

}  // namespace qor
