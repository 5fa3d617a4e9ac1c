// PppClient without pppd: the command line, the secrets files (in a directory
// of the test's own), the dial in a child process, the ppp0 check.
#include "pppclient.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "hayes_emulator.h"
#include "notify_test_support.h"

namespace qor::test {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream f(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

struct TempDir {
    fs::path path;
    TempDir() {
        char tmpl[] = "/tmp/qor-ppp-XXXXXX";
        path = mkdtemp(tmpl);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
};

PppSettings settingsOf(void (*edit)(UpsSettings&) = nullptr) {
    UpsSettings s{};
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Desktop);
    setText(s.dialUser, "joe user");
    setText(s.dialPassword, "pw");
    setText(s.dialPhone, "0191");
    if (edit) edit(s);
    return PppSettings::fromSettings(s);
}

TEST(PppClient, CommandLineAndArgumentVector) {
    NotifyEnv env;
    PppSettings p = settingsOf();
    PppClient c(&p, ModemCommands::defaults(), env);
    EXPECT_EQ(c.buildCommandLine(), "pppd 115200 crtscts defaultroute -chap user \"joe user\" ");
    EXPECT_EQ(c.buildArguments(),
              (std::vector<std::string>{"pppd", "115200", "crtscts", "defaultroute", "-chap", "user", "joe user"}));

    p = settingsOf([](UpsSettings& s) {
        s.dialAuth = 1;
        s.modemFlow = 1;
        s.modemSpeed = 0;
        setText(s.ipAddress, "10.0.0.2");
        setText(s.subnetMask, "255.255.255.0");
    });
    EXPECT_EQ(c.buildCommandLine(), "pppd 460800 10.0.0.2: netmask 255.255.255.0 xonxoff defaultroute -pap user \"joe user\"");
    EXPECT_EQ(c.buildArguments(), (std::vector<std::string>{"pppd", "460800", "10.0.0.2:", "netmask", "255.255.255.0",
                                                            "xonxoff", "defaultroute", "-pap", "user", "joe user"}));
    p = settingsOf([](UpsSettings& s) {
        s.modemFlow = 2;
        setText(s.ipAddress3, "10.0.0.1");
        setText(s.dialUser, "a\" defaultroute \"b\nnoauth");
    });
    EXPECT_EQ(c.buildCommandLine().substr(0, 26), "pppd 115200 :10.0.0.1 defa");
    auto a = c.buildArguments();
    ASSERT_EQ(a.size(), 7u);
    EXPECT_EQ(a[2], ":10.0.0.1");
    EXPECT_EQ(a.back(), "a\" defaultroute \"b\nnoauth");  // one argument, whatever it holds
}

TEST(PppClient, SettingsTextsAreCutNotOverrun) {
    PppSettings p = settingsOf([](UpsSettings& s) {
        std::memset(s.dialUser, 'u', sizeof s.dialUser);  // not even terminated
        setText(s.dialPassword, std::string(255, 'p'));
        setText(s.ipAddress, std::string(255, '1'));
        s.modemDevice = 77;
        s.dialAuth = 0x10001;  // the low half says CHAP
    });
    EXPECT_EQ(std::string(p.user), std::string(127, 'u'));
    EXPECT_EQ(std::string(p.password), std::string(127, 'p'));
    EXPECT_EQ(std::string(p.localIp), std::string(127, '1'));
    EXPECT_EQ(p.deviceIndex, kDeviceNone);
    EXPECT_EQ(p.auth, 1);
    EXPECT_EQ(p.defaultRoute, 1);
    EXPECT_EQ(settingsOf([](UpsSettings& s) { s.modemDevice = 2; }).deviceIndex, 3);
}

TEST(PppClient, SecretsLineQuotesAndRefusesLineBreaks) {
    EXPECT_EQ(pppSecretsLine("joe", "pw"), "\"joe\"\t*\t\"pw\"\n");
    EXPECT_EQ(pppSecretsLine("a\"b", "c\\d e"), "\"a\\\"b\"\t*\t\"c\\\\d e\"\n");
    EXPECT_EQ(pppSecretsLine("joe", "pw\n\"evil\" * \"x\""), "");
    EXPECT_EQ(pppSecretsLine("jo\re", "pw"), "");
}

TEST(PppClient, SecretsAreSwappedAndRestored) {
    TempDir d;
    NotifyEnv env;
    env.secretsDir = d.path.string();
    PppSettings p = settingsOf();
    PppClient c(&p, ModemCommands::defaults(), env);
    fs::path live = d.path / "pap-secrets", saved = d.path / "pap-secrets.old";
    EXPECT_FALSE(c.restoreSecrets(0));  // no saved copy: nothing happens

    std::ofstream(live) << "system line\n";
    EXPECT_FALSE(c.restoreSecrets(0));
    EXPECT_EQ(slurp(live), "system line\n");  // left alone

    ASSERT_TRUE(c.writeSecrets(0, "joe user", "pw"));
    EXPECT_EQ(slurp(live), "\"joe user\"\t*\t\"pw\"\n");
    EXPECT_EQ(slurp(saved), "system line\n");
    EXPECT_EQ(fs::status(live).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(d.path / "pap-secrets.new"));
    ASSERT_TRUE(c.restoreSecrets(0));
    EXPECT_EQ(slurp(live), "system line\n");
    EXPECT_FALSE(fs::exists(saved));

    // CHAP with no system file at all: the restore takes the password out.
    fs::path chap = d.path / "chap-secrets";
    ASSERT_TRUE(c.writeSecrets(1, "joe", "pw"));
    EXPECT_EQ(slurp(chap), "\"joe\"\t*\t\"pw\"\n");
    ASSERT_TRUE(c.restoreSecrets(1));
    EXPECT_EQ(slurp(chap), "");

    // A password with a line feed changes nothing.
    EXPECT_FALSE(c.writeSecrets(0, "joe", "a\nb"));
    EXPECT_EQ(slurp(live), "system line\n");
    EXPECT_FALSE(fs::exists(saved));

    // A directory the new file cannot be made in: the system's file stays.
    NotifyEnv bad = env;
    bad.secretsDir = (d.path / "missing").string();
    PppClient b(&p, ModemCommands::defaults(), bad);
    EXPECT_FALSE(b.writeSecrets(0, "joe", "pw"));

    // Something the system's file cannot be set aside to: the swap fails and
    // the system's file stays; nor can the restore put that "copy" back, and
    // the live file is not deleted for it.
    fs::create_directories(saved / "busy");
    EXPECT_FALSE(c.writeSecrets(0, "joe", "pw"));
    EXPECT_EQ(slurp(live), "system line\n");
    EXPECT_FALSE(fs::exists(d.path / "pap-secrets.new"));
    EXPECT_FALSE(c.restoreSecrets(0));
    EXPECT_EQ(slurp(live), "system line\n");
}

TEST(PppClient, NoDeviceMeansNoDial) {
    CaptureLog log;
    NotifyEnv env;
    env.log = &log;
    PppSettings p = settingsOf();  // modemDevice 4: "none"
    PppClient c(&p, ModemCommands::defaults(), env);
    EXPECT_FALSE(c.connect());
    EXPECT_EQ(log.outText(), "Sorry, can't open modem.");
}

TEST(PppClient, InterfaceCheck) {
    NotifyEnv env;
    CaptureLog log;
    env.log = &log;
    PppSettings p = settingsOf();
    env.interfaceName = "lo";
    PppClient up(&p, ModemCommands::defaults(), env);
    EXPECT_EQ(up.checkInterface(), 1);
    EXPECT_TRUE(up.waitForLink());
    EXPECT_TRUE(log.hasSys("up success"));
    env.interfaceName = "qornone0";
    PppClient none(&p, ModemCommands::defaults(), env);
    EXPECT_EQ(none.checkInterface(), -1);
    EXPECT_FALSE(none.waitForLink());
    EXPECT_TRUE(log.hasSys("can't find ppp0"));
}

// Dials through the emulator on a pty; pppd is looked for where none is.
struct DialRig {
    explicit DialRig(HayesOptions::Dial dial) : locator(dir.path.string()) {
        HayesOptions o;
        o.dial = dial;
        emu = std::make_unique<HayesEmulator>(pty.master.get(), pty.master.get(), o);
        emu->start();
        env.log = &log;
        env.clock = &clock;
        env.secretsDir = dir.path.string();
        env.pppd = &locator;
        env.devices[3] = pty.slave;  // modemDevice 2
        p = settingsOf([](UpsSettings& s) {
            s.modemDevice = 2;
            s.modemFlow = 2;
            s.modemTimeoutSec = 2;
        });
        std::ofstream(dir.path / "pap-secrets") << "system\n";
    }
    ~DialRig() { emu->stop(); }
    TempDir dir;
    PppdLocator locator;
    TestPty pty;
    std::unique_ptr<HayesEmulator> emu;
    CaptureLog log;
    FakeClock clock;
    NotifyEnv env;
    PppSettings p{};
};

TEST(PppClient, DialsInAChildAndReadsItsResultEvenWithSigchldIgnored) {
    for (bool ignore : {false, true}) {
        struct sigaction old {}, act {};
        act.sa_handler = ignore ? SIG_IGN : SIG_DFL;
        sigaction(SIGCHLD, &act, &old);
        {
            DialRig r(HayesOptions::Dial::Connect);
            PppClient c(&r.p, ModemCommands::defaults(), r.env);
            ASSERT_TRUE(c.connect()) << "SIGCHLD ignored: " << ignore << r.log.outText() << "|" << r.emu->raw();
            EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "\"joe user\"\t*\t\"pw\"\n");
            EXPECT_EQ(c.commandLine(), "pppd 115200 defaultroute -chap user \"joe user\" ");
            EXPECT_TRUE(r.log.hasSys("PPPd connect success"));  // no pppd found: exec failed
            EXPECT_TRUE(r.log.hasSys("PPP connect success"));
            EXPECT_TRUE(r.log.hasSys("TO IF UP"));
            EXPECT_TRUE(c.disconnect());
            EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "system\n");
            EXPECT_EQ(c.modem().descriptor(), -1);  // the port is closed again
            EXPECT_TRUE(r.emu->waitForCommand("+++ATH", 2000, 3));
            auto cmds = r.emu->commands();
            ASSERT_GE(cmds.size(), 3u);
            EXPECT_EQ(cmds[2], "ATDT0191");
            EXPECT_EQ(cmds.back(), "++++++ATH");  // escape, then hang-up (no guard time here)
        }
        {
            DialRig r(HayesOptions::Dial::Busy);
            PppClient c(&r.p, ModemCommands::defaults(), r.env);
            EXPECT_FALSE(c.connect()) << "SIGCHLD ignored: " << ignore;
            EXPECT_NE(r.log.outText().find("Dialup failed....\n"), std::string::npos);
            EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "system\n");  // never swapped
            // The failed dial is hung up with the escape first.
            EXPECT_NE(r.emu->raw().find("+++"), std::string::npos);
            EXPECT_FALSE(r.log.hasSys("TO IF UP"));
        }
        sigaction(SIGCHLD, &old, nullptr);
    }
}

