// qorconsole end to end with /etc/Qor.extra: the administrator's commands on
// events, the outage delay and "Send a Test", in the sandbox with a real SMTP
// server.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"

using qor::sandbox::readFile;
using qor::sandbox::Sandbox;
using qor::sandbox::shellQuote;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;

namespace qor::test {
namespace {

const std::string kSink = SMTP_SINK;

std::string image(const UpsSettings& s) { return std::string(reinterpret_cast<const char*>(&s), sizeof s); }

UpsSettings mailSettings(bool mail) {
    UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    s.pagerPort = kPortNone;
    s.mailEnable = mail ? 1 : 0;
    setText(s.smtpServer, "127.0.0.1");
    setText(s.mailNames[0], "Ann");
    setText(s.mailAddrs[0], "ann@example.org");
    setText(s.mailNames[1], "Bob");
    setText(s.mailAddrs[1], "bob@example.org");
    return s;
}

// A program root may run: root's, mode 755, in the sandbox's own folder.
std::string writeProgram(const Sandbox& sb, const std::string& name, const std::string& body) {
    std::string path = sb.path(name);
    std::ofstream(path) << "#!/bin/sh\n" << body;
    ::chmod(path.c_str(), 0755);
    return path;
}

// Records its arguments and the QOR_ part of its environment, says a line.
std::string recorder(const Sandbox& sb) {
    std::string out = sb.path("cmd.out");
    return writeProgram(sb, "record-event",
                        "{ for a in \"$@\"; do echo \"arg:$a\"; done; env | grep '^QOR_' | sort; } >> " +
                            shellQuote(out) + "\necho \"told of $QOR_EVENT\"\n");
}

// qorconsole on a tmux pane, after the SMTP server listens on port 25.
bool startConsole(Sandbox& sb, const std::string& sinkArgs = "") {
    std::string mail = sb.path("mail");
    std::string line = "/usr/bin/python3 " + shellQuote(kSink) + " " + shellQuote(mail) + " " + sinkArgs + " & " +
                       "for i in $(seq 200); do [ -e " + shellQuote(mail + "/ready") +
                       " ] && break; sleep 0.05; done; exec " + shellQuote(QORCONSOLE);
    TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return sb.startInTmux({"/bin/sh", "-c", line}, o);
}

int mailCount(const Sandbox& sb) {
    int n = 0;
    while (std::filesystem::exists(sb.path("mail/mail-" + std::to_string(n + 1) + ".bin"))) ++n;
    return n;
}

std::vector<int32_t> eventKinds(const Sandbox& sb) {
    std::string log = sb.etcFile("Qor.event").value_or("");
    std::vector<int32_t> kinds;
    for (size_t i = 0; i + 8 <= log.size(); i += 8) {
        int32_t k;
        std::memcpy(&k, log.data() + i + 4, 4);
        kinds.push_back(k);
    }
    return kinds;
}

double now() {
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(ExtraNotifyE2E, CommandRunsOnMainsFailureWithTheEventInItsArgumentsAndEnvironment) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    UpsSettings s = mailSettings(false);
    s.expBatMin = 10;
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    std::string program = recorder(sb);
    // Mail and pagers off: the command alone asks for the event.
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "COMMAND acfail " + program + " --room \"ups room\"\n"));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.setLines("ttyS0", true, false);  // mains fails
    ASSERT_TRUE(waitUntil([&] { return sb.syslog().find("told of acfail") != std::string::npos; }, 8000))
        << sb.syslog();
    auto out = qor::sandbox::lines(readFile(sb.path("cmd.out")).value_or(""));
    ASSERT_EQ(out.size(), 7u) << readFile(sb.path("cmd.out")).value_or("");
    EXPECT_EQ(out[0], "arg:--room");
    EXPECT_EQ(out[1], "arg:ups room");
    EXPECT_EQ(out[2], "QOR_EVENT=acfail");
    int left = std::atoi(out[3].substr(std::strlen("QOR_SECONDS_LEFT=")).c_str());
    EXPECT_EQ(out[3].rfind("QOR_SECONDS_LEFT=", 0), 0u) << out[3];
    EXPECT_GE(left, 595);
    EXPECT_LE(left, 600);
    EXPECT_EQ(out[4], "QOR_STATE=acfail");
    EXPECT_EQ(out[5], "QOR_TEXT=AC Fail!");
    EXPECT_EQ(out[6].rfind("QOR_TIME=20", 0), 0u) << out[6];
    // The command's output reached the system log as one line of its own.
    EXPECT_NE(sb.syslog().find("command " + program + ": told of acfail"), std::string::npos) << sb.syslog();

