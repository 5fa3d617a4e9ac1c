// The sandbox must keep every program away from the real serial ports, halt
// and /etc, and must simulate the modem lines faithfully enough for the monitor.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "sandbox_fixture.h"

using qor::sandbox::Sandbox;
using qor::sandbox::readFile;
using qor::sandbox::waitUntil;

namespace {

const std::string kProbe = SANDBOX_PROBE;

double now()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count() / 1e6;
}

std::string ask(qor::sandbox::Child& c, const std::string& cmd)
{
    std::string reply;
    if (!c.writeLine(cmd) || !c.readLine(reply, 5000))
        return "<no reply>";
    return reply;
}

} // namespace

TEST(SandboxSerial, OpensOnlySimulatedPortsWithRealPortFlags)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0");
    std::string out;
    ASSERT_EQ(sb.run({"sh", "-c",
                      kProbe + " open /dev/ttyS1; " + kProbe + " open /dev/ttyS0; " + kProbe +
                          " fopen /dev/ttyS0; " + kProbe + " open /dev/modem; " + kProbe +
                          " ctty /dev/ttyS0; echo flags | " + kProbe + " serve /dev/ttyS0"},
                     &out),
              0)
        << out;
    auto l = qor::sandbox::lines(out);
    ASSERT_EQ(l.size(), 7u) << out;
    EXPECT_EQ(l[0], "error ENOENT");           // not simulated: never reaches a device
    EXPECT_EQ(l[1], "ok");                     // O_RDWR|O_NOCTTY|O_NONBLOCK
    EXPECT_EQ(l[2], "ok isatty=1");            // fopen is routed too
    EXPECT_EQ(l[3], "error ENOENT");           // /dev/modem not configured here
    // O_NOCTTY keeps a session leader without a terminal; without it the port becomes one.
    EXPECT_EQ(l[4].substr(0, 16), "noctty=0 ctty=34") << l[4]; // 136 << 8: a pty slave
    EXPECT_EQ(l[5], "ok");
    EXPECT_EQ(l[6], "nonblock=1 rdwr=1 isatty=1");
}

TEST(SandboxSerial, ModemStatusFollowsLinesFileAndOutputsAreLogged)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0").port("ttyS1");
    auto c = sb.start({kProbe, "serve", "/dev/ttyS0"});
    ASSERT_TRUE(c);
    std::string l;
    ASSERT_TRUE(c->readLine(l, 5000));
    ASSERT_EQ(l, "ok");

    // No lines file: everything dropped.
    EXPECT_EQ(ask(*c, "get"), "status 0 DCD=0 CTS=0 RI=0 DSR=0 RTS=0 DTR=0");
    ASSERT_TRUE(sb.setLines("ttyS0", true, true));
    EXPECT_EQ(ask(*c, "get"), "status 96 DCD=1 CTS=1 RI=0 DSR=0 RTS=0 DTR=0");
    ASSERT_TRUE(sb.setLines("ttyS0", "DCD=1 CTS=0 RI=1 DSR=1"));
    EXPECT_EQ(ask(*c, "get"), "status 448 DCD=1 CTS=0 RI=1 DSR=1 RTS=0 DTR=0");
    ASSERT_TRUE(sb.setLines("ttyS0", "CTS=1"));
    EXPECT_EQ(ask(*c, "get"), "status 32 DCD=0 CTS=1 RI=0 DSR=0 RTS=0 DTR=0");
    // The other port's lines are its own.
    ASSERT_TRUE(sb.setLines("ttyS1", true, true));
    EXPECT_EQ(ask(*c, "get"), "status 32 DCD=0 CTS=1 RI=0 DSR=0 RTS=0 DTR=0");

    double before = now();
    EXPECT_EQ(ask(*c, "set 4"), "ok"); // RTS
    EXPECT_EQ(ask(*c, "set 4"), "ok"); // unchanged, still logged
    EXPECT_EQ(ask(*c, "bis 2"), "ok"); // + DTR
    EXPECT_EQ(ask(*c, "bic 4"), "ok"); // - RTS
    EXPECT_EQ(ask(*c, "get"), "status 34 DCD=0 CTS=1 RI=0 DSR=0 RTS=0 DTR=1");
    double after = now();
    ASSERT_EQ(ask(*c, "quit"), "<no reply>");
    EXPECT_EQ(c->wait(5000), 0);

    auto log = sb.controlLog("ttyS0");
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].rts && !log[0].dtr);
    EXPECT_TRUE(log[1].rts && !log[1].dtr);
    EXPECT_TRUE(log[2].rts && log[2].dtr);
    EXPECT_TRUE(!log[3].rts && log[3].dtr);
    for (size_t i = 0; i < log.size(); i++) {
        EXPECT_GE(log[i].time, before - 0.01);
        EXPECT_LE(log[i].time, after + 0.01);
        if (i > 0) {
            EXPECT_GE(log[i].time, log[i - 1].time);
        }
        // "<seconds>.<6 digits> RTS=x DTR=y"
        EXPECT_EQ(log[i].raw.find('.'), log[i].raw.find(' ') - 7) << log[i].raw;
    }
    EXPECT_TRUE(sb.controlLog("ttyS1").empty());
}

