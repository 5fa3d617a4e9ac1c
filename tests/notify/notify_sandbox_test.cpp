// The notification path's operating-system layer, run for real inside
// qor-sandbox: the modem emulator on a simulated port, a real SMTP server
// (aiosmtpd) on 127.0.0.1:25, the pppd stand-in, the secrets files on the
// private /etc, and the real pppd's option parser.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "pppclient.h"
#include "smtp_extensions.h"
#include "notify_test_support.h"
#include "sandbox_fixture.h"
#include "ups_settings.h"
#include "warning_mail.h"

using qor::sandbox::readFile;
using qor::sandbox::Sandbox;
using qor::sandbox::shellQuote;

namespace qor::test {
namespace {

const std::string kDriver = NOTIFY_DRIVER;
const std::string kEmu = HAYES_EMU;
const std::string kSink = SMTP_SINK;

std::string settingsBytes(const UpsSettings& s) { return std::string(reinterpret_cast<const char*>(&s), sizeof s); }

UpsSettings baseSettings() {
    UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    s.modemDevice = 2;  // /dev/ttyS2
    s.modemFlow = 2;
    return s;
}

// Runs `command` (a shell line) in the sandbox after the SMTP server listens.
std::string withSink(const Sandbox& sb, const std::string& command) {
    std::string out = sb.path("mail");
    return "/usr/bin/python3 " + shellQuote(kSink) + " " + shellQuote(out) + " & " +
           "for i in $(seq 200); do [ -e " + shellQuote(out + "/ready") + " ] && break; sleep 0.05; done; " + command;
}

std::string mailFile(const Sandbox& sb, int n, const char* ext) {
    return readFile(sb.path("mail/mail-" + std::to_string(n) + "." + ext)).value_or("");
}

std::vector<std::string> recorded(const Sandbox& sb, const std::string& port) {
    return qor::sandbox::lines(readFile(sb.path("serial/" + port + "/modem.record")).value_or(""));
}

TEST(NotifySandbox, PagerPassDialsTheEmulatorWithTheExactText) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS2", shellQuote(kEmu) + " --dial busy");
    UpsSettings s = baseSettings();
    setText(s.pagerNumbers[0], "letters only");
    setText(s.pagerNumbers[1], "555-0100");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
    std::string out;
    ASSERT_EQ(sb.run({kDriver, "--edition", "desktop", "pager", "0"}, &out, 30000), 0) << out;
    EXPECT_EQ(recorded(sb, "ttyS2"),
              (std::vector<std::string>{"+++ATH", "ATZ", "ATDT555-0100# , , , , , , , 00#", "+++ATH"}));
    // The desktop prints the dial text and the init answer.
    EXPECT_NE(out.find("ATDT555-0100# , , , , , , , 00#\n "), std::string::npos) << out;
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp")));  // no dial-up: /etc/ppp untouched
}

TEST(NotifySandbox, PagerPassOnAPortThatDoesNotExistGivesUpQuietly) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    UpsSettings s = baseSettings();
    s.modemDevice = 3;  // /dev/ttyS3, not simulated: every open fails
    setText(s.pagerNumbers[0], "1");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
    std::string out;
    ASSERT_EQ(sb.run({kDriver, "pager", "1"}, &out, 10000), 0) << out;
    EXPECT_EQ(out, "driver-done\n");  // the console prints nothing
    EXPECT_NE(sb.syslog().find(": 1\n"), std::string::npos) << sb.syslog();  // each slot is logged
}

