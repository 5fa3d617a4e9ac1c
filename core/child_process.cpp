#include "child_process.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "unique_fd.h"

extern char** environ;

namespace qor {

void resetChildSignals() {
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    // SIGKILL and SIGSTOP refuse; the real-time range is included.
    for (int signo = 1; signo < NSIG; ++signo) ::sigaction(signo, &dfl, nullptr);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

int runShellCommand(const char* command) {
    // Built before the fork: the child only calls async-signal-safe functions.
    char sh[] = "sh";
    char dashC[] = "-c";
    char* argv[] = {sh, dashC, const_cast<char*>(command), nullptr};
    pid_t pid = ::fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        resetChildSignals();
        ::execve("/bin/sh", argv, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    return status;
}

namespace {

using SteadyClock = std::chrono::steady_clock;

int msUntil(SteadyClock::time_point t) {
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t - SteadyClock::now()).count();
    return ms < 0 ? 0 : static_cast<int>(ms);
}

// Splits the program's output into bounded lines.
class LineCutter {
public:
    explicit LineCutter(const std::function<void(const std::string&)>& onLine) : onLine_(onLine) {}
    void feed(const char* p, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (p[i] == '\n') {
                flush();
            } else if (line_.size() < kProgramLineMax) {
                line_ += p[i];
            }
        }
    }
    void flush() {
        if (lines_ < kProgramLinesMax && onLine_) onLine_(line_);
        ++lines_;
        line_.clear();
    }
    void finish() {
        if (!line_.empty()) flush();
    }

private:
    const std::function<void(const std::string&)>& onLine_;
    std::string line_;
    int lines_ = 0;
};

}  // namespace

ProgramRun runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env, int timeoutMs,
                      int graceMs, const std::function<void(const std::string&)>& onLine) {
    ProgramRun run;
    if (argv.empty() || argv[0].empty() || argv[0][0] != '/') {
        run.startError = ENOENT;
        return run;
    }
    // Everything the child needs is built before the fork: after it, the
    // child of a threaded program may only make async-signal-safe calls.
    std::vector<char*> args, envp;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);

    int out[2], status[2];
    if (::pipe2(out, O_CLOEXEC) != 0) {
        run.startError = errno;
        return run;
    }
    UniqueFd outRead(out[0]), outWrite(out[1]);
    if (::pipe2(status, O_CLOEXEC) != 0) {
        run.startError = errno;
        return run;
    }
    UniqueFd statusRead(status[0]), statusWrite(status[1]);

    pid_t pid = ::fork();
    if (pid < 0) {
        run.startError = errno;
        return run;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        resetChildSignals();
        int null = ::open("/dev/null", O_RDONLY);
        if (null >= 0) ::dup2(null, STDIN_FILENO);
        ::dup2(outWrite.get(), STDOUT_FILENO);
        ::dup2(outWrite.get(), STDERR_FILENO);
        // None of the monitor's descriptors (the UPS port, sockets) goes on.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::execve(args[0], args.data(), envp.data());
        int err = errno;
        ssize_t w = ::write(statusWrite.get(), &err, sizeof err);
        (void)w;
        ::_exit(127);
    }
    outWrite.reset();
    statusWrite.reset();
    int err = 0;
    ssize_t got;
    do {
        got = ::read(statusRead.get(), &err, sizeof err);
    } while (got < 0 && errno == EINTR);
    run.started = got != static_cast<ssize_t>(sizeof err);
    if (!run.started) run.startError = err;

    LineCutter cutter(onLine);
    auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    bool termSent = false, killSent = false, exited = false;
    // The output ends when the program and whatever it started have closed
    // it; the program has ended when waitpid says so. Both are awaited, and
    // neither beyond the bound.
    for (;;) {
        if (!exited) {
            pid_t r = ::waitpid(pid, &run.status, WNOHANG);
            if (r == pid || (r < 0 && errno != EINTR)) exited = true;
        }
        if (exited && !outRead) break;
        if (SteadyClock::now() >= deadline) {
            if (!termSent) {
                if (run.started) run.timedOut = !exited;
                ::kill(-pid, SIGTERM);
                if (!exited) ::kill(pid, SIGTERM);
                termSent = true;
                deadline = SteadyClock::now() + std::chrono::milliseconds(graceMs);
            } else if (!killSent) {
                ::kill(-pid, SIGKILL);
                if (!exited) ::kill(pid, SIGKILL);
                killSent = true;
                deadline = SteadyClock::now() + std::chrono::milliseconds(graceMs);
            } else {
                // Killed and still holding the output: a process that left
                // the group. Stop reading; the program itself is reaped.
                outRead.reset();
                if (!exited) {
                    while (::waitpid(pid, &run.status, 0) < 0 && errno == EINTR) {
                    }
                    exited = true;
                }
                break;
            }
        }
        // Short waits while only the exit is awaited (the output closed).
        int wait = msUntil(deadline);
        if (!outRead || exited) wait = wait > 20 ? 20 : wait;
        if (outRead) {
            struct pollfd p = {outRead.get(), POLLIN, 0};
            int n = ::poll(&p, 1, exited ? wait : (wait > 50 ? 50 : wait));
            if (n > 0) {
                char buf[4096];
                ssize_t k = ::read(outRead.get(), buf, sizeof buf);
                if (k > 0) {
                    cutter.feed(buf, static_cast<size_t>(k));
                } else if (k == 0 || errno != EINTR) {
                    outRead.reset();
                }
            }
        } else {
            struct timespec ts = {0, static_cast<long>(wait) * 1000000L};
            ::nanosleep(&ts, nullptr);
        }
    }
    cutter.finish();
    return run;
}

}  // namespace qor
