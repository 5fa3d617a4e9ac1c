// A primary and a secondary upsmon (Debian's nut-client) following our server
// in the sandbox, as set up on a rack: the primary is granted its role, its
// FSD reaches the secondary, which shuts down before the primary does; and a
// /etc/Qor.net anyone but root could have written keeps the server off.
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
using qor::sandbox::waitUntil;

const char* kRoles = "LISTEN 127.0.0.1 3493\nUSER mon secret\nUSER boss b0ss primary\n";

// The console on mains; /etc/Qor.net seeded with `net` (nullptr: as the test left it).
bool startConsole(Sandbox& sb, const char* net, mode_t mode = 0600) {
    sb.port("ttyS0");
    sb.setLines("ttyS0", true, true);
    qor::UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.pagerPort = qor::kPortNone;
    if (!sb.seedEtc("Qor.conf", std::string(reinterpret_cast<const char*>(&s), sizeof s))) return false;
    if (net != nullptr && !sb.seedEtc("Qor.net", net)) return false;
    if (net != nullptr) ::chmod(sb.path("etc-upper/Qor.net").c_str(), mode);
    qor::sandbox::TmuxOptions o;
    o.unsetEnv = {"DISPLAY"};
    return sb.startInTmux({QORCONSOLE}, o) && sb.waitForScreen("UPS is installed on: /dev/ttyS0", 8000);
}

std::string client(const Sandbox& sb, const std::vector<std::string>& argv) {
    std::string out, kept;
    sb.enter(argv, &out);
    for (const auto& l : qor::sandbox::lines(out))
        if (l.find("Init SSL") == std::string::npos) kept += l + "\n";
    return kept;
}

// NUT's programs with their own files in DIR, a private /run/nut and a silent wall.
std::string nutEnv(const Sandbox& sb, const std::string& dir) {
    std::string d = sb.path(dir);
    return "export NUT_CONFPATH=" + d + " NUT_STATEPATH=" + d + " NUT_ALTPIDPATH=" + d + "; " +
           "mountpoint -q /run/nut || { mount -t tmpfs tmpfs /run/nut && mount --bind /bin/true /usr/bin/wall; }; ";
}

// An upsmon in DIR as `role`; its shutdown command writes the time to DIR/shutdown.log.
// upsmon keeps its pid in /run/nut whatever its paths: the secondary gets a
// /run/nut of its own, the primary the shared one (where `upsmon -c` finds it).
bool startUpsmon(const Sandbox& sb, const std::string& dir, const std::string& user, const std::string& password,
                 const std::string& role) {
    std::filesystem::create_directories(sb.path(dir));
    ::chmod(sb.path(dir).c_str(), 0700);
    std::string conf = "MONITOR qor@127.0.0.1 1 " + user + " " + password + " " + role + "\n" +
                       "MINSUPPLIES 1\nPOLLFREQ 1\nPOLLFREQALERT 1\nHOSTSYNC 10\n"
                       "SHUTDOWNCMD \"/bin/sh -c 'date +%s.%N >> " + sb.path(dir + "/shutdown.log") + "'\"\n";
    if (!qor::sandbox::writeFileAtomic(sb.path(dir + "/upsmon.conf"), conf)) return false;
    ::chmod(sb.path(dir + "/upsmon.conf").c_str(), 0600);
    std::string run = "/lib/nut/upsmon -u root >" + sb.path(dir + "/upsmon.out") + " 2>&1";
    if (role == "secondary") run = "unshare -m sh -c 'mount -t tmpfs tmpfs /run/nut && " + run + "'";
    return sb.enter({"sh", "-c", nutEnv(sb, dir) + run}) == 0;
}

double shutdownAt(const Sandbox& sb, const std::string& dir) {
    auto log = qor::sandbox::readFile(sb.path(dir + "/shutdown.log"));
    return log ? std::atof(log->c_str()) : 0.0;
}

