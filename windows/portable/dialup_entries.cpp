#include "dialup_entries.h"

#include <cstring>

namespace qorwin {
namespace {

void PutSize(std::vector<unsigned char>& buf) {
    for (int i = 0; i < 4; ++i) buf[i] = static_cast<unsigned char>(kDialupEntrySize >> (8 * i));
}

}  // namespace

std::vector<std::string> ListDialupEntries(const DialupEnumCall& call) {
    std::vector<std::string> names;
    if (!call) return names;
    std::vector<unsigned char> buf(kDialupEntrySize, 0);
    PutSize(buf);
    std::uint32_t bytes = kDialupEntrySize;
    std::uint32_t entries = 0;
    std::uint32_t rc = call(buf.data(), &bytes, &entries);
    if (rc == kDialupBufferTooSmall) {
        std::uint32_t count = (bytes + kDialupEntrySize - 1) / kDialupEntrySize;
        if (count == 0) return names;
        if (count > kDialupMaxEntries) count = kDialupMaxEntries;
        buf.assign(static_cast<std::size_t>(count) * kDialupEntrySize, 0);
        PutSize(buf);
        bytes = count * kDialupEntrySize;
        entries = 0;
        rc = call(buf.data(), &bytes, &entries);
    }
    if (rc != 0) return names;
    const std::size_t held = buf.size() / kDialupEntrySize;
    if (entries > held) entries = static_cast<std::uint32_t>(held);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const char* name = reinterpret_cast<const char*>(buf.data() + i * kDialupEntrySize + kDialupNameOffset);
        const void* end = std::memchr(name, '\0', kDialupNameSize);
        std::size_t len = end ? static_cast<std::size_t>(static_cast<const char*>(end) - name) : kDialupNameSize;
        names.emplace_back(name, len);
    }
    return names;
}

}  // namespace qorwin
