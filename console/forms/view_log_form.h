// "View Logs": the event log as a ruled table, seven events a page, newest
// first.
#pragma once

#include "console_form.h"
#include "event_log.h"
#include "log_pages.h"

namespace qor::console {

class CViewLogForm : public CConsoleForm {
public:
    explicit CViewLogForm(const char* path);

private:
    int onEnter() override;
    void beforeKey() override;
    void drawTable();

    LogPages pages_;
    CField* prev_;
    CField* next_;
    CField* total_;
};

}  // namespace qor::console
