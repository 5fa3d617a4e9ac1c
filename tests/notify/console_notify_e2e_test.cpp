// qorconsole end to end in the sandbox: a mains failure on the simulated UPS
// port pages through the modem emulator, then mails every recipient through
// a real SMTP server, through the dial-up link when one is configured.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
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

const std::string kEmu = HAYES_EMU;
const std::string kSink = SMTP_SINK;

std::string image(const UpsSettings& s) { return std::string(reinterpret_cast<const char*>(&s), sizeof s); }

UpsSettings consoleSettings() {
    UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    s.pagerPort = kPortNone;
    s.modemDevice = 2;  // the modem on /dev/ttyS2, the UPS on /dev/ttyS0
    s.modemFlow = 2;
    s.mailEnable = 1;
    setText(s.smtpServer, "127.0.0.1");
    setText(s.mailNames[0], "Ann");
    setText(s.mailAddrs[0], "ann@example.org");
    setText(s.mailNames[3], "Bob");
    setText(s.mailAddrs[3], "bob@example.org");
    return s;
}

// Starts qorconsole on a tmux pane once the SMTP server listens on port 25.
bool startConsole(Sandbox& sb) {
    std::string mail = sb.path("mail");
    std::string line = "/usr/bin/python3 " + shellQuote(kSink) + " " + shellQuote(mail) +
                       " --snapshot /etc/ppp/pap-secrets & " +
                       "for i in $(seq 200); do [ -e " + shellQuote(mail + "/ready") +
                       " ] && break; sleep 0.05; done; exec " + shellQuote(QORCONSOLE);
    TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return sb.startInTmux({"/bin/sh", "-c", line}, o);
}

bool mailArrived(const Sandbox& sb, int n) {
    return std::filesystem::exists(sb.path("mail/mail-" + std::to_string(n) + ".bin"));
}

std::string mailText(const Sandbox& sb, int n, const char* ext) {
    return readFile(sb.path("mail/mail-" + std::to_string(n) + "." + ext)).value_or("");
}

// "<seconds> <command>" lines of the modem emulator.
std::vector<std::pair<double, std::string>> modemTimes(const Sandbox& sb) {
    std::vector<std::pair<double, std::string>> out;
    for (auto& l : qor::sandbox::lines(readFile(sb.path("serial/ttyS2/modem.record.times")).value_or(""))) {
        size_t sp = l.find(' ');
        if (sp == std::string::npos) continue;
        out.emplace_back(std::atof(l.substr(0, sp).c_str()), l.substr(sp + 1));
    }
    return out;
}

TEST(ConsoleNotifyE2E, MainsFailurePagesThenMailsEveryRecipient) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0").port("ttyS2", shellQuote(kEmu) + " --dial busy");
    sb.setLines("ttyS0", true, true);  // AC OK
    UpsSettings s = consoleSettings();
    s.pagerEnable = 1;
    s.connectMode = 0;
    setText(s.pagerNumbers[0], "555-0100");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.setLines("ttyS0", true, false);  // DCD only: mains failed
    ASSERT_TRUE(waitUntil([&] { return mailArrived(sb, 2); }, 25000)) << sb.screen();

    auto modem = modemTimes(sb);
    ASSERT_EQ(modem.size(), 4u);
    EXPECT_EQ(modem[0].second, "+++ATH");
    EXPECT_EQ(modem[1].second, "ATZ");
    EXPECT_EQ(modem[2].second, "ATDT555-0100# , , , , , , , 00#");
    EXPECT_EQ(modem[3].second, "+++ATH");
    // The pager first, then the 5 s pause, then one mail per address in order.
    double hungUp = modem[3].first;
    double first = std::atof(mailText(sb, 1, "time").c_str());
    double second = std::atof(mailText(sb, 2, "time").c_str());
    EXPECT_GE(first - hungUp, 4.9);
    EXPECT_LT(first - hungUp, 7.0);
    EXPECT_GE(second, first);
    EXPECT_EQ(mailText(sb, 1, "env"), "ann@example.org\nann@example.org\n");
    EXPECT_EQ(mailText(sb, 2, "env"), "bob@example.org\nbob@example.org\n");
    EXPECT_NE(mailText(sb, 1, "bin").find("\nDear Ann,\n\n  AC Fail!\r\n"), std::string::npos) << mailText(sb, 1, "bin");
    EXPECT_NE(mailText(sb, 2, "bin").find("\nDear Bob,\n\n  AC Fail!\r\n"), std::string::npos);
    // The console prints nothing of the modem's dialogue on its screen.
    EXPECT_EQ(sb.screen().find("ATDT"), std::string::npos) << sb.screen();
    EXPECT_TRUE(sb.pppdLog().empty());

    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

TEST(ConsoleNotifyE2E, DialUpModeBringsPppdUpAndPutsTheSecretsBack) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0").port("ttyS2", shellQuote(kEmu) + " --dial connect");
    sb.pppMode("up");
    sb.setLines("ttyS0", true, true);
    const std::string system = "# the system's own\nisp * secret\n";
    ASSERT_TRUE(sb.seedEtc("ppp/pap-secrets", system));
    UpsSettings s = consoleSettings();
    s.pagerEnable = 0;
    s.connectMode = 1;
    setText(s.dialUser, "joe");
    setText(s.dialPassword, "pw");
    setText(s.dialPhone, "0191555");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", image(s)));
    ASSERT_TRUE(startConsole(sb));
    ASSERT_TRUE(sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000)) << sb.screen();

    sb.setLines("ttyS0", true, false);
    // Dialling, pppd's 8 s, then the mails, all while the account's secrets are live.
    ASSERT_TRUE(waitUntil([&] { return mailArrived(sb, 2); }, 30000)) << sb.screen();
    EXPECT_EQ(mailText(sb, 1, "snap"), "\"joe\"\t*\t\"pw\"\n");
    EXPECT_EQ(mailText(sb, 2, "snap"), "\"joe\"\t*\t\"pw\"\n");
    // Then pppd is stopped, the modem hung up and the system's file put back.
    ASSERT_TRUE(waitUntil(
        [&] { return readFile(sb.path("pppd.events")).value_or("").find("stopped signal=TERM") != std::string::npos; },
        10000));
    ASSERT_TRUE(waitUntil(
        [&] {
            auto m = modemTimes(sb);
            return !m.empty() && m.back().second == "+++ATH" && m.size() >= 5;
        },
        10000));
    EXPECT_EQ(readFile(sb.path("etc-upper/ppp/pap-secrets")).value_or(""), system);
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.old")));

    auto calls = sb.pppdLog();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"/sbin/pppd", "115200", "defaultroute", "-chap", "user", "joe"}));
    auto modem = modemTimes(sb);
    EXPECT_EQ(modem[2].second, "ATDT0191555");
    EXPECT_EQ(modem[modem.size() - 2].second, "+++");  // the escape before the hang-up
    std::string log = sb.syslog();
    for (const char* l : {"TO IF UP", "PPP connect success", "up success"})
        EXPECT_NE(log.find(l), std::string::npos) << l;

    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

}  // namespace
}  // namespace qor::test
