// The "Email Address" and "Pager Number" lists: NUL-terminated entries in a
// 2048-byte block, ended by an empty entry.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "registry_values.h"

namespace qorwin {

inline constexpr std::size_t kListUsedLimit = 2047;  // entries are added while used < this

struct AddressEntry {
    std::string name;
    std::string address;
};

struct PagerEntry {
    std::string number;
    std::string name;
};

std::string TrimBlanks(const std::string& s);

// Each entry is name "<" address ">" with both parts trimmed. Entries are added
// in order while the used length is below 2047 bytes; an entry that would not
// fit whole (with its NUL) ends the list, so the block always ends with the
// empty entry. Returns how many entries were stored.
std::size_t BuildAddressList(const std::vector<AddressEntry>& entries,
                             unsigned char (&out)[kListSize]);

// Each entry is the number, four blanks and the name; same storage rule.
std::size_t BuildPagerList(const std::vector<PagerEntry>& entries, unsigned char (&out)[kListSize]);

// The entries up to the first empty one, reading at most size bytes (a last
// entry without terminator ends at the block's end).
std::vector<std::string> ParseEntryList(const unsigned char* bytes, std::size_t size);

// Splits a stored address entry at its first "<"; the address ends at ">".
// Without "<" the whole entry is the name.
AddressEntry SplitAddressEntry(const std::string& entry);

// The number is the text before the first blank; the name starts at the
// fourth character after that blank.
PagerEntry SplitPagerEntry(const std::string& entry);

}  // namespace qorwin
