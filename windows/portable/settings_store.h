// Access to the settings of the Windows edition: one key of named values.
// The Win32 registry implements it on Windows; tests use an in-memory store.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qorwin {

enum class ValueKind : std::uint8_t { String, Dword, Binary };

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    // Creates the key when it cannot be opened; false when that fails too.
    virtual bool EnsureKey() = 0;
    // True when the value is there, whatever its size or type.
    virtual bool Exists(const char* name) = 0;
    // Reads the value into buf when it has the kind and fits in size bytes;
    // *got receives its length. On failure buf is left untouched.
    virtual bool Read(const char* name, ValueKind kind, void* buf, std::uint32_t size,
                      std::uint32_t* got) = 0;
    // Writes size bytes. Dropped (false) when the key cannot be opened.
    virtual bool Write(const char* name, ValueKind kind, const void* data, std::uint32_t size) = 0;
};

// A missing value leaves value as it was.
bool ReadDword(SettingsStore& store, const char* name, std::uint32_t& value);
bool WriteDword(SettingsStore& store, const char* name, std::uint32_t value);

// On success buf holds a NUL-terminated text even when the stored value lacks
// its terminator (it is then cut to fit). On failure buf is left as it was.
bool ReadText(SettingsStore& store, const char* name, char* buf, std::size_t size);
// Writes the text with its terminator (length + 1 bytes).
bool WriteText(SettingsStore& store, const char* name, const char* text);

// Reads a fixed-size record. A shorter stored value is zero-filled to size;
// a longer one is not read.
bool ReadBlock(SettingsStore& store, const char* name, void* buf, std::size_t size);
bool WriteBlock(SettingsStore& store, const char* name, const void* data, std::size_t size);

}  // namespace qorwin
