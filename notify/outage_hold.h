// OUTAGE-DELAY: the notifications of a mains failure wait until it has lasted
// the delay. Mains back before then: the failure and its recovery are told
// to nobody (the event log still has both). Battery low or a lost UPS while
// waiting end the wait at once: those are never held back. Pure rules: the
// caller gives the time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace qor {

// One event as the notification path saw it.
struct HeldEvent {
    int32_t kind = 0;
    int64_t time = 0;  // wall-clock seconds
    int32_t upsState = 0;
    int32_t secondsLeft = -1;
};

class OutageHold {
public:
    // The events to notify now, oldest first (possibly none).
    std::vector<HeldEvent> event(const HeldEvent& e, int delaySec);
    // Releases what is held once the delay has passed.
    std::vector<HeldEvent> tick(int64_t now);
    bool holding() const { return !held_.empty(); }
    // Set by event() when a recovery dropped a held failure: how long it lasted.
    bool takeDropped(int64_t& lastedSec);

private:
    static constexpr size_t kMaxHeld = 16;
    std::vector<HeldEvent> held_;
    int64_t due_ = 0;
    bool dropped_ = false;
    int64_t lasted_ = 0;
};

}  // namespace qor