TEST(SandboxSerial, UsbAdapterIsPulledOutAndComesBackUnderAnotherNameBehindItsLink)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyUSB0").port("ttyUSB1").unplugged("ttyUSB1").port("ttyS1");
    sb.link("serial/by-id/usb-ups", "../../ttyUSB0").link("serial/by-id/usb-modem", "../../ttyS1");
    sb.setLines("ttyUSB0", true, false);
    sb.setLines("ttyUSB1", true, true);
    auto held = sb.start({kProbe, "hold", "/dev/serial/by-id/usb-ups"});
    ASSERT_TRUE(held);
    std::string line;
    ASSERT_TRUE(held->readLine(line, 5000));
    EXPECT_EQ(line, "ok");
    held->writeLine("get");
    ASSERT_TRUE(held->readLine(line, 5000));
    EXPECT_EQ(line, "lines=40"); // DCD, through the link

    std::string out;
    EXPECT_EQ(sb.enter({"sh", "-c", kProbe + " open /dev/ttyUSB1; " + kProbe + " open /dev/serial/by-id/usb-modem"},
                       &out),
              1);
    EXPECT_EQ(out, "error ENOENT\nerror ENOENT\n") << "not plugged in yet; ttyS1 has no node here";

    ASSERT_EQ(sb.unplug("ttyUSB0"), 0);
    held->writeLine("get");
    ASSERT_TRUE(held->readLine(line, 5000));
    EXPECT_EQ(line, "error EIO") << "a descriptor of a pulled adapter";
    EXPECT_EQ(sb.enter({"sh", "-c", "ls /dev/serial/by-id; " + kProbe + " open /dev/ttyUSB0"}, &out), 1);
    EXPECT_EQ(out, "usb-modem\nerror ENOENT\n") << "its node and link are gone";

    ASSERT_EQ(sb.plug("ttyUSB1", "serial/by-id/usb-ups"), 0);
    EXPECT_EQ(sb.enter({"sh", "-c",
                        "readlink /dev/serial/by-id/usb-ups; " + kProbe + " open /dev/serial/by-id/usb-ups"},
                       &out),
              0);
    EXPECT_EQ(out, "../../ttyUSB1\nok\n");
    EXPECT_EQ(sb.opens("ttyUSB0"), (std::vector<std::string>{"/dev/serial/by-id/usb-ups", "/dev/ttyUSB0"}));
    EXPECT_EQ(sb.opens("ttyUSB1"), (std::vector<std::string>{"/dev/ttyUSB1", "/dev/serial/by-id/usb-ups"}));
    EXPECT_TRUE(sb.opens("ttyS1").empty());
    held->closeIn();
    EXPECT_EQ(held->wait(5000), 0);
}

TEST(SandboxSerial, PortDataIsDrainedOrHandedToAnEmulator)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS1").port("modem", "exec cat"); // cat on the master echoes every byte
    std::string out;
    ASSERT_EQ(sb.run({"sh", "-c",
                      kProbe + " chat /dev/modem 'ATZ\r\n' && printf hello >/dev/ttyS1"},
                     &out),
              0)
        << out;
    EXPECT_EQ(out, "reply ATZ\r\n\n");
    EXPECT_EQ(sb.written("ttyS1"), "hello");
}

