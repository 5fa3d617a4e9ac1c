// The further settings' notification rules: which commands an event starts
// and what they are told, the outage delay, the test notice's order and
// outcomes, and the refusal of a program others could change.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "event_commands.h"
#include "notify_dispatch.h"
#include "notify_test_support.h"
#include "outage_hold.h"
#include "test_notice.h"

namespace qor::test {
namespace {

TEST(OutageHold, ShortFailuresAreDroppedLongOnesReleasedLateOthersNeverHeld) {
    struct Step {
        char what;  // 'e' event at `t`, 't' tick at `t`
        int32_t kind;
        int64_t t;
        const char* out;  // kinds passed on, "" none
    };
    struct Case {
        const char* name;
        int delay;
        std::vector<Step> steps;
        bool dropped;
    } cases[] = {
        {"off", 0, {{'e', EvAcFail, 0, "0"}, {'e', EvAcRecoveried, 2, "2"}}, false},
        {"short", 10, {{'e', EvAcFail, 0, ""}, {'t', 0, 9, ""}, {'e', EvAcRecoveried, 9, ""}, {'t', 0, 20, ""}}, true},
        {"long", 10, {{'e', EvAcFail, 0, ""}, {'t', 0, 9, ""}, {'t', 0, 10, "0"}, {'e', EvAcRecoveried, 30, "2"}}, false},
        {"battery low ends the wait", 10, {{'e', EvAcFail, 0, ""}, {'e', EvBatteryLow, 3, "01"}, {'t', 0, 20, ""}}, false},
        {"recovery alone", 10, {{'e', EvAcRecoveried, 0, "2"}}, false},
        {"connect fail never held", 10, {{'e', EvConnectFail, 0, "3"}}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OutageHold h;
        for (const Step& s : c.steps) {
            HeldEvent e;
            e.kind = s.kind;
            e.time = s.t;
            std::vector<HeldEvent> out = s.what == 'e' ? h.event(e, c.delay) : h.tick(s.t);
            std::string kinds;
            for (const HeldEvent& o : out) kinds += std::to_string(o.kind);
            EXPECT_EQ(kinds, s.out) << s.what << " at " << s.t;
        }
        int64_t lasted = 0;
        EXPECT_EQ(h.takeDropped(lasted), c.dropped);
        if (c.dropped) {
            EXPECT_EQ(lasted, 9);
        }
    }
}

TEST(EventCommands, EnvironmentDescribesTheEvent) {
    CommandEvent e;
    e.bit = 1u << EvBatteryLow;
    e.text = "Low\r\nBattery!";
    e.upsState = BatteryLow;
    e.time = 0;
    e.secondsLeft = 60;
    auto env = commandEnvironment(e);
    ASSERT_EQ(env.size(), 6u);
    EXPECT_EQ(env[0], "QOR_EVENT=batterylow");
    EXPECT_EQ(env[1], "QOR_TEXT=LowBattery!");  // one line, whatever the settings hold
    EXPECT_EQ(env[2], "QOR_STATE=batterylow");
    EXPECT_EQ(env[3].substr(0, 9), "QOR_TIME=");
    EXPECT_EQ(env[3].size(), 9u + 25u) << env[3];  // 1970-01-01T00:00:00+00:00
    EXPECT_EQ(env[4], "QOR_SECONDS_LEFT=60");
    e.secondsLeft = -1;
    EXPECT_EQ(commandEnvironment(e)[4], "QOR_SECONDS_LEFT=");
    EXPECT_EQ(env[5].rfind("PATH=", 0), 0u);
}

// Records the commands the dispatch starts instead of running them. Shared
// with the commands' threads, which may still be ending after the test.
struct CommandRecorder : std::enable_shared_from_this<CommandRecorder> {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<std::string, CommandEvent>> runs;
    CommandLauncher::Runner runner() {
        auto self = shared_from_this();
        return [self](const ExtraCommand& c, const CommandEvent& e, int, NotifyLog*) {
            std::lock_guard<std::mutex> g(self->m);
            self->runs.emplace_back(c.argv[0], e);
            self->cv.notify_all();
            return CommandOutcome{CommandOutcome::Exited, 0, ""};
        };
    }
    bool waitFor(size_t n) {
        std::unique_lock<std::mutex> g(m);
        return cv.wait_for(g, std::chrono::seconds(5), [&] { return runs.size() >= n; });
    }
    size_t count() {
        std::lock_guard<std::mutex> g(m);
        return runs.size();
    }
};

class CountingPasses : public NotifyPasses {
public:
    std::atomic<int> mails{0};
    void pagerPass(int32_t, const UpsSettings&, const ExtraSettings&) override {}
    void mailPass(int32_t, const UpsSettings&, const ExtraSettings&) override { ++mails; }
};

struct DispatchRig {
    DispatchRig() {
        std::memset(&s, 0, sizeof s);
        storeDefaults(s, Edition::Console);
        std::memset(s.notifyFlags, 0, sizeof s.notifyFlags);  // mail and pagers off
        s.mailEnable = 1;
        dispatch = std::make_unique<NotifyDispatch>(s, Edition::Console, passes, &clock);
        log = std::make_shared<CaptureLog>(Edition::Console);
        dispatch->setCommandRunner(log, rec->runner());
    }
    ~DispatchRig() { dispatch->waitIdle(5000); }
    UpsSettings s{};
    FakeClock clock;
    std::shared_ptr<CountingPasses> passes = std::make_shared<CountingPasses>();
    std::shared_ptr<CommandRecorder> rec = std::make_shared<CommandRecorder>();
    CommandRecorder& recorder = *rec;
    std::shared_ptr<CaptureLog> log;
    std::unique_ptr<NotifyDispatch> dispatch;
};

ExtraCommand command(unsigned events, const char* program) {
    ExtraCommand c;
    c.events = events;
    c.argv = {program};
    return c;
}

TEST(NotifyDispatchCommands, EachCommandWhoseEventsIncludeTheEventRunsWithWhatWasSeen) {
    DispatchRig r;
    ExtraSettings x;
    x.commands = {command(1u << EvAcFail, "/a"), command(kCommandAllEvents, "/b"), command(kCommandTestBit, "/t")};
    EXPECT_FALSE(r.dispatch->wantsEvent(EvAcFail)) << "nothing set: nothing wanted";
    r.dispatch->setExtraSettings(x);
    EXPECT_TRUE(r.dispatch->wantsEvent(EvAcFail));
    EXPECT_TRUE(r.dispatch->wantsEvent(EvConnectFail));
    r.s.upsState = AcFail;
    r.dispatch->tick(600);
    r.dispatch->queueEvent(EvAcFail);
    ASSERT_TRUE(r.recorder.waitFor(2));
    r.dispatch->tick(-1);
    r.s.upsState = AcOk;
    r.dispatch->queueEvent(EvAcRecoveried);
    ASSERT_TRUE(r.recorder.waitFor(3));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::lock_guard<std::mutex> g(r.recorder.m);
    ASSERT_EQ(r.recorder.runs.size(), 3u);
    std::string programs;
    for (auto& run : r.recorder.runs) programs += run.first + " ";
    // The two of the failure in either order (each its own thread), then /b.
    EXPECT_TRUE(programs == "/a /b /b " || programs == "/b /a /b ") << programs;
    for (auto& run : r.recorder.runs) {
        bool fail = run.second.bit == 1u << EvAcFail;
        EXPECT_EQ(run.second.text, fail ? "AC Fail!" : "AC Recoveried!");
        EXPECT_EQ(run.second.upsState, fail ? AcFail : AcOk);
        EXPECT_EQ(run.second.secondsLeft, fail ? 600 : -1);
        EXPECT_EQ(run.second.time, 1000);
    }
    // Mail and pager flags off: nothing for the worker.
    EXPECT_EQ(r.dispatch->queued(), 0);
}

TEST(NotifyDispatchCommands, OutageDelayDropsAShortFailureAndTellsALongOneLate) {
    DispatchRig r;
    r.s.notifyFlags[2 * EvAcFail] = 1;  // mail for failures (the worker queue)
    ExtraSettings x;
    x.outageDelaySec = 30;
    x.commands = {command(kCommandAllEvents, "/c")};
    r.dispatch->setExtraSettings(x);
    EXPECT_TRUE(r.dispatch->wantsEvent(EvAcRecoveried)) << "a recovery must reach the hold";

    r.dispatch->queueEvent(EvAcFail);
    r.clock.sleepMicros(29 * 1000000L);
    r.dispatch->tick(571);
    r.dispatch->queueEvent(EvAcRecoveried);
    r.clock.sleepMicros(60 * 1000000L);
    r.dispatch->tick(-1);
    EXPECT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->mails.load(), 0);
    EXPECT_EQ(r.recorder.count(), 0u);
    EXPECT_TRUE(r.log->hasSys("Mains failure of 29 s, shorter than the outage delay (30 s): not notified"));

    r.dispatch->queueEvent(EvAcFail);
    r.dispatch->tick(599);
    EXPECT_EQ(r.dispatch->queued(), 0);
    r.clock.sleepMicros(30 * 1000000L);
    r.dispatch->tick(570);  // the failure has lasted the delay: told now
    ASSERT_TRUE(r.recorder.waitFor(1));
    EXPECT_TRUE(r.dispatch->waitIdle(5000));
    EXPECT_EQ(r.passes->mails.load(), 1);
    std::lock_guard<std::mutex> g(r.recorder.m);
    EXPECT_EQ(r.recorder.runs[0].second.secondsLeft, 570);
    EXPECT_EQ(r.recorder.runs[0].second.time, 1089) << "the time the failure began";
}

// Channels that answer from a script and record the order of calls.
class ScriptedChannels : public TestChannels {
public:
    std::string calls;
    bool linkUp = true;
    bool mailBegin(const UpsSettings&, const ExtraSettings&, std::string& why) override {
        calls += "begin ";
        why = "the dial-up link did not come up";
        return linkUp;
    }
    void mailEnd() override { calls += "end "; }
    void mail(const UpsSettings&, const ExtraSettings&, TestItem& item) override {
        calls += "mail:" + item.target + " ";
        bool bad = item.target.rfind("bad", 0) == 0;
        item.state = bad ? TestItem::Refused : TestItem::Delivered;
        item.detail = bad ? "550 no such user" : "250 OK";
    }
    void page(const UpsSettings&, TestItem& item) override {
        calls += "page:" + item.target + " ";
        item.state = TestItem::NoConnection;
    }
    void command(const UpsSettings&, const ExtraCommand& c, const ExtraSettings&, TestItem& item) override {
        calls += "command:" + c.argv[0] + " ";
        item.state = TestItem::Delivered;
        item.detail = "exit status 0";
    }
};

TEST(TestNotice, EveryChannelThatIsOnInOrderEachWithItsOutcome) {
    UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    setText(s.mailAddrs[0], "good@example.org");
    setText(s.mailAddrs[2], "no address");
    setText(s.mailAddrs[4], "bad@example.org");
    setText(s.pagerNumbers[1], "555-0100");
    setText(s.pagerNumbers[2], "none");
    ExtraSettings x;
    x.commands = {command(kCommandTestBit, "/t"), command(1u << EvAcFail, "/a")};

    s.mailEnable = 0;
    s.pagerEnable = 0;
    EXPECT_EQ(testNoticePlan(s, x).size(), 1u) << "the test command alone";
    EXPECT_EQ(startTestNotice(s, ExtraSettings(), std::make_shared<ScriptedChannels>()), nullptr);

    s.mailEnable = 1;
    s.pagerEnable = 1;
    ScriptedChannels ch;
    TestNoticeProgress progress(testNoticePlan(s, x));
    runTestNotice(s, x, ch, progress);
    EXPECT_EQ(ch.calls, "begin mail:good@example.org mail:bad@example.org end page:555-0100 command:/t ");
    ASSERT_TRUE(progress.finished());
    std::vector<std::string> lines;
    for (const TestItem& i : progress.items()) lines.push_back(describeTestItem(i));
    EXPECT_EQ(lines, (std::vector<std::string>{"Mail good@example.org: delivered: 250 OK",
                                               "Mail bad@example.org: refused: 550 no such user",
                                               "Pager 555-0100: no connection", "Command /t: delivered: exit status 0"}));

    // No link: every mail says why, none is tried.
    ScriptedChannels down;
    down.linkUp = false;
    TestNoticeProgress p2(testNoticePlan(s, x));
    runTestNotice(s, x, down, p2);
    EXPECT_EQ(down.calls, "begin page:555-0100 command:/t ");
    EXPECT_EQ(describeTestItem(p2.items()[1]), "Mail bad@example.org: no connection: the dial-up link did not come up");
}

TEST(EventCommands, ProgramOthersCouldChangeIsRefusedWithOneLineAndNeverRuns) {
    if (::geteuid() != 0) GTEST_SKIP() << "trusted programs are root's";
    char tmpl[] = "/tmp/qor-cmd-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    std::string dir = tmpl, program = dir + "/tell", mark = dir + "/ran";
    std::ofstream(program) << "#!/bin/sh\ntouch " << mark << "\n";
    ::chmod(program.c_str(), 0755);
    CaptureLog log;
    ExtraCommand c = command(kCommandAllEvents, program.c_str());
    CommandEvent e;
    e.bit = 1u << EvAcFail;

    ::chmod(dir.c_str(), 0777);  // anyone could swap the program
    CommandOutcome o = runEventCommand(c, e, 5, &log);
    EXPECT_EQ(o.kind, CommandOutcome::Refused);
    EXPECT_FALSE(std::filesystem::exists(mark));
    ASSERT_EQ(log.sysLines().size(), 1u);
    EXPECT_EQ(log.sysLines()[0].rfind("command " + program + " refused: ", 0), 0u) << log.sysLines()[0];

    ::chmod(dir.c_str(), 0700);
    o = runEventCommand(c, e, 5, &log);
    EXPECT_EQ(o.kind, CommandOutcome::Exited);
    EXPECT_TRUE(std::filesystem::exists(mark));
    EXPECT_EQ(log.sysLines().size(), 1u) << "success is silent";
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace qor::test
