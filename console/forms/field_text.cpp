#include "field_text.h"

#include <limits>

namespace qor::console {

std::string firstWord(const std::string& text) {
    size_t start = text.find_first_not_of(' ');
    if (start == std::string::npos) return std::string();
    size_t end = text.find(' ', start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string trimTrailing(const std::string& text) {
    size_t last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string blankToUnderscore(const std::string& text) {
    std::string out = trimTrailing(text);
    for (char& c : out) {
        if (c == ' ') c = '_';
    }
    return out;
}

int32_t leadingNumber(const std::string& text) {
    size_t i = text.find_first_not_of(' ');
    if (i == std::string::npos) return 0;
    bool negative = false;
    if (text[i] == '+' || text[i] == '-') {
        negative = text[i] == '-';
        ++i;
    }
    // Accumulate as a negative number so INT32_MIN is reachable too.
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 - (text[i] - '0');
        if (value < kMin) value = kMin;
    }
    if (!negative) {
        value = -value;
        if (value > std::numeric_limits<int32_t>::max()) value = std::numeric_limits<int32_t>::max();
    }
    return static_cast<int32_t>(value);
}

std::string entryInput(const std::string& shown, const std::string& stored, size_t width) {
    if (stored.size() > width && trimTrailing(shown) == trimTrailing(stored.substr(0, width))) return stored;
    return shown;
}

bool isChecked(const std::string& text) { return text.find(kChecked) != std::string::npos; }

}  // namespace qor::console
