// simsyslog: the sandbox's system log.
//
//   simsyslog SOCKET LOGFILE
//
// Binds a datagram socket at SOCKET (the sandbox's /dev/log) and appends every
// message it receives, as sent ("<PRI>timestamp ident[pid]: text"), plus a line
// feed to LOGFILE. On SIGTERM it writes what is still queued, then ends: the
// sandbox stops it that way when its command has ended, so no message the
// command sent is lost to the teardown.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

volatile sig_atomic_t stopping = 0;

void onTerm(int) { stopping = 1; }

// Appends one message as a line.
void append(int out, char* buf, ssize_t n)
{
    while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\0'))
        n--;
    buf[n++] = '\n';
    // One write per message: lines from concurrent senders never interleave.
    ssize_t w = ::write(out, buf, static_cast<size_t>(n));
    (void)w;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: %s SOCKET LOGFILE\n", argv[0]);
        return 2;
    }
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (strlen(argv[1]) >= sizeof addr.sun_path) {
        fprintf(stderr, "simsyslog: socket path too long\n");
        return 2;
    }
    strncpy(addr.sun_path, argv[1], sizeof addr.sun_path - 1);
    Fd sock(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    ::unlink(argv[1]);
    if (sock.get() < 0 || ::bind(sock.get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        perror("simsyslog: bind");
        return 1;
    }
    ::chmod(argv[1], 0666);
    Fd out(::open(argv[2], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    if (out.get() < 0) {
        perror("simsyslog: log file");
        return 1;
    }
    // SIGTERM is blocked but while waiting, so it cannot slip in between the
    // check and the wait.
    struct sigaction act {};
    act.sa_handler = onTerm;
    sigaction(SIGTERM, &act, nullptr);
    sigset_t term, waiting;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    sigprocmask(SIG_BLOCK, &term, &waiting);
    sigdelset(&waiting, SIGTERM);
    char buf[2048];
    while (!stopping) {
        pollfd p{sock.get(), POLLIN, 0};
        int r = ::ppoll(&p, 1, nullptr, &waiting);
        if (r < 0 && errno != EINTR)
            return 1;
        if (r <= 0)
            continue;
        ssize_t n = ::recv(sock.get(), buf, sizeof buf - 1, MSG_DONTWAIT);
        if (n >= 0)
            append(out.get(), buf, n);
    }
    for (;;) {
        ssize_t n = ::recv(sock.get(), buf, sizeof buf - 1, MSG_DONTWAIT);
        if (n < 0)
            return 0;
        append(out.get(), buf, n);
    }
}
