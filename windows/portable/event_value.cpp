#include "event_value.h"

#include <cstdio>
#include <cstring>

namespace qorwin {

namespace {

// "%s%d" of the text with a comma and the mask into cap bytes, the text cut
// to fit; at least minSize bytes (zero padding) count as stored.
std::size_t Format(const char* text, int channels, unsigned char* out, std::size_t cap, std::size_t minSize) {
    std::memset(out, 0, cap);
    if (text == nullptr) text = "";
    char mask[16];
    int maskLen = std::snprintf(mask, sizeof mask, "%d", channels);
    if (maskLen < 0) maskLen = 0;
    // Room for the text: the whole value less the comma, the mask and the NUL.
    std::size_t room = cap - 1 - 1 - static_cast<std::size_t>(maskLen);
    std::size_t len = std::strlen(text);
    if (len > room) len = room;
    char* dst = reinterpret_cast<char*>(out);
    std::memcpy(dst, text, len);
    dst[len] = ',';
    std::memcpy(dst + len + 1, mask, static_cast<std::size_t>(maskLen));
    const std::size_t used = len + 1 + static_cast<std::size_t>(maskLen) + 1;
    return used > minSize ? used : minSize;
}

}  // namespace

void FormatEventValue(const char* text, int channels, unsigned char (&out)[kEventValueSize]) {
    Format(text, channels, out, sizeof out, sizeof out);
}

std::size_t FormatEventValue(const char* text, int channels, unsigned char (&out)[kEventValueMaxSize]) {
    char kept[kEventTextMax + 1] = {};
    if (text != nullptr) std::strncpy(kept, text, kEventTextMax);
    return Format(kept, channels, out, sizeof out, kEventValueSize);
}

EventValue ParseEventValue(const unsigned char* bytes, std::size_t size) {
    EventValue ev{};
    if (bytes == nullptr) return ev;
    const char* src = reinterpret_cast<const char*>(bytes);
    std::size_t len = 0;
    while (len < size && src[len] != '\0') ++len;

    std::size_t comma = 0;
    while (comma < len && src[comma] != ',') ++comma;
    std::size_t textLen = comma < sizeof ev.text ? comma : sizeof ev.text - 1;
    std::memcpy(ev.text, src, textLen);
    ev.text[textLen] = '\0';
    if (comma >= len) return ev;

    // Decimal number as atoi reads it: blanks, an optional sign, digits.
    std::size_t i = comma + 1;
    while (i < len && (src[i] == ' ' || src[i] == '\t')) ++i;
    bool negative = false;
    if (i < len && (src[i] == '-' || src[i] == '+')) negative = src[i++] == '-';
    long n = 0;
    while (i < len && src[i] >= '0' && src[i] <= '9') {
        if (n < 100000000L) n = n * 10 + (src[i] - '0');
        ++i;
    }
    ev.channels = static_cast<int>(negative ? -n : n);
    return ev;
}

}  // namespace qorwin