#define REQUIRE_UPSMON()                                                 \
    do {                                                                 \
        QOR_SANDBOX_REQUIRE_ROOT();                                      \
        if (::access("/lib/nut/upsmon", X_OK) != 0 || ::access("/bin/upsc", X_OK) != 0) \
            GTEST_SKIP() << "nut-client is not installed";              \
    } while (0)

TEST(NetRolesE2E, PrimaryUpsmonIsGrantedAndItsFsdShutsTheSecondaryDownFirst) {
    REQUIRE_UPSMON();
    Sandbox sb;
    ASSERT_TRUE(startConsole(sb, kRoles));
    ASSERT_TRUE(startUpsmon(sb, "secondary", "mon", "secret", "secondary"));
    ASSERT_TRUE(startUpsmon(sb, "primary", "boss", "b0ss", "primary"));
    ASSERT_TRUE(waitUntil([&] { return client(sb, {"upsc", "qor@127.0.0.1", "ups.status"}) == "OL\n" &&
                                       client(sb, {"upsc", "-c", "qor@127.0.0.1"}) == "127.0.0.1\n127.0.0.1\n"; },
                          10000))
        << client(sb, {"upsc", "-c", "qor@127.0.0.1"});
    // The primary orders every follower down, as on a battery running out.
    ASSERT_EQ(sb.enter({"sh", "-c", nutEnv(sb, "primary") + "/lib/nut/upsmon -c fsd"}), 0);
    ASSERT_TRUE(waitUntil([&] { return shutdownAt(sb, "primary") > 0; }, 30000)) << sb.syslog();
    double secondary = shutdownAt(sb, "secondary");
    EXPECT_GT(secondary, 0.0) << "the secondary never shut down";
    EXPECT_LT(secondary, shutdownAt(sb, "primary")) << "the primary waits for its secondaries";
    std::string log = sb.syslog() + qor::sandbox::readFile(sb.path("primary/upsmon.out")).value_or("");
    EXPECT_EQ(log.find("managerial privileges unavailable"), std::string::npos) << log;
    EXPECT_NE(log.find("network: boss@127.0.0.1 ordered the forced shutdown of every follower"), std::string::npos)
        << log;
    EXPECT_EQ(client(sb, {"upsc", "qor@127.0.0.1", "ups.status"}), "FSD OL\n");
    EXPECT_TRUE(sb.haltLog().empty()) << "a follower's FSD does not halt this machine";
}

TEST(NetRolesE2E, ConfigOthersCouldHaveWrittenKeepsTheServerOffWithOneLine) {
    REQUIRE_UPSMON();
    struct Row {
        const char* name;
        mode_t mode;
        bool link;
        const char* logged;
    };
    const Row rows[] = {
        {"group-writable", 0620, false, "/etc/Qor.net can be changed by others than root (owner 0, mode 620)"},
        {"a link", 0600, true, "/etc/Qor.net is a link"},
    };
    for (const Row& r : rows) {
        Sandbox sb;
        if (r.link) {
            ASSERT_TRUE(sb.seedEtc("Qor.net.real", kRoles));
            ::chmod(sb.path("etc-upper/Qor.net.real").c_str(), 0600);
            ASSERT_EQ(::symlink("/etc/Qor.net.real", sb.path("etc-upper/Qor.net").c_str()), 0);
        }
        ASSERT_TRUE(startConsole(sb, r.link ? nullptr : kRoles, r.mode)) << r.name;
        std::string out;
        sb.enter({"upsc", "qor@127.0.0.1", "ups.status"}, &out);
        EXPECT_NE(out.find("Connection refused"), std::string::npos) << r.name << ": " << out;
        std::vector<std::string> mentions;
        for (const auto& l : qor::sandbox::lines(sb.syslog()))
            if (l.find("Qor.net") != std::string::npos) mentions.push_back(l);
        ASSERT_EQ(mentions.size(), 1u) << r.name << "\n" << sb.syslog();
        EXPECT_NE(mentions[0].find(std::string(r.logged) + "; network server off"), std::string::npos) << mentions[0];
        sb.sendKeys({"C-x"});
        EXPECT_EQ(sb.waitExit(5000), 0);
    }
}

}  // namespace
