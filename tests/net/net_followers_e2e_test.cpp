// Debian's upsmon as the primary and as a secondary, both following qorconsole
// in the sandbox as they would follow upsd: the primary is granted its role,
// orders the forced shutdown when the battery runs low, and waits for the
// secondary to log out before its own shutdown.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"

namespace {

using qor::sandbox::Sandbox;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;

bool startConsole(Sandbox& sb, const std::string& net) {
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.pagerPort = qor::kPortNone;
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    if (!sb.seedEtc("Qor.conf", std::string(reinterpret_cast<const char*>(&s), sizeof s)) ||
        !sb.seedEtc("Qor.net", net))
        return false;
    ::chmod(sb.path("etc-upper/Qor.net").c_str(), 0600);
    TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return sb.startInTmux({QORCONSOLE}, o) && sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000);
}

std::string logins(const Sandbox& sb) {
    std::string out;
    sb.enter({"upsc", "-c", "qor@127.0.0.1"}, &out);
    std::string kept;
    for (const auto& l : qor::sandbox::lines(out))
        if (l.find("Init SSL") == std::string::npos) kept += l + "\n";
    return kept;
}

// One upsmon in its own mount namespace (each writes /run/nut/upsmon.pid),
// with its configuration in nut-ROLE/; its shutdown command writes the time.
bool startUpsmon(const Sandbox& sb, const std::string& role, const std::string& user, const std::string& password) {
    std::string dir = sb.path("nut-" + role);
    std::filesystem::create_directories(dir);
    ::chmod(dir.c_str(), 0700);
    std::string conf = "MONITOR qor@127.0.0.1 1 " + user + " " + password + " " + role + "\n" +
                       "MINSUPPLIES 1\nPOLLFREQ 1\nPOLLFREQALERT 1\nHOSTSYNC 15\n" +
                       "POWERDOWNFLAG " + dir + "/killpower\n" +
                       "SHUTDOWNCMD \"/bin/sh -c 'date +%s.%N >> " + dir + "/shutdown.log'\"\n";
    if (!qor::sandbox::writeFileAtomic(dir + "/upsmon.conf", conf)) return false;
    ::chmod((dir + "/upsmon.conf").c_str(), 0600);
    std::string env = "export NUT_CONFPATH=" + dir + " NUT_STATEPATH=" + dir + " NUT_ALTPIDPATH=" + dir + "; ";
    std::string inner = env + "mount -t tmpfs tmpfs /run/nut && mount --bind /bin/true /usr/bin/wall && " +
                        "exec /lib/nut/upsmon -u root >" + dir + "/upsmon.out 2>&1";
    return sb.enter({"unshare", "--mount", "--propagation", "private", "sh", "-c", inner}) == 0;
}

double shutdownTime(const Sandbox& sb, const std::string& role) {
    auto text = qor::sandbox::readFile(sb.path("nut-" + role + "/shutdown.log"));
    return text ? std::atof(text->c_str()) : 0.0;
}

TEST(NetFollowersE2E, PrimaryUpsmonOrdersTheShutdownAndWaitsForTheSecondary) {
    QOR_SANDBOX_REQUIRE_ROOT();
    if (::access("/lib/nut/upsmon", X_OK) != 0 || ::access("/bin/upsc", X_OK) != 0)
        GTEST_SKIP() << "nut-client is not installed";
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, "LISTEN 127.0.0.1 3493\nUSER mon secret\nUSER boss s3cret primary\n"));
    ASSERT_TRUE(startUpsmon(sb, "secondary", "mon", "secret"));
    ASSERT_TRUE(startUpsmon(sb, "primary", "boss", "s3cret"));
    ASSERT_TRUE(waitUntil([&] { return logins(sb) == "127.0.0.1\n127.0.0.1\n"; }, 10000)) << logins(sb);

    sb.setLines("ttyS0", true, false);  // mains fail: the followers wait
    ASSERT_TRUE(waitUntil([&] { return logins(sb) == "127.0.0.1\n127.0.0.1\n"; }, 3000));
    sb.setLines("ttyS0", false, true);  // then the battery runs low: the primary's call
    ASSERT_TRUE(waitUntil([&] { return shutdownTime(sb, "primary") > 0; }, 30000))
        << "the primary never shut down\n" << qor::sandbox::readFile(sb.path("nut-primary/upsmon.out")).value_or("")
        << sb.syslog();
    double secondary = shutdownTime(sb, "secondary");
    double primary = shutdownTime(sb, "primary");
    EXPECT_GT(secondary, 0.0) << "the secondary never shut down";
    EXPECT_LT(secondary, primary) << "the primary goes last";
    EXPECT_LT(primary - secondary, 10.0) << "it saw the secondary log out (not the 15 s HOSTSYNC)";
    EXPECT_TRUE(sb.haltLog().empty()) << "this machine still runs its own count-down";
    std::string out = qor::sandbox::readFile(sb.path("nut-primary/upsmon.out")).value_or("");
    EXPECT_EQ(out.find("managerial privileges unavailable"), std::string::npos) << out;
    std::string log = sb.syslog();
    EXPECT_NE(log.find("boss"), std::string::npos) << "the forced shutdown is in the system log, with who\n" << log;
    sb.sendKeys({"C-x"});
    EXPECT_EQ(sb.waitExit(20000), 0);
}

}  // namespace
