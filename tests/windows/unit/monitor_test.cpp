#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "event_value.h"
#include "line_status.h"
#include "memory_store.h"
#include "power_monitor.h"
#include "registry_values.h"
#include "shutdown_plan.h"

using qorwin::PowerMonitor;
using qorwin::ValueKind;
using qorwin::testing::MemoryStore;

namespace {

constexpr std::int32_t kNormal = 0x90;  // CTS and DCD
constexpr std::int32_t kAcFail = 0x80;  // DCD only
constexpr std::int32_t kLow = 0x00;

// Writes down everything the monitor does, one word list per action.
class RecordingHost : public qorwin::MonitorHost {
public:
    std::int32_t line = kNormal;
    std::map<std::string, std::int32_t> lines;  // a port's own line, else `line`
    std::vector<std::string> probed;
    std::vector<std::string> calls;
    std::string lastTexts;

    std::int32_t Probe(const char* port) override {
        probed.push_back(port);
        const auto own = lines.find(port);
        return own == lines.end() ? line : own->second;
    }
    void ShowTexts(const qorwin::DisplayTexts& t) override {
        lastTexts = std::to_string(t.ac) + " " + std::to_string(t.battery) + " " + std::to_string(t.countdown);
        if (t.countdown == 1028) lastTexts += " " + std::to_string(t.seconds);
    }
    void Log(unsigned id) override { calls.push_back("log " + std::to_string(id)); }
    void ShowWarning(int kind, std::uint32_t s) override {
        calls.push_back("popup " + std::to_string(kind) + " " + std::to_string(s));
    }
    void PostPager(int code) override { calls.push_back("pager " + std::to_string(code)); }
    void PostMail(int kind) override { calls.push_back("mail " + std::to_string(kind)); }
    void Repaint() override { calls.push_back("repaint"); }
    void StartCountdown() override {
        running = true;
        calls.push_back("start");
    }
    void StopCountdown() override {
        if (running) calls.push_back("stop");
        running = false;
    }
    void ClosePopup() override { calls.push_back("close popup"); }
    void RunShutdown() override { calls.push_back("shutdown"); }
    std::uint64_t NowMs() override { return now; }

    std::vector<std::string> Take() {
        auto c = calls;
        calls.clear();
        return c;
    }
    bool running = false;
    std::uint64_t now = 50000;
};

void PutDword(MemoryStore& s, const char* name, std::uint32_t v) {
    s.Put(name, ValueKind::Dword, std::string(reinterpret_cast<const char*>(&v), 4));
}

void PutEvent(MemoryStore& s, const char* name, int mask) {
    unsigned char b[qorwin::kEventValueSize];
    qorwin::FormatEventValue(name, mask, b);
    s.Put(name, ValueKind::Binary, std::string(reinterpret_cast<const char*>(b), sizeof b));
}

struct Rig {
    Rig() {
        store.Put("Port", ValueKind::String, std::string("COM2", 5));
        PutDword(store, "Enable Notification", 3);
        PutEvent(store, "Power Fail Warning", 7);
        PutEvent(store, "Power Restored", 7);
        PutEvent(store, "Battery Low", 7);
        PutDword(store, "Battery life", 2);
        PutDword(store, "Battery low life", 1);
        PutDword(store, "Warnning time", 1);
        PutDword(store, "Interval", 30);
    }
    std::vector<std::string> Line(std::int32_t status) {
        host.line = status;
        monitor.OnLineTick(store, 2);
        return host.Take();
    }
    // n ticks of timer 2, `ms` apart on the clock.
    std::vector<std::string> Ticks(int n, std::uint64_t ms = 1000) {
        for (int i = 0; i < n; ++i) {
            host.now += ms;
            monitor.OnCountdownTick(store);
        }
        return host.Take();
    }
    MemoryStore store;
    RecordingHost host;
    PowerMonitor monitor{host};
};

using Calls = std::vector<std::string>;

}  // namespace

