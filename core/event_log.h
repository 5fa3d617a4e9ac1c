// The event log /etc/Qor.event: raw 8-byte records, oldest first.
#pragma once

#include <cstddef>
#include <deque>
#include <vector>

#include "ups_status.h"

namespace qor {

constexpr const char* kEventPath = "/etc/Qor.event";
constexpr size_t kMaxEvents = 1000;

// Reads at most `max` records from the end of the file backwards, so the
// result is newest first and a length that is not a multiple of 8 loses its
// leading remainder. False when the file cannot be opened.
bool readEventsNewestFirst(const char* path, size_t max, std::vector<event>& out);

// The desktop's in-memory log: newest first, at most 1000 records.
class EventList {
public:
    bool loadEvents(const char* path = kEventPath);
    void recordEvent(int32_t kind, int32_t now);
    // Replaces the file with the list, oldest first. On failure the file keeps
    // its old contents and the list is untouched.
    bool saveEvents(const char* path = kEventPath) const;

    size_t size() const { return events_.size(); }
    bool empty() const { return events_.empty(); }
    const event& at(size_t i) const { return events_.at(i); }  // 0 is the newest
    void clear() { events_.clear(); }

private:
    std::deque<event> events_;
};

// The console's form: appends one record at once. False (after the system-log
// line "event file open error!") when the file cannot be opened, and (after
// "event file write error!") when the record did not reach the file; a record
// only partly written is cut off again, so the stored ones stay readable.
bool appendEvent(int32_t kind, int32_t now, const char* path = kEventPath);

}  // namespace qor