TEST(PppClient, CredentialsThatCouldInjectAreRefusedBeforeDialling) {
    DialRig r(HayesOptions::Dial::Connect);
    std::strcpy(r.p.password, "pw\nx");
    PppClient c(&r.p, ModemCommands::defaults(), r.env);
    EXPECT_FALSE(c.connect());
    EXPECT_TRUE(r.emu->commands().empty());
    EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "system\n");
}

TEST(PppClient, NoDescriptorsLeftForTheDialIsAFailedDialNotTheEnd) {
    DialRig r(HayesOptions::Dial::Connect);
    PppClient c(&r.p, ModemCommands::defaults(), r.env);
    // A first dial that works: under UBSan the runtime checks each object's
    // type once, through a pipe of its own, which the tight limit would starve.
    ASSERT_TRUE(c.connect()) << r.log.outText();
    ASSERT_TRUE(c.disconnect());
    ASSERT_EQ(r.log.outText().find("Dialup failed"), std::string::npos);
    // Room for the modem's descriptor and none for the pipe to the dialling child.
    int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowest, 0);
    ::close(lowest);
    struct rlimit old {};
    getrlimit(RLIMIT_NOFILE, &old);
    struct rlimit tight = old;
    tight.rlim_cur = static_cast<rlim_t>(lowest + 1);
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
    bool connected = c.connect();
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_FALSE(connected);
    EXPECT_NE(r.log.outText().find("Dialup failed....\n"), std::string::npos);
    EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "system\n");
}

