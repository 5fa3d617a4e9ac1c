#include "event_log.h"

#include <syslog.h>

#include <cstdio>

#include "atomic_file.h"
#include "unique_file.h"

namespace qor {

bool readEventsNewestFirst(const char* path, size_t max, std::vector<event>& out) {
    out.clear();
    UniqueFile f(std::fopen(path, "r"));
    if (!f) return false;
    if (std::fseek(f.get(), -static_cast<long>(sizeof(event)), SEEK_END) != 0) return true;
    while (out.size() < max) {
        event e{};
        if (std::fread(&e, 1, sizeof e, f.get()) != sizeof e) break;
        out.push_back(e);
        if (std::fseek(f.get(), -2 * static_cast<long>(sizeof e), SEEK_CUR) != 0) break;
    }
    return true;
}

bool EventList::loadEvents(const char* path) {
    events_.clear();
    std::vector<event> read;
    if (!readEventsNewestFirst(path, kMaxEvents, read)) return false;
    events_.assign(read.begin(), read.end());
    return true;
}

void EventList::recordEvent(int32_t kind, int32_t now) {
    while (events_.size() >= kMaxEvents) events_.pop_back();
    events_.push_front(event{now, kind});
}

bool EventList::saveEvents(const char* path) const {
    std::vector<event> image(events_.rbegin(), events_.rend());
    return replaceFile(path, image.data(), image.size() * sizeof(event));
}

bool appendEvent(int32_t kind, int32_t now, const char* path) {
    UniqueFile f(std::fopen(path, "a+"));
    if (!f) {
        syslog(LOG_ERR, "%s", "event file open error!");
        return false;
    }
    std::fseek(f.get(), 0, SEEK_END);
    event e{now, kind};
    return std::fwrite(&e, 1, sizeof e, f.get()) == sizeof e;
}

}  // namespace qor
