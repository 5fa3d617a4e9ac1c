// Where the notification path reports progress and failure: standard output
// (desktop only: the console's standard output is its screen), standard error
// and the system log at error priority (both editions).
#pragma once

#include "ups_status.h"

namespace qor {

class NotifyLog {
public:
    virtual ~NotifyLog() = default;
    // Text exactly as given, no line end added. Dropped by the console edition.
    virtual void out(const char* text) = 0;
    virtual void err(const char* text) = 0;
    // One system-log line; the text is data, never a format.
    virtual void sys(const char* text) = 0;
    virtual Edition edition() const = 0;
    bool console() const { return edition() == Edition::Console; }
};

// The real outputs. Writes go straight to the descriptors (no stdio lock), so
// the dialling child of a multi-threaded program may use it after fork.
class SystemNotifyLog : public NotifyLog {
public:
    explicit SystemNotifyLog(Edition edition) : edition_(edition) {}
    void out(const char* text) override;
    void err(const char* text) override;
    void sys(const char* text) override;
    Edition edition() const override { return edition_; }

private:
    Edition edition_;
};

}  // namespace qor