TEST(PppClient, PppdStartsWithDefaultSignalsAndIsKilledWhenItIgnoresTerm) {
    DialRig r(HayesOptions::Dial::Connect);
    // A pppd that reports its signal state and then will not end on SIGTERM.
    fs::path report = r.dir.path / "pppd-signals";
    {
        std::ofstream script(r.dir.path / "pppd");
        // Read by the shell itself: a shell blocks every signal for a moment
        // while it forks, so a child reading its status could see that.
        script << "#!/bin/sh\nwhile read -r k v; do case $k in Sig[IB]*) echo \"$k$v\";; esac\n"
               << "done < /proc/$$/status > " << report.string() << ".part\n"
               << "/bin/mv " << report.string() << ".part " << report.string() << "\n"
               << "trap '' TERM\nexec /bin/sleep 60\n";
    }
    fs::permissions(r.dir.path / "pppd", fs::perms::owner_all);
    // The monitors ignore SIGPIPE; the calling thread blocks a signal too.
    struct sigaction ign {}, oldPipe {};
    ign.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ign, &oldPipe);
    sigset_t usr1, oldMask;
    sigemptyset(&usr1);
    sigaddset(&usr1, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &usr1, &oldMask);

    PppClient c(&r.p, ModemCommands::defaults(), r.env);
    bool connected = c.connect();
    pthread_sigmask(SIG_SETMASK, &oldMask, nullptr);
    sigaction(SIGPIPE, &oldPipe, nullptr);
    ASSERT_TRUE(connected);
    pid_t pid = c.pppdPid();
    ASSERT_GT(pid, 0);
    for (int i = 0; i < 500 && !fs::exists(report); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(slurp(report), "SigBlk:0000000000000000\nSigIgn:0000000000000000\n");

    EXPECT_TRUE(c.disconnect());
    EXPECT_EQ(::kill(pid, 0), -1);  // gone and reaped
    EXPECT_EQ(errno, ESRCH);
    EXPECT_EQ(slurp(r.dir.path / "pap-secrets"), "system\n");
}

}  // namespace
}  // namespace qor::test
