#include "tick_schedule.h"

#include <gtest/gtest.h>

namespace qor::console {
namespace {

using namespace std::chrono_literals;

// Each tick costs a probe and painting; the schedule must not add that to the
// period, or a 60 s count-down halts seconds late.
TEST(TickSchedule, FixedPeriodFromTheFirstDueTimeWithCatchUpAndRestart) {
    TickSchedule::Clock::time_point t0{};
    TickSchedule s;
    s.start(t0, 2s, 1s);
    EXPECT_FALSE(s.isDue(t0 + 1999ms));
    EXPECT_EQ(s.msUntilDue(t0 + 1500ms), 500);
    EXPECT_EQ(s.msUntilDue(t0 + 1999ms + 100us), 1) << "rounded up: never wakes before it is due";
    ASSERT_TRUE(s.isDue(t0 + 2s));

    // Ticks that take 150 ms: the n-th is still due at 2 s + n s.
    auto now = t0 + 2s;
    for (int n = 1; n <= 60; ++n) {
        s.advance(now + 150ms);
        EXPECT_EQ(s.due(), t0 + 2s + n * 1s);
        now = s.due();
    }
    // A tick that ran 2.5 s: the two missed ones are due at once, then on time.
    s.advance(now + 2500ms);
    EXPECT_TRUE(s.isDue(now + 2500ms));
    s.advance(now + 2600ms);
    EXPECT_TRUE(s.isDue(now + 2600ms));
    s.advance(now + 2700ms);
    EXPECT_EQ(s.due(), now + 3s);

    // Stopped for a minute: one tick now, then one a second from there.
    now = s.due() + 60s;
    s.advance(now);
    EXPECT_EQ(s.due(), now + 1s);
}

}  // namespace
}  // namespace qor::console
