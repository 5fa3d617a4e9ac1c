// sandbox_probe: small actions the sandbox tests run inside qor-sandbox.
//
//   sandbox_probe open PATH          open like the UPS port does; "ok" or "error NAME"
//   sandbox_probe fopen PATH         fopen(PATH, "r+"); "ok" or "error NAME"
//   sandbox_probe ctty PATH          in a new session: open with and without O_NOCTTY,
//                                    print "noctty=<tty_nr> ctty=<tty_nr>"
//   sandbox_probe serve PATH         open the port, then obey stdin lines:
//                                    get | set N | bis N | bic N | flags | quit
//   sandbox_probe chat PATH TEXT     raw mode, write TEXT, print what comes back within 2 s
//   sandbox_probe listen ADDR PORT   bind and listen on ADDR:PORT, connect to it; "ok"
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
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

std::string errName(int e)
{
    switch (e) {
    case ENOENT: return "ENOENT";
    case ENXIO: return "ENXIO";
    case ENOTTY: return "ENOTTY";
    case EACCES: return "EACCES";
    case EIO: return "EIO";
    default: return std::to_string(e);
    }
}

int openPort(const char* path) { return ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK); }

std::string describe(int bits)
{
    std::ostringstream s;
    s << "status " << bits << " DCD=" << !!(bits & TIOCM_CAR) << " CTS=" << !!(bits & TIOCM_CTS)
      << " RI=" << !!(bits & TIOCM_RNG) << " DSR=" << !!(bits & TIOCM_DSR)
      << " RTS=" << !!(bits & TIOCM_RTS) << " DTR=" << !!(bits & TIOCM_DTR);
    return s.str();
}

// Controlling terminal of this process, field 7 of /proc/self/stat.
long ttyNr()
{
    std::ifstream f("/proc/self/stat");
    std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    size_t close = all.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(all.substr(close + 2));
    std::string state;
    long ppid, pgrp, session, tty;
    rest >> state >> ppid >> pgrp >> session >> tty;
    return tty;
}

// Opens path in a fresh session (no controlling terminal); returns tty_nr after it.
long ttyAfterOpen(const char* path, int flags)
{
    int pipefd[2];
    if (::pipe(pipefd) != 0)
        return -1;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipefd[0]);
        ::setsid();
        int fd = ::open(path, flags);
        long tty = fd >= 0 ? ttyNr() : -2;
        ssize_t w = ::write(pipefd[1], &tty, sizeof tty);
        _exit(w == sizeof tty ? 0 : 1);
    }
    ::close(pipefd[1]);
    long tty = -1;
    if (::read(pipefd[0], &tty, sizeof tty) != sizeof tty)
        tty = -1;
    ::close(pipefd[0]);
    ::waitpid(pid, nullptr, 0);
    return tty;
}

int serve(const char* path)
{
    Fd fd(openPort(path));
    if (fd.get() < 0) {
        std::cout << "error " << errName(errno) << std::endl;
        return 1;
    }
    std::cout << "ok" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        std::istringstream in(line);
        std::string cmd;
        int arg = 0;
        in >> cmd >> arg;
        if (cmd == "get") {
            int bits = 0;
            if (::ioctl(fd.get(), TIOCMGET, &bits) != 0)
                std::cout << "error " << errName(errno) << std::endl;
            else
                std::cout << describe(bits) << std::endl;
        } else if (cmd == "set" || cmd == "bis" || cmd == "bic") {
            unsigned long req = cmd == "set" ? TIOCMSET : cmd == "bis" ? TIOCMBIS : TIOCMBIC;
            if (::ioctl(fd.get(), req, &arg) != 0)
                std::cout << "error " << errName(errno) << std::endl;
            else
                std::cout << "ok" << std::endl;
        } else if (cmd == "flags") {
            int fl = ::fcntl(fd.get(), F_GETFL);
            std::cout << "nonblock=" << !!(fl & O_NONBLOCK) << " rdwr=" << ((fl & O_ACCMODE) == O_RDWR)
                      << " isatty=" << ::isatty(fd.get()) << std::endl;
        } else if (cmd == "quit") {
            return 0;
        } else {
            std::cout << "error unknown" << std::endl;
        }
    }
    return 0;
}

