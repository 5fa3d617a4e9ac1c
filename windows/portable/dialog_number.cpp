#include "dialog_number.h"

#include <cstdio>

namespace qorwin {

NumberCheck CheckDialogInteger(const std::string& text, int min, int max, int* value) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto blank = [&](std::size_t k) { return text[k] == ' ' || text[k] == '\t'; };
    while (i < n && blank(i)) ++i;
    bool negative = false;
    if (i < n && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    std::size_t digits = 0;
    long long v = 0;
    bool huge = false;
    for (; i < n && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        v = v * 10 + (text[i] - '0');
        if (v > 0x7FFFFFFFLL) {
            huge = true;
            v = 0x7FFFFFFFLL;  // keeps the accumulator bounded
        }
    }
    while (i < n && blank(i)) ++i;
    if (digits == 0 || i != n) return NumberCheck::NotInteger;
    if (negative) v = -v;
    if (huge || v < min || v > max) return NumberCheck::OutOfRange;
    if (value) *value = static_cast<int>(v);
    return NumberCheck::Ok;
}

std::string NumberCheckMessage(NumberCheck result, int min, int max) {
    switch (result) {
    case NumberCheck::Ok: return std::string();
    case NumberCheck::NotInteger: return "Please enter an integer.";
    case NumberCheck::OutOfRange: break;
    }
    char text[96];
    std::snprintf(text, sizeof text, "Please enter an integer between %d and %d.", min, max);
    return text;
}

}  // namespace qorwin
