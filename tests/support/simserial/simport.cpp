// simport: the far end of one simulated serial port.
//
//   simport SIMSERIAL_DIR NAME [exec:COMMAND]
//
// Creates a pty, keeps its master (and one slave descriptor, so the line never
// hangs up when the program under test closes it) and publishes the slave path
// in SIMSERIAL_DIR/NAME/pty. Without exec: every byte the program writes to the
// port is appended to SIMSERIAL_DIR/NAME/written. With exec:COMMAND, COMMAND
// runs through /bin/sh with the master as standard input and output (a modem
// emulator, for instance); when it ends, simport goes back to draining.
// SIGTERM/SIGINT remove the pty file and end simport.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

volatile sig_atomic_t g_stop = 0;

void onStop(int) { g_stop = 1; }

bool writeAll(int fd, const char* buf, size_t len)
{
    while (len > 0) {
        ssize_t w = ::write(fd, buf, len);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        buf += w;
        len -= static_cast<size_t>(w);
    }
    return true;
}

// Writes a small file so that readers see either nothing or all of it.
bool publish(const std::string& path, const std::string& text)
{
    std::string tmp = path + ".tmp";
    {
        Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (fd.get() < 0 || !writeAll(fd.get(), text.data(), text.size()))
            return false;
    }
    return ::rename(tmp.c_str(), path.c_str()) == 0;
}

void drain(int master, const std::string& portDir)
{
    Fd out(::open((portDir + "/written").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    char buf[1024];
    while (!g_stop) {
        pollfd p{master, POLLIN, 0};
        int r = ::poll(&p, 1, 200);
        if (r <= 0)
            continue;
        ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0 && out.get() >= 0)
            writeAll(out.get(), buf, static_cast<size_t>(n));
        else if (n < 0 && errno != EINTR && errno != EAGAIN)
            ::usleep(50000); // EIO cannot last while we hold a slave; be gentle anyway
    }
}

// Runs the emulator on the master; returns when it has ended or we are told to stop.
void runEmulator(int master, const std::string& portDir, const std::string& name,
                 const std::string& slave, const std::string& command)
{
    pid_t pid = ::fork();
    if (pid < 0) {
        perror("simport: fork");
        return;
    }
    if (pid == 0) {
        ::signal(SIGTERM, SIG_DFL);
        ::signal(SIGINT, SIG_DFL);
        ::dup2(master, 0);
        ::dup2(master, 1);
        int err = ::open((portDir + "/exec.log").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (err >= 0) {
            ::dup2(err, 2);
            ::close(err);
        }
        ::setenv("SIMPORT_NAME", name.c_str(), 1);
        ::setenv("SIMPORT_DIR", portDir.c_str(), 1);
        ::setenv("SIMPORT_SLAVE", slave.c_str(), 1);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(pid, &status, 0);
        if (r == pid)
            break;
        if (r < 0 && errno == EINTR && g_stop) {
            ::kill(pid, SIGTERM);
            ::waitpid(pid, &status, 0);
            break;
        }
        if (r < 0 && errno != EINTR)
            return;
    }
    std::string text = WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status))
                                         : "signal " + std::to_string(WTERMSIG(status));
    publish(portDir + "/exec.status", text + "\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3 || argc > 4) {
        fprintf(stderr, "usage: %s SIMSERIAL_DIR NAME [exec:COMMAND]\n", argv[0]);
        return 2;
    }
    std::string portDir = std::string(argv[1]) + "/" + argv[2];
    std::string command;
    if (argc == 4) {
        if (strncmp(argv[3], "exec:", 5) != 0 || argv[3][5] == '\0') {
            fprintf(stderr, "simport: unknown port option '%s'\n", argv[3]);
            return 2;
        }
        command = argv[3] + 5;
    }
    ::mkdir(argv[1], 0755);
    ::mkdir(portDir.c_str(), 0755);

    struct sigaction sa {};
    sa.sa_handler = onStop;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::sigaction(SIGINT, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    Fd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (master.get() < 0 || ::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        perror("simport: pty");
        return 1;
    }
    char slaveName[128];
    if (::ptsname_r(master.get(), slaveName, sizeof slaveName) != 0) {
        perror("simport: ptsname");
        return 1;
    }
    Fd slave(::open(slaveName, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (slave.get() < 0) {
        perror("simport: slave");
        return 1;
    }

    std::string ptyFile = portDir + "/pty";
    // Published before an emulator starts: bytes the program sends early wait in the pty.
    if (!publish(ptyFile, std::string(slaveName) + "\n"))
        return 1;
    if (!command.empty())
        runEmulator(master.get(), portDir, argv[2], slaveName, command);
    drain(master.get(), portDir);
    ::unlink(ptyFile.c_str());
    return 0;
}
