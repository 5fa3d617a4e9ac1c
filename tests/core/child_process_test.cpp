#include "child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "system_services.h"

namespace qor {
namespace {

// The monitors ignore SIGPIPE and the console may have signals blocked; the
// halt and clear commands they run must start with neither.
TEST(ChildProcess, ShellCommandStartsWithDefaultSignalsAndNothingBlocked) {
    std::string out = (std::filesystem::temp_directory_path() / ("qor-child-" + std::to_string(getpid()))).string();
    struct sigaction ignore {}, oldPipe {}, oldHup {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ASSERT_EQ(::sigaction(SIGPIPE, &ignore, &oldPipe), 0);
    ASSERT_EQ(::sigaction(SIGHUP, &ignore, &oldHup), 0);
    sigset_t block, oldMask;
    sigemptyset(&block);
    sigaddset(&block, SIGUSR1);
    sigaddset(&block, SIGTERM);
    ASSERT_EQ(::sigprocmask(SIG_BLOCK, &block, &oldMask), 0);

    SystemShell shell;
    int status = shell.run(("exec grep -E '^Sig(Ign|Blk):' /proc/self/status > " + out).c_str());

    ::sigprocmask(SIG_SETMASK, &oldMask, nullptr);
    ::sigaction(SIGPIPE, &oldPipe, nullptr);
    ::sigaction(SIGHUP, &oldHup, nullptr);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    std::ifstream in(out);
    std::stringstream text;
    text << in.rdbuf();
    std::filesystem::remove(out);
    EXPECT_EQ(text.str(), "SigBlk:\t0000000000000000\nSigIgn:\t0000000000000000\n");

    // The wait status comes back as system() gives it.
    status = shell.run("exit 3");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3);
}

// The shell clears its own mask, so the mask is checked in a plain child.
TEST(ChildProcess, ResetLeavesAForkedChildNothingBlockedOrIgnored) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        sigset_t block;
        sigfillset(&block);
        ::sigprocmask(SIG_BLOCK, &block, nullptr);
        ::signal(SIGPIPE, SIG_IGN);
        resetChildSignals();
        sigset_t now;
        ::sigprocmask(SIG_SETMASK, nullptr, &now);
        struct sigaction pipe {};
        ::sigaction(SIGPIPE, nullptr, &pipe);
        bool clean = sigismember(&now, SIGTERM) == 0 && sigismember(&now, SIGRTMIN) == 0 && pipe.sa_handler == SIG_DFL;
        ::_exit(clean ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

}  // namespace
}  // namespace qor