TEST(PowerMonitor, EveryRowOfTheStateTable) {
    Rig r;
    // Nothing handled, CTS on: the normal texts, timer 2 stays off.
    EXPECT_EQ(r.Line(kNormal), Calls{});
    EXPECT_EQ(r.host.lastTexts, "1021 1022 1023");
    EXPECT_EQ(r.host.probed, std::vector<std::string>{"COM2"});
    // AcFail first seen: arm, log 1027, pop-up, pager, mail, repaint.
    EXPECT_EQ(r.Line(kAcFail), (Calls{"start", "log 1027", "popup 2 120", "pager 1", "mail 2", "repaint"}));
    EXPECT_EQ(r.host.lastTexts, "1024 1022 1023");
    EXPECT_EQ(r.monitor.acOk(), 0);
    // AcFail again: texts only.
    EXPECT_EQ(r.Line(kAcFail), Calls{});
    // BatteryLow first seen (after AcFail): a second countdown, no repaint.
    EXPECT_EQ(r.Line(kLow), (Calls{"stop", "start", "log 1026", "popup 1 60", "pager 3", "mail 1"}));
    EXPECT_EQ(r.host.lastTexts, "1024 1025 1023");
    EXPECT_EQ(r.monitor.acFailSeen(), 1);
    EXPECT_EQ(r.monitor.batteryLowSeen(), 1);
    EXPECT_EQ(r.Line(kLow), Calls{});
    // The battery-low countdown runs, the AC one stands still.
    r.Ticks(3);
    EXPECT_EQ(r.monitor.batteryLowSeconds(), 57u);
    EXPECT_EQ(r.monitor.acFailSeconds(), 120u);
    EXPECT_EQ(r.host.lastTexts, "1024 1025 1028 57");
    // Return: log 1020 once, restored channels in order, timer stopped; counters kept.
    EXPECT_EQ(r.Line(kNormal), (Calls{"log 1020", "popup 0 0", "pager 2", "mail 0", "repaint", "stop"}));
    EXPECT_EQ(r.host.lastTexts, "1021 1022 1023");
    EXPECT_EQ(r.Line(kNormal), Calls{});
    EXPECT_EQ(r.monitor.batteryLowSeconds(), 57u);
    EXPECT_FALSE(r.host.running);
    // BatteryLow straight from Normal (a pulled cable reads the same).
    EXPECT_EQ(r.Line(kLow), (Calls{"start", "log 1026", "popup 1 60", "pager 3", "mail 1"}));
    EXPECT_EQ(r.monitor.acFailSeen(), 0);
}

TEST(PowerMonitor, NothingHappensWithoutAPortOrAProbe) {
    Rig r;
    r.host.line = kAcFail;
    r.monitor.OnLineTick(r.store, 0);  // no UPS found
    r.store.Put("Port", ValueKind::String, std::string("NONE", 5));
    r.monitor.OnLineTick(r.store, 2);
    EXPECT_TRUE(r.host.probed.empty());
    r.store.Put("Port", ValueKind::String, std::string("COM2", 5));
    EXPECT_EQ(r.Line(qorwin::kProbeFailed), Calls{});
    EXPECT_EQ(r.monitor.acFailSeen(), 0);
    EXPECT_EQ(r.host.lastTexts, "");  // not even the texts change
}

TEST(PowerMonitor, ProbeFailsWhenRtsCannotBeRaised) {
    struct FakePort : qorwin::CommPort {
        bool open = true, setup = true, escape = true, status = true;
        unsigned escapeCode = 0;
        bool Open(const char*) override { return open; }
        bool ApplyLineSettings() override { return setup; }
        bool Escape(unsigned code) override {
            escapeCode = code;
            return escape;
        }
        bool ModemStatus(std::uint32_t& s) override {
            s = 0;  // all lines off: battery low, if it were believed
            return status;
        }
    };
    FakePort p;
    EXPECT_EQ(qorwin::ProbeLine(p, "COM1", 3), 0);
    EXPECT_EQ(p.escapeCode, 3u);
    p.escape = false;
    EXPECT_EQ(qorwin::ProbeLine(p, "COM1", 3), qorwin::kProbeFailed);
    p.escape = true;
    for (bool* step : {&p.open, &p.setup, &p.status}) {
        *step = false;
        EXPECT_EQ(qorwin::ProbeLine(p, "COM1", 3), qorwin::kProbeFailed);
        *step = true;
    }
    EXPECT_EQ(qorwin::ProbeLine(p, "", 3), qorwin::kProbeFailed);
}

