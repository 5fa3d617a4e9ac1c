// When the console's monitor ticks fall due: a fixed period on the monotonic
// clock, as an interval timer keeps it. A tick that runs late or long does not
// push the later ones back; missed ticks are run one after another, so the
// count-down (one step per tick) stays on time.
#pragma once

#include <chrono>

namespace qor::console {

class TickSchedule {
public:
    using Clock = std::chrono::steady_clock;

    // More behind than this (the program was stopped, say) and the schedule
    // starts again from now instead of running a burst of ticks.
    static constexpr int kMaxCatchUp = 5;

    void start(Clock::time_point now, Clock::duration first, Clock::duration period) {
        period_ = period;
        due_ = now + first;
    }

    bool isDue(Clock::time_point now) const { return now >= due_; }

    // After a tick ran: the next one is one period after this one was due.
    void advance(Clock::time_point now) {
        due_ += period_;
        if (now - due_ > kMaxCatchUp * period_) due_ = now + period_;
    }

    // Milliseconds until the next tick, rounded up, 0 when one is due.
    int msUntilDue(Clock::time_point now) const {
        if (now >= due_) return 0;
        auto left = std::chrono::ceil<std::chrono::milliseconds>(due_ - now).count();
        return static_cast<int>(left);
    }

    Clock::time_point due() const { return due_; }

private:
    Clock::duration period_{std::chrono::seconds(1)};
    Clock::time_point due_{};
};

}  // namespace qor::console
