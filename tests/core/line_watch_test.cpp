// The line watch's rules: short changes counted between probes, and a port
// that cannot be waited on handing back to the tick at once. Waiting on a
// port that answers is exercised end to end in the sandbox.
#include "line_watch.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <initializer_list>

#include "serial_line.h"
#include "ups_status.h"

namespace {

using qor::LineCounts;
using qor::LineWatch;
using qor::PulseTally;

constexpr int kBoth = qor::kLineCar | qor::kLineCts;

struct Probe {
    LineCounts counts;
    int bits;
};

TEST(PulseTally, CountsOnlyWhatNoProbeSaw) {
    struct Case {
        const char* what;
        std::initializer_list<Probe> probes;
        uint32_t pulses;
    };
    const Case cases[] = {
        {"the first probe only sets the base", {{{7, 9}, kBoth}}, 0},
        {"nothing moved", {{{0, 0}, kBoth}, {{0, 0}, kBoth}}, 0},
        {"a change the probe read is no pulse", {{{0, 0}, kBoth}, {{0, 1}, qor::kLineCar}}, 0},
        {"CTS dropped and came back between probes", {{{0, 0}, kBoth}, {{0, 2}, kBoth}}, 1},
        {"three DCD pulses", {{{4, 4}, kBoth}, {{10, 4}, kBoth}}, 3},
        {"a change seen plus a pulse on the same line", {{{0, 0}, kBoth}, {{0, 3}, qor::kLineCar}}, 1},
        {"pulses on both lines add up", {{{0, 0}, kBoth}, {{2, 4}, kBoth}, {{4, 4}, kBoth}}, 4},
        {"an edge after the probe's read is no pulse, nor the read that sees it",
         {{{0, 0}, kBoth}, {{0, 1}, kBoth}, {{0, 1}, qor::kLineCar}}, 0},
        {"the driver's counters wrap", {{{0xffffffffu, 0}, kBoth}, {{1, 0}, kBoth}}, 1},
    };
    for (const auto& c : cases) {
        PulseTally t;
        for (const auto& p : c.probes) t.note(p.counts, p.bits);
        EXPECT_EQ(t.pulses(), c.pulses) << c.what;
    }

    // A new port starts a new base; what was counted stays.
    PulseTally t;
    t.note({0, 0}, kBoth);
    t.note({0, 2}, kBoth);
    t.restart();
    t.note({50, 80}, kBoth);
    EXPECT_EQ(t.pulses(), 1u) << "counters of another port are no pulses";
}

TEST(PulseTally, LineBitsOfEachState) {
    EXPECT_EQ(qor::lineBitsOfState(qor::AcOk), kBoth);
    EXPECT_EQ(qor::lineBitsOfState(qor::AcFail), qor::kLineCar);
    EXPECT_EQ(qor::lineBitsOfState(qor::BatteryLow), qor::kLineCts);
    EXPECT_EQ(qor::lineBitsOfState(qor::NoUps), 0);
}

bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

// A pipe is no tty; a pty is a tty whose driver has no modem-status
// interrupts. Either way the watch ends by itself, wakes the loop once so the
// tick takes over, and is not started again on the same port.
TEST(LineWatch, PortThatCannotBeWaitedOnHandsBackToTheTick) {
    int p[2];
    ASSERT_EQ(::pipe2(p, O_CLOEXEC), 0);
    qor::UniqueFd pipeRead(p[0]), pipeWrite(p[1]);
    int master = -1, slave = -1;
    ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    qor::UniqueFd ptyMaster(master), ptySlave(slave);

    for (int fd : {pipeRead.get(), ptySlave.get()}) {
        LineWatch w;
        ASSERT_GE(w.pollFd(), 0);
        EXPECT_FALSE(w.watching());
        w.follow(fd);
        ASSERT_TRUE(readable(w.pollFd(), 5000)) << "fd " << fd;
        EXPECT_TRUE(w.takeWake());
        EXPECT_FALSE(w.takeWake()) << "one wake-up";
        EXPECT_FALSE(w.watching());
        w.follow(fd);
        EXPECT_FALSE(readable(w.pollFd(), 50)) << "the port that refused is not tried again";
        EXPECT_FALSE(w.watching());
        // No counters either: nothing counted, nothing broken.
        LineCounts c;
        EXPECT_FALSE(LineWatch::readCounts(fd, c));
        w.noteProbe(fd, qor::AcOk);
        EXPECT_EQ(w.pulses(), 0u);
        w.follow(-1);
        EXPECT_FALSE(w.watching());
    }
}

// The port's owner stops the watch before the descriptor goes, whether it
// closes or another port opens in its place.
TEST(LineWatch, SerialLineStopsItsWatchBeforeTheDescriptorGoes) {
    int master = -1, slave = -1;
    char name[128];
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    qor::UniqueFd ptyMaster(master), ptySlave(slave);
    LineWatch w;
    {
        qor::SerialLine line(qor::Edition::Desktop);
        line.attachWatch(&w);
        ASSERT_GE(line.open(name), 0);
        w.follow(line.descriptor());
        ASSERT_TRUE(readable(w.pollFd(), 5000));
        ASSERT_GE(line.open(name), 0);  // reopened: the refused port may be tried again
        w.takeWake();
        w.follow(line.descriptor());
        EXPECT_TRUE(readable(w.pollFd(), 5000)) << "a new port is waited on afresh";
        line.close();
        EXPECT_FALSE(w.watching());
        EXPECT_FALSE(w.takeWake()) << "a port that is going away wakes nobody";
    }
}

}  // namespace