TEST(NotifySandbox, WarningMailReachesARealSmtpServerOncePerAddress) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    UpsSettings s = baseSettings();
    s.mailEnable = 1;
    s.connectMode = 0;
    setText(s.smtpServer, "localhost");  // resolved through the private /etc/hosts
    setText(s.mailNames[0], "Ann Lee");
    setText(s.mailAddrs[0], "ann@example.org");
    setText(s.mailAddrs[1], "not an address");
    setText(s.mailNames[4], "Bob");
    setText(s.mailAddrs[4], "bob@example.org");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
    std::string out;
    ASSERT_EQ(sb.run({"/bin/sh", "-c", withSink(sb, shellQuote(kDriver) + " mail 0")}, &out, 30000), 0) << out;

    EXPECT_EQ(mailFile(sb, 1, "env"), "ann@example.org\nann@example.org\n");
    EXPECT_EQ(mailFile(sb, 2, "env"), "bob@example.org\nbob@example.org\n");
    EXPECT_EQ(mailFile(sb, 3, "env"), "");
    // The server keeps the DATA bytes without the closing "." line.
    std::string got = mailFile(sb, 1, "bin");
    EXPECT_TRUE(mailMatches(got,
                            "Subject: Halvora warning\r\nFrom: Halvora(" + hostName() +
                                ") ann@example.org\r\nTo: Ann Lee ann@example.org\r\nDate: ",
                            "\r\n\nDear Ann Lee,\n\n  AC Fail!\r\n\r\n"))
        << got;
    EXPECT_NE(mailFile(sb, 2, "bin").find("\nDear Bob,\n"), std::string::npos);
    // The console's progress lines, passed as data.
    std::string log = sb.syslog();
    EXPECT_NE(log.find("name addr localhost"), std::string::npos) << log;
    EXPECT_NE(log.find("smtp socket success"), std::string::npos);
    EXPECT_NE(log.find("Ann Lee"), std::string::npos);
}

