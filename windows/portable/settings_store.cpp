#include "settings_store.h"

#include <cstring>
#include <vector>

namespace qorwin {

bool ReadDword(SettingsStore& store, const char* name, std::uint32_t& value) {
    std::uint32_t v = 0;
    std::uint32_t got = 0;
    if (!store.Read(name, ValueKind::Dword, &v, sizeof v, &got) || got != sizeof v) return false;
    value = v;
    return true;
}

bool WriteDword(SettingsStore& store, const char* name, std::uint32_t value) {
    return store.Write(name, ValueKind::Dword, &value, sizeof value);
}

bool ReadText(SettingsStore& store, const char* name, char* buf, std::size_t size) {
    if (buf == nullptr || size == 0) return false;
    std::vector<char> tmp(size, '\0');
    std::uint32_t got = 0;
    if (!store.Read(name, ValueKind::String, tmp.data(), static_cast<std::uint32_t>(size), &got))
        return false;
    if (got > size) got = static_cast<std::uint32_t>(size);
    // A value stored without its terminator would otherwise run past the buffer.
    std::size_t len = 0;
    while (len < got && tmp[len] != '\0') ++len;
    if (len >= size) len = size - 1;
    std::memcpy(buf, tmp.data(), len);
    buf[len] = '\0';
    return true;
}

bool WriteText(SettingsStore& store, const char* name, const char* text) {
    if (text == nullptr) text = "";
    return store.Write(name, ValueKind::String, text,
                       static_cast<std::uint32_t>(std::strlen(text) + 1));
}

bool ReadBlock(SettingsStore& store, const char* name, void* buf, std::size_t size) {
    if (buf == nullptr || size == 0) return false;
    std::vector<unsigned char> tmp(size, 0);
    std::uint32_t got = 0;
    if (!store.Read(name, ValueKind::Binary, tmp.data(), static_cast<std::uint32_t>(size), &got))
        return false;
    std::memcpy(buf, tmp.data(), size);
    return true;
}

bool WriteBlock(SettingsStore& store, const char* name, const void* data, std::size_t size) {
    return store.Write(name, ValueKind::Binary, data, static_cast<std::uint32_t>(size));
}

}  // namespace qorwin
