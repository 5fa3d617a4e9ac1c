// The least a one-second tick can cost on a contact-closure line: the port is
// opened once, then every second RTS is raised, 100 ms allowed for the relays,
// and the modem-status lines read. No events, no screen. The comparison
// benchmark runs it beside the programs on the same simulated line.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : nullptr;
    if (!path) {
        std::fprintf(stderr, "usage: bare_probe PORT\n");
        return 2;
    }
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        std::perror(path);
        return 1;
    }
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    const timespec settle{0, 100 * 1000 * 1000};
    for (;;) {
        int rts = TIOCM_RTS;
        ioctl(fd, TIOCMBIS, &rts);
        nanosleep(&settle, nullptr);
        int lines = 0;
        ioctl(fd, TIOCMGET, &lines);
        next.tv_sec += 1;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr) == EINTR) {
        }
    }
}
