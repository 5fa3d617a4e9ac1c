#include "termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace qor::gui {

namespace {

// The handler may only write to a descriptor; this is that descriptor, shared
// by nature with the signal handler of the process.
volatile sig_atomic_t gWriteFd = -1;

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};
struct sigaction gPrevious[3];

void onSignal(int signo) {
    int saved = errno;
    int fd = gWriteFd;
    if (fd >= 0) {
        unsigned char byte = static_cast<unsigned char>(signo);
        ssize_t n = ::write(fd, &byte, 1);
        (void)n;  // a full pipe already holds a request
    }
    errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    readEnd_.reset(fds[0]);
    writeEnd_.reset(fds[1]);
    gWriteFd = writeEnd_.get();
    notifier_ = std::make_unique<QSocketNotifier>(readEnd_.get(), QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) {
        struct sigaction sa {};
        sa.sa_handler = onSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(kSignals[i], &sa, &gPrevious[i]);
    }
}

TerminationSignals::~TerminationSignals() {
    if (!notifier_) return;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i) sigaction(kSignals[i], &gPrevious[i], nullptr);
    gWriteFd = -1;
}

void TerminationSignals::readPipe() {
    unsigned char buf[16];
    ssize_t n = ::read(readEnd_.get(), buf, sizeof buf);
    if (n > 0) emit terminationRequested(buf[n - 1]);
}

}  // namespace qor::gui
