// qorconsole's network server end to end: the real program in the sandbox on a
// simulated UPS, read by Debian's own UPS clients (upsc, upsmon) and compared
// with their own server (upsd) on the sandbox's private loopback.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"

namespace {

using qor::sandbox::Sandbox;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;

const char* kUsers = "LISTEN 127.0.0.1 3493\nUSER mon secret\n";

#define REQUIRE_PEER()                                                   \
    do {                                                                 \
        QOR_SANDBOX_REQUIRE_ROOT();                                      \
        if (::access("/lib/nut/upsmon", X_OK) != 0 || ::access("/bin/upsc", X_OK) != 0) \
            GTEST_SKIP() << "nut-client and nut-server are not installed"; \
    } while (0)

std::string settingsImage(int expBatMin) {
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.pagerPort = qor::kPortNone;
    s.expBatMin = expBatMin;
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

// The console on a UPS with mains present, its network server set up by `net`.
bool startConsole(Sandbox& sb, const std::string& net, int expBatMin = 10) {
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    if (!sb.seedEtc("Qor.conf", settingsImage(expBatMin)) || !sb.seedEtc("Qor.net", net)) return false;
    ::chmod(sb.path("etc-upper/Qor.net").c_str(), 0600);
    TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return sb.startInTmux({QORCONSOLE}, o) && sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000);
}

// What a NUT client prints, without its SSL start-up note.
std::string client(const Sandbox& sb, const std::vector<std::string>& argv) {
    std::string out, kept;
    sb.enter(argv, &out);
    for (const auto& l : qor::sandbox::lines(out))
        if (l.find("Init SSL") == std::string::npos) kept += l + "\n";
    return kept;
}

std::string upsStatus(const Sandbox& sb) { return client(sb, {"upsc", "qor@127.0.0.1", "ups.status"}); }

// A private /run/nut and a silent wall, so NUT's programs touch nothing outside.
std::string nutEnv(const Sandbox& sb) {
    std::string d = sb.path("nut");
    return "export NUT_CONFPATH=" + d + " NUT_STATEPATH=" + d + " NUT_ALTPIDPATH=" + d + "; " +
           "mountpoint -q /run/nut || { mount -t tmpfs tmpfs /run/nut && mount --bind /bin/true /usr/bin/wall; }; ";
}

bool writeNut(const Sandbox& sb, const std::string& name, const std::string& text) {
    std::filesystem::create_directories(sb.path("nut"));
    bool ok = qor::sandbox::writeFileAtomic(sb.path("nut/" + name), text);
    ::chmod(sb.path("nut").c_str(), 0700);
    ::chmod(sb.path("nut/" + name).c_str(), 0600);
    return ok;
}

// A secondary upsmon following qor@127.0.0.1; its shutdown command writes the time.
bool startUpsmon(const Sandbox& sb, const std::string& password) {
    std::string conf = "MONITOR qor@127.0.0.1 1 mon " + password + " secondary\n"
                       "MINSUPPLIES 1\nPOLLFREQ 1\nPOLLFREQALERT 1\n"
                       "SHUTDOWNCMD \"/bin/sh -c 'date +%s.%N >> " + sb.path("shutdown.log") + "'\"\n";
    if (!writeNut(sb, "upsmon.conf", conf)) return false;
    return sb.enter({"sh", "-c", nutEnv(sb) + "/lib/nut/upsmon -u root >" + sb.path("nut/upsmon.out") + " 2>&1"}) == 0;
}

// Host pid of the sandbox's qorconsole, or -1.
pid_t consolePid(const Sandbox& sb) {
    std::string want = "QOR_SANDBOX_DIR=" + sb.dir();
    want.push_back('\0');
    DIR* d = ::opendir("/proc");
    pid_t found = -1;
    while (dirent* e = d ? ::readdir(d) : nullptr) {
        std::string p = std::string("/proc/") + e->d_name;
        auto comm = qor::sandbox::readFile(p + "/comm");
        auto env = qor::sandbox::readFile(p + "/environ");
        if (comm && *comm == "qorconsole\n" && env && env->find(want) != std::string::npos) found = std::atoi(e->d_name);
    }
    if (d) ::closedir(d);
    return found;
}

size_t openDescriptors(pid_t pid) {
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        (void)e;
        ++n;
    }
    return n;
}

std::string clientsScript() { return NET_CLIENTS; }

// Beside the clients' script: the line-by-line comparison with upsd.
std::string compareScript() {
    std::string dir = NET_CLIENTS;
    return dir.substr(0, dir.rfind('/') + 1) + "upsd_compare.py";
}

