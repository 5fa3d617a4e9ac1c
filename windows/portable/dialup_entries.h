// The names of the system's dial-up phone-book entries, asked for with the
// two-call rule of the phone-book enumeration: one entry first, then a
// buffer of the size that call reported.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qorwin {

// Layout of one ANSI phone-book entry record: its size field, then the name.
inline constexpr std::uint32_t kDialupEntrySize = 532;
inline constexpr std::uint32_t kDialupNameOffset = 4;
inline constexpr std::uint32_t kDialupNameSize = 257;
inline constexpr std::uint32_t kDialupBufferTooSmall = 603;
// A phone book larger than this is read no further.
inline constexpr std::uint32_t kDialupMaxEntries = 1024;

// One enumeration call: buffer, its size in bytes (in: what it holds; out:
// what is needed), the number of entries written. Returns the error code.
using DialupEnumCall = std::function<std::uint32_t(unsigned char* buffer, std::uint32_t* bytes,
                                                   std::uint32_t* entries)>;

// The names in phone-book order; empty on any failure.
std::vector<std::string> ListDialupEntries(const DialupEnumCall& call);

}  // namespace qorwin
