#include "monitor_engine.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine_fakes.h"
#include "ups_settings.h"

namespace qor::test {
namespace {

enum class Mains { Normal, Fail, Low, Gone };

struct Rig : EngineRig {
    explicit Rig(Edition e) : EngineRig(e) { engine.setCountDownSec(s.expBatMin * 60); }
    void set(Mains m, const char* port = "/dev/ttyS0") {
        switch (m) {
        case Mains::Normal: line.plug(port, true, true); break;
        case Mains::Fail: line.plug(port, true, false); break;
        case Mains::Low: line.plug(port, false, true); break;
        case Mains::Gone: line.plug(port, false, false); break;
        }
    }
    // One tick of the edition's own kind; true when the desktop halted.
    bool tick() {
        clock.t += edition == Edition::Desktop ? 2 : 1;
        if (edition == Edition::Desktop) return engine.desktopTick(view);
        engine.consoleTick(console);
        return false;
    }
};

struct Row {
    Mains from, to;
    int desktop, console;  // expected kind, -1 for none
};

TEST(MonitorEngine, ResultingEventsOfEveryTransitionInBothEditions) {
    const Row rows[] = {
        {Mains::Normal, Mains::Fail, EvAcFail, EvAcFail},
        {Mains::Fail, Mains::Normal, EvAcRecoveried, EvAcRecoveried},
        {Mains::Fail, Mains::Low, EvBatteryLow, EvBatteryLow},
        {Mains::Low, Mains::Fail, EvAcFail, EvAcFail},
        {Mains::Low, Mains::Normal, EvAcFail, EvAcFail},
        {Mains::Normal, Mains::Gone, EvConnectFail, -1},
        {Mains::Fail, Mains::Gone, EvAcRecoveried, EvAcRecoveried},
        {Mains::Low, Mains::Gone, EvAcFail, EvAcFail},
        {Mains::Gone, Mains::Normal, EvAcFail, -1},
    };
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        for (const Row& r : rows) {
            Rig rig(e);
            rig.s.lowBatMin = rig.s.expBatMin = 100;  // no halt during the test
            rig.tick();
            rig.tick();
            rig.set(r.from);
            rig.tick();
            rig.tick();
            rig.tick();
            rig.events.kinds.clear();
            rig.set(r.to);
            rig.tick();
            int expected = e == Edition::Desktop ? r.desktop : r.console;
            SCOPED_TRACE(testing::Message() << (e == Edition::Desktop ? "desktop " : "console ")
                                            << static_cast<int>(r.from) << "->" << static_cast<int>(r.to));
            if (expected < 0) {
                EXPECT_TRUE(rig.events.kinds.empty());
            } else {
                ASSERT_EQ(rig.events.kinds.size(), 1u);
                EXPECT_EQ(rig.events.kinds[0], expected);
            }
            rig.events.kinds.clear();
            rig.tick();
            EXPECT_TRUE(rig.events.kinds.empty()) << "a steady state records nothing";
        }
    }
}

TEST(MonitorEngine, MainsFailingAtStartBecomesAnEventOnlyOnTheSecondTick) {
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        Rig rig(e);
        rig.set(Mains::Fail);
        rig.tick();
        EXPECT_EQ(rig.s.upsState, AcFail);
        EXPECT_EQ(rig.engine.displayState(), DisplayAcFail);
        EXPECT_TRUE(rig.events.kinds.empty());
        EXPECT_TRUE(rig.notifier.queued.empty());
        rig.engine.setCountDownSec(12345);
        rig.tick();
        ASSERT_EQ(rig.events.kinds, std::vector<int32_t>{EvAcFail});
        EXPECT_EQ(rig.notifier.queued, std::vector<int32_t>{EvAcFail});
        EXPECT_EQ(rig.notifier.starts, 1);
        // The count-down restarts from the configured minutes at the change.
        EXPECT_LE(rig.engine.countDownSec(), 600);
        EXPECT_GE(rig.engine.countDownSec(), 590);
    }
}