// Two test authorities made for the run, and a certificate for "localhost"
// from `signer`. Elliptic keys: a fraction of a second in all.
// A signer "ca+w" is "ca" with an authorities file anyone may write.
std::string makeAuthorities(const std::string& dir, std::string signer) {
    bool writable = signer == "ca+w";
    if (writable) signer = "ca";
    const std::string ec = " -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    std::string sh = "set -e; mkdir -p " + shellQuote(dir) + "; cd " + shellQuote(dir) + "; ";
    for (const char* ca : {"ca", "other"})
        sh += std::string("openssl req -x509") + ec + " -keyout " + ca + ".key -out " + ca +
              ".pem -days 2 -subj '/CN=Qor test " + ca + "' 2>/dev/null; ";
    sh += "openssl req" + ec + " -keyout server.key -out server.csr -subj /CN=localhost 2>/dev/null; ";
    sh += "printf 'subjectAltName=DNS:localhost\\nextendedKeyUsage=serverAuth\\n' >ext; ";
    sh += "openssl x509 -req -in server.csr -CA " + signer + ".pem -CAkey " + signer +
          ".key -CAcreateserial -out server.pem -days 2 -extfile ext 2>/dev/null; chmod 600 *; ";
    if (writable) sh += "chmod 666 ca.pem; ";
    return sh;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

// Secure submission against a real server that wants it: the mail as plain
// mail has it, or, when the server cannot be trusted with the password or
// refuses it, no mail, the password nowhere (not on the wire, not in the
// log, not in the outcome) and one line in the system log.
TEST(NotifySandbox, SecureMailArrivesOnlyThroughATrustedServerThatTakesTheLogin) {
    QOR_SANDBOX_REQUIRE_ROOT();
    const std::string password = "s3cret word";
    struct Case {
        const char* what;
        const char* sink;      // the server's options (PKI: the test authorities' directory)
        const char* signer;    // which authority signed the server's certificate
        const char* security;  // the further settings' mail lines
        const char* server;
        const char* outcome;   // the driver's line for slot 0
        const char* authLog;   // what the server saw of the login
        const char* logLine;   // the one system log line, "" when none
    };
    const Case cases[] = {
        {"STARTTLS on 587, AUTH PLAIN offered and taken", "587 --starttls PKI/server.pem PKI/server.key --auth ups:",
         "ca", "MAIL-SECURITY starttls\n", "localhost", "outcome 0 delivered ", "PLAIN ups ok\n", ""},
        {"TLS on 465, AUTH LOGIN as asked", "465 --tls PKI/server.pem PKI/server.key --auth ups:", "ca",
         "MAIL-SECURITY tls\nMAIL-AUTH login\n", "localhost", "outcome 0 delivered ", "LOGIN ups ok\n", ""},
        {"a wrong password", "587 --starttls PKI/server.pem PKI/server.key --auth ups:other", "ca",
         "MAIL-SECURITY starttls\n", "localhost",
         "outcome 0 refused 535 5.7.8 Authentication credentials invalid", "PLAIN ups bad\n",
         "localhost:587 not sent: login refused: 535 5.7.8 Authentication credentials invalid"},
        {"a certificate from another authority", "587 --starttls PKI/server.pem PKI/server.key --auth ups:",
         "other", "MAIL-SECURITY starttls\n", "localhost",
         "outcome 0 no-connection certificate not accepted: unable to get local issuer certificate", "",
         "not sent: certificate not accepted: unable to get local issuer certificate"},
        {"a certificate for another name", "465 --tls PKI/server.pem PKI/server.key --auth ups:", "ca",
         "MAIL-SECURITY tls\n", "127.0.0.1", "outcome 0 no-connection certificate not accepted: IP address mismatch",
         "", "127.0.0.1:465 not sent: certificate not accepted: IP address mismatch"},
        {"a server without STARTTLS", "587", "ca", "MAIL-SECURITY starttls\n", "localhost",
         "outcome 0 no-connection the server offers no STARTTLS", "",
         "localhost:587 not sent: the server offers no STARTTLS"},
        // Whoever could change the authorities could take the password.
        {"an authorities file others can change", "587 --starttls PKI/server.pem PKI/server.key --auth ups:",
         "ca+w", "MAIL-SECURITY starttls\n", "localhost",
         "outcome 0 no-connection PKI/ca.pem can be changed by others than root (owner 0, mode 666)", "",
         "not sent: PKI/ca.pem can be changed by others than root (owner 0, mode 666)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Sandbox sb;
        ASSERT_TRUE(sb.ok());
        const std::string pki = sb.path("pki");
        auto withPki = [&](std::string t) {
            for (size_t p; (p = t.find("PKI")) != std::string::npos;) t.replace(p, 3, pki);
            return t;
        };
        UpsSettings s = baseSettings();
        s.mailEnable = 1;
        setText(s.smtpServer, c.server);
        setText(s.mailNames[0], "Ann Lee");
        setText(s.mailAddrs[0], "ann@example.org");
        ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
        ASSERT_TRUE(sb.seedEtc("Qor.extra", std::string(c.security) + "MAIL-USER ups\nMAIL-PASSWORD \"" + password +
                                                "\"\nMAIL-CA-FILE " + pki + "/ca.pem\n"));
        ::chmod(sb.path("etc-upper/Qor.extra").c_str(), 0600);
        std::string sink = withPki(c.sink);
        if (sink.back() == ':') sink += shellQuote(password);
        std::string out = sb.path("mail");
        std::string sh = makeAuthorities(pki, c.signer) + "/usr/bin/python3 " + shellQuote(kSink) + " " +
                         shellQuote(out) + " 127.0.0.1 " + sink + " --wire & " +
                         "for i in $(seq 200); do [ -e " + shellQuote(out + "/ready") +
                         " ] && break; sleep 0.05; done; " + shellQuote(kDriver) + " mail 0";
        std::string got;
        ASSERT_EQ(sb.run({"/bin/sh", "-c", sh}, &got, 30000), 0) << got;

        EXPECT_NE(got.find(withPki(c.outcome) + "\n"), std::string::npos) << got;
        EXPECT_EQ(readFile(sb.path("mail/auth.log")).value_or(""), c.authLog);
        bool delivered = std::string(c.outcome).find("delivered") != std::string::npos;
        EXPECT_EQ(mailFile(sb, 1, "env"), delivered ? "ann@example.org\nann@example.org\n" : "");
        if (delivered) {
            std::string mail = mailFile(sb, 1, "bin");
            EXPECT_TRUE(mailMatches(mail,
                                    "Subject: Halvora warning\r\nFrom: Halvora(" + hostName() +
                                        ") ann@example.org\r\nTo: Ann Lee ann@example.org\r\nDate: ",
                                    "\r\n\nDear Ann Lee,\n\n  AC Fail!\r\n\r\n"))
                << mail;
        }
        std::string log = sb.syslog();
        EXPECT_EQ(countOf(log, " not sent: "), c.logLine[0] != '\0' ? 1u : 0u) << log;
        if (c.logLine[0] != '\0') {
            EXPECT_NE(log.find(withPki(c.logLine)), std::string::npos) << log;
        }
        std::string wire = readFile(sb.path("mail/wire.bin")).value_or("");
        EXPECT_FALSE(wire.empty());
        // Before TLS only EHLO, STARTTLS and QUIT are ever said in the clear.
        EXPECT_EQ(wire.find("AUTH"), std::string::npos);
        EXPECT_EQ(wire.find("MAIL FROM"), std::string::npos);
        for (const std::string& secret : {password, base64(password), plainCredentials("ups", password)}) {
            EXPECT_EQ(wire.find(secret), std::string::npos) << secret;
            EXPECT_EQ(log.find(secret), std::string::npos) << secret;
            EXPECT_EQ(got.find(secret), std::string::npos) << secret;
        }
    }
}

TEST(NotifySandbox, DialUpSwapsSecretsStartsPppdAndRestoresAfterwards) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS2", shellQuote(kEmu) + " --dial connect --guard-ms 40 --delay-ms 20");
    sb.pppMode("up");
    ASSERT_TRUE(sb.seedEtc("ppp/pap-secrets", "# the system's own\nisp * secret\n"));
    UpsSettings s = baseSettings();
    s.mailEnable = 1;
    s.connectMode = 1;
    s.modemFlow = 0;
    setText(s.dialUser, "joe \"q\" user");  // a quote and blanks: still one word, one line
    setText(s.dialPassword, "pa ss");
    setText(s.dialPhone, "0191555");
    setText(s.smtpServer, "127.0.0.1");
    setText(s.mailNames[0], "Ann");
    setText(s.mailAddrs[0], "ann@example.org");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
    std::string out;
    ASSERT_EQ(sb.run({"/bin/sh", "-c", withSink(sb, shellQuote(kDriver) + " --scale 10 mail 0")}, &out, 60000), 0)
        << out;

    // While the link was up the live file held exactly this account.
    EXPECT_NE(out.find("secrets-while-up:\"joe \\\"q\\\" user\"\\t*\\t\"pa ss\"\\n\n"), std::string::npos) << out;
    // Afterwards the system's file is back and no copy is left over.
    EXPECT_EQ(sb.etcFile("ppp/pap-secrets").value_or("<none>"), "# the system's own\nisp * secret\n");
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.old")));
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/pap-secrets.new")));

    auto calls = sb.pppdLog();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].argv, (std::vector<std::string>{"/sbin/pppd", "115200", "crtscts", "defaultroute", "-chap",
                                                       "user", "joe \"q\" user"}));
    std::string events = readFile(sb.path("pppd.events")).value_or("");
    EXPECT_NE(events.find("stdin=/dev/pts/"), std::string::npos) << events;  // the modem line
    EXPECT_NE(events.find("ppp0 up"), std::string::npos);
    EXPECT_NE(events.find("stopped signal=TERM"), std::string::npos);

    auto modem = recorded(sb, "ttyS2");
    ASSERT_GE(modem.size(), 5u);
    EXPECT_EQ(modem[2], "ATDT0191555");
    EXPECT_EQ(modem[modem.size() - 2], "+++");  // escape, then the hang-up
    EXPECT_EQ(modem.back(), "+++ATH");
    EXPECT_EQ(mailFile(sb, 1, "env"), "ann@example.org\nann@example.org\n");
    std::string log = sb.syslog();
    for (const char* l : {"TO IF UP", "PPP connect success", "up success"})
        EXPECT_NE(log.find(l), std::string::npos) << l << "\n" << log;

    // What we passed is something the real pppd accepts.
    std::vector<std::string> real{sb.path("bin/real-pppd")};
    real.insert(real.end(), calls[0].argv.begin() + 1, calls[0].argv.end());
    real.push_back("dryrun");
    std::string parsed;
    sb.run({"/bin/sh", "-c", qor::sandbox::shellJoin(real) + " </dev/null 2>&1"}, &parsed, 10000);
    EXPECT_NE(parsed.find(": no device specified and stdin is not a tty"), std::string::npos) << parsed;
    EXPECT_EQ(parsed.find("unrecognized option"), std::string::npos) << parsed;
}

