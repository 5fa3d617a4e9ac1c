// The digits a pager receives for an event: the code as at least two
// decimal digits and the closing "#". The dial command around them (prefix,
// pauses, line end) is each edition's own and is passed in.
#pragma once

#include <cstdint>
#include <string>

namespace qor::common {

// "00" for 0, "07" for 7, "12" for 12 (printf "%.2d").
std::string pagerCodeDigits(int32_t code);

// head + number + pauses + digits + "#": the whole dial text of one page.
std::string pagerDialText(const char* head, const char* number, const char* pauses, int32_t code);

}  // namespace qor::common
