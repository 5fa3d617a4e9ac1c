#include "notify_log.h"

#include <syslog.h>
#include <unistd.h>

#include <cstring>

#include "atomic_file.h"

namespace qor {

namespace {
void writeText(int fd, const char* text) { writeAll(fd, text, std::strlen(text)); }
}  // namespace

void SystemNotifyLog::out(const char* text) {
    if (edition_ == Edition::Desktop) writeText(STDOUT_FILENO, text);
}

void SystemNotifyLog::err(const char* text) { writeText(STDERR_FILENO, text); }

void SystemNotifyLog::sys(const char* text) { syslog(LOG_ERR, "%s", text); }

}  // namespace qor
