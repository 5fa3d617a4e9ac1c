#include "serial_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

namespace qor {

LineState UpsLine::probeLine(Clock& clock) {
    setLines(0);
    clock.sleepMicros(100000);
    int status = readStatus();
    bool cd = (status & kLineCar) != 0;
    bool cts = (status & kLineCts) != 0;
    if (cd && cts) return LineAcOk;
    if (cd) return LineAcFail;
    if (cts) return LineBatteryLow;
    return LineNoUps;
}

int SerialLine::open(const char* path) {
    fd_.reset(::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!fd_) return -1;
    int fd = fd_.get();
    ::fcntl(fd, F_SETFL, 0);
    if (edition_ == Edition::Console) {
        // Drop RTS but leave DTR as the port had it.
        int lines = 0;
        if (::ioctl(fd, TIOCMGET, &lines) == 0) {
            lines &= kLineDtr;
            ::ioctl(fd, TIOCMSET, &lines);
        }
    }
    return fd;
}

int SerialLine::setLines(int mode) {
    if (!fd_) return 0;
    int word = mode == 0 ? kLineRts : mode == 1 ? kLineDtr : 0;
    return ::ioctl(fd_.get(), TIOCMSET, &word);
}

int SerialLine::readStatus() {
    if (!fd_) return 0;
    int status = 0;
    if (::ioctl(fd_.get(), TIOCMGET, &status) != 0) return 0;
    return status;
}

void SerialLine::close() { fd_.reset(); }

void readMouseLink(char* buf, size_t size, const char* link) {
    if (size == 0) return;
    std::memset(buf, 0, size);
    ssize_t n = ::readlink(link, buf, size - 1);
    if (n < 0) buf[0] = '\0';
}

}  // namespace qor
