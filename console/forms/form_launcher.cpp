// Each entry builds its form from the current record, runs it and destroys
// it. Nothing thrown inside a form gets out to the menus.
#include "form_launcher.h"

#include "email_set_form.h"
#include "more_set_form.h"
#include "msg_set_form.h"
#include "pager_set_form.h"
#include "ups_set_form.h"
#include "view_log_form.h"

namespace qor::console {

namespace {
template <class Form, class... Args>
void runForm(Args&... args) noexcept {
    try {
        Form form(args...);
        form.run();
    } catch (...) {
        // The form could not be built (out of memory): it is not opened.
    }
}
}  // namespace

void runUpsSetForm(UpsSettings& settings) { runForm<CUpsSetForm>(settings); }
void runMsgSetForm(UpsSettings& settings) { runForm<CMsgSetForm>(settings); }
void runEmailSetForm(UpsSettings& settings) { runForm<CEmailSetForm>(settings); }
void runPagerSetForm(UpsSettings& settings) { runForm<CPagerSetForm>(settings); }
void runViewLogForm(const char* eventPath) { runForm<CViewLogForm>(eventPath); }
void runMoreSetForm(ExtraInForce& extra) { runForm<CMoreSetForm>(extra); }

}  // namespace qor::console
