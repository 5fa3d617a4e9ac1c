// Faults, end to end: the real programs in the sandbox while /etc is
// read-only or full, the mail server is gone or hangs up, the modem never
// answers, pppd is missing, a terminating signal comes mid-way, the UPS cable
// flaps and events come faster than the mails go out. Every test checks that
// nothing already stored is lost and that every wait ends.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"
#include "ups_status.h"

namespace qor::test {
namespace {

using qor::sandbox::readFile;
using qor::sandbox::Sandbox;
using qor::sandbox::shellQuote;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;

const std::string kEtcFault = ETC_FAULT;
const std::string kSmtp = SMTP_FAULT;

UpsSettings consoleSettings() {
    UpsSettings s;
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    s.pagerPort = kPortNone;
    return s;
}

// The console mailing ann@example.org through 127.0.0.1, no pagers.
UpsSettings mailSettings() {
    UpsSettings s = consoleSettings();
    s.mailEnable = 1;
    s.connectMode = 0;
    setText(s.smtpServer, "127.0.0.1");
    setText(s.mailNames[0], "Ann");
    setText(s.mailAddrs[0], "ann@example.org");
    return s;
}

std::string image(const UpsSettings& s) { return std::string(reinterpret_cast<const char*>(&s), sizeof s); }

// A log of `n` records that ends on a page boundary when n is 512, so that
// one record more needs a new page of the file system.
std::string oldEvents(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) {
        event e{1700000000 + i, i % 3};
        out.append(reinterpret_cast<const char*>(&e), sizeof e);
    }
    return out;
}

std::vector<event> records(const std::string& bytes) {
    std::vector<event> out;
    for (size_t i = 0; i + sizeof(event) <= bytes.size(); i += sizeof(event)) {
        event e;
        std::memcpy(&e, bytes.data() + i, sizeof e);
        out.push_back(e);
    }
    return out;
}

size_t count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TmuxOptions textConsole() {
    TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return o;
}

// qorconsole on the tmux pane, after `prefix` (a command that execs the rest).
testing::AssertionResult startConsole(Sandbox& sb, std::vector<std::string> prefix = {}) {
    prefix.push_back(QORCONSOLE);
    if (!sb.startInTmux(prefix, textConsole())) return testing::AssertionFailure() << "did not start";
    if (!sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) return testing::AssertionFailure() << sb.screen();
    return testing::AssertionSuccess();
}

// ---- the misbehaving mail server (smtp_fault.py) ----

std::string smtpDir(const Sandbox& sb) { return sb.path("smtp"); }

void smtpMode(Sandbox& sb, const std::string& mode) {
    std::filesystem::create_directories(smtpDir(sb));
    qor::sandbox::writeFileAtomic(smtpDir(sb) + "/mode", mode + "\n");
}

// Starts the server inside the running sandbox; true once it listens.
bool startSmtp(Sandbox& sb) {
    std::string d = shellQuote(smtpDir(sb));
    std::string line = "/usr/bin/python3 " + shellQuote(kSmtp) + " " + d + " </dev/null >>" + d +
                       "/log 2>&1 & for i in $(seq 200); do [ -e " + d + "/ready ] && exit 0; sleep 0.05; done; exit 1";
    std::filesystem::create_directories(smtpDir(sb));
    return sb.enter({"/bin/sh", "-c", line}) == 0;
}

std::vector<std::string> smtpConns(const Sandbox& sb) {
    return qor::sandbox::lines(readFile(smtpDir(sb) + "/conns").value_or(""));
}
size_t smtpAccepted(const Sandbox& sb) { return qor::sandbox::lines(readFile(smtpDir(sb) + "/accepted").value_or("")).size(); }
std::string smtpMail(const Sandbox& sb, int n) { return readFile(smtpDir(sb) + "/mail-" + std::to_string(n) + ".bin").value_or(""); }
double smtpMailTime(const Sandbox& sb, int n) {
    return std::atof(readFile(smtpDir(sb) + "/mail-" + std::to_string(n) + ".time").value_or("0").c_str());
}
int smtpMails(const Sandbox& sb) {
    int n = 0;
    while (std::filesystem::exists(smtpDir(sb) + "/mail-" + std::to_string(n + 1) + ".bin")) ++n;
    return n;
}

// Ends the console with SIGTERM, as a shutdown of the machine would.
int terminate(Sandbox& sb, const char* program = "qorconsole") {
    sb.enter({"/bin/sh", "-c", std::string("kill -TERM $(pidof ") + program + ")"});
    return sb.waitExit(8000);
}

// One line change, then one quiet tick so the next change is an event of its own.
void change(Sandbox& sb, bool dcd, bool cts) {
    sb.setLines("ttyS0", dcd, cts);
    ::usleep(1600 * 1000);
}

// ---- /etc read-only or full -------------------------------------------

// The sandbox's /etc as the program left it (copied out by etc_fault.sh).
std::optional<std::string> etcAfter(const Sandbox& sb, const char* name) {
    return readFile(sb.path(std::string("etc-after/") + name));
}

struct EtcCase {
    const char* mode;  // etc_fault.sh's ro or full
    size_t confSize;   // of the settings file found at start
};

void PrintTo(const EtcCase& c, std::ostream* os) { *os << c.mode << ", " << c.confSize << "-byte settings file"; }

class EtcFault : public testing::TestWithParam<EtcCase> {
protected:
    bool full() const { return std::strcmp(GetParam().mode, "full") == 0; }
};

// The save of a form and the appends of events fail; the old settings file
// (or, on a full disk, a whole new one) and the old log stay; the console
// goes on showing what the line does.
TEST_P(EtcFault, ConsoleSaveAndEventAppendFailWithoutLosingTheOldFiles) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    const std::string conf = image(consoleSettings()).substr(0, GetParam().confSize), log = oldEvents(512);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", conf));
    ASSERT_TRUE(sb.seedEtc("Qor.event", log));
    ASSERT_TRUE(startConsole(sb, {kEtcFault, GetParam().mode}));
    ASSERT_NE(sb.enter({"/bin/sh", "-c", "dd if=/dev/zero of=/etc/qor-probe bs=4096 count=1 2>/dev/null"}), 0)
        << "/etc is still writable";

