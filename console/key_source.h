// Keyboard input for every menu and form of the console. While it waits for a
// key it runs the monitor tick whenever one falls due, so the tick never draws
// in the middle of a form's own drawing.
#pragma once

#include <curses.h>

#include "polled_service.h"

namespace qor::console {

// Ctrl-X: leaves any menu or form. Returned again and again once a terminating
// signal has arrived, so every open menu and form unwinds.
constexpr int kQuitKey = 'X' & 0x1f;

// What runs when a tick falls due.
class TickHandler {
public:
    virtual ~TickHandler() = default;
    virtual void tick() = 0;
};

// What lets the ticks rest while nothing can change without a wake-up (the
// line watch); nullptr: every tick runs on the clock.
class TickRest {
public:
    virtual ~TickRest() = default;
    // Readable when a tick must run at once (a status line changed).
    virtual int wakeFd() const = 0;
    virtual void takeWake() = 0;
    // No tick is needed until a wake-up, a key or a request.
    virtual bool mayRest() const = 0;
};
void restTicksWith(TickRest* rest);

// Installs the handler; the first tick falls due `firstDelayMs` later and then
// one every `periodMs` on a fixed schedule (see TickSchedule), however long
// each tick takes.
void startTicks(TickHandler* handler, int firstDelayMs, int periodMs);
void stopTicks();

// A service whose descriptor is watched beside the keyboard while a key is
// awaited (nullptr: none), so it is served without a wake-up of its own.
void serveWhileWaiting(PolledService* service);

// Reads one key from `win` (menus and forms call this from their getKey()).
int readKey(WINDOW* win);
// The same, but gives up with ERR after `maxWaitMs` without a key (ticks
// still run meanwhile), for screens that show progress.
int readKeyFor(WINDOW* win, int maxWaitMs);

// Makes the wake-up requestQuit() uses; call before the signal handlers that
// call requestQuit() are installed.
void prepareQuitNotice();

// Set from the signal handler (async-signal-safe); the main program leaves
// when it is set.
void requestQuit();
bool quitRequested();

}  // namespace qor::console
