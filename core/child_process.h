// Starting other programs (/sbin/halt, /usr/bin/clear, pppd) with a clean
// signal state: the monitors ignore SIGPIPE and may block signals, and a child
// must not inherit either.
#pragma once

namespace qor {

// For a freshly forked child, before it execs: every signal back to its
// default action and none blocked. Only async-signal-safe calls, so it may run
// in the child of a threaded program.
void resetChildSignals();

// Runs `command` through /bin/sh -c with a clean signal state and waits for
// it. Returns the wait status as system() does (-1 when no child could be
// started, exit status 127 when the shell could not be run).
int runShellCommand(const char* command);

}  // namespace qor