TEST(NetE2E, UpscReadsOnlineThenOnBatteryThenBatteryLow) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kUsers));
    EXPECT_TRUE(waitUntil([&] { return upsStatus(sb) == "OL\n"; }, 5000)) << upsStatus(sb);
    std::string all = client(sb, {"upsc", "qor@127.0.0.1"});
    EXPECT_NE(all.find("battery.runtime: 600\n"), std::string::npos) << all;
    EXPECT_NE(all.find("device.type: ups\n"), std::string::npos) << all;
    EXPECT_EQ(client(sb, {"upsc", "-l", "127.0.0.1"}), "qor\n");

    sb.setLines("ttyS0", true, false);  // mains fails
    EXPECT_TRUE(waitUntil([&] { return upsStatus(sb) == "OB\n"; }, 5000)) << upsStatus(sb);
    sb.setLines("ttyS0", false, true);  // battery low
    EXPECT_TRUE(waitUntil([&] { return upsStatus(sb) == "OB LB\n"; }, 5000)) << upsStatus(sb);
    std::string runtime = client(sb, {"upsc", "qor@127.0.0.1", "battery.runtime"});
    EXPECT_EQ(runtime, "60\n") << "the battery-low minutes as the count-down has them";
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(5000), 0);
}

// Every command of the protocol, and odd inputs, against NUT's own upsd serving
// the same UPS state (upsd_compare.py names the values that differ by design);
// then the system log holds one line per login, refusal and forced shutdown,
// and no password.
TEST(NetE2E, AnswersMatchThePeerUpsdLineByLine) {
    REQUIRE_PEER();
    if (::access("/lib/nut/upsd", X_OK) != 0 || ::access("/lib/nut/dummy-ups", X_OK) != 0)
        GTEST_SKIP() << "nut-server is not installed";
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, std::string(kUsers) + "USER boss bsecret primary\nSERIAL QT-0001\n"));
    sb.setLines("ttyS0", true, false);
    ASSERT_TRUE(waitUntil([&] { return upsStatus(sb) == "OB\n"; }, 5000));
    // The peer serves the same UPS state from a file, on the next port.
    ASSERT_TRUE(writeNut(sb, "ups.conf",
                         "[qor]\n  driver = dummy-ups\n  port = qor.dev\n  desc = \"Qor contact-closure UPS\"\n"));
    ASSERT_TRUE(writeNut(sb, "qor.dev",
                         "ups.status: OB\nups.mfr: Generic\nups.model: Contact closure\ndevice.type: ups\n"
                         "device.mfr: Generic\ndevice.model: Contact closure\ndevice.serial: QT-0001\n"
                         "battery.runtime: 600\n"));
    ASSERT_TRUE(writeNut(sb, "upsd.conf", "LISTEN 127.0.0.1 3494\n"));
    ASSERT_TRUE(writeNut(sb, "upsd.users", "[mon]\n  password = secret\n  upsmon secondary\n"
                                           "[boss]\n  password = bsecret\n  upsmon primary\n"));
    std::string log = sb.path("nut/peer.log");
    ASSERT_EQ(sb.enter({"sh", "-c", nutEnv(sb) + "/lib/nut/dummy-ups -a qor -u root >" + log + " 2>&1 && " +
                                        "/lib/nut/upsd -u root >>" + log + " 2>&1"}),
              0);
    ASSERT_TRUE(waitUntil([&] { return client(sb, {"upsc", "qor@127.0.0.1:3494", "ups.status"}) == "OB\n"; }, 10000));
    std::string out;
    int status = sb.enter({"python3", compareScript(), "3493", "3494"}, &out, 60000);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find(", 0 differences"), std::string::npos) << out;

    std::string syslog = sb.syslog();
    for (const char* line : {"network: mon@127.0.0.1 logged in", "network: mon@127.0.0.1 logged out",
                             "network: mon@127.0.0.1 refused: wrong name or password",
                             "network: mon@127.0.0.1 refused the forced shutdown: not a primary with this password",
                             "network: boss@127.0.0.1 ordered the forced shutdown of every follower"})
        EXPECT_NE(syslog.find(line), std::string::npos) << line << "\n" << syslog;
    for (const char* secret : {"secret", "hunter2"}) EXPECT_EQ(syslog.find(secret), std::string::npos) << secret;
}

