#include "text_format.h"

#include <cstdio>
#include <cstring>

namespace qorwin {

bool IsSingleConversionFormat(const char* fmt, FormatArg kind) {
    if (fmt == nullptr) return false;
    int conversions = 0;
    for (const char* p = fmt; *p != '\0'; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p == '%') continue;
        while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0') ++p;
        while (*p >= '0' && *p <= '9') ++p;
        if (*p == '$') return false;
        if (*p == '.') {
            ++p;
            while (*p >= '0' && *p <= '9') ++p;
        }
        bool ok = kind == FormatArg::Int ? (*p == 'd' || *p == 'i' || *p == 'u') : *p == 's';
        if (!ok) return false;  // also catches '*', length modifiers and a '%' at the end
        ++conversions;
    }
    return conversions == 1;
}

void CopyText(char* out, std::size_t size, const char* text) {
    if (out == nullptr || size == 0) return;
    if (text == nullptr) text = "";
    std::size_t len = std::strlen(text);
    if (len >= size) len = size - 1;
    std::memcpy(out, text, len);
    out[len] = '\0';
}

void FormatWithInt(const char* fmt, int value, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    if (IsSingleConversionFormat(fmt, FormatArg::Int)) {
        std::snprintf(out, size, fmt, value);
    } else {
        std::snprintf(out, size, "%s %d", fmt ? fmt : "", value);
    }
}

void FormatWithString(const char* fmt, const char* value, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    if (value == nullptr) value = "";
    if (IsSingleConversionFormat(fmt, FormatArg::String)) {
        std::snprintf(out, size, fmt, value);
    } else {
        std::snprintf(out, size, "%s %s", fmt ? fmt : "", value);
    }
}

}  // namespace qorwin
