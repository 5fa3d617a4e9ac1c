// /etc/Qor.event of any length and content: the reader (newest first, from
// the end), the desktop's list and its save, and the console viewer's rows.
#include <cstring>
#include <string>
#include <vector>

#include "event_log.h"
#include "fuzz_support.h"
#include "log_pages.h"

using namespace qor;

namespace {

// Record i counted from the end of the file, as the reader must see it.
event fromEnd(const uint8_t* data, size_t size, size_t i) {
    event e;
    std::memcpy(&e, data + size - (i + 1) * sizeof e, sizeof e);
    return e;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 9000) return 0;  // a little past 1000 records
    fuzz::InputFile file("event", data, size);
    const char* path = file.path();
    size_t whole = size / sizeof(event);

    std::vector<event> read;
    FUZZ_CHECK(readEventsNewestFirst(path, kMaxEvents, read));
    FUZZ_CHECK(read.size() == (whole < kMaxEvents ? whole : kMaxEvents));
    for (size_t i = 0; i < read.size(); ++i) {
        event e = fromEnd(data, size, i);
        FUZZ_CHECK(read[i].time == e.time && read[i].kind == e.kind);
    }

    EventList list;
    FUZZ_CHECK(list.loadEvents(path));
    FUZZ_CHECK(list.size() == read.size());
    for (size_t i = 0; i < list.size(); ++i) FUZZ_CHECK(eventDisplayName(list.at(i).kind) != nullptr);
    list.recordEvent(EvAcFail, 1);
    FUZZ_CHECK(list.size() <= kMaxEvents && list.at(0).time == 1);

    // Saved and read again: the same list, oldest first on disk. The save
    // flushes to disk, so only some inputs take it.
    if (size % 64 == 0) {
        std::string saved = std::string(path) + ".saved";
        FUZZ_CHECK(list.saveEvents(saved.c_str()));
        std::vector<event> again;
        FUZZ_CHECK(readEventsNewestFirst(saved.c_str(), kMaxEvents, again));
        FUZZ_CHECK(again.size() == list.size());
        for (size_t i = 0; i < again.size(); ++i)
            FUZZ_CHECK(again[i].time == list.at(i).time && again[i].kind == list.at(i).kind);
    }

    console::LogPages pages = console::LogPages::fromFile(path);
    FUZZ_CHECK(static_cast<size_t>(pages.count()) == read.size());
    for (int p = 0; p < 3; ++p) {
        for (int r = 0; r <= console::kRowsPerPage + 1; ++r) {
            console::LogRow row = pages.row(r);
            FUZZ_CHECK(row.date.size() < 32 && row.time.size() < 32);
        }
        pages.next();
    }
    return 0;
}