    // UPS Setting: expected battery life 20, then OK.
    sb.sendKeys({"Enter", "Down", "Enter"});
    ASSERT_TRUE(sb.waitForScreen("UPS Setting", 3000)) << sb.screen();
    sb.sendKeys({"20"}, true);
    sb.sendKeys({"Tab", "Tab", "Enter"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("UPS Setting") == std::string::npos; }, 3000)) << sb.screen();
    ::usleep(2500 * 1000);  // the tick's save has come and failed

    const char* error = full() ? "event file write error!" : "event file open error!";
    change(sb, true, false);
    EXPECT_TRUE(sb.waitForScreen("System AC power : Fail", 3000)) << sb.screen();
    EXPECT_TRUE(waitUntil([&] { return count(sb.syslog(), error) == 1; }, 4000)) << sb.syslog();
    change(sb, true, true);
    EXPECT_TRUE(sb.waitForScreen("System AC power : OK", 3000)) << sb.screen();
    EXPECT_TRUE(waitUntil([&] { return count(sb.syslog(), error) == 2; }, 4000)) << sb.syslog();
    EXPECT_TRUE(sb.haltLog().empty());
    EXPECT_EQ(sb.stop(8000), 0);

    // The log is exactly what it was: no torn or partial record appended.
    EXPECT_TRUE(etcAfter(sb, "Qor.event") == log) << "the log changed";
    auto saved = etcAfter(sb, "Qor.conf");
    ASSERT_TRUE(saved.has_value());
    if (*saved != conf) {
        // Only a full disk may have taken the new record, and then all of it.
        ASSERT_TRUE(full()) << "a read-only /etc changed";
        UpsSettings want = consoleSettings();
        want.upsState = AcOk;
        want.expBatMin = 20;
        setText(want.upsPort, "/dev/ttyS0");
        want.saveRequest = 1;
        EXPECT_TRUE(*saved == image(want)) << "torn: " << saved->size() << " bytes, neither the old nor the new record";
    }
    // No temporary file is left behind.
    std::string list = readFile(sb.path("etc-after/list")).value_or("");
    EXPECT_NE(list.find("Qor.conf"), std::string::npos);
    for (const auto& name : qor::sandbox::lines(list))
        EXPECT_TRUE(name.rfind("Qor.", 0) != 0 || name == "Qor.conf" || name == "Qor.event") << name;
}