TEST(NetE2E, SecondaryUpsmonShutsDownWhenOurCountDownEndsBeforeOurHalt) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kUsers, 1));
    ASSERT_TRUE(startUpsmon(sb, "secret"));
    ASSERT_TRUE(waitUntil([&] { return client(sb, {"upsc", "-c", "qor@127.0.0.1"}) == "127.0.0.1\n"; }, 10000))
        << "upsmon did not log in";
    sb.setLines("ttyS0", true, false);  // mains fails: one minute to go
    ASSERT_TRUE(waitUntil([&] { return upsStatus(sb) == "OB\n"; }, 5000));
    ::sleep(15);
    EXPECT_FALSE(qor::sandbox::readFile(sb.path("shutdown.log"))) << "on battery alone a follower waits";
    ASSERT_TRUE(waitUntil([&] { return !sb.haltLog().empty(); }, 90000)) << sb.screen();
    auto shutdown = qor::sandbox::readFile(sb.path("shutdown.log"));
    ASSERT_TRUE(shutdown) << "the follower never shut down";
    double followerAt = std::atof(shutdown->c_str());
    double haltAt = sb.haltLog().front().time;
    EXPECT_LT(followerAt, haltAt) << "the follower shuts down before this machine halts";
    EXPECT_LT(haltAt - followerAt, 15.0);
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(20000), 0);
}

TEST(NetE2E, WrongPasswordIsRefused) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kUsers));
    ASSERT_TRUE(startUpsmon(sb, "wrong"));
    EXPECT_TRUE(waitUntil([&] { return sb.syslog().find("ERR ACCESS-DENIED") != std::string::npos; }, 10000))
        << sb.syslog();
    EXPECT_EQ(client(sb, {"upsc", "-c", "qor@127.0.0.1"}), "") << "nobody is logged in";
}

TEST(NetE2E, ThousandConnectionsLeaveNoDescriptorBehind) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kUsers));
    ASSERT_EQ(upsStatus(sb), "OL\n");
    pid_t pid = consolePid(sb);
    ASSERT_GT(pid, 0);
    size_t before = openDescriptors(pid);
    std::string out;
    ASSERT_EQ(sb.enter({"python3", clientsScript(), "flood", "1000"}, &out, 120000), 0) << out;
    EXPECT_TRUE(waitUntil([&] { return openDescriptors(pid) == before; }, 5000))
        << before << " descriptors before, " << openDescriptors(pid) << " after";
    EXPECT_EQ(upsStatus(sb), "OL\n");
}

TEST(NetE2E, ClientSendingAnEndlessLineIsCutOff) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kUsers));
    std::string out;
    EXPECT_EQ(sb.enter({"python3", clientsScript(), "endless"}, &out, 30000), 0) << out;
    EXPECT_EQ(upsStatus(sb), "OL\n") << "the others are still served";
}

TEST(NetE2E, DamagedConfigKeepsTheServerOffWithOneSystemLogLine) {
    REQUIRE_PEER();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, "LISTEN 127.0.0.1 3493\nUSER mon\n"));
    std::string out;
    sb.enter({"upsc", "qor@127.0.0.1", "ups.status"}, &out);
    EXPECT_NE(out.find("Connection refused"), std::string::npos) << out;
    std::vector<std::string> mentions;
    for (const auto& l : qor::sandbox::lines(sb.syslog()))
        if (l.find("Qor.net") != std::string::npos) mentions.push_back(l);
    ASSERT_EQ(mentions.size(), 1u) << sb.syslog();
    EXPECT_NE(mentions[0].find("/etc/Qor.net line 2: USER wants NAME PASSWORD [primary]; network server off"), std::string::npos)
        << mentions[0];
}

}  // namespace

#ifdef QORGUI
namespace {

TEST(NetE2E, DesktopServesTheStateFromItsEventLoop) {
    REQUIRE_PEER();
    Sandbox sb;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Desktop);
    ASSERT_TRUE(sb.seedEtc("Qor.conf", std::string(reinterpret_cast<const char*>(&s), sizeof s)));
    ASSERT_TRUE(sb.seedEtc("Qor.net", kUsers));
    ::chmod(sb.path("etc-upper/Qor.net").c_str(), 0600);
    auto gui = sb.start({ON_XVFB, sb.dir(), QORGUI});
    ASSERT_TRUE(gui);
    EXPECT_TRUE(waitUntil([&] { return upsStatus(sb) == "OL\n"; }, 15000)) << upsStatus(sb);
    sb.setLines("ttyS0", true, false);
    EXPECT_TRUE(waitUntil([&] { return upsStatus(sb) == "OB\n"; }, 8000)) << upsStatus(sb);
    std::string runtime = client(sb, {"upsc", "qor@127.0.0.1", "battery.runtime"});
    EXPECT_LE(std::atoi(runtime.c_str()), 600);
    EXPECT_GE(std::atoi(runtime.c_str()), 590) << runtime;
    EXPECT_EQ(sb.stop(10000), 0);
}

}  // namespace
#endif
