// CModem on a pty of the test's own, with the modem emulator on the master.
#include "modem.h"

#include <gtest/gtest.h>
#include <termios.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>

#include "hayes_emulator.h"
#include "notify_test_support.h"

namespace qor::test {
namespace {

ModemParams params(int flow = 2, int ending = 0, int speed = 115200, int timeoutSec = 1) {
    return ModemParams{0, flow, ending, speed, timeoutSec};
}

struct ModemRig {
    explicit ModemRig(ModemParams p = params(), Edition e = Edition::Desktop) : prm(p), log(e), modem(&log, &clock) {
        modem.setParams(&prm);
    }
    bool openAndSetUp() { return pty.ok() && modem.open(pty.slave.c_str()) && modem.setUp(); }
    ModemParams prm;
    TestPty pty;
    CaptureLog log;
    FakeClock clock;
    CModem modem;
};

TEST(Modem, SetUpMakesARawLineAndCloseRestoresIt) {
    ModemRig r(params(1, 0, 460800));
    ASSERT_TRUE(r.pty.ok());
    struct termios before {};
    {
        UniqueFd probe(::open(r.pty.slave.c_str(), O_RDWR | O_NOCTTY));
        ASSERT_TRUE(probe);
        ASSERT_EQ(tcgetattr(probe.get(), &before), 0);
        ASSERT_TRUE(r.modem.open(r.pty.slave.c_str()));
        ASSERT_TRUE(r.modem.setUp());
        EXPECT_STREQ(r.modem.status(), "CModem Ready.");
        struct termios t {};
        ASSERT_EQ(tcgetattr(probe.get(), &t), 0);
        EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IGNBRK | IGNPAR | IXON | IXOFF));
        EXPECT_EQ(t.c_oflag, 0u);
        EXPECT_EQ(t.c_lflag, 0u);
        EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_cflag & (CSTOPB | PARENB), 0u);
        EXPECT_TRUE(t.c_cflag & CLOCAL);
        EXPECT_EQ(t.c_cc[VMIN], 0);
        EXPECT_EQ(t.c_cc[VTIME], 0);
        EXPECT_EQ(t.c_cc[VSTART], 17);
        EXPECT_EQ(t.c_cc[VSTOP], 19);
        EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B460800));
        ASSERT_TRUE(r.modem.close());
        EXPECT_EQ(r.modem.descriptor(), -1);
        ASSERT_EQ(tcgetattr(probe.get(), &t), 0);
        EXPECT_EQ(t.c_lflag, before.c_lflag);
        EXPECT_EQ(t.c_iflag, before.c_iflag);
        EXPECT_EQ(cfgetospeed(&t), cfgetospeed(&before));
    }
    // A descriptor that is no terminal: set-up fails, says why and closes it.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ::close(fds[1]);
    EXPECT_FALSE(r.modem.setUp(fds[0]));
    EXPECT_STREQ(r.modem.status(), "Sorry, the modem is busy.");
    EXPECT_EQ(r.modem.descriptor(), -1);
    EXPECT_FALSE(r.modem.setUp(-1));
}

TEST(Modem, SpeedTableAndFlowControlChoices) {
    EXPECT_EQ(modemSpeedCode(460800), static_cast<speed_t>(B460800));
    EXPECT_EQ(modemSpeedCode(2400), static_cast<speed_t>(B2400));
    EXPECT_EQ(modemSpeedCode(4800), static_cast<speed_t>(B38400));  // not in the table
    EXPECT_EQ(modemSpeedCode(0), static_cast<speed_t>(B38400));
    struct termios t {};
    t.c_cflag = CRTSCTS | PARENB | CSTOPB | CS5;
    t.c_iflag = IXON | ICRNL;
    makeRawModemLine(t, 2, 9600);
    EXPECT_EQ(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag, static_cast<tcflag_t>(IGNBRK | IGNPAR));
    EXPECT_EQ(cfgetispeed(&t), static_cast<speed_t>(B9600));
    makeRawModemLine(t, 0, 9600);
    EXPECT_TRUE(t.c_cflag & CRTSCTS);
}

TEST(Modem, CommandsCarryTheConfiguredLineEnding) {
    const char* expected[] = {"ATZ\r\n", "ATZ\n", "ATZ\r", "ATZ"};
    for (int ending = 0; ending < 4; ++ending) {
        ModemRig r(params(2, ending));
        ASSERT_TRUE(r.openAndSetUp());
        EXPECT_TRUE(r.modem.sendCommand("ATZ"));
        EXPECT_EQ(r.pty.readAvailable(100), expected[ending]) << "ending " << ending;
    }
}

TEST(Modem, AnswersAreCleanedBoundedAndTimedOut) {
    ModemRig r;
    ASSERT_TRUE(r.openAndSetUp());
    r.pty.write("\r\nNO DIALTONE\r\n");
    std::string hi("\xcf\xcb", 2);  // "OK" with the top bit set
    r.pty.write(hi);
    EXPECT_EQ(r.modem.readAnswer(), 12);
    EXPECT_STREQ(r.modem.answer(), "NODIALTONEOK");

    std::string flood(3000, 'A');  // more than fits, less than the pty holds
    r.pty.write(flood);
    EXPECT_EQ(r.modem.readAnswer(), 1023);
    EXPECT_EQ(std::strlen(r.modem.answer()), 1023u);
    r.modem.drainInput();

    auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.modem.readAnswer(), -1);  // 1 s response time-out
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_GE(ms, 900);
    EXPECT_LT(ms, 3000);
    EXPECT_NE(r.log.outText().find("Timeout ....\n"), std::string::npos);
}