TEST(PowerMonitor, ChannelsFollowTheMasksAndEnableNotification) {
    Rig r;
    PutEvent(r.store, "Power Fail Warning", 1);  // pop-up only
    EXPECT_EQ(r.Line(kAcFail), (Calls{"start", "log 1027", "popup 2 120", "repaint"}));
    PutEvent(r.store, "Power Restored", 6);       // mail and pager, but...
    PutDword(r.store, "Enable Notification", 2);  // ...only the pager is enabled
    EXPECT_EQ(r.Line(kNormal), (Calls{"log 1020", "pager 2", "repaint", "stop"}));
    r.store.values.erase("Battery Low");          // missing value: no channel
    EXPECT_EQ(r.Line(kLow), (Calls{"start", "log 1026"}));
}

TEST(PowerMonitor, BatteryLifeZeroShutsDownOnTheNextTick) {
    Rig r;
    PutDword(r.store, "Battery life", 0);
    r.Line(kAcFail);
    EXPECT_EQ(r.monitor.acFailSeconds(), 0u);
    EXPECT_EQ(r.Ticks(1), (Calls{"stop", "log 1033", "close popup", "shutdown"}));
    EXPECT_EQ(r.host.lastTexts, "1024 1022 1028 0");
    EXPECT_EQ(r.monitor.acFailSeconds(), 9999u);
    EXPECT_EQ(r.monitor.batteryLowSeconds(), 9999u);
    // The shutdown is under way: a cancel now stops nothing and logs nothing.
    EXPECT_EQ(r.monitor.Cancel(), 0);
    EXPECT_EQ(r.host.Take(), Calls{});
}

TEST(PowerMonitor, RemindersAtTheWarningTimeAndEveryIntervalNeverAtZero) {
    Rig r;  // 2 minutes, reminders from 1 minute before the end, every 30 s
    r.Line(kAcFail);
    std::vector<std::string> reminders;
    for (int i = 0; i < 120; ++i)
        for (const std::string& c : r.Ticks(1))
            if (c.rfind("popup", 0) == 0) reminders.push_back(c);
    EXPECT_EQ(reminders, (std::vector<std::string>{"popup 4 60", "popup 4 30"}));
    EXPECT_EQ(r.monitor.acFailSeconds(), 9999u);

    // A countdown shorter than W x 60 reminds on the multiples of I.
    EXPECT_TRUE(qorwin::ReminderDue(5, 30, 240));
    EXPECT_FALSE(qorwin::ReminderDue(5, 30, 239));
    EXPECT_FALSE(qorwin::ReminderDue(1, 30, 61));
    EXPECT_FALSE(qorwin::ReminderDue(1, 1, 0));
    // A stored interval of 0 counts as 1 (never a division by it).
    EXPECT_TRUE(qorwin::ReminderDue(1, 0, 17));
    // Large stored minutes neither overflow nor wrap.
    EXPECT_TRUE(qorwin::ReminderDue(0xFFFFFFFFu, 1, 5));
    EXPECT_EQ(qorwin::MinutesToSeconds(9999), 599940u);
    EXPECT_EQ(qorwin::MinutesToSeconds(0xFFFFFFFFu), 0xFFFFFFFEu);
}

TEST(PowerMonitor, UnsetCountdownValuesAreOneMinuteAndOneSecond) {
    Rig r;
    for (const char* name : {"Battery life", "Battery low life", "Warnning time", "Interval"})
        r.store.values.erase(name);
    EXPECT_EQ(r.Line(kAcFail)[2], "popup 2 60");
    // W = 1 min, I = 1 s: every second of the last minute is reminded, 0 is not.
    Calls c = r.Ticks(2);
    EXPECT_EQ(c, (Calls{"popup 4 59", "popup 4 58"}));
    EXPECT_EQ(r.Line(kLow)[3], "popup 1 60");
}

TEST(PowerMonitor, CancelStopsTheCountdownUntilPowerFailsAnew) {
    Rig r;
    r.Line(kAcFail);
    r.Ticks(5);
    EXPECT_EQ(r.monitor.Cancel(), 1);
    EXPECT_EQ(r.host.Take(), (Calls{"stop", "log 1032"}));
    EXPECT_EQ(r.host.lastTexts, "1024 1022 1031");
    EXPECT_EQ(r.Line(kAcFail), Calls{});  // flags stay set: no new countdown
    EXPECT_EQ(r.monitor.Cancel(), 0);     // nothing runs any more
    r.Line(kNormal);
    EXPECT_EQ(r.Line(kAcFail)[0], "start");
}

