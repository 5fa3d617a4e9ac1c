// qorconsole end to end: the real program in the sandbox on a simulated UPS,
// driven and read through tmux.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"
#include "ups_status.h"

namespace {

using qor::sandbox::Sandbox;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;

std::string settingsImage(void (*edit)(qor::UpsSettings&)) {
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.pagerPort = qor::kPortNone;
    if (edit) edit(s);
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

std::vector<qor::event> events(const Sandbox& sb) {
    std::vector<qor::event> out;
    std::string bytes = sb.etcFile("Qor.event").value_or("");
    for (size_t i = 0; i + 8 <= bytes.size(); i += 8) {
        qor::event e;
        std::memcpy(&e, bytes.data() + i, 8);
        out.push_back(e);
    }
    return out;
}

std::vector<int> kinds(const Sandbox& sb) {
    std::vector<int> k;
    for (auto& e : events(sb)) k.push_back(e.kind);
    return k;
}

// Changes on consecutive ticks combine into one mask; give the engine one
// quiet tick after each change so every step is judged on its own.
void settle() { ::usleep(1500 * 1000); }

TmuxOptions console(int cols = 80, int rows = 25) {
    TmuxOptions o;
    o.cols = cols;
    o.rows = rows;
    o.unsetEnv = {"DISPLAY"};
    return o;
}

// The console on 80 x 25 with a UPS on /dev/ttyS0 and mains present, once it
// shows the UPS as installed.
testing::AssertionResult startOnMains(Sandbox& sb) {
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    if (!sb.startInTmux({QORCONSOLE}, console())) return testing::AssertionFailure() << "did not start";
    if (!sb.waitForScreen("UPS is installed on: /dev/ttyS0", 6000))
        return testing::AssertionFailure() << sb.screen();
    return testing::AssertionSuccess();
}

TEST(ConsoleE2E, MainsFailingAtStartIsRecordedOnTheSecondTick) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS1");
    sb.setLines("ttyS0", true, false);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage(nullptr)));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("System AC power : Fail", 6000)) << sb.screen();
    EXPECT_TRUE(kinds(sb).empty()) << "the first tick records nothing";
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 600 Seconds", 2000)) << sb.screen();
    ASSERT_TRUE(waitUntil([&] { return !kinds(sb).empty(); }, 3000));
    EXPECT_EQ(kinds(sb), std::vector<int>{qor::EvAcFail});
    // The screen layout at 80 x 25: key hints for a text console, title, box.
    std::string screen = sb.screen();
    EXPECT_NE(screen.find("Brantel Halvora Qor Utility 1.0"), std::string::npos);
    EXPECT_NE(screen.find("Qor Halvora Status Box"), std::string::npos);
    EXPECT_NE(screen.find("you are a su!"), std::string::npos);
    EXPECT_NE(screen.find("Options"), std::string::npos);
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 590 Seconds", 13000)) << sb.screen();
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ConsoleE2E, MainsFailAndReturnThenBatteryLowThenCablePulled) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS1");
    sb.setLines("ttyS1", true, true);  // the UPS on the second port
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage(nullptr)));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console(100, 40)));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS1", 6000)) << sb.screen();
    EXPECT_TRUE(sb.waitForScreen("System AC power : OK", 1000));

    sb.setLines("ttyS1", true, false);
    ASSERT_TRUE(waitUntil([&] { return kinds(sb).size() == 1; }, 3000));
    settle();
    EXPECT_TRUE(sb.waitForScreen("System AC power : Fail", 1000));
    sb.setLines("ttyS1", true, true);
    ASSERT_TRUE(waitUntil([&] { return kinds(sb).size() == 2; }, 3000));
    settle();
    EXPECT_EQ(kinds(sb), (std::vector<int>{qor::EvAcFail, qor::EvAcRecoveried}));
    EXPECT_TRUE(sb.waitForScreen("System AC power : OK", 2000)) << sb.screen();

    sb.setLines("ttyS1", true, false);
    ASSERT_TRUE(waitUntil([&] { return kinds(sb).size() == 3; }, 3000));
    settle();
    sb.setLines("ttyS1", false, true);
    ASSERT_TRUE(waitUntil([&] { return kinds(sb).size() == 4; }, 3000));
    settle();
    EXPECT_EQ(kinds(sb).back(), qor::EvBatteryLow);
    EXPECT_TRUE(sb.waitForScreen("UPS battery status : Low", 2000)) << sb.screen();
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 60 Seconds", 2000)) << sb.screen();

    sb.setLines("ttyS1", true, true);
    ASSERT_TRUE(waitUntil([&] { return kinds(sb).size() == 5; }, 3000));
    settle();
    EXPECT_EQ(kinds(sb).back(), qor::EvAcFail) << "battery low to normal reads as AC Fail";

    // Cable pulled while the power is normal: no event, scanning again.
    sb.setLines("ttyS1", false, false);
    ASSERT_TRUE(sb.waitForScreen("UPS is not installed!", 3000)) << sb.screen();
    size_t probesBefore = sb.controlLog("ttyS1").size();
    ::usleep(2500 * 1000);
    EXPECT_EQ(kinds(sb).size(), 5u);
    EXPECT_GE(sb.controlLog("ttyS1").size(), probesBefore + 2) << "every tick scans";
    sb.setLines("ttyS1", true, true);
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS1", 3000)) << sb.screen();
    ::usleep(1500 * 1000);
    EXPECT_EQ(kinds(sb).size(), 5u) << "the console records no reconnection";
    EXPECT_TRUE(sb.haltLog().empty());
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