// The desktop writes its log once, at the end of the run: when that fails the
// file holds the old records, whole.
INSTANTIATE_TEST_SUITE_P(Faults, EtcFault,
                         testing::Values(EtcCase{"ro", sizeof(UpsSettings)}, EtcCase{"full", sizeof(UpsSettings)},
                                         EtcCase{"full", 100}),
                         [](const testing::TestParamInfo<EtcCase>& i) {
                             return std::string(i.param.mode) + (i.param.confSize < sizeof(UpsSettings) ? "Short" : "");
                         });

class DesktopEtcFault : public testing::TestWithParam<const char*> {
protected:
    bool full() const { return std::strcmp(GetParam(), "full") == 0; }
};

TEST_P(DesktopEtcFault, EndOfRunLogWriteKeepsTheOldLog) {
    QOR_SANDBOX_REQUIRE_ROOT();
#ifndef QORGUI
    GTEST_SKIP() << "built without qorgui";
#else
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    const std::string log = oldEvents(512);
    ASSERT_TRUE(sb.seedEtc("Qor.event", log));
    auto child = sb.start({kEtcFault, GetParam(), ON_XVFB, sb.dir(), QORGUI});
    ASSERT_NE(child, nullptr);
    // Ticks every 2 s: detected, then mains fails and the next ticks record it.
    ASSERT_TRUE(waitUntil([&] { return sb.controlLog("ttyS0").size() >= 2; }, 20000));
    sb.setLines("ttyS0", true, false);
    size_t probes = sb.controlLog("ttyS0").size();
    ASSERT_TRUE(waitUntil([&] { return sb.controlLog("ttyS0").size() >= probes + 2; }, 10000));
    EXPECT_EQ(terminate(sb, "qorgui"), 0);
    auto saved = etcAfter(sb, "Qor.event");
    ASSERT_TRUE(saved.has_value());
    if (*saved != log) {
        // A full disk may still have taken the new log, then whole and in order.
        ASSERT_TRUE(full()) << "a read-only /etc changed";
        auto ev = records(*saved);
        ASSERT_EQ(saved->size(), log.size() + sizeof(event));
        EXPECT_TRUE(saved->substr(0, log.size()) == log);
        EXPECT_EQ(ev.back().kind, EvAcFail);
    }
    child->wait(5000);
#endif
}

INSTANTIATE_TEST_SUITE_P(Faults, DesktopEtcFault, testing::Values("ro", "full"));

// ---- the mail server ---------------------------------------------------

// No server, then one that hangs up after its greeting, then one that hangs
// up at MAIL: each pass ends at once and the next event is mailed when a
// proper server is back.
TEST(FaultsE2E, MailServerGoneOrHangingUpThenBack) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(mailSettings())));
    ASSERT_TRUE(startConsole(sb));

    change(sb, true, false);  // nothing on 127.0.0.1:25
    ::usleep(1500 * 1000);
    smtpMode(sb, "greet-close");
    ASSERT_TRUE(startSmtp(sb));
    change(sb, true, true);
    ASSERT_TRUE(waitUntil([&] { return smtpConns(sb).size() == 1; }, 8000));
    smtpMode(sb, "mail-close");
    change(sb, true, false);
    ASSERT_TRUE(waitUntil([&] { return smtpConns(sb).size() == 2; }, 8000));
    smtpMode(sb, "ok");
    change(sb, true, true);
    ASSERT_TRUE(waitUntil([&] { return smtpMails(sb) == 1; }, 8000)) << readFile(smtpDir(sb) + "/log").value_or("");

    auto conns = smtpConns(sb);
    EXPECT_EQ(conns[0], "1 greet-close closed after the greeting");
    EXPECT_EQ(conns[1], "2 mail-close closed at MAIL");
    EXPECT_NE(smtpMail(sb, 1).find("AC Recoveried!"), std::string::npos) << smtpMail(sb, 1);
    ::usleep(1000 * 1000);
    EXPECT_EQ(smtpMails(sb), 1) << "failed mails are not sent again";
    // Every event was stored although its mail failed.
    auto ev = records(sb.etcFile("Qor.event").value_or(""));
    ASSERT_EQ(ev.size(), 4u);
    EXPECT_EQ(ev[3].kind, EvAcRecoveried);
    EXPECT_EQ(terminate(sb), 0);
}