TEST(PowerMonitor, AStaleZeroCounterDoesNotEndALaterCountdown) {
    Rig r;
    PutDword(r.store, "Battery life", 0);
    r.Line(kAcFail);  // armed with 0 ...
    r.Line(kNormal);  // ... and the power is back before timer 2 ticked
    EXPECT_EQ(r.monitor.acFailSeconds(), 0u);
    r.Line(kLow);
    Calls c = r.Ticks(1);
    EXPECT_EQ(c, Calls{});
    EXPECT_EQ(r.monitor.batteryLowSeconds(), 59u);
}

TEST(ShutdownPlan, FamiliesVersionsAndTheEndOfSession) {
    using qorwin::AfterSafeClose;
    using qorwin::WinVersion;
    EXPECT_EQ(qorwin::SafeCloseIndex("COM1"), 0);
    EXPECT_EQ(qorwin::SafeCloseIndex("COM4"), 3);
    EXPECT_EQ(qorwin::SafeCloseIndex("COM12"), 11);  // a further port is closed safely too
    EXPECT_EQ(qorwin::SafeCloseIndex("NONE"), -1);
    EXPECT_EQ(qorwin::SafeCloseIndex("com1"), -1);
    // The UPS is where the countdown was watched, whatever "Port" says since.
    EXPECT_STREQ(qorwin::PortToClose("NONE", "COM2"), "COM2");
    EXPECT_STREQ(qorwin::PortToClose("COM3", "COM2"), "COM2");
    EXPECT_STREQ(qorwin::PortToClose("COM1", ""), "COM1");

    struct Row {
        WinVersion v;
        const char* library;
        bool autoScanFirst;
        AfterSafeClose after;
    };
    const Row rows[] = {
        {{2, 10, 0}, "CLOZWINNT.dll", false, AfterSafeClose::Nothing},           // NT family
        {{2, 4, 10}, "CLOZWINNT.dll", false, AfterSafeClose::Nothing},           // NT 4
        {{1, 4, 0}, "CLOZWIN9.dll", false, AfterSafeClose::Nothing},             // 95
        {{1, 4, 10}, "CLOZWIN9.dll", true, AfterSafeClose::AutoScanOff},         // 98
        {{1, 4, 89}, "CLOZWIN9.dll", true, AfterSafeClose::AutoScanOff},
        {{1, 4, 90}, "CLOZWIN9.dll", false, AfterSafeClose::LogOffThenSignal},   // Me
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.v.platformId) + " " + std::to_string(row.v.major) + "." +
                     std::to_string(row.v.minor));
        EXPECT_STREQ(qorwin::SafeCloseLibrary(row.v), row.library);
        EXPECT_EQ(qorwin::TurnsOffAutoScanBeforeClose(row.v), row.autoScanFirst);
        EXPECT_EQ(qorwin::StepAfterSafeClose(row.v), row.after);
    }

    EXPECT_FALSE(qorwin::PlanEndSession(0, {2, 10, 0}).act);
    auto nt = qorwin::PlanEndSession(1, {2, 10, 0});
    EXPECT_TRUE(nt.act);
    EXPECT_EQ(nt.signalPort, 1);
    EXPECT_TRUE(nt.ntPrivilege);
    auto again = qorwin::PlanEndSession(qorwin::kShutupsSignalled, {1, 4, 10});
    EXPECT_TRUE(again.act);
    EXPECT_EQ(again.signalPort, 1000);  // COM1000 cannot be opened: no second pulse
    EXPECT_FALSE(again.ntPrivilege);
    EXPECT_TRUE(qorwin::ClearsStaleShutups(1000));
    EXPECT_FALSE(qorwin::ClearsStaleShutups(0));
}

