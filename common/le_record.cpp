#include "le_record.h"

#include <cstring>

namespace qor::common {

namespace {
bool fits(std::size_t size, std::size_t offset, std::size_t width) { return offset <= size && width <= size - offset; }

std::size_t boundedLength(const char* text, std::size_t max) {
    std::size_t n = 0;
    while (n < max && text[n] != '\0') ++n;
    return n;
}
}  // namespace

uint32_t getLe32(const unsigned char* buf, std::size_t size, std::size_t offset) {
    if (buf == nullptr || !fits(size, offset, 4)) return 0;
    const unsigned char* p = buf + offset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

int32_t getLe32s(const unsigned char* buf, std::size_t size, std::size_t offset) {
    uint32_t u = getLe32(buf, size, offset);
    int32_t s;
    std::memcpy(&s, &u, sizeof s);  // two's complement, without an out-of-range conversion
    return s;
}

bool putLe32(unsigned char* buf, std::size_t size, std::size_t offset, uint32_t value) {
    if (buf == nullptr || !fits(size, offset, 4)) return false;
    unsigned char* p = buf + offset;
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
    p[2] = static_cast<unsigned char>(value >> 16);
    p[3] = static_cast<unsigned char>(value >> 24);
    return true;
}

bool putText(unsigned char* buf, std::size_t size, std::size_t offset, std::size_t width, const char* text) {
    if (buf == nullptr || width == 0 || !fits(size, offset, width)) return false;
    std::size_t len = text != nullptr ? boundedLength(text, width - 1) : 0;
    if (len > 0) std::memcpy(buf + offset, text, len);
    std::memset(buf + offset + len, 0, width - len);
    return true;
}

std::size_t getText(const unsigned char* buf, std::size_t size, std::size_t offset, std::size_t width, char* out,
                    std::size_t cap) {
    if (out == nullptr || cap == 0) return 0;
    out[0] = '\0';
    if (buf == nullptr || !fits(size, offset, width)) return 0;
    const char* field = reinterpret_cast<const char*>(buf + offset);
    std::size_t len = boundedLength(field, width);
    if (len > cap - 1) len = cap - 1;
    std::memcpy(out, field, len);
    out[len] = '\0';
    return len;
}

}  // namespace qor::common