// A slow server holds the worker while four more events come: every one of
// them is mailed, in order (the queue drops codes only when 1020 wait).
TEST(FaultsE2E, EventsWhileTheWorkerIsBusyAreAllMailedInOrder) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(mailSettings())));
    smtpMode(sb, "slow 0.8");  // about 5 s a mail
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(startSmtp(sb));

    const bool fail[5] = {true, false, true, false, true};
    for (bool f : fail) change(sb, true, !f);
    // The first mail was still on its way while the later events came.
    double lastEvent = records(sb.etcFile("Qor.event").value_or("")).back().time;
    ASSERT_TRUE(waitUntil([&] { return smtpMails(sb) == 5; }, 60000)) << smtpMails(sb) << " mails";
    EXPECT_GT(smtpMailTime(sb, 2), lastEvent - 1) << "the worker was never busy when events came";
    for (int i = 0; i < 5; ++i) {
        EXPECT_NE(smtpMail(sb, i + 1).find(fail[i] ? "  AC Fail!\r\n" : "  AC Recoveried!\r\n"), std::string::npos)
            << "mail " << i + 1 << ": " << smtpMail(sb, i + 1);
    }
    ::usleep(1500 * 1000);
    EXPECT_EQ(smtpMails(sb), 5);
    EXPECT_EQ(records(sb.etcFile("Qor.event").value_or("")).size(), 5u);
    EXPECT_EQ(terminate(sb), 0);
}

// ---- the modem and pppd --------------------------------------------------

std::vector<std::string> modemCommands(const Sandbox& sb, const std::string& port) {
    std::vector<std::string> out;
    for (auto& l : qor::sandbox::lines(readFile(sb.path("serial/" + port + "/modem.record.times")).value_or(""))) {
        size_t sp = l.find(' ');
        if (sp != std::string::npos) out.push_back(l.substr(sp + 1));
    }
    return out;
}

size_t commandsStarting(const std::vector<std::string>& cmds, const std::string& prefix) {
    size_t n = 0;
    for (auto& c : cmds) n += c.rfind(prefix, 0) == 0;
    return n;
}

// A modem that says nothing: three bounded attempts at the pager, then the
// mail; the line is probed every second all the while.
TEST(FaultsE2E, SilentModemEndsThePagerPassAndTheMonitorTicksOn) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS2", shellQuote(HAYES_EMU) + " --dead");
    sb.setLines("ttyS0", true, true);
    // The ticks are seen by their probes: on a port that can be waited on, a
    // monitor back on mains would make none.
    ASSERT_TRUE(qor::sandbox::writeFileAtomic(sb.path("serial/ttyS0/driver"), "no-miwait\n"));
    UpsSettings s = mailSettings();
    s.modemDevice = 2;
    s.modemFlow = 2;
    s.pagerEnable = 1;
    setText(s.pagerNumbers[0], "5550100");
    s.notifyFlags[2 * EvAcRecoveried + 1] = 0;  // pagers for mains failures only
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(startSmtp(sb));

    change(sb, true, false);
    auto failedAt = std::chrono::steady_clock::now();
    // Meanwhile the monitor ticks: every 30 s at least 20 probes, and the
    // return of the mains shows at once.
    for (int i = 0; i < 3; ++i) {
        size_t before = sb.controlLog("ttyS0").size();
        ::sleep(30);
        EXPECT_GE(sb.controlLog("ttyS0").size(), before + 20) << "ticks stopped during the pager pass";
        if (i == 1) {
            sb.setLines("ttyS0", true, true);
            EXPECT_TRUE(sb.waitForScreen("System AC power : OK", 3000)) << sb.screen();
        }
    }
    ASSERT_TRUE(waitUntil([&] { return smtpMails(sb) == 2; }, 120000)) << smtpMails(sb) << " mails";
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - failedAt).count();
    std::printf("pager pass on a silent modem and both mails: %.0f s\n", took);
    EXPECT_NE(smtpMail(sb, 1).find("AC Fail!"), std::string::npos);
    EXPECT_NE(smtpMail(sb, 2).find("AC Recoveried!"), std::string::npos);
    auto cmds = modemCommands(sb, "ttyS2");
    EXPECT_EQ(commandsStarting(cmds, "ATZ"), 3u) << "three attempts at the number";
    EXPECT_EQ(commandsStarting(cmds, "ATD"), 0u) << "nothing dialled without an OK";
    EXPECT_EQ(records(sb.etcFile("Qor.event").value_or("")).size(), 2u);
    EXPECT_EQ(terminate(sb), 0);
}

