#include "event_log.h"

#include <syslog.h>
#include <unistd.h>

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
    // Written past the stream's buffer, so a failed write is known here and
    // fclose has nothing left to write after the file was cut back.
    int fd = fileno(f.get());
    off_t before = ::lseek(fd, 0, SEEK_END);
    event e{now, kind};
    bool written = writeAll(fd, &e, sizeof e);
    if (!written && before >= 0) {
        // Records are counted from the end of the file: a torn one would shift
        // every older record, so cut the file back to what it held.
        if (::ftruncate(fd, before) != 0) {
            // Nothing more can be done for the file here.
        }
    }
    bool closed = closeChecked(f);
    if (!written || !closed) {
        syslog(LOG_ERR, "%s", "event file write error!");
        return false;
    }
    return true;
}

}  // namespace qor
