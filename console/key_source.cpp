#include "key_source.h"

#include <poll.h>
#include <unistd.h>

#include <csignal>
#include <chrono>

namespace qor::console {

namespace {
using SteadyClock = std::chrono::steady_clock;

// Process-wide: the one tick source of the program and the signal note.
TickHandler* g_handler = nullptr;
std::chrono::milliseconds g_period{1000};
SteadyClock::time_point g_due;
volatile std::sig_atomic_t g_quit = 0;
PolledService* g_service = nullptr;

// Waits at most this long for a key, so a signal is noticed promptly even
// when the terminal read is restarted after it.
constexpr int kMaxWaitMs = 200;

void waitForKeyOrService(int waitMs) {
    pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {g_service->pollFd(), POLLIN, 0}};
    if (::poll(fds, 2, waitMs) > 0 && (fds[1].revents & POLLIN)) g_service->serve();
}

}  // namespace

void startTicks(TickHandler* handler, int firstDelayMs, int periodMs) {
    g_handler = handler;
    g_period = std::chrono::milliseconds(periodMs);
    g_due = SteadyClock::now() + std::chrono::milliseconds(firstDelayMs);
}

void stopTicks() { g_handler = nullptr; }

int readKey(WINDOW* win) {
    for (;;) {
        if (g_quit) return kQuitKey;
        int waitMs = kMaxWaitMs;
        if (g_handler != nullptr) {
            auto now = SteadyClock::now();
            if (now >= g_due) {
                g_handler->tick();
                // The next tick comes one period after this one ended.
                g_due = SteadyClock::now() + g_period;
                continue;
            }
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(g_due - now).count() + 1;
            if (left < waitMs) waitMs = static_cast<int>(left);
        }
        // With a service to serve, the wait is a poll of the keyboard and its
        // descriptor; keys curses has already read come first.
        wtimeout(win, g_service != nullptr ? 0 : waitMs);
        int ch = wgetch(win);
        wtimeout(win, -1);
        if (ch != ERR) return ch;
        if (g_service != nullptr) waitForKeyOrService(waitMs);
    }
}

void serveWhileWaiting(PolledService* service) { g_service = service; }

void requestQuit() { g_quit = 1; }

bool quitRequested() { return g_quit != 0; }

}  // namespace qor::console