// A dial-up account on a modem that connects, the system's own secrets file
// in /etc/ppp and a pppd stand-in that brings the link up.
const std::string kSystemSecrets = "# the system's own\nisp * secret\n";

UpsSettings seedDialUp(Sandbox& sb) {
    sb.port("ttyS0").port("ttyS2", shellQuote(HAYES_EMU) + " --dial connect");
    sb.pppMode("up");
    sb.setLines("ttyS0", true, true);
    EXPECT_TRUE(sb.seedEtc("ppp/pap-secrets", kSystemSecrets));
    UpsSettings s = mailSettings();
    s.connectMode = 1;
    s.modemDevice = 2;
    s.modemFlow = 2;
    setText(s.dialUser, "joe");
    setText(s.dialPassword, "pw");
    setText(s.dialPhone, "0191555");
    return s;
}

// pppd not on the search list: three dial-ups that bring no link, then the
// pass ends; the system's secrets file is back byte for byte.
TEST(FaultsE2E, NoPppdFailsTheDialUpCleanlyAndRestoresTheSecrets) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(seedDialUp(sb))));
    // /dev/null over the stand-in: a pppd that is there but cannot be run.
    for (const char* dir : {"/usr/local/sbin", "/usr/bin", "/usr/local/bin"})
        ASSERT_FALSE(std::filesystem::exists(std::string(dir) + "/pppd")) << dir;
    ASSERT_TRUE(startConsole(sb, {"/bin/sh", "-c", "mount --bind /dev/null /usr/sbin/pppd && exec \"$@\"", "sh"}));
    ASSERT_TRUE(startSmtp(sb));

    change(sb, true, false);
    auto pass = [&] { return count(sb.syslog(), "can't find ppp0"); };
    ASSERT_TRUE(waitUntil([&] { return pass() == 3; }, 120000)) << sb.syslog();
    // The last disconnect: the secrets go back and the modem is hung up.
    ASSERT_TRUE(waitUntil([&] { return readFile(sb.path("etc-upper/ppp/pap-secrets")) == kSystemSecrets; }, 10000));
    ::sleep(12);  // a fourth attempt would have dialled by now
    auto cmds = modemCommands(sb, "ttyS2");
    EXPECT_EQ(commandsStarting(cmds, "ATD"), 3u);
    EXPECT_EQ(pass(), 3u);
    EXPECT_EQ(readFile(sb.path("etc-upper/ppp/pap-secrets")), kSystemSecrets);
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.old")));
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.new")));
    EXPECT_TRUE(sb.pppdLog().empty()) << "the stand-in ran";
    EXPECT_EQ(smtpAccepted(sb), 0u) << "no link, no mail";
    EXPECT_EQ(terminate(sb), 0);
}

// ---- terminating signals ------------------------------------------------

