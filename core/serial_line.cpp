#include "serial_line.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include "line_watch.h"

namespace qor {

LineState UpsLine::probeLine(Clock& clock) {
    setLines(0);
    clock.sleepMicros(settleMicros());
    int status = readStatus();
    bool cd = (status & kLineCar) != 0;
    bool cts = (status & kLineCts) != 0;
    if (cd && cts) return LineAcOk;
    if (cd) return LineAcFail;
    if (cts) return LineBatteryLow;
    return LineNoUps;
}

void SerialLine::stopWatch() {
    if (watch_ != nullptr) watch_->stop();
}

int SerialLine::open(const char* path) {
    stopWatch();
    lastWord_ = -1;
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
    int r = ::ioctl(fd_.get(), TIOCMSET, &word);
    if (r != 0) {
        lastWord_ = -1;
    } else if (word != lastWord_) {
        lastWord_ = word;
        wordSince_ = std::chrono::steady_clock::now();
    }
    return r;
}

long SerialLine::settleMicros() {
    bool soon = soon_;
    soon_ = false;
    if (!soon || lastWord_ != kLineRts) return kSettleMicros;
    auto up = std::chrono::steady_clock::now() - wordSince_;
    return up >= std::chrono::microseconds(kSettleMicros) ? kBounceMicros : kSettleMicros;
}

int SerialLine::readStatus() {
    if (!fd_) return 0;
    int status = 0;
    if (::ioctl(fd_.get(), TIOCMGET, &status) != 0) return 0;
    return status;
}

void SerialLine::close() {
    stopWatch();
    fd_.reset();
}

void readMouseLink(char* buf, size_t size, const char* link) {
    if (size == 0) return;
    std::memset(buf, 0, size);
    ssize_t n = ::readlink(link, buf, size - 1);
    if (n < 0) buf[0] = '\0';
}

}  // namespace qor
