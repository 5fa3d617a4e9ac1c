// The pager pass: the modem dials every configured pager number and sends
// the event code as touch tones.
#pragma once

#include <cstdint>

#include "modem.h"
#include "notify_env.h"
#include "ups_settings.h"

namespace qor {

// The pager line set-up taken from the dial-up modem settings.
ModemParams pagerModemParams(const UpsSettings& s);

// True when the text holds at least one decimal digit.
bool pagerNumberUsable(const char* number);

// Pages one number with `code`, up to three attempts; true once a page went
// out (the modem acknowledged its set-up).
bool pageNumber(int32_t code, const char* number, const UpsSettings& s, const NotifyEnv& env);

// Calls every usable number of `s` (a copy taken at the start of the pass).
void runPagerPass(int32_t code, const UpsSettings& s, const NotifyEnv& env);

}  // namespace qor