TEST(SandboxStandins, HaltPppdAndClearOnlyRecord)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    struct stat hostHalt {};
    ASSERT_EQ(::lstat("/sbin/halt", &hostHalt), 0);
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.pppMode("fail");
    std::string out;
    // halt runs only where the stand-in is in place.
    int st = sb.run({"sh", "-c",
                     "grep -q QOR_SANDBOX_STANDIN /sbin/halt && ! test -L /sbin/halt && "
                     "/sbin/halt -p && /usr/bin/clear && "
                     "{ pppd 115200 crtscts user 'a b'; echo pppd=$?; }"},
                    &out);
    EXPECT_EQ(st, 0) << out;
    EXPECT_EQ(out, "pppd=1\n");
    auto halt = sb.haltLog();
    ASSERT_EQ(halt.size(), 1u);
    EXPECT_EQ(halt[0].argv, (std::vector<std::string>{"/sbin/halt", "-p"}));
    EXPECT_NEAR(halt[0].time, now(), 30);
    auto ppp = sb.pppdLog();
    ASSERT_EQ(ppp.size(), 1u);
    EXPECT_EQ(ppp[0].argv,
              (std::vector<std::string>{"/usr/sbin/pppd", "115200", "crtscts", "user", "a b"}));
    EXPECT_EQ(sb.clearLog().size(), 1u);
    // The host's halt is untouched: still the same link.
    struct stat after {};
    ASSERT_EQ(::lstat("/sbin/halt", &after), 0);
    EXPECT_TRUE(S_ISLNK(after.st_mode));
    EXPECT_EQ(after.st_ino, hostHalt.st_ino);
}

TEST(SandboxStandins, PppdUpModeMakesPpp0UntilTerminated)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.pppMode("up");
    std::string out;
    int st = sb.run({"sh", "-c",
                     "pppd 115200 & "
                     "for i in $(seq 100); do ip -o link show ppp0 2>/dev/null | grep -q ',UP' "
                     "&& break; sleep 0.05; done; ip -o link show ppp0 | grep -o ',UP'; "
                     "kill -TERM $!; wait $!; echo status=$?; ip link show ppp0 2>/dev/null "
                     "|| echo gone"},
                    &out);
    EXPECT_EQ(st, 0);
    EXPECT_EQ(out, ",UP\nstatus=0\ngone\n");
    auto ev = readFile(sb.path("pppd.events")).value_or("");
    EXPECT_NE(ev.find("start mode=up"), std::string::npos) << ev;
    EXPECT_NE(ev.find("stopped signal=TERM"), std::string::npos) << ev;

    sb.pppMode("never");
    st = sb.run({"sh", "-c",
                 "pppd & sleep 0.3; ip link show ppp0 >/dev/null 2>&1 && echo ppp0; "
                 "kill -0 $! && echo running; kill $!"},
                &out);
    EXPECT_EQ(out, "running\n");
}

TEST(SandboxStandins, RealPppdStaysReachable)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    if (::access("/usr/sbin/pppd", X_OK) != 0)
        GTEST_SKIP() << "ppp is not installed";
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    std::string out;
    sb.run({sb.path("bin/real-pppd"), "--version"}, &out);
    EXPECT_NE(out.find("pppd version"), std::string::npos) << out;
    sb.run({sb.path("bin/real-pppd"), "notanoption", "dryrun"}, &out);
    EXPECT_NE(out.find("unrecognized option 'notanoption'"), std::string::npos) << out;
}

TEST(SandboxFiles, EtcWritesStayPrivateAndSeedsAreSeen)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    std::string unique = "qor-sbx-probe-" + std::to_string(::getpid()) + "-" +
                         std::to_string(static_cast<long>(now() * 1000));
    ASSERT_TRUE(sb.seedEtc("Qor.conf", "seeded\n"));
    auto hostSecrets = readFile("/etc/ppp/pap-secrets");
    auto hostPasswd = readFile("/etc/passwd");
    std::string out;
    int st = sb.run({"sh", "-c",
                     "cat /etc/Qor.conf && echo made >/etc/" + unique +
                         " && mkdir -p /etc/ppp && echo secret >/etc/ppp/pap-secrets && "
                         "rm /etc/passwd && test ! -e /etc/passwd && echo done"},
                    &out);
    EXPECT_EQ(st, 0) << out;
    EXPECT_EQ(out, "seeded\ndone\n");
    EXPECT_EQ(sb.etcFile(unique).value_or(""), "made\n");
    EXPECT_EQ(sb.etcFile("ppp/pap-secrets").value_or(""), "secret\n");
    EXPECT_FALSE(sb.etcFile("passwd").has_value()); // deleted inside
    EXPECT_EQ(::access(("/etc/" + unique).c_str(), F_OK), -1);
    EXPECT_EQ(readFile("/etc/passwd"), hostPasswd);
    EXPECT_EQ(readFile("/etc/ppp/pap-secrets"), hostSecrets);

    // A second run in the same directory sees what the first left.
    st = sb.run({"cat", "/etc/" + unique}, &out);
    EXPECT_EQ(out, "made\n");
}