// When the line file changed, as the sandbox recorded it.
double linesChangedAt(const Sandbox& sb, const std::string& port) {
    struct stat st {};
    if (::stat(sb.path("serial/" + port + "/lines").c_str(), &st) != 0) return 0;
    return static_cast<double>(st.st_mtim.tv_sec) + st.st_mtim.tv_nsec / 1e9;
}

// One-second steps: the halt comes one minute after the mains failed, within
// one tick, however long each tick's probe and painting take.
TEST(ConsoleE2E, CountDownEndsInARecordedHaltOnTimeWithDtrRaisedFirst) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage([](qor::UpsSettings& s) {
        s.expBatMin = 1;
        s.periodSec = 1;
    })));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 6000)) << sb.screen();
    sb.setLines("ttyS0", true, false);
    double failedAt = linesChangedAt(sb, "ttyS0");
    ASSERT_TRUE(sb.waitForScreen("System AC power : Fail", 3000)) << sb.screen();
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 45 Seconds", 20000)) << sb.screen();
    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 90000));
    auto halt = sb.haltLog().front();
    ASSERT_FALSE(halt.argv.empty());
    EXPECT_EQ(halt.argv[0], "/sbin/halt");
    // The failure is seen at the next tick (up to 1 s later), which takes the
    // first step; 59 more steps follow, one a second.
    double late = halt.time - failedAt;
    std::printf("halt %.2f s after the mains failed\n", late);
    EXPECT_GE(late, 59.0 - 0.2) << "halted " << late << " s after the mains failed";
    EXPECT_LE(late, 61.0 + 0.5) << "halted " << late << " s after the mains failed";
    auto ctl = sb.controlLog("ttyS0");
    ASSERT_FALSE(ctl.empty());
    // The last line change before the halt raised DTR and dropped RTS.
    const qor::sandbox::ControlRecord* before = nullptr;
    for (auto& c : ctl)
        if (c.time <= halt.time) before = &c;
    ASSERT_NE(before, nullptr);
    EXPECT_TRUE(before->dtr);
    EXPECT_FALSE(before->rts);
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 0 Seconds", 2000)) << sb.screen();
    // The console goes on after the halt command.
    sb.setLines("ttyS0", true, true);
    EXPECT_TRUE(sb.waitForScreen("System AC power : OK", 3000)) << sb.screen();
    EXPECT_EQ(sb.stop(5000), 0);
}

// A damaged or hand-made file with a battery time whose seconds do not fit 32
// bits: the count-down saturates instead of turning negative and halting at
// the first step.
TEST(ConsoleE2E, WildBatteryTimeNeitherOverflowsNorHalts) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, false);  // found already on battery
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage([](qor::UpsSettings& s) {
        s.expBatMin = 40000000;
        s.periodSec = 1;
    })));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("System AC power : Fail", 6000)) << sb.screen();
    EXPECT_TRUE(sb.waitForScreen("Shutdown count down : 21474836", 2000)) << sb.screen();
    ::usleep(2500 * 1000);
    EXPECT_TRUE(sb.haltLog().empty());
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