int chat(const char* path, const std::string& text)
{
    Fd fd(openPort(path));
    if (fd.get() < 0) {
        std::cout << "error " << errName(errno) << std::endl;
        return 1;
    }
    termios t{};
    ::tcgetattr(fd.get(), &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd.get(), TCSANOW, &t);
    if (::write(fd.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
        std::cout << "error write" << std::endl;
        return 1;
    }
    std::string got;
    for (int i = 0; i < 200 && got.size() < text.size() * 2 + 16; i++) {
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, 10) <= 0)
            continue;
        char buf[256];
        ssize_t n = ::read(fd.get(), buf, sizeof buf);
        if (n > 0)
            got.append(buf, static_cast<size_t>(n));
        if (got.find('\n') != std::string::npos)
            break;
    }
    std::cout << "reply " << got << std::endl;
    return 0;
}

int listenOn(const char* addr, int port)
{
    Fd s(::socket(AF_INET, SOCK_STREAM, 0));
    int one = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    if (::inet_pton(AF_INET, addr, &a.sin_addr) != 1 ||
        ::bind(s.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(s.get(), 1) != 0) {
        std::cout << "error bind " << errName(errno) << std::endl;
        return 1;
    }
    Fd c(::socket(AF_INET, SOCK_STREAM, 0));
    if (::connect(c.get(), reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::cout << "error connect " << errName(errno) << std::endl;
        return 1;
    }
    Fd peer(::accept(s.get(), nullptr, nullptr));
    std::cout << (peer.get() >= 0 ? "ok" : "error accept") << std::endl;
    return peer.get() >= 0 ? 0 : 1;
}

// Holds the port open; each line on stdin reads its modem lines once, as a
// monitor's poll does: "lines=HEX" or "error NAME".
int hold(const char* path)
{
    Fd fd(openPort(path));
    if (fd.get() < 0) {
        std::cout << "error " << errName(errno) << std::endl;
        return 1;
    }
    std::cout << "ok" << std::endl;
    std::string line;
    while (std::getline(std::cin, line)) {
        int status = 0;
        if (::ioctl(fd.get(), TIOCMGET, &status) != 0)
            std::cout << "error " << errName(errno) << std::endl;
        else
            std::cout << "lines=" << std::hex << status << std::dec << std::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "open" && argc == 3) {
        Fd fd(openPort(argv[2]));
        if (fd.get() < 0) {
            std::cout << "error " << errName(errno) << std::endl;
            return 1;
        }
        std::cout << "ok" << std::endl;
        return 0;
    }
    if (cmd == "fopen" && argc == 3) {
        FILE* f = std::fopen(argv[2], "r+");
        if (!f) {
            std::cout << "error " << errName(errno) << std::endl;
            return 1;
        }
        std::cout << "ok isatty=" << ::isatty(fileno(f)) << std::endl;
        std::fclose(f);
        return 0;
    }
    if (cmd == "ctty" && argc == 3) {
        // Both forks before anything is printed: a child must not carry
        // half a line of ours (ThreadSanitizer's _exit flushes it).
        long noctty = ttyAfterOpen(argv[2], O_RDWR | O_NOCTTY | O_NONBLOCK);
        long ctty = ttyAfterOpen(argv[2], O_RDWR | O_NONBLOCK);
        std::cout << "noctty=" << noctty << " ctty=" << ctty << std::endl;
        return 0;
    }
    if (cmd == "hold" && argc == 3)
        return hold(argv[2]);
    if (cmd == "serve" && argc == 3)
        return serve(argv[2]);
    if (cmd == "chat" && argc == 4)
        return chat(argv[2], argv[3]);
    if (cmd == "listen" && argc == 4)
        return listenOn(argv[2], std::atoi(argv[3]));
    std::cerr << "usage: sandbox_probe open|fopen|ctty|hold|serve|chat|listen ..." << std::endl;
    return 2;
}