TEST(SandboxFiles, DevHoldsNoRealDevicesAndMouseIsPerRun)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    std::string out;
    // Lists every device node outside the pty and shm mounts.
    const std::string scan = "find /dev -xdev \\( -type c -o -type b \\) -exec stat -c '%n %t:%T' {} + "
                             "| sort; ls -l /dev/mouse 2>&1 | grep -o 'No such file'; "
                             "for t in /dev/ttyS*; do test -e $t && stat -c '%n %F' $t; done";
    ASSERT_EQ(sb.run({"sh", "-c", scan}, &out), 0) << out;
    std::string expected = "/dev/full 1:7\n/dev/net/tun a:c8\n/dev/null 1:3\n/dev/ptmx 5:2\n"
                           "/dev/random 1:8\n/dev/tty 5:0\n/dev/urandom 1:9\n/dev/zero 1:5\n"
                           "No such file\n";
    for (int i = 0; i < 4; i++) {
        std::string t = "/dev/ttyS" + std::to_string(i);
        if (::access(t.c_str(), F_OK) == 0)
            expected += t + " regular empty file\n";
    }
    EXPECT_EQ(out, expected);

    sb.mouse("ttyS0");
    ASSERT_EQ(sb.run({"readlink", "/dev/mouse"}, &out), 0);
    EXPECT_EQ(out, "ttyS0\n");
    struct stat st {};
    EXPECT_NE(::lstat("/dev/mouse", &st), 0); // the host has none and got none
}

TEST(SandboxRun, LoopbackPrivateNetworkSyslogAndExitStatus)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    std::string out;
    EXPECT_EQ(sb.run({kProbe, "listen", "127.0.0.1", "25"}, &out), 0);
    EXPECT_EQ(out, "ok\n");
    EXPECT_EQ(sb.run({"sh", "-c", "ip -o link | cut -d: -f2"}, &out), 0);
    EXPECT_EQ(out, " lo\n");
    EXPECT_EQ(sb.run({"logger", "-p", "user.err", "-t", "probe", "TO IF UP"}), 0);
    EXPECT_NE(sb.syslog().find("<11>"), std::string::npos) << sb.syslog();
    EXPECT_NE(sb.syslog().find("probe: TO IF UP"), std::string::npos) << sb.syslog();
    EXPECT_EQ(sb.run({"sh", "-c", "exit 7"}), 7);
    EXPECT_EQ(sb.exitStatus(), 7);
    // Programs that never touch a port run normally under the preload library.
    EXPECT_EQ(sb.run({"python3", "-c", "import threading; print(6*7)"}, &out), 0);
    EXPECT_EQ(out, "42\n");
}

TEST(SandboxRun, EnterAndStopARunningSandbox)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    sb.port("ttyS0").mouse("ttyS1");
    auto c = sb.start({"sh", "-c", "echo started; exec sleep 30"});
    ASSERT_TRUE(c);
    ASSERT_TRUE(sb.running());
    std::string out;
    EXPECT_EQ(sb.enter({"sh", "-c", "readlink /dev/mouse; echo x >/etc/qor-entered; " + kProbe +
                                        " open /dev/ttyS0"},
                       &out),
              0);
    EXPECT_EQ(out, "ttyS1\nok\n");
    EXPECT_EQ(sb.etcFile("qor-entered").value_or(""), "x\n");
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(sb.stop(5000), 143); // sleep ended by SIGTERM
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    EXPECT_EQ(c->wait(3000), 143);
    EXPECT_FALSE(sb.running());
    EXPECT_FALSE(readFile(sb.path("serial/ttyS0/pty")).has_value());
}

TEST(SandboxRun, TmuxRunsTheProgramOnItsOwnTerminal)
{
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.ok());
    qor::sandbox::TmuxOptions o;
    o.cols = 60;
    o.rows = 20;
    o.setEnv = {"QOR_MARK=tmuxed"};
    o.unsetEnv = {"DISPLAY"};
    ASSERT_TRUE(sb.startInTmux({"sh", "-c",
                                "echo \"$QOR_MARK ${DISPLAY:-nodisplay} $(tput cols)x$(tput lines)\";"
                                " read x; echo got-$x"},
                               o));
    EXPECT_TRUE(sb.waitForScreen("tmuxed nodisplay 60x20", 5000)) << sb.screen();
    EXPECT_TRUE(sb.sendKeys({"abc"}, true));
    EXPECT_TRUE(sb.sendKeys({"Enter"}));
    EXPECT_TRUE(sb.waitForScreen("got-abc", 5000)) << sb.screen();
    EXPECT_EQ(sb.waitExit(5000), 0);
}