TEST(MonitorEngine, ChangeMaskAccumulatesOverConsecutiveChanges) {
    Rig rig(Edition::Desktop);
    rig.tick();
    rig.tick();
    rig.set(Mains::Fail);
    rig.tick();
    EXPECT_EQ(rig.engine.changeMask(), StatusNormal | StatusAcFail);
    rig.set(Mains::Low);
    rig.tick();
    // Both ticks' bits stay; battery low wins the classification.
    EXPECT_EQ(rig.engine.changeMask(), StatusNormal | StatusAcFail | StatusBatteryLow);
    EXPECT_EQ(rig.events.kinds, (std::vector<int32_t>{EvAcFail, EvBatteryLow}));
    EXPECT_EQ(rig.engine.countDownSec(), rig.s.lowBatMin * 60);
    rig.tick();
    EXPECT_EQ(rig.engine.changeMask(), 0);
}

TEST(MonitorEngine, FlagsDecideQueueingButTheEventIsAlwaysRecorded) {
    Rig rig(Edition::Console);
    rig.s.notifyFlags[0] = 0;
    rig.s.notifyFlags[1] = 0;
    rig.s.notifyFlags[4] = 0;  // recovery: pager only
    rig.tick();
    rig.set(Mains::Fail);
    rig.tick();
    rig.set(Mains::Normal);
    rig.tick();
    EXPECT_EQ(rig.events.kinds, (std::vector<int32_t>{EvAcFail, EvAcRecoveried}));
    EXPECT_EQ(rig.notifier.queued, std::vector<int32_t>{EvAcRecoveried});
}

TEST(MonitorEngine, NotifierHearsEveryTickAndKindsItWantsWhateverTheFlags) {
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        SCOPED_TRACE(e == Edition::Desktop ? "desktop" : "console");
        Rig rig(e);
        std::memset(rig.s.notifyFlags, 0, sizeof rig.s.notifyFlags);
        rig.notifier.wanted = 1u << EvAcFail;  // a command for mains failures
        rig.tick();
        rig.set(Mains::Fail);
        rig.tick();
        rig.set(Mains::Normal);
        rig.tick();
        EXPECT_EQ(rig.notifier.queued, std::vector<int32_t>{EvAcFail});
        // Queued after the tick's seconds left were given: the whole
        // allowance as the failure begins; -1 while on mains.
        EXPECT_EQ(rig.notifier.leftAtQueue, std::vector<int32_t>{rig.s.expBatMin * 60});
        EXPECT_EQ(rig.notifier.ticks.size(), 3u);
        EXPECT_EQ(rig.notifier.ticks.front(), -1);
        EXPECT_EQ(rig.notifier.ticks.back(), -1);
    }
}

TEST(MonitorEngine, DesktopHaltsWhenTheAllowedMinutesHavePassed) {
    Rig rig(Edition::Desktop);
    rig.tick();
    rig.set(Mains::Fail);
    EXPECT_FALSE(rig.tick());  // the change
    int64_t changed = rig.engine.changeTime();
    EXPECT_EQ(changed, rig.clock.t);
    EXPECT_TRUE(rig.view.blinking);
    EXPECT_EQ(rig.view.countdownPeriod, 10);
    while (rig.clock.t + 2 - changed < 600) EXPECT_FALSE(rig.tick());
    EXPECT_TRUE(rig.shell.commands.empty());
    EXPECT_TRUE(rig.tick());
    EXPECT_EQ(rig.shell.commands, std::vector<std::string>{"/sbin/halt"});
    // DTR raised (mode 1) before the halt, and the events kept first.
    EXPECT_EQ(rig.line.lineWrites.back(), 1);
    EXPECT_EQ(rig.events.flushes, 1);
}