// Idle, the console sleeps from tick to tick (the probe's 100 ms wait aside)
// and sends the terminal nothing while nothing on the screen changes.
// On a port whose driver can wait for the status lines the idle console
// sleeps until a line changes: no probe, no wake-up. Where the driver refuses
// (a USB adapter without modem-status interrupts) it probes on every tick as
// it always has. Either way it sends the terminal nothing while idle.
TEST(ConsoleE2E, IdleConsoleSleepsOnAWatchedLineAndTicksOnOneThatCannotBeWatched) {
    QOR_SANDBOX_REQUIRE_ROOT();
    for (bool refuses : {false, true}) {
        SCOPED_TRACE(refuses ? "driver refuses the wait" : "driver waits");
        Sandbox sb;
        std::filesystem::create_directories(sb.path("serial/ttyS0"));
        if (refuses) {
            ASSERT_TRUE(qor::sandbox::writeFileAtomic(sb.path("serial/ttyS0/driver"), "no-miwait\n"));
        }
        ASSERT_TRUE(startOnMains(sb));
        ::usleep(3500 * 1000);  // the ticks go on a little after the last key
        // The main thread's: a change the watch sees wakes it, and a
        // sanitizer's runtime thread is none of the program's.
        auto wakeUps = [&] {
            std::string out;
            sb.enter({"sh", "-c", "grep ^voluntary_ctxt_switches /proc/$(pidof qorconsole)/status"}, &out);
            return std::atol(out.substr(out.find(':') + 1).c_str());
        };
        std::string bytesFile = sb.path("idle-output");
        auto tmux = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"tmux", "-S", sb.path(".tmux.sock")});
            auto c = qor::sandbox::spawn(args);
            return c != nullptr && c->wait(5000) == 0;
        };
        ASSERT_TRUE(tmux({"pipe-pane", "-t", "qor", "-o", "cat >> " + bytesFile}));
        long before = wakeUps();
        size_t probesBefore = sb.controlLog("ttyS0").size();
        constexpr int kSeconds = 5;
        ::usleep(kSeconds * 1000 * 1000);
        long woke = wakeUps() - before;
        size_t probes = sb.controlLog("ttyS0").size() - probesBefore;
        ASSERT_TRUE(tmux({"pipe-pane", "-t", "qor"}));
        std::string written = qor::sandbox::readFile(bytesFile).value_or("");
        std::printf("idle: %ld wake-ups, %zu probes and %zu bytes to the terminal in %d s\n", woke, probes,
                    written.size(), kSeconds);
        EXPECT_EQ(written.size(), 0u) << "sent the terminal: " << written;
        if (refuses) {
            EXPECT_GE(probes, static_cast<size_t>(kSeconds - 1)) << "a probe every tick";
            EXPECT_GT(woke, 0);
            // Two a tick (the wait for it and the probe's sleep); the window
            // may hold one tick more than its seconds.
            EXPECT_LE(woke, 2 * (kSeconds + 1) + 2) << "voluntary context switches in " << kSeconds << " s";
        } else {
            EXPECT_EQ(probes, 0u);
            EXPECT_LE(woke, 1) << "voluntary context switches in " << kSeconds << " s";
            // A glitch too short for any probe is counted on the screen, not
            // recorded.
            ASSERT_TRUE(sb.setLines("ttyS0", "DCD=1 CTS=1 CTSPULSES=2"));
            EXPECT_TRUE(sb.waitForScreen("Short line changes not logged : 2", 3000)) << sb.screen();
            EXPECT_TRUE(kinds(sb).empty());
        }
        // Seen at once either way, and recorded by the rules of every tick.
        sb.setLines("ttyS0", true, false);
        EXPECT_TRUE(waitUntil([&] { return kinds(sb).size() == 1; }, 3000));
        sb.sendKeys({"C-x"});
        EXPECT_EQ(sb.waitExit(5000), 0);
    }
}

