// An in-memory stand-in for the registry key.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "settings_store.h"

namespace qorwin::testing {

class MemoryStore : public SettingsStore {
public:
    struct Value {
        ValueKind kind;
        std::vector<unsigned char> bytes;
    };

    bool keyOpens = true;     // false: the key can neither be opened nor created
    int writes = 0;
    std::map<std::string, Value> values;

    bool EnsureKey() override { return keyOpens; }
    bool Exists(const char* name) override { return keyOpens && values.count(name) != 0; }
    bool Read(const char* name, ValueKind kind, void* buf, std::uint32_t size,
              std::uint32_t* got) override {
        if (!keyOpens) return false;
        auto it = values.find(name);
        if (it == values.end()) return false;
        if (kind != ValueKind::Binary && it->second.kind != kind) return false;
        if (it->second.bytes.size() > size) return false;  // as ERROR_MORE_DATA
        // An empty value has no data pointer to copy from.
        if (!it->second.bytes.empty()) std::memcpy(buf, it->second.bytes.data(), it->second.bytes.size());
        if (got) *got = static_cast<std::uint32_t>(it->second.bytes.size());
        return true;
    }
    bool Write(const char* name, ValueKind kind, const void* data, std::uint32_t size) override {
        if (!keyOpens) return false;
        const auto* p = static_cast<const unsigned char*>(data);
        values[name] = Value{kind, std::vector<unsigned char>(p, p + size)};
        ++writes;
        return true;
    }

    void Put(const std::string& name, ValueKind kind, const std::string& bytes) {
        values[name] = Value{kind, std::vector<unsigned char>(bytes.begin(), bytes.end())};
    }
};

// The stored bytes of a value as a string (throws when it is missing).
inline std::string Bytes(const MemoryStore& s, const char* name) {
    const auto& v = s.values.at(name).bytes;
    return std::string(v.begin(), v.end());
}

// text with NULs up to size: a fixed-size text value as stored.
inline std::string Padded(const std::string& text, std::size_t size) {
    std::string s = text;
    s.resize(size, '\0');
    return s;
}

}  // namespace qorwin::testing
