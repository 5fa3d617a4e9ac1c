#include "notify_log.h"

#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qor {

namespace {
void writeAll(int fd, const char* text) {
    size_t left = std::strlen(text);
    while (left > 0) {
        ssize_t n = ::write(fd, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}
}  // namespace

void SystemNotifyLog::out(const char* text) {
    if (edition_ == Edition::Desktop) writeAll(STDOUT_FILENO, text);
}

void SystemNotifyLog::err(const char* text) { writeAll(STDERR_FILENO, text); }

void SystemNotifyLog::sys(const char* text) { syslog(LOG_ERR, "%s", text); }

}  // namespace qor