// SIGTERM while a mail is being sent and while a form is open: status 0, the
// terminal given back, the stored files as they were.
TEST(FaultsE2E, SigtermDuringAMailPassAndDuringAFormLosesNothing) {
    QOR_SANDBOX_REQUIRE_ROOT();
    const std::string log = oldEvents(3);
    {
        Sandbox sb;
        sb.port("ttyS0");
        sb.setLines("ttyS0", true, true);
        const std::string conf = image(mailSettings());
        ASSERT_TRUE(sb.seedEtc("Qor.conf", conf));
        ASSERT_TRUE(sb.seedEtc("Qor.event", log));
        smtpMode(sb, "slow 20");
        ASSERT_TRUE(startConsole(sb));
        ASSERT_TRUE(startSmtp(sb));
        sb.setLines("ttyS0", true, false);
        ASSERT_TRUE(waitUntil([&] { return smtpAccepted(sb) == 1; }, 8000));
        EXPECT_EQ(terminate(sb), 0);
        EXPECT_EQ(sb.screen().find("Qor Halvora Status Box"), std::string::npos) << sb.screen();
        EXPECT_TRUE(sb.etcFile("Qor.conf") == conf);
        std::string now = sb.etcFile("Qor.event").value_or("");
        ASSERT_EQ(now.size(), log.size() + sizeof(event));
        EXPECT_TRUE(now.substr(0, log.size()) == log);
        EXPECT_EQ(records(now).back().kind, EvAcFail);
    }
    {
        // Over a dial-up link: the account's secrets are live while the mail goes.
        Sandbox sb;
        ASSERT_TRUE(sb.seedEtc("Qor.conf", image(seedDialUp(sb))));
        smtpMode(sb, "slow 20");
        ASSERT_TRUE(startConsole(sb));
        ASSERT_TRUE(startSmtp(sb));
        sb.setLines("ttyS0", true, false);
        ASSERT_TRUE(waitUntil([&] { return smtpAccepted(sb) == 1; }, 30000));
        ASSERT_NE(readFile(sb.path("etc-upper/ppp/pap-secrets")), kSystemSecrets) << "the account's file is not live";
        EXPECT_EQ(terminate(sb), 0);
        EXPECT_EQ(readFile(sb.path("etc-upper/ppp/pap-secrets")), kSystemSecrets) << "the system's file was left aside";
        EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.old")));
        std::string ppp = readFile(sb.path("pppd.events")).value_or("");
        EXPECT_NE(ppp.find("stopped signal=TERM"), std::string::npos) << "pppd left holding the line:\n" << ppp;
    }
    {
        Sandbox sb;
        sb.port("ttyS0");
        sb.setLines("ttyS0", true, true);
        const std::string conf = image(consoleSettings());
        ASSERT_TRUE(sb.seedEtc("Qor.conf", conf));
        ASSERT_TRUE(sb.seedEtc("Qor.event", log));
        ASSERT_TRUE(startConsole(sb));
        sb.sendKeys({"Enter", "Down", "Enter"});
        ASSERT_TRUE(sb.waitForScreen("UPS Setting", 3000)) << sb.screen();
        sb.sendKeys({"20"}, true);
        ASSERT_TRUE(sb.waitForScreen("20", 2000));
        EXPECT_EQ(terminate(sb), 0);
        EXPECT_EQ(sb.screen().find("UPS Setting"), std::string::npos) << sb.screen();
        EXPECT_TRUE(sb.etcFile("Qor.conf") == conf) << "a form left by a signal stores nothing";
        EXPECT_TRUE(sb.etcFile("Qor.event") == log);
    }
}

// ---- the UPS cable -------------------------------------------------------

// Host pid of the program `comm` running in this sandbox, or -1.
pid_t programPid(const Sandbox& sb, const std::string& comm) {
    std::string want = "QOR_SANDBOX_DIR=" + sb.dir();
    want.push_back('\0');
    std::unique_ptr<DIR, int (*)(DIR*)> proc(::opendir("/proc"), ::closedir);
    while (dirent* d = ::readdir(proc.get())) {
        pid_t pid = std::atoi(d->d_name);
        if (pid <= 0) continue;
        std::string base = std::string("/proc/") + d->d_name;
        if (readFile(base + "/comm").value_or("") != comm + "\n") continue;
        if (readFile(base + "/environ").value_or("").find(want) != std::string::npos) return pid;
    }
    return -1;
}

struct Fds {
    int all = 0;
    int ups = 0;  // on the simulated ports' ptys
};

Fds openFds(pid_t pid, const std::set<dev_t>& ports) {
    Fds f;
    std::string dir = "/proc/" + std::to_string(pid) + "/fd";
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.c_str()), ::closedir);
    if (!d) return f;
    while (dirent* e = ::readdir(d.get())) {
        if (e->d_name[0] == '.') continue;
        ++f.all;
        struct stat st {};
        if (::stat((dir + "/" + e->d_name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) && ports.count(st.st_rdev))
            ++f.ups;
    }
    return f;
}