TEST(ConsoleE2E, CtrlXAndTerminatingSignalsEndWithStatusZeroAndARestoredTerminal) {
    QOR_SANDBOX_REQUIRE_ROOT();
    {
        Sandbox sb;
        ASSERT_TRUE(startOnMains(sb));
        sb.sendKeys({"C-x"});
        EXPECT_EQ(sb.waitExit(5000), 0);
        EXPECT_EQ(sb.clearLog().size(), 1u) << "a normal end clears the screen";
        EXPECT_EQ(sb.screen().find("Qor Halvora Status Box"), std::string::npos) << sb.screen();
        // Nothing was saved: no form asked for it.
        EXPECT_FALSE(sb.etcFile("Qor.conf").has_value());
    }
    for (const char* sig : {"TERM", "INT", "HUP", "PWR"}) {
        Sandbox sb;
        ASSERT_TRUE(startOnMains(sb));
        sb.sendKeys({"Enter"});  // into the Options menu
        ASSERT_TRUE(sb.waitForScreen("Back to Main", 2000)) << sb.screen();
        std::string out;
        sb.enter({"sh", "-c", std::string("kill -") + sig + " $(pidof qorconsole)"}, &out);
        EXPECT_EQ(sb.waitExit(5000), 0) << sig;
        EXPECT_EQ(sb.screen().find("Back to Main"), std::string::npos) << sig << "\n" << sb.screen();
    }
}

TEST(ConsoleE2E, MenusReachDetectionAndQuit) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(startOnMains(sb));
    sb.sendKeys({"Down", "Enter"});  // "Detect UPS "
    EXPECT_TRUE(sb.waitForScreen("UPS status: Detecting...", 2500)) << sb.screen();
    EXPECT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 4000)) << sb.screen();
    sb.sendKeys({"Up", "Enter"});  // "Options "
    ASSERT_TRUE(sb.waitForScreen("Characteristics", 2000)) << sb.screen();
    sb.sendKeys({"C-x"});    // back to the main menu
    ::usleep(300 * 1000);
    EXPECT_NE(sb.exitStatus(), 0) << "Ctrl-X in Options only leaves Options";
    sb.sendKeys({"End", "Enter"});  // "Quit "
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ConsoleE2E, OrdinaryUserGetsTheSuperuserMessage) {
    QOR_SANDBOX_REQUIRE_ROOT();
    // A copy an ordinary user may run, wherever the build tree lives.
    char dir[] = "/tmp/qor-user-XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    ::chmod(dir, 0755);
    std::string copy = std::string(dir) + "/qorconsole";
    std::filesystem::copy_file(QORCONSOLE, copy);
    ::chmod(copy.c_str(), 0755);
    Sandbox sb;
    std::string out;
    int status = sb.run({"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", copy}, &out);
    std::filesystem::remove_all(dir);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("qorconsole needs superuser privilege."), std::string::npos) << out;
}

}  // namespace

namespace {

double nowSeconds() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

// First open of each port's record, in seconds (0: never opened).
double firstOpen(const Sandbox& sb, const std::string& port) {
    std::string text = qor::sandbox::readFile(sb.path("serial/" + port + "/opens")).value_or("");
    return text.empty() ? 0.0 : std::atof(text.c_str());
}

const char* const kUpsLink = "serial/by-id/usb-FTDI_UPS_A1B2-if00-port0";

}  // namespace