TEST(MonitorEngine, DesktopBatteryLowUsesItsOwnMinutesAndPowerReturnCancels) {
    Rig rig(Edition::Desktop);
    rig.s.lowBatMin = 1;
    rig.tick();
    rig.set(Mains::Fail);
    rig.tick();
    for (int i = 0; i < 120; ++i) EXPECT_FALSE(rig.tick());  // 4 minutes on battery
    rig.set(Mains::Low);
    EXPECT_FALSE(rig.tick());
    int64_t changed = rig.clock.t;
    while (rig.clock.t + 2 - changed < 60) EXPECT_FALSE(rig.tick());
    EXPECT_TRUE(rig.tick());

    Rig back(Edition::Desktop);
    back.tick();
    back.set(Mains::Fail);
    back.tick();
    back.clock.t += 30;
    back.set(Mains::Normal);
    back.tick();
    back.clock.t += 3600;
    EXPECT_FALSE(back.tick());
    EXPECT_FALSE(back.view.blinking);
    EXPECT_TRUE(back.shell.commands.empty());
    // The displayed count-down keeps falling after the power returned.
    int before = back.engine.countDownSec();
    back.engine.countdown(back.view);
    EXPECT_EQ(back.engine.countDownSec(), before - 10);
}

TEST(MonitorEngine, ConsoleCountsDownByPeriodAndHaltsAtZero) {
    Rig rig(Edition::Console);
    rig.s.expBatMin = 1;
    rig.s.periodSec = 10;
    rig.tick();
    rig.set(Mains::Fail);
    rig.tick();  // change: count-down restarts at 60
    EXPECT_EQ(rig.engine.countDownSec(), 60);
    rig.console.painted.clear();
    int ticks = 1;  // the change tick already counted one
    while (rig.shell.commands.empty() && ticks < 100) {
        rig.tick();
        ++ticks;
    }
    EXPECT_EQ(ticks, 60);
    EXPECT_EQ(rig.engine.countDownSec(), 0);
    EXPECT_TRUE(rig.engine.shuttingDown());
    EXPECT_EQ(rig.line.lineWrites.back(), 1);
    EXPECT_EQ(rig.console.painted.back(), "count 0");
    EXPECT_NE(std::find(rig.console.painted.begin(), rig.console.painted.end(), "count 50"),
              rig.console.painted.end());
    // Still on battery: the halt is issued again every period.
    for (int i = 0; i < 10; ++i) rig.tick();
    EXPECT_EQ(rig.shell.commands.size(), 2u);
    EXPECT_EQ(rig.engine.countDownSec(), 0);
}

TEST(MonitorEngine, ConsoleWithDamagedPeriodStillReachesZero) {
    Rig rig(Edition::Console);
    rig.s.expBatMin = 1;
    rig.s.periodSec = 0;
    rig.tick();
    rig.set(Mains::Fail);
    for (int i = 0; i < 61 && rig.shell.commands.empty(); ++i) rig.tick();
    EXPECT_EQ(rig.shell.commands.size(), 1u);
}

TEST(MonitorEngine, DetectionSkipsMouseModemAndPagerPorts) {
    {
        Rig rig(Edition::Desktop);
        rig.engine.setMouseLink("ttyS0");
        EXPECT_EQ(rig.engine.detectUps(), -1);
        EXPECT_TRUE(rig.line.opened.empty());
        rig.set(Mains::Normal, "/dev/ttyS1");
        EXPECT_EQ(rig.engine.detectUps(), 1);
        EXPECT_STREQ(rig.s.upsPort, "/dev/ttyS1");
        EXPECT_EQ(rig.s.upsState, AcOk);
    }
    {
        Rig rig(Edition::Console);
        rig.s.modemDevice = 1;
        rig.set(Mains::Normal, "/dev/ttyS1");
        rig.line.status.erase("/dev/ttyS0");
        EXPECT_EQ(rig.engine.detectUps(), -1);
        EXPECT_TRUE(rig.line.opened.empty()) << "only /dev/ttyS0 may be tried";
        EXPECT_STREQ(rig.s.upsPort, "NOT INSTALLED");
    }
    {
        Rig rig(Edition::Console);
        rig.s.pagerPort = 0;
        rig.s.modemDevice = 99;  // out of range counts as none
        EXPECT_EQ(rig.engine.detectUps(), -1);
        rig.set(Mains::Normal, "/dev/ttyS2");
        EXPECT_EQ(rig.engine.detectUps(), -1) << "ports beyond ttyS1 are never scanned";
    }
}