// The cable pulled and put back 1000 times, on either port, while the program
// probes and scans (and the console is asked to detect again): never more
// than one port open, none left over at the end.
class CableFlapping : public testing::TestWithParam<const char*> {
protected:
    bool console() const { return std::strcmp(GetParam(), "qorconsole") == 0; }
};

TEST_P(CableFlapping, AtMostOneUpsDescriptorAndNoneLeaked) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    sb.port("ttyS0").port("ttyS1");
    sb.setLines("ttyS0", true, true);
    std::unique_ptr<qor::sandbox::Child> gui;
    if (console()) {
        ASSERT_TRUE(sb.seedEtc("Qor.conf", image(consoleSettings())));
        ASSERT_TRUE(startConsole(sb));
    } else {
#ifndef QORGUI
        GTEST_SKIP() << "built without qorgui";
#else
        gui = sb.start({ON_XVFB, sb.dir(), QORGUI});
        ASSERT_NE(gui, nullptr);
#endif
    }
    pid_t pid = -1;
    ASSERT_TRUE(waitUntil([&] { return (pid = programPid(sb, GetParam())) > 0; }, 10000));
    std::set<dev_t> ports;
    for (const char* p : {"ttyS0", "ttyS1"}) {
        std::string pty = readFile(sb.path(std::string("serial/") + p + "/pty")).value_or("");
        while (!pty.empty() && (pty.back() == '\n' || pty.back() == ' ')) pty.pop_back();
        struct stat st {};
        ASSERT_EQ(::stat(pty.c_str(), &st), 0) << pty;
        ports.insert(st.st_rdev);
    }
    // Found, and a few ticks on, so everything the program keeps open is open.
    ASSERT_TRUE(waitUntil([&] { return sb.controlLog("ttyS0").size() >= 3; }, 15000));
    Fds base = openFds(pid, ports);
    ASSERT_EQ(base.ups, 1);
    if (console()) sb.sendKeys({"Down"});  // onto "Detect UPS "

    size_t probes = sb.controlLog("ttyS0").size() + sb.controlLog("ttyS1").size();
    int most = 0;
    for (int i = 0; i < 1000; ++i) {
        // Pulled, and plugged into the other port: the next scan may find it on either.
        bool onFirst = i % 2 == 0;
        sb.setLines("ttyS0", onFirst, onFirst);
        sb.setLines("ttyS1", !onFirst && i % 4 == 1, !onFirst && i % 4 == 1);
        for (int k = 0; k < 3; ++k) {
            most = std::max(most, openFds(pid, ports).ups);
            ::usleep(5000);
        }
        if (console() && i % 150 == 75) sb.sendKeys({"Enter"});  // Detect UPS
    }
    size_t probed = sb.controlLog("ttyS0").size() + sb.controlLog("ttyS1").size() - probes;
    std::printf("%s: %zu probes while the cable flapped; at most %d UPS descriptors\n", GetParam(), probed, most);
    EXPECT_GE(probed, 8u);
    EXPECT_LE(most, 1);

    sb.setLines("ttyS0", true, true);
    sb.setLines("ttyS1", false, false);
    // Found again and polled; back on mains the program then waits for the
    // line without probing.
    size_t now = sb.controlLog("ttyS0").size();
    ASSERT_TRUE(waitUntil([&] { return sb.controlLog("ttyS0").size() >= now + 2; }, 15000));
    // The wait on the line (in the sandbox it holds a descriptor of its own)
    // starts once the tick has ended.
    waitUntil([&] { return openFds(pid, ports).all == base.all; }, 5000);
    Fds end = openFds(pid, ports);
    EXPECT_EQ(end.ups, 1);
    EXPECT_EQ(end.all, base.all) << "descriptors leaked";
    EXPECT_EQ(terminate(sb, GetParam()), 0);
    if (gui) gui->wait(5000);
}

INSTANTIATE_TEST_SUITE_P(Faults, CableFlapping, testing::Values("qorconsole", "qorgui"));

}  // namespace
}  // namespace qor::test
