// The log viewer's model: the newest events of the event file, seven to a
// page, and the texts of each table row.
#pragma once

#include <string>
#include <vector>

#include "event_log.h"

namespace qor::console {

constexpr int kRowsPerPage = 7;

// Name of an event kind in the viewer's table; empty for an unknown kind.
const char* logEventName(int32_t kind);

// "total: N, Press any key to display".
std::string totalText(int count);

struct LogRow {
    bool used;  // false: the row is past the last event and stays blank
    std::string number, date, time, name;
};

class LogPages {
public:
    // `newestFirst` holds at most kMaxEvents records; more are ignored.
    explicit LogPages(std::vector<event> newestFirst);
    // Reads the file newest first; a missing file gives an empty log.
    static LogPages fromFile(const char* path);

    int count() const { return static_cast<int>(entries_.size()); }
    int page() const { return page_; }
    int pages() const { return count() / kRowsPerPage + 1; }

    void next();  // at most the last page
    void prev();  // at least page 1

    // Row r = 1..7 of the current page; date and time in local time.
    LogRow row(int r) const;

private:
    std::vector<event> entries_;
    int page_ = 1;
};

}  // namespace qor::console
