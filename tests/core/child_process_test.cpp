#include "child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
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

std::vector<std::string> runLines(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                                  int timeoutMs, ProgramRun& run) {
    std::vector<std::string> lines;
    run = runProgram(argv, env, timeoutMs, 300, [&](const std::string& l) { lines.push_back(l); });
    return lines;
}

TEST(ChildProcess, ProgramGetsItsWordsAndOnlyTheGivenEnvironmentAndItsOutputComesByLine) {
    ProgramRun run;
    auto lines = runLines({"/bin/sh", "-c", "printf '%s|' \"$@\"; echo; env | sort; printf 'x%.0s' $(seq 500); "
                                            "echo; echo err >&2; printf tail; ls -l /proc/self/fd | wc -l; exit 3",
                           "sh", "a b", ""},
                          {"ONE=1", "QOR_X=y z"}, 5000, run);
    ASSERT_TRUE(run.started);
    EXPECT_FALSE(run.timedOut);
    ASSERT_TRUE(WIFEXITED(run.status));
    EXPECT_EQ(WEXITSTATUS(run.status), 3);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "a b||");
    // sh adds PWD (and may add SHLVL, _) of its own; nothing of ours leaks.
    std::string env;
    for (const std::string& l : lines)
        if (l.find('=') != std::string::npos && l.find('|') == std::string::npos) env += l + ";";
    EXPECT_NE(env.find("ONE=1;"), std::string::npos) << env;
    EXPECT_NE(env.find("QOR_X=y z;"), std::string::npos) << env;
    EXPECT_EQ(env.find("PATH="), std::string::npos) << env;
    auto longLine = std::find_if(lines.begin(), lines.end(), [](const std::string& l) { return l[0] == 'x'; });
    ASSERT_NE(longLine, lines.end());
    EXPECT_EQ(longLine->size(), kProgramLineMax);
    EXPECT_EQ(*(longLine + 1), "err");
    // stdin, stdout, stderr and ls's own directory descriptor: no other.
    EXPECT_EQ(lines.back(), "tail5") << "descriptors leaked into the program";

    runLines({"/nonexistent/program"}, {}, 1000, run);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.startError, ENOENT);
    runLines({"relative"}, {}, 1000, run);
    EXPECT_FALSE(run.started);
}

TEST(ChildProcess, ProgramOutlivingItsBoundIsKilledWithWhatItStarted) {
    // Ignores SIGTERM and leaves a child holding the output: both go.
    ProgramRun run;
    auto start = std::chrono::steady_clock::now();
    auto lines = runLines({"/bin/sh", "-c", "trap '' TERM; sleep 30 & echo started; while :; do sleep 1; done"}, {},
                          300, run);
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(run.started);
    EXPECT_TRUE(run.timedOut);
    ASSERT_TRUE(WIFSIGNALED(run.status));
    EXPECT_EQ(WTERMSIG(run.status), SIGKILL);
    EXPECT_EQ(lines, std::vector<std::string>{"started"});
    EXPECT_LT(took, 3.0);
    // Many lines: the first ones pass, the rest are read and dropped.
    lines = runLines({"/bin/sh", "-c", "seq 1000"}, {}, 5000, run);
    EXPECT_EQ(lines.size(), static_cast<size_t>(kProgramLinesMax));
    EXPECT_FALSE(run.timedOut);
}

}  // namespace
}  // namespace qor
