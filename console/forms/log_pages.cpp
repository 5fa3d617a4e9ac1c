#include "log_pages.h"

#include <cstdio>
#include <ctime>

namespace qor::console {

const char* logEventName(int32_t kind) {
    switch (kind) {
    case EvAcFail: return "AC Fail!";
    case EvBatteryLow: return "Battery Low!";
    case EvAcRecoveried: return "AC Recoveried!";
    case EvConnectFail: return "Connection Fail!";
    default: return "";
    }
}

std::string totalText(int count) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "total: %d, Press any key to display", count);
    return buf;
}

LogPages::LogPages(std::vector<event> newestFirst) : entries_(std::move(newestFirst)) {
    if (entries_.size() > kMaxEvents) entries_.resize(kMaxEvents);
}

LogPages LogPages::fromFile(const char* path) {
    std::vector<event> read;
    if (!readEventsNewestFirst(path, kMaxEvents, read)) read.clear();
    return LogPages(std::move(read));
}

void LogPages::next() {
    if (page_ < pages()) ++page_;
}

void LogPages::prev() {
    if (page_ > 1) --page_;
}

LogRow LogPages::row(int r) const {
    LogRow out{false, {}, {}, {}, {}};
    if (r < 1 || r > kRowsPerPage) return out;
    long i = static_cast<long>(page_ - 1) * kRowsPerPage + (r - 1);
    if (i >= count()) return out;
    const event& e = entries_[static_cast<size_t>(i)];
    out.used = true;
    out.number = std::to_string(i + 1);
    time_t t = e.time;
    struct tm local {};
    char buf[32];
    if (localtime_r(&t, &local) != nullptr) {
        if (std::strftime(buf, sizeof buf, "%Y-%m-%d", &local) > 0) out.date = buf;
        if (std::strftime(buf, sizeof buf, "%T", &local) > 0) out.time = buf;
    }
    out.name = logEventName(e.kind);
    return out;
}

}  // namespace qor::console
