#include "child_process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

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

}  // namespace qor
