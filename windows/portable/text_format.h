// Formatting with a format text that comes from a language library. Such a
// text is data, so it is checked before it is used as a format.
#pragma once

#include <cstddef>

namespace qorwin {

enum class FormatArg { Int, String };

// True when fmt holds exactly one conversion of the given kind (flags, width
// and precision digits allowed, no '*', no length modifier, no positional
// argument) and otherwise only "%%".
bool IsSingleConversionFormat(const char* fmt, FormatArg kind);

// Format with one int / one string. A format that fails the check is shown as
// plain text followed by a blank and the value. out is always terminated.
void FormatWithInt(const char* fmt, int value, char* out, std::size_t size);
void FormatWithString(const char* fmt, const char* value, char* out, std::size_t size);

// Bounded, always-terminated copy.
void CopyText(char* out, std::size_t size, const char* text);

}  // namespace qorwin