    // Back on mains: not one of this command's events.
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(waitUntil([&] { return eventKinds(sb).size() == 2; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(qor::sandbox::lines(readFile(sb.path("cmd.out")).value_or("")).size(), 7u);
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ExtraNotifyE2E, HangingCommandIsKilledAtItsBoundAndTheHaltComesOnTime) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    UpsSettings s = mailSettings(false);
    s.expBatMin = 10;
    s.lowBatMin = 0;  // battery low halts at the next count-down step
    s.periodSec = 1;
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    std::string hang = writeProgram(sb, "hang", "echo hanging\nexec sleep 600\n");
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "COMMAND acfail,batterylow " + hang + "\nCOMMAND-TIMEOUT 4\n"));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.setLines("ttyS0", true, false);  // mains fails: the command hangs
    ASSERT_TRUE(waitUntil([&] { return eventKinds(sb).size() == 1; }, 5000));
    double fail = now();
    ASSERT_TRUE(sb.setLines("ttyS0", false, true));  // battery low: halt due at once
    double low = now();
    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 5000)) << sb.screen();
    double halted = sb.haltLog()[0].time;
    EXPECT_LT(halted - low, 3.0) << "the halt waited";
    // The first command is killed at its 4 s bound, after the halt.
    const std::string killed = "command " + hang + " (acfail): killed at its time bound (4 s)";
    ASSERT_TRUE(waitUntil([&] { return sb.syslog().find(killed) != std::string::npos; }, 10000)) << sb.syslog();
    double killedAt = now();
    EXPECT_GT(killedAt - fail, 3.5);
    EXPECT_LT(killedAt - fail, 8.0);
    EXPECT_LT(halted, killedAt);
    EXPECT_NE(sb.syslog().find("command " + hang + ": hanging"), std::string::npos);
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ExtraNotifyE2E, ShortOutageUnderTheDelayTellsNobodyButTheEventLogHasBoth) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    UpsSettings s = mailSettings(true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    std::string program = recorder(sb);
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "COMMAND all " + program + "\nOUTAGE-DELAY 4\n"));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.setLines("ttyS0", true, false);  // a 2 s failure
    ASSERT_TRUE(waitUntil([&] { return eventKinds(sb).size() == 1; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(waitUntil([&] { return eventKinds(sb).size() == 2; }, 5000));
    std::this_thread::sleep_for(std::chrono::milliseconds(4000));  // past the delay
    EXPECT_EQ(eventKinds(sb), (std::vector<int32_t>{EvAcFail, EvAcRecoveried}));
    EXPECT_EQ(mailCount(sb), 0);
    EXPECT_FALSE(std::filesystem::exists(sb.path("cmd.out")));
    EXPECT_NE(sb.syslog().find("shorter than the outage delay (4 s): not notified"), std::string::npos)
        << sb.syslog();

    // A failure that lasts the delay is told, late.
    sb.setLines("ttyS0", true, false);
    double fail = now();
    ASSERT_TRUE(waitUntil([&] { return mailCount(sb) == 2; }, 15000)) << sb.screen();
    EXPECT_GE(std::atof(readFile(sb.path("mail/mail-1.time")).value_or("0").c_str()) - fail, 3.5);
    // The command runs beside the mails, on a thread of its own.
    EXPECT_TRUE(waitUntil(
        [&] { return readFile(sb.path("cmd.out")).value_or("").find("QOR_EVENT=acfail") != std::string::npos; },
        5000));
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ExtraNotifyE2E, SendATestShowsAResultPerRecipientAndCommand) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(mailSettings(true))));
    std::string program = recorder(sb);
    ASSERT_TRUE(sb.seedEtc("Qor.extra", "COMMAND test " + program + "\n"));
    ASSERT_TRUE(startConsole(sb, "--refuse bob@example.org"));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.sendKeys({"Enter"});  // Options
    ASSERT_TRUE(sb.waitForScreen("Send a Test", 3000)) << sb.screen();
    sb.sendKeys({"End", "Up", "Enter"});  // the item before "More Settings "
    ASSERT_TRUE(sb.waitForScreen("Test finished: 2 of 3 delivered.", 10000)) << sb.screen();
    std::string screen = sb.screen();
    if (const char* shots = std::getenv("QOR_SHOTS_DIR"))  // for people: with the line-drawing switches
        std::ofstream(std::string(shots) + "/console-send-a-test.ans") << sb.screen(true);
    // A result per recipient and command, each with the words it got.
    for (const char* line : {"Mail    delivered      ann@example.org",
                             "Mail    refused        bob@example.org",
                             "        550 5.1.1 <bob@example.org>: Recipient address rejected",
                             "        exit status 0"})
        EXPECT_NE(screen.find(line), std::string::npos) << line << "\n" << screen;
    EXPECT_NE(screen.find("Command delivered      " + program), std::string::npos) << screen;
    EXPECT_EQ(mailCount(sb), 1);
    EXPECT_NE(readFile(sb.path("mail/mail-1.bin")).value_or("").find("Dear Ann,\n\n  This is a test"),
              std::string::npos);
    EXPECT_NE(readFile(sb.path("cmd.out")).value_or("").find("QOR_EVENT=test\nQOR_SECONDS_LEFT=\nQOR_STATE=acok"),
              std::string::npos)
        << readFile(sb.path("cmd.out")).value_or("");
    // The monitor ticked on under the screen: a mains failure is seen and logged.
    sb.setLines("ttyS0", true, false);
    ASSERT_TRUE(waitUntil([&] { return eventKinds(sb).size() == 1; }, 5000));
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Test finished") == std::string::npos; }, 3000));
    sb.sendKeys({"C-x"});
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

}  // namespace
}  // namespace qor::test
