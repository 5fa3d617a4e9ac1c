#include "pager_digits.h"

#include <cstdio>

namespace qor::common {

std::string pagerCodeDigits(int32_t code) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%.2d", static_cast<int>(code));
    return digits;
}

std::string pagerDialText(const char* head, const char* number, const char* pauses, int32_t code) {
    std::string text;
    text += head != nullptr ? head : "";
    text += number != nullptr ? number : "";
    text += pauses != nullptr ? pauses : "";
    text += pagerCodeDigits(code);
    text += '#';
    return text;
}

}  // namespace qor::common