TEST(ConsoleE2E, UsbAdapterFoundAfterTheStandardPortsLostWhenPulledAndFoundAgainUnderItsNextName) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS1").port("ttyUSB0").port("ttyUSB1").unplugged("ttyUSB1");
    sb.link(kUpsLink, "../../ttyUSB0");
    sb.setLines("ttyUSB0", true, true);
    sb.setLines("ttyUSB1", true, false);  // the mains are still out when it comes back
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage([](qor::UpsSettings& s) {
        s.expBatMin = 1;
        s.periodSec = 5;
    })));
    ASSERT_TRUE(sb.seedEtc("Qor.extra", std::string("PORT /dev/ttyUSB0\nPORT /dev/") + kUpsLink + "\n"));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyUSB0", 6000)) << sb.screen();
    // /dev/ttyS0, then /dev/ttyS1, then the list.
    EXPECT_GT(firstOpen(sb, "ttyS0"), 0.0);
    EXPECT_LE(firstOpen(sb, "ttyS0"), firstOpen(sb, "ttyS1"));
    EXPECT_LE(firstOpen(sb, "ttyS1"), firstOpen(sb, "ttyUSB0"));

    settle();
    sb.setLines("ttyUSB0", true, false);
    ASSERT_TRUE(sb.waitForScreen("System AC power : Fail", 4000)) << sb.screen();
    settle();
    ASSERT_EQ(kinds(sb), std::vector<int>{qor::EvAcFail});

    // Pulled out: a lost UPS, as with a pulled cable during a mains failure.
    ASSERT_EQ(sb.unplug("ttyUSB0"), 0);
    ASSERT_TRUE(sb.waitForScreen("UPS is not installed!", 4000)) << sb.screen();
    settle();
    EXPECT_EQ(kinds(sb), (std::vector<int>{qor::EvAcFail, qor::EvAcRecoveried}));
    EXPECT_TRUE(sb.haltLog().empty());

    // Back under another number: found through its by-id link; the
    // count-down runs from the new change to the halt.
    ASSERT_EQ(sb.plug("ttyUSB1", kUpsLink), 0);
    const double backAt = nowSeconds();
    ASSERT_TRUE(sb.waitForScreen("Shutdown count down : ", 5000)) << sb.screen();
    auto opened = sb.opens("ttyUSB1");
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened.front(), std::string("/dev/") + kUpsLink);
    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 80000, 200)) << sb.screen();
    EXPECT_GE(sb.haltLog()[0].time, backAt + 55.0);
    auto ctl = sb.controlLog("ttyUSB1");
    ASSERT_FALSE(ctl.empty());
    EXPECT_TRUE(ctl.back().dtr) << "the shutdown signal goes to the adapter found again";
    // Found again during the failure: the lost UPS's change still in the
    // mask, then the failure as a change of its own (as after a cable).
    EXPECT_EQ(kinds(sb), (std::vector<int>{qor::EvAcFail, qor::EvAcRecoveried, qor::EvAcRecoveried, qor::EvAcFail}));
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ConsoleE2E, ALinkToTheModemPortIsNeverOpened) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS1").port("ttyUSB0");
    sb.link("serial/by-id/usb-modem", "../../ttyS0");
    sb.setLines("ttyS0", true, true);  // a modem's lines look like a UPS's
    sb.setLines("ttyUSB0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage([](qor::UpsSettings& s) { s.modemDevice = 0; })));
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "PORT /dev/serial/by-id/usb-modem\nPORT /dev/ttyUSB0\n"));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyUSB0", 6000)) << sb.screen();
    EXPECT_TRUE(sb.opens("ttyS0").empty());
    EXPECT_FALSE(sb.opens("ttyS1").empty());
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ConsoleE2E, MoreSettingsFormSaysWhatIsWrongThenSavesTheFileAndPutsItInForce) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyUSB0");
    sb.setLines("ttyUSB0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage(nullptr)));
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, console()));
    ASSERT_TRUE(sb.waitForScreen("UPS is not installed!", 6000)) << sb.screen();
    sb.sendKeys({"Enter", "Down", "Down", "Down", "Down", "Down"});  // the item after "Pager Setting "
    ASSERT_TRUE(sb.waitForScreen("More Settings", 3000)) << sb.screen();
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(sb.waitForScreen("Further UPS ports", 3000)) << sb.screen();
    // OK and Cancel come first in the field order, then the eight ports;
    // 24 more fields lead round to OK again.
    const std::vector<std::string> toOk(24, "Tab");
    sb.sendKeys({"Tab", "Tab"});
    sb.sendKeys({"ttyUSB0"}, true);
    sb.sendKeys(toOk);
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(sb.waitForScreen("Port 1: PORT takes one absolute path", 3000)) << sb.screen();
    EXPECT_FALSE(sb.etcFile("Qor.extra").has_value());
    sb.sendKeys({"Tab", "Tab"});
    sb.sendKeys({"/dev/ttyUSB0"}, true);
    sb.sendKeys(toOk);
    sb.sendKeys({"Enter"});
    // In force at once: the next scan finds the UPS on the new port.
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyUSB0", 4000)) << sb.screen();
    auto text = sb.etcFile("Qor.extra");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\nPORT /dev/ttyUSB0\n"), std::string::npos) << *text;
    struct stat st {};
    ASSERT_EQ(::stat(sb.path("etc-upper/Qor.extra").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    sb.sendKeys({"C-x"});
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}
