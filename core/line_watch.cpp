#include "line_watch.h"

#include <linux/serial.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "serial_line.h"
#include "ups_status.h"

namespace qor {

namespace {

// Interrupts the thread's wait, which nothing on the port's side can end.
// SIGURG: ignored by default, so a stray one harms no process, and sent only
// with a socket owner set, which nothing here asks for.
constexpr int kStopSignal = SIGURG;

void onStopSignal(int) {}

void installStopHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_handler = onStopSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = 0;  // no SA_RESTART: the wait must end with EINTR
        sigaction(kStopSignal, &sa, nullptr);
    });
}

uint32_t unseen(uint32_t before, uint32_t now, bool changed) {
    uint32_t edges = now - before;  // the driver's counters wrap
    uint32_t explained = changed ? 1 : 0;
    return edges > explained ? (edges - explained) / 2 : 0;
}

}  // namespace

int lineBitsOfState(int32_t upsState) {
    switch (upsState) {
    case AcOk:
        return kLineCar | kLineCts;
    case AcFail:
        return kLineCar;
    case BatteryLow:
        return kLineCts;
    default:
        return 0;
    }
}

void PulseTally::note(const LineCounts& counts, int lineBits) {
    if (based_) {
        int changed = lineBits ^ lastBits_;
        pulses_ += unseen(last_.dcd, counts.dcd, (changed & kLineCar) != 0);
        pulses_ += unseen(last_.cts, counts.cts, (changed & kLineCts) != 0);
    }
    based_ = true;
    last_ = counts;
    lastBits_ = lineBits;
}

LineWatch::LineWatch() : wake_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) { installStopHandler(); }

bool LineWatch::takeWake() {
    uint64_t n = 0;
    return wake_ && ::read(wake_.get(), &n, sizeof n) == static_cast<ssize_t>(sizeof n);
}

void LineWatch::signalWake() {
    uint64_t one = 1;
    ssize_t n = ::write(wake_.get(), &one, sizeof one);
    (void)n;  // a full counter already holds a wake-up
}

bool LineWatch::readCounts(int fd, LineCounts& out) {
    serial_icounter_struct ic{};
    if (fd < 0 || ::ioctl(fd, TIOCGICOUNT, &ic) != 0) return false;
    out.dcd = static_cast<uint32_t>(ic.dcd);
    out.cts = static_cast<uint32_t>(ic.cts);
    return true;
}

void LineWatch::follow(int fd) {
    if (fd < 0) {
        stop();
        return;
    }
    if (thread_.joinable() && fd == fd_) return;  // watching it, or it refused
    stop();
    if (!wake_) return;
    fd_ = fd;
    stopping_.store(false);
    {
        std::lock_guard<std::mutex> lock(mu_);
        finished_ = false;
    }
    // Watching from the start: a change before the thread reaches the wait
    // is still seen, by the kernel's counters the wait compares against.
    state_.store(Watching, std::memory_order_release);
    thread_ = std::thread([this, fd] { run(fd); });
}

void LineWatch::run(int fd) {
    // Only the stop signal reaches this thread; the program's own signals
    // stay with the threads that expect them.
    sigset_t only;
    sigfillset(&only);
    sigdelset(&only, kStopSignal);
    pthread_sigmask(SIG_SETMASK, &only, nullptr);
    while (!stopping_.load()) {
        if (::ioctl(fd, TIOCMIWAIT, TIOCM_CD | TIOCM_CTS) == 0) {
            signalWake();
            continue;
        }
        if (errno == EINTR) continue;
        break;  // refused by the driver, not a tty, or hung up: the tick takes over
    }
    state_.store(Ended, std::memory_order_release);
    if (!stopping_.load()) signalWake();
    std::lock_guard<std::mutex> lock(mu_);
    finished_ = true;
    done_.notify_all();
}

void LineWatch::stop() {
    tally_.restart();
    if (!thread_.joinable()) return;
    stopping_.store(true);
    // A signal sent just before the thread enters its wait is lost; send
    // again until it has left.
    std::unique_lock<std::mutex> lock(mu_);
    while (!finished_) {
        pthread_kill(thread_.native_handle(), kStopSignal);
        done_.wait_for(lock, std::chrono::milliseconds(10));
    }
    lock.unlock();
    thread_.join();
    state_.store(Idle, std::memory_order_release);
    fd_ = -1;
    takeWake();  // a change of the port that is going away
}

void LineWatch::noteProbe(int fd, int32_t upsState) {
    LineCounts counts;
    if (readCounts(fd, counts)) tally_.note(counts, lineBitsOfState(upsState));
}

}  // namespace qor
