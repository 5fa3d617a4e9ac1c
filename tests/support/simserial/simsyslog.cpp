// simsyslog: the sandbox's system log.
//
//   simsyslog SOCKET LOGFILE
//
// Binds a datagram socket at SOCKET (the sandbox's /dev/log) and appends every
// message it receives, as sent ("<PRI>timestamp ident[pid]: text"), plus a line
// feed to LOGFILE. Runs until killed.
#include <fcntl.h>
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
    char buf[2048];
    for (;;) {
        ssize_t n = ::recv(sock.get(), buf, sizeof buf - 1, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        while (n > 0 && (buf[n - 1] == '\n' || buf[n - 1] == '\0'))
            n--;
        buf[n++] = '\n';
        // One write per message: lines from concurrent senders never interleave.
        ssize_t w = ::write(out.get(), buf, static_cast<size_t>(n));
        (void)w;
    }
}
