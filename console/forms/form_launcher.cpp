// Placeholder until the forms exist: each entry returns at once, leaving the
// record untouched.
#include "form_launcher.h"

namespace qor::console {

void runUpsSetForm(UpsSettings&) {}
void runMsgSetForm(UpsSettings&) {}
void runEmailSetForm(UpsSettings&) {}
void runPagerSetForm(UpsSettings&) {}
void runViewLogForm() {}

}  // namespace qor::console