TEST(NotifySandbox, ALinkThatNeverComesUpIsTriedThreeTimesAndNoMailIsSent) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS2", shellQuote(kEmu) + " --dial connect --guard-ms 40 --delay-ms 20");
    sb.pppMode("fail");  // pppd ends at once: ppp0 never appears
    ASSERT_TRUE(sb.seedEtc("ppp/chap-secrets", "system chap\n"));
    UpsSettings s = baseSettings();
    s.mailEnable = 1;
    s.connectMode = 1;
    s.dialAuth = 1;
    setText(s.dialUser, "joe");
    setText(s.dialPassword, "pw");
    setText(s.dialPhone, "1");
    setText(s.smtpServer, "127.0.0.1");
    setText(s.mailAddrs[0], "ann@example.org");
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsBytes(s)));
    std::string out;
    ASSERT_EQ(sb.run({"/bin/sh", "-c", withSink(sb, shellQuote(kDriver) + " --scale 10 mail 0")}, &out, 60000), 0)
        << out;
    auto calls = sb.pppdLog();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].argv.back(), "joe");
    EXPECT_EQ(calls[0].argv[calls[0].argv.size() - 3], "-pap");  // CHAP refuses PAP
    EXPECT_EQ(mailFile(sb, 1, "env"), "");
    EXPECT_EQ(sb.etcFile("ppp/chap-secrets").value_or(""), "system chap\n");
    EXPECT_FALSE(std::filesystem::exists(sb.path("etc-upper/ppp/chap-secrets.old")));
    std::string log = sb.syslog();
    size_t n = 0;
    for (size_t p = log.find("can't find ppp0"); p != std::string::npos; p = log.find("can't find ppp0", p + 1)) ++n;
    EXPECT_EQ(n, 3u) << log;
}

