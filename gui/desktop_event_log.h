// The desktop's event store as the engine sees it: the in-memory list, written
// to the file at the end of the run and before the machine is halted.
#pragma once

#include <string>

#include "engine_io.h"
#include "event_log.h"

namespace qor::gui {

class DesktopEventLog : public EventSink {
public:
    DesktopEventLog(Clock& clock, std::string path) : clock_(clock), path_(std::move(path)) {}

    bool load() { return list_.loadEvents(path_.c_str()); }
    bool save() const { return list_.saveEvents(path_.c_str()); }

    void recordEvent(int32_t kind) override {
        list_.recordEvent(kind, static_cast<int32_t>(clock_.now()));
    }
    void flush() override { save(); }

    const EventList& list() const { return list_; }
    EventList& list() { return list_; }

private:
    Clock& clock_;
    std::string path_;
    EventList list_;
};

}  // namespace qor::gui
