#include "key_source.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

#include "tick_schedule.h"

namespace qor::console {

namespace {
using SteadyClock = TickSchedule::Clock;

// Process-wide: the one tick source of the program and the signal note.
TickHandler* g_handler = nullptr;
TickSchedule g_schedule;
volatile std::sig_atomic_t g_quit = 0;
// The signal handler writes a byte here so the wait for a key ends at once,
// whichever thread the signal was delivered to.
int g_wakeRead = -1;
int g_wakeWrite = -1;
// Set once the terminal has hung up: from then on only the ticks are waited for.
bool g_inputGone = false;
// Served from the same wait (the network server), or nullptr.
PolledService* g_service = nullptr;
// The line watch, or nullptr; while g_resting no tick runs on the clock.
TickRest* g_rest = nullptr;
bool g_resting = false;
bool g_woken = false;  // a line changed: the next tick runs whatever the rest says
// The ticks go on this long after a key, so whatever a closed form or menu
// left on the screen is drawn over as it is today.
constexpr auto kAfterKey = std::chrono::seconds(3);
SteadyClock::time_point g_lastKey{};
SteadyClock::duration g_period{std::chrono::seconds(1)};

void drainWake() {
    char buf[64];
    while (g_wakeRead >= 0 && ::read(g_wakeRead, buf, sizeof buf) > 0) {
    }
}
}  // namespace

void prepareQuitNotice() {
    int fds[2];
    if (g_wakeRead < 0 && ::pipe2(fds, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_wakeRead = fds[0];
        g_wakeWrite = fds[1];
    }
}

void startTicks(TickHandler* handler, int firstDelayMs, int periodMs) {
    g_handler = handler;
    g_period = std::chrono::milliseconds(periodMs);
    g_resting = false;
    g_schedule.start(SteadyClock::now(), std::chrono::milliseconds(firstDelayMs),
                     std::chrono::milliseconds(periodMs));
}

void stopTicks() { g_handler = nullptr; }

void restTicksWith(TickRest* rest) {
    g_rest = rest;
    g_resting = false;
}

int readKey(WINDOW* win) { return readKeyFor(win, -1); }

int readKeyFor(WINDOW* win, int maxWaitMs) {
    auto giveUp = SteadyClock::now() + std::chrono::milliseconds(maxWaitMs < 0 ? 0 : maxWaitMs);
    for (;;) {
        if (g_quit) return kQuitKey;
        if (g_handler != nullptr && g_rest != nullptr) {
            auto now = SteadyClock::now();
            bool rest = !g_woken && now - g_lastKey >= kAfterKey && g_rest->mayRest();
            // Back from a rest, the next tick comes when it would have on the clock.
            if (g_resting && !rest) g_schedule.start(now, g_period, g_period);
            g_resting = rest;
        }
        if (g_handler != nullptr && !g_resting && g_schedule.isDue(SteadyClock::now())) {
            g_woken = false;
            g_handler->tick();
            g_schedule.advance(SteadyClock::now());
            continue;
        }
        // Keys the library already holds (typed ahead, the rest of an escape
        // sequence) come before any wait; this writes nothing unless the
        // window has changed.
        wtimeout(win, 0);
        int ch = wgetch(win);
        wtimeout(win, -1);
        if (ch != ERR) {
            g_lastKey = SteadyClock::now();
            return ch;
        }

        // Nothing to do until a key, a signal or the next tick: sleep in one
        // wait, so an idle console wakes only for its ticks.
        pollfd fds[4] = {{g_wakeRead, POLLIN, 0},
                         {g_inputGone ? -1 : STDIN_FILENO, POLLIN, 0},
                         {g_service != nullptr ? g_service->pollFd() : -1, POLLIN, 0},
                         {g_handler != nullptr && g_rest != nullptr ? g_rest->wakeFd() : -1, POLLIN, 0}};
        int waitMs = g_handler != nullptr && !g_resting ? g_schedule.msUntilDue(SteadyClock::now()) : -1;
        // The service's own time-outs come even while the ticks rest.
        int serviceMs = g_service != nullptr ? g_service->msUntilDue() : -1;
        if (serviceMs >= 0 && (waitMs < 0 || serviceMs < waitMs)) waitMs = serviceMs;
        if (maxWaitMs >= 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(giveUp - SteadyClock::now()).count();
            if (left <= 0) return ERR;
            if (waitMs < 0 || waitMs > left) waitMs = static_cast<int>(left);
        }
        int n = ::poll(fds, 4, waitMs);
        if (n < 0 && errno != EINTR) return kQuitKey;  // cannot wait at all: leave cleanly
        if (n > 0 && (fds[0].revents & POLLIN)) drainWake();
        if (n > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) g_inputGone = true;
        if (g_service != nullptr && ((n > 0 && (fds[2].revents & POLLIN)) || g_service->msUntilDue() == 0))
            g_service->serve();
        if (n > 0 && (fds[3].revents & POLLIN) && g_handler != nullptr && g_rest != nullptr) {
            // A line changed: probe it now, and keep the ticks' pace from here.
            g_rest->takeWake();
            g_resting = false;
            g_woken = true;
            g_schedule.start(SteadyClock::now(), SteadyClock::duration::zero(), g_period);
        }
    }
}

void serveWhileWaiting(PolledService* service) { g_service = service; }

void requestQuit() {
    g_quit = 1;
    if (g_wakeWrite >= 0) {
        char byte = 1;
        ssize_t n = ::write(g_wakeWrite, &byte, 1);
        (void)n;  // a full pipe already holds a wake-up
    }
}

bool quitRequested() { return g_quit != 0; }

}  // namespace qor::console
