// Starting other programs (/sbin/halt, /usr/bin/clear, pppd) with a clean
// signal state: the monitors ignore SIGPIPE and may block signals, and a child
// must not inherit either.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qor {

// For a freshly forked child, before it execs: every signal back to its
// default action and none blocked. Only async-signal-safe calls, so it may run
// in the child of a threaded program.
void resetChildSignals();

// Runs `command` through /bin/sh -c with a clean signal state and waits for
// it. Returns the wait status as system() does (-1 when no child could be
// started, exit status 127 when the shell could not be run).
int runShellCommand(const char* command);

// How a program run directly (runProgram) ended.
struct ProgramRun {
    bool started = false;   // false: it could not be started (`startError` says why)
    int startError = 0;     // errno of the fork or the exec
    bool timedOut = false;  // it was still running at its bound and was killed
    int status = 0;         // wait status, as waitpid gives it
};

// Limits on what runProgram passes on of a program's output.
constexpr size_t kProgramLineMax = 400;  // longer lines are cut
constexpr int kProgramLinesMax = 200;    // later lines are read and dropped

// Runs `argv` (argv[0] an absolute path, never through a shell) with exactly
// `env` as its environment, standard input /dev/null, no other descriptor,
// in a process group of its own. Its standard output and error go to
// `onLine` one line at a time (without the line end, bounded as above).
// When it has not ended after `timeoutMs`, its group gets SIGTERM, and
// SIGKILL `graceMs` later. Waits for it; call from a thread that may wait.
ProgramRun runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutMs,
                      int graceMs, const std::function<void(const std::string&)>& onLine);

}  // namespace qor