TEST(NotifySandbox, EveryCommandLineWeBuildPassesTheRealPppdParser) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    NotifyEnv env;
    std::string script;
    auto add = [&](void (*edit)(UpsSettings&)) {
        UpsSettings s = baseSettings();
        setText(s.dialUser, "user name");
        edit(s);
        PppSettings p = PppSettings::fromSettings(s);
        PppClient c(&p, ModemCommands::defaults(), env);
        auto a = c.buildArguments();
        a[0] = sb.path("bin/real-pppd");
        a.push_back("dryrun");
        script += qor::sandbox::shellJoin(a) + " </dev/null 2>&1 | head -1; ";
    };
    add([](UpsSettings&) {});
    add([](UpsSettings& s) {
        s.dialAuth = 1;
        s.modemFlow = 1;
        s.modemSpeed = 7;
        setText(s.ipAddress, "10.0.0.2");
        setText(s.ipAddress3, "10.0.0.1");
        setText(s.subnetMask, "255.255.255.0");
    });
    add([](UpsSettings& s) {
        s.modemFlow = 2;
        setText(s.ipAddress3, "10.0.0.1");
        setText(s.dialUser, "-evil\nnoauth");
    });
    add([](UpsSettings& s) { setText(s.ipAddress, "192.168.1.9"); });
    std::string out;
    ASSERT_EQ(sb.run({"/bin/sh", "-c", script}, &out, 20000), 0);
    auto l = qor::sandbox::lines(out);
    ASSERT_EQ(l.size(), 4u) << out;
    // Every option accepted: the parser only misses the device.
    for (auto& line : l) EXPECT_NE(line.find(": no device specified and stdin is not a tty"), std::string::npos) << out;
}

}  // namespace
}  // namespace qor::test
