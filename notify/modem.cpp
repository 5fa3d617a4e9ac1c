#include "modem.h"

#include "notify_env.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "bounded_text.h"
#include "line_reader.h"
#include "pager_digits.h"

namespace qor {

namespace {

using Steady = std::chrono::steady_clock;

long msLeft(Steady::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Steady::now()).count();
    return left > 0 ? static_cast<long>(left) : 0;
}

// The modem line as the chunk reader's byte stream. A wait that fails
// counts as a time-out, as a modem that said nothing.
class ModemLineSource : public common::ByteSource {
public:
    explicit ModemLineSource(int fd) : fd_(fd) {}
    // A raw line without minimum reads 0 when nothing is waiting; only a
    // line that polls readable and still gives nothing has ended.
    int read(unsigned char* buf, size_t cap, int timeoutMs) override {
        auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs);
        bool readable = false;
        for (;;) {
            ssize_t n = ::read(fd_, buf, cap);
            if (n > 0) return static_cast<int>(n);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return common::kReadFailed;
            if (readable) return common::kEndOfStream;
            long left = msLeft(deadline);
            if (left <= 0) return common::kTimedOut;
            struct pollfd p {fd_, POLLIN, 0};
            int r = poll(&p, 1, static_cast<int>(left));
            if (r < 0 && errno == EINTR) continue;
            if (r <= 0) return common::kTimedOut;
            readable = true;
        }
    }

private:
    int fd_;
};

// A chunk may keep growing for at most this many response time-outs, and a
// wait for a particular answer lasts at most this many, so a modem (or a line
// full of noise) that never stops talking cannot hold the worker for ever.
constexpr int kChattyFactor = 3;

}  // namespace

ModemCommands ModemCommands::fromSettings(const UpsSettings& s) {
    // The settings fields are 256 bytes; only their first 127 characters fit,
    // and no more than those are read.
    ModemCommands c{};
    copyBounded(c.init, s.modemInit);
    copyBounded(c.dial, s.modemDial);
    copyBounded(c.hangup, s.modemHangup);
    copyBounded(c.escape, s.modemEscape);
    return c;
}

ModemCommands ModemCommands::defaults() {
    ModemCommands c{};
    copyBounded(c.init, "ATZ");
    copyBounded(c.dial, "ATDT");
    copyBounded(c.hangup, "+++ATH");
    copyBounded(c.escape, "+++");
    return c;
}

speed_t modemSpeedCode(int32_t bps) {
    switch (bps) {
    case 2400: return B2400;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    default: return B38400;
    }
}

void makeRawModemLine(struct termios& t, int32_t flowControl, int32_t bps) {
    t.c_iflag = IGNBRK | IGNPAR;
    t.c_oflag = 0;
    t.c_lflag = 0;
    t.c_cflag &= ~(CSIZE | CSTOPB | PARENB | PARODD);
    t.c_cflag |= CS8 | CREAD | CLOCAL;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    switch (flowControl) {
    case 0: t.c_cflag |= CRTSCTS; break;
    case 1:
        t.c_iflag |= IXON | IXOFF;
        t.c_cc[VSTART] = 17;  // DC1
        t.c_cc[VSTOP] = 19;   // DC3
        break;
    case 2:
        t.c_cflag &= ~CRTSCTS;
        t.c_iflag &= ~(IXON | IXOFF);
        break;
    default: break;
    }
    speed_t code = modemSpeedCode(bps);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
}

CModem::CModem(NotifyLog* log, Clock* clock) : commands_(ModemCommands::defaults()), log_(log), clock_(clock) {}

CModem::~CModem() { close(); }

void CModem::setStatus(const char* text) {
    copyBounded(status_, sizeof status_, text);
}

void CModem::print(const char* text) {
    if (log_ != nullptr) log_->out(text);
}

void CModem::sleepMs(long ms) { notifySleepMs(clock_, ms); }

int CModem::timeoutMs() const {
    long sec = params_ != nullptr ? params_->responseTimeoutSec : 30;
    if (sec < 0) sec = 0;
    if (sec > 86400) sec = 86400;  // a wild settings value must not overflow
    return static_cast<int>(sec * 1000);
}

void CModem::closeDescriptor() {
    fd_.reset();
    haveSaved_ = false;
}