TEST(MonitorEngine, RepeatedUnplugKeepsAtMostOneDescriptorAndScansEveryTick) {
    Rig rig(Edition::Console);
    for (int round = 0; round < 20; ++round) {
        rig.set(Mains::Normal);
        rig.tick();
        EXPECT_EQ(rig.line.openCount, 1);
        rig.set(Mains::Gone);
        rig.tick();
        rig.tick();
        EXPECT_LE(rig.line.openCount, 1);
        EXPECT_EQ(rig.console.painted.back(), "not installed");
    }
    EXPECT_TRUE(rig.events.kinds.empty()) << "the console records no cable events";
}

TEST(MonitorEngine, DesktopFailedDetectionEndsTheTickEarly) {
    Rig rig(Edition::Desktop);
    rig.line.status.clear();
    EXPECT_FALSE(rig.tick());
    EXPECT_EQ(rig.engine.displayState(), DisplayNotInstalled);
    EXPECT_EQ(rig.engine.prevBits(), 0);
    EXPECT_EQ(rig.view.repaints, 1);
}

}  // namespace
}  // namespace qor::test

namespace qor::test {
namespace {

TEST(MonitorEngine, FollowersHearEveryTickAndAreToldToGoBeforeTheHalt) {
    for (Edition e : {Edition::Desktop, Edition::Console}) {
        SCOPED_TRACE(e == Edition::Desktop ? "desktop" : "console");
        Rig r(e);
        r.s.expBatMin = 1;
        r.engine.setCountDownSec(60);
        RecordingPublisher pub;
        size_t linesAtShutdown = 99, haltsAtShutdown = 99;
        pub.onShutdown = [&] {
            linesAtShutdown = r.line.lineWrites.size();
            haltsAtShutdown = r.shell.commands.size();
        };
        r.engine.setPublisher(&pub);

        auto saved = r.line.status;
        r.line.status.clear();  // no UPS yet: a failed detection is published too
        r.tick();
        ASSERT_EQ(pub.states.size(), 1u);
        EXPECT_EQ(pub.states.back().upsState, NoUps);
        r.line.status = saved;
        r.tick();
        ASSERT_EQ(pub.states.size(), 2u);
        EXPECT_EQ(pub.states.back().upsState, AcOk);
        EXPECT_EQ(pub.states.back().secondsLeft, 60) << "the whole allowance while on mains";
        EXPECT_EQ(pub.ports.back(), "/dev/ttyS0");

        r.set(Mains::Fail);
        int ticks = 2;
        int32_t last = 60;
        while (r.shell.commands.empty() && ticks < 100) {
            r.tick();
            ++ticks;
            ASSERT_EQ(pub.states.size(), static_cast<size_t>(ticks)) << "one publication per tick";
            EXPECT_EQ(pub.states.back().upsState, AcFail);
            EXPECT_LE(pub.states.back().secondsLeft, last) << "battery.runtime falls with the count-down";
            last = pub.states.back().secondsLeft;
        }
        ASSERT_EQ(r.shell.commands.size(), 1u);
        EXPECT_EQ(last, 0);
        EXPECT_EQ(pub.shutdowns, 1);
        size_t linesBeforeHalt = r.line.lineWrites.size() - 1;  // the last write is the shutdown signal
        EXPECT_EQ(r.line.lineWrites.back(), 1);
        EXPECT_EQ(linesAtShutdown, linesBeforeHalt) << "followers go before the shutdown signal";
        EXPECT_EQ(haltsAtShutdown, 0u) << "followers go before the halt command";
    }
}

TEST(MonitorEngine, DesktopFoundOnBatteryPublishesTheWholeAllowanceUntilTheChange) {
    Rig r(Edition::Desktop);
    RecordingPublisher pub;
    r.engine.setPublisher(&pub);
    r.set(Mains::Fail);
    r.tick();  // first contact: no change yet
    ASSERT_EQ(pub.states.back().upsState, AcFail);
    EXPECT_EQ(pub.states.back().secondsLeft, r.s.expBatMin * 60);
    r.tick();  // the change: the count-down starts
    r.tick();
    EXPECT_EQ(pub.states.back().secondsLeft, r.s.expBatMin * 60 - 2);
}

}  // namespace
}  // namespace qor::test
