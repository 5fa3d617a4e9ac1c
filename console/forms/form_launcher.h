// Entry points through which the console menus open the setting forms and the
// log viewer. Each creates its form from the current record, runs it until it
// ends and destroys it.
#pragma once

#include "extra_in_force.h"
#include "ups_settings.h"

namespace qor::console {

void runUpsSetForm(UpsSettings& settings);
void runMsgSetForm(UpsSettings& settings);
void runEmailSetForm(UpsSettings& settings);
void runPagerSetForm(UpsSettings& settings);
void runViewLogForm(const char* eventPath);
void runMoreSetForm(ExtraInForce& extra);

}  // namespace qor::console
