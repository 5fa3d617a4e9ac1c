// Waits on a thread of its own for the UPS's status lines (DCD, CTS) to
// change, so the monitor probes the moment something happens instead of on
// a clock, and counts the changes too short for any probe to see.
//
// The front-end watches pollFd() beside its other input: readable means a line
// changed (or the watch ended and the tick must take over again). The probe,
// its rules and its events stay the monitor's; this only says when to look.
// A driver that cannot wait for the lines (TIOCMIWAIT refused) or a port that
// is no tty ends the watch at once, silently: the periodic tick carries on.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "unique_fd.h"

namespace qor {

// Transitions the driver counted on each status line since the port came up.
struct LineCounts {
    uint32_t dcd = 0;
    uint32_t cts = 0;
};

// Status-line bits (kLineCar, kLineCts) a probe result stands for.
int lineBitsOfState(int32_t upsState);

// Changes between two probes that neither probe saw: a line that dropped and
// came back (or the reverse) in between moved its counter twice without
// changing what the probes read. Pure bookkeeping, fed after every probe.
class PulseTally {
public:
    // A new port: the next note only sets the base.
    void restart() { based_ = false; }
    // After a probe that read `lineBits`, with the driver's counters then.
    void note(const LineCounts& counts, int lineBits);
    uint32_t pulses() const { return pulses_; }

private:
    bool based_ = false;
    LineCounts last_;
    int lastBits_ = 0;
    uint32_t pulses_ = 0;
};

class LineWatch {
public:
    LineWatch();
    ~LineWatch() { stop(); }
    LineWatch(const LineWatch&) = delete;
    LineWatch& operator=(const LineWatch&) = delete;

    // Readable when a line changed or the watch ended; -1 if none could be made.
    int pollFd() const { return wake_.get(); }
    // Empties the wake-up; true when there was one.
    bool takeWake();

    // Waits on the open port `fd` unless already doing so (or the port has
    // already refused); fd < 0 stops the watch.
    void follow(int fd);
    // Ends the wait and joins the thread. Must come before the port closes.
    void stop();
    // True while the thread sleeps on the port's lines: the tick may rest.
    bool watching() const { return state_.load(std::memory_order_acquire) == Watching; }

    // After a probe of the port `fd` that left `upsState`: counts the short
    // changes since the probe before (nothing when the driver keeps no counts).
    void noteProbe(int fd, int32_t upsState);
    uint32_t pulses() const { return tally_.pulses(); }
    // After a tick: `fd` is the port's descriptor when the tick left it open
    // (then it probed it), else -1.
    void afterTick(int fd, int32_t upsState) {
        if (fd >= 0) noteProbe(fd, upsState);
        follow(fd);
    }

    // The driver's counters (TIOCGICOUNT); false when it keeps none.
    static bool readCounts(int fd, LineCounts& out);

private:
    enum State { Idle, Watching, Ended };

    void run(int fd);
    void signalWake();

    UniqueFd wake_;
    std::thread thread_;
    int fd_ = -1;
    std::atomic<int> state_{Idle};
    std::atomic<bool> stopping_{false};
    std::mutex mu_;
    std::condition_variable done_;
    bool finished_ = false;  // under mu_
    PulseTally tally_;
};

}  // namespace qor