TEST(PowerMonitor, TheCountdownKeepsToTheClockWhateverTheTicksDo) {
    Rig r;  // 120 s, reminders at 60 and 30
    r.Line(kAcFail);
    // Ticks 7 s apart (a GUI thread held elsewhere): 17 ticks leave 1 s, the 18th ends it.
    Calls c = r.Ticks(17, 7000);
    // Each passed reminder comes once, with the count the clock gives.
    EXPECT_EQ(c, (Calls{"popup 4 57", "popup 4 29"}));
    EXPECT_EQ(r.monitor.acFailSeconds(), 1u);
    EXPECT_EQ(r.Ticks(1, 7000), (Calls{"stop", "log 1033", "close popup", "shutdown"}));
    // A tick a little early or late counts as its own second, never twice.
    Rig e;
    e.Line(kAcFail);
    e.Ticks(1, 980);
    EXPECT_EQ(e.monitor.acFailSeconds(), 119u);
    e.Ticks(1, 1040);
    EXPECT_EQ(e.monitor.acFailSeconds(), 118u);

    EXPECT_TRUE(qorwin::ReminderDueBetween(1, 30, 55, 62));   // passed 60
    EXPECT_FALSE(qorwin::ReminderDueBetween(1, 30, 31, 60));  // 60 was the count before
    EXPECT_TRUE(qorwin::ReminderDueBetween(1, 30, 0, 31));    // 30
    EXPECT_FALSE(qorwin::ReminderDueBetween(1, 30, 0, 30));   // 0 never reminds
    EXPECT_FALSE(qorwin::ReminderDueBetween(1, 1, 5, 5));     // no second passed
    EXPECT_TRUE(qorwin::ReminderDueBetween(0xFFFFFFFFu, 7, 0, 0xFFFFFFFFu));
}

// A port chosen anew during a countdown (the dialog, a language change, Detect)
// never stops or stretches it; the line it ran on stays watched until the new
// port answers, and the first answer decides.
TEST(PowerMonitor, APortChangeKeepsTheCountdownOnTimeAndWatched) {
    constexpr std::int32_t kAbsent = 1;  // the new port is never probed
    struct Row {
        const char* what;
        std::int32_t failure;  // on COM2, 10 s before the change
        const char* port;      // the new "Port" and its number
        int number;
        std::int32_t newLine;
        int seconds;  // line and countdown ticks after the change
        std::uint32_t remaining;
        std::vector<std::string> probedPerTick;
        const char* returnsOn;  // where power back ends it
    };
    const Row rows[] = {
        {"Detect during battery low finds nothing", kLow, "NONE", 0, kAbsent, 20, 30, {"COM2"}, "COM2"},
        {"a port not found, minutes in the dialog", kAcFail, "COM3", 0, kAbsent, 90, 20, {"COM2"}, "COM2"},
        {"a new port that fails to probe", kAcFail, "COM3", 3, qorwin::kProbeFailed, 30, 80, {"COM3", "COM2"},
         "COM2"},
        {"a new port that reads a failure", kAcFail, "COM3", 3, kAcFail, 30, 80, {"COM3"}, "COM3"},
        {"a new port that reads power back", kAcFail, "COM3", 3, kNormal, 0, 110, {}, "COM3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Rig r;
        r.Line(row.failure);
        r.Ticks(10);
        r.store.Put("Port", ValueKind::String, std::string(row.port) + '\0');
        r.host.lines["COM3"] = row.newLine;
        r.host.probed.clear();
        for (int i = 0; i < row.seconds; ++i) {
            r.monitor.OnLineTick(r.store, row.number);
            EXPECT_EQ(r.host.probed, row.probedPerTick);
            r.host.probed.clear();
            r.Ticks(1);
        }
        for (const std::string& call : r.host.Take())
            EXPECT_EQ(call.rfind("popup", 0), 0u) << call;  // reminders only: not stopped, not restarted
        EXPECT_TRUE(r.host.running);
        EXPECT_EQ(row.failure == kLow ? r.monitor.batteryLowSeconds() : r.monitor.acFailSeconds(), row.remaining);
        if (row.seconds > 0) {
            EXPECT_EQ(r.monitor.watchedPort(), std::string(row.returnsOn));
        }

        r.host.lines[row.returnsOn] = kNormal;
        r.monitor.OnLineTick(r.store, row.number);
        EXPECT_EQ(r.host.Take(), (Calls{"log 1020", "popup 0 0", "pager 2", "mail 0", "repaint", "stop"}));
        EXPECT_EQ(r.host.lastTexts, "1021 1022 1023");
    }

    // The pop-up's cancel still stops it; with no countdown left to protect,
    // "NONE" is not watched at all.
    Rig r;
    r.Line(kLow);
    r.Ticks(5);
    r.store.Put("Port", ValueKind::String, std::string("NONE", 5));
    r.monitor.OnLineTick(r.store, 0);
    r.host.Take();
    EXPECT_EQ(r.monitor.Cancel(), 1);
    EXPECT_EQ(r.host.Take(), (Calls{"stop", "log 1032"}));
    r.host.probed.clear();
    r.monitor.OnLineTick(r.store, 0);
    EXPECT_EQ(r.host.probed, std::vector<std::string>{});
    EXPECT_FALSE(r.host.running);
}