// tcdrain() waits without limit: with hardware flow control and CTS held low
// the output never leaves. Poll the output queue instead.
bool CModem::waitOutputDrained(int boundMs) {
    auto deadline = Steady::now() + std::chrono::milliseconds(boundMs);
    for (;;) {
        int queued = 0;
        if (ioctl(fd_.get(), TIOCOUTQ, &queued) != 0 || queued <= 0) return true;
        if (Steady::now() >= deadline) return false;
        notifySleepMs(nullptr, 10);
    }
}

// "Apply once output has drained", without the unbounded wait of TCSADRAIN.
bool CModem::applyDrained(const struct termios& t, bool flushInput) {
    waitOutputDrained(kBreakBoundMs);
    if (flushInput) tcflush(fd_.get(), TCIFLUSH);
    return tcsetattr(fd_.get(), TCSANOW, &t) == 0;
}

bool CModem::open(const char* path) {
    if (fd_) close();
    fd_.reset(::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    haveSaved_ = false;
    return static_cast<bool>(fd_);
}

bool CModem::setUp(int fd) {
    if (fd != -1) {
        if (fd_.get() == fd) {
            // Already ours: keep it.
        } else if (fd < 0) {
            closeDescriptor();  // a negative descriptor fails at once
        } else {
            fd_.reset(fd);
        }
        haveSaved_ = false;
    }
    if (!fd_) return false;

    if (params_ != nullptr && params_->carrierCheck != 0) {
        int lines = 0;
        if (ioctl(fd_.get(), TIOCMGET, &lines) != 0) {
            setStatus("Sorry, can't detect state of CD line.");
            closeDescriptor();
            return false;
        }
        if ((lines & TIOCM_CAR) == 0) {
            setStatus("Sorry, the modem is not ready.");
            closeDescriptor();
            return false;
        }
    }

    waitOutputDrained(kBreakBoundMs);
    tcflush(fd_.get(), TCIOFLUSH);

    if (tcgetattr(fd_.get(), &saved_) != 0) {
        setStatus("Sorry, the modem is busy.");
        closeDescriptor();
        return false;
    }
    haveSaved_ = true;
    working_ = saved_;
    makeRawModemLine(working_, params_ != nullptr ? params_->flowControl : 2,
                     params_ != nullptr ? params_->speed : 38400);
    waitOutputDrained(kBreakBoundMs);
    if (tcsetattr(fd_.get(), TCSANOW, &working_) != 0) {
        setStatus("Sorry, the modem is busy.");
        closeDescriptor();
        return false;
    }
    setStatus("CModem Ready.");
    return true;
}

bool CModem::close() {
    if (!fd_) return true;
    bool ok = true;
    // Pending output is discarded only when it will not leave (a stalled
    // line); output on its way, such as the hang-up command, is let go.
    bool drained = waitOutputDrained(kBreakBoundMs);
    tcflush(fd_.get(), drained ? TCIFLUSH : TCIOFLUSH);
    if (haveSaved_ && tcsetattr(fd_.get(), TCSANOW, &saved_) != 0) {
        setStatus("Can't restore tty settings: tcsetattr()\n");
        ok = false;
    }
    closeDescriptor();
    return ok;
}

void CModem::writeAll(const char* data, size_t len) {
    // The line is non-blocking; a stalled line (flow control) gets one
    // response time-out in all before the rest is given up.
    auto deadline = Steady::now() + std::chrono::milliseconds(timeoutMs());
    while (len > 0 && fd_) {
        ssize_t n = ::write(fd_.get(), data, len);
        if (n > 0) {
            data += n;
            len -= static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            long left = msLeft(deadline);
            if (left <= 0) return;
            struct pollfd p {fd_.get(), POLLOUT, 0};
            poll(&p, 1, static_cast<int>(left > 100 ? 100 : left));
            continue;
        }
        return;
    }
}

bool CModem::sendCommand(const char* text) {
    writeAll(text, std::strlen(text));
    int ending = params_ != nullptr ? params_->lineEnding : 0;
    switch (ending) {
    case 0: writeAll("\r\n", 2); break;
    case 1: writeAll("\n", 1); break;
    case 2: writeAll("\r", 1); break;
    default: break;
    }
    return true;
}

int CModem::readAnswer() {
    std::memset(rx_, 0, sizeof rx_);
    if (!fd_) {
        print("Timeout ....\n");
        return -1;
    }
    int timeout = timeoutMs();
    ModemLineSource line(fd_.get());
    common::ReadResult r = common::readChunk(line, rx_, sizeof rx_, {timeout, timeout * kChattyFactor + 1000});
    if (r.end == common::ReadEnd::TimedOut) {
        print("Timeout ....\n");
        return -1;
    }
    if (r.end == common::ReadEnd::Failed) {
        print("Error ....\n");
        return -1;
    }
    return static_cast<int>(r.length);
}

void CModem::drainInput() {
    if (!fd_) return;
    // Bounded, so a line that never falls quiet cannot keep us here.
    char junk[256];
    for (int i = 0; i < 256; ++i) {
        ssize_t n = ::read(fd_.get(), junk, sizeof junk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
    }
}

template <class Stop>
bool CModem::readAnswersUntil(Stop stop) {
    auto deadline = Steady::now() + std::chrono::milliseconds(static_cast<long>(timeoutMs()) * kChattyFactor + 1000);
    for (;;) {
        if (readAnswer() < 0) return false;
        if (stop(rx_)) return true;
        if (Steady::now() >= deadline) return false;
    }
}

bool CModem::initialise() {
    sendCommand(commands_.hangup);
    sleepMs(3000);
    sendCommand(commands_.init);
    drainInput();
    bool ok = readAnswersUntil([](const char* a) { return std::strstr(a, "OK") != nullptr; });
    if (ok) {
        print(rx_);
        print("\n");
        return true;
    }
    print("Modem init is failed.\n");
    return false;
}

bool CModem::connect(const char* phone) {
    char text[kModemCommandLen + kTextLen];
    std::snprintf(text, sizeof text, "%s%s", commands_.dial, phone);
    sendCommand(text);
    drainInput();
    bool ok = readAnswersUntil([](const char* a) { return std::strstr(a, "CONNECT") != nullptr; });
    if (ok) {
        print(rx_);
        print("\n");
        return true;
    }
    print("Modem Connect is failed.\n");
    return false;
}

bool CModem::dial(const char* phone) {
    if (!fd_) return false;
    if (!initialise()) return false;
    if (!connect(phone)) return false;
    online_ = 1;
    return true;
}

bool CModem::page(const char* number, int32_t code) {
    std::string dialText = common::pagerDialText(commands_.dial, number, "# , , , , , , , ", code);
    const char* text = dialText.c_str();
    print(text);
    print("\n ");
    if (!initialise()) {
        hangUp();
        return false;
    }
    sendCommand(text);
    // Busy, no dial tone and silence all end the wait; the page counts as sent.
    readAnswersUntil([](const char* a) {
        return std::strchr(a, '~') != nullptr || std::strstr(a, "VCON") != nullptr ||
               std::strstr(a, "NODIALTONE") != nullptr || std::strstr(a, "BUSY") != nullptr;
    });
    hangUp();
    return true;
}

void CModem::escape() {
    if (fd_) tcflush(fd_.get(), TCIOFLUSH);
    sleepMs(1060);
    if (fd_) {
        writeAll(commands_.escape, std::strlen(commands_.escape));
        // Only input is thrown away here: discarding output as well could
        // drop the escape itself before it has left the line.
        waitOutputDrained(kBreakBoundMs);
        tcflush(fd_.get(), TCIFLUSH);
    }
    sleepMs(1060);
    online_ = 0;
}

bool CModem::hangUp() {
    if (!fd_) return false;
    if (online_) escape();
    sendCommand(commands_.hangup);
    sleepMs(10);

    // The break only goes out once pending output has left; a line stalled by
    // flow control would hold it for ever, so that wait is bounded instead.
    if (!waitOutputDrained(kBreakBoundMs)) {
        print("alarm_handler(): Received SIGALRM\n");
        close();
        setStatus("Sorry, the modem doesn't respond.");
        return false;
    }
    tcsendbreak(fd_.get(), 0);
    if (!haveSaved_) return true;  // never set up: no line settings to cycle

    struct termios t = working_;
    cfsetispeed(&t, B0);
    cfsetospeed(&t, B0);
    applyDrained(t, true);  // speed 0 drops DTR
    sleepMs(10);
    t = working_;
    speed_t code = modemSpeedCode(params_ != nullptr ? params_->speed : 38400);
    cfsetispeed(&t, code);
    cfsetospeed(&t, code);
    applyDrained(t, true);
    return true;
}

}  // namespace qor