TEST(Modem, AModemThatNeverStopsTalkingDoesNotHoldTheReadForEver) {
    ModemRig r;
    ASSERT_TRUE(r.openAndSetUp());
    fcntl(r.pty.master.get(), F_SETFL, O_NONBLOCK);  // the chatter never blocks
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        std::string noise(64, 'Z');
        while (!stop) {
            r.pty.write(noise);
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    auto t0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(r.modem.initialise());  // never an OK, only noise
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    stop = true;
    chatter.join();
    EXPECT_LT(ms, 15000);
    EXPECT_NE(r.log.outText().find("Modem init is failed.\n"), std::string::npos);
}

TEST(Modem, InitialiseSucceedsOnTheChunkWithOkAndFailsOnSilence) {
    {
        ModemRig r;
        ASSERT_TRUE(r.openAndSetUp());
        HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), HayesOptions{});
        emu.start();
        EXPECT_TRUE(r.modem.initialise());
        emu.stop();
        EXPECT_EQ(emu.commands(), (std::vector<std::string>{"+++ATH", "ATZ"}));
        EXPECT_EQ(r.clock.sleepsMs(), (std::vector<long>{3000}));
        // The chunk that held OK is printed (with a fast fake clock it may
        // hold the hang-up's late OK and the init echo too).
        std::string out = r.log.outText();
        EXPECT_NE(out.find("OK"), std::string::npos) << out;
        EXPECT_EQ(out.back(), '\n');
    }
    {
        ModemRig r;
        ASSERT_TRUE(r.openAndSetUp());
        HayesOptions dead;
        dead.answerInit = false;
        HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), dead);
        emu.start();
        EXPECT_FALSE(r.modem.initialise());
        emu.stop();
        EXPECT_EQ(r.log.outText(), "Timeout ....\nModem init is failed.\n");
    }
}

TEST(Modem, PageDialsTheExactTextAndHangsUpWhateverTheAnswer) {
    using D = HayesOptions::Dial;
    for (D dial : {D::Busy, D::NoDialtone, D::Silent}) {
        ModemRig r;
        ASSERT_TRUE(r.openAndSetUp());
        HayesOptions o;
        o.dial = dial;
        HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), o);
        emu.start();
        EXPECT_TRUE(r.modem.page("555-12 34", EvAcFail));
        EXPECT_TRUE(emu.waitForCommand("+++ATH", 2000, 3));
        emu.stop();
        // Hang-up, init, the page, hang-up; no escape since never online.
        EXPECT_EQ(emu.commands(), (std::vector<std::string>{"+++ATH", "ATZ", "ATDT555-12 34# , , , , , , , 00#",
                                                            "+++ATH"}));
        EXPECT_EQ(r.log.outText().rfind("ATDT555-12 34# , , , , , , , 00#\n ", 0), 0u);
    }
    ModemRig r;
    ASSERT_TRUE(r.openAndSetUp());
    HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), HayesOptions{});
    emu.start();
    EXPECT_TRUE(r.modem.page("7", EvConnectFail));
    emu.stop();
    EXPECT_EQ(emu.commands()[2], "ATDT7# , , , , , , , 03#");
}

TEST(Modem, PageFailsWhenInitialiseFails) {
    ModemRig r;
    ASSERT_TRUE(r.openAndSetUp());
    HayesOptions dead;
    dead.answerInit = false;
    HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), dead);
    emu.start();
    EXPECT_FALSE(r.modem.page("123", EvAcFail));
    EXPECT_TRUE(emu.waitForCommand("+++ATH", 2000, 2));
    emu.stop();
    auto c = emu.commands();
    ASSERT_EQ(c.size(), 3u);  // hang-up, init, and the hang-up after the failure
    EXPECT_EQ(c.back(), "+++ATH");
}

TEST(Modem, DialGoesOnlineAndHangUpEscapesFirst) {
    ModemRig r;
    ASSERT_TRUE(r.openAndSetUp());
    HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), HayesOptions{});
    emu.start();
    EXPECT_TRUE(r.modem.dial("0191"));
    EXPECT_TRUE(r.modem.online());
    EXPECT_TRUE(r.modem.hangUp());
    EXPECT_FALSE(r.modem.online());
    EXPECT_TRUE(emu.waitForCommand("+++ATH", 2000, 3));
    emu.stop();
    auto c = emu.commands();
    ASSERT_GE(c.size(), 4u);
    EXPECT_EQ(c[2], "ATDT0191");
    // Escape and hang-up run together here: the fake clock skips the guard time.
    EXPECT_EQ(c.back(), "++++++ATH");
    auto sleeps = r.clock.sleepsMs();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 1060L), 2);
    EXPECT_NE(r.log.outText().find("CONNECT115200\n"), std::string::npos);

    CModem closed;
    EXPECT_FALSE(closed.dial("1"));
    EXPECT_FALSE(closed.hangUp());
}

TEST(Modem, ConsolePrintsNothing) {
    ModemRig r(params(), Edition::Console);
    ASSERT_TRUE(r.openAndSetUp());
    HayesEmulator emu(r.pty.master.get(), r.pty.master.get(), HayesOptions{});
    emu.start();
    EXPECT_TRUE(r.modem.page("1", EvAcFail));
    emu.stop();
    EXPECT_EQ(r.log.outText(), "");
}

}  // namespace
}  // namespace qor::test
