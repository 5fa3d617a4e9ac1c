// Text rules the console forms apply to field contents when they store them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qor::console {

// The characters after the leading blanks, up to the first blank after them.
// A blank or empty text gives the empty text.
std::string firstWord(const std::string& text);

// Trailing blanks dropped, every other blank (leading ones too) turned into
// '_'. A blank text gives the empty text.
std::string blankToUnderscore(const std::string& text);

// The decimal number at the start of the text after leading blanks, with an
// optional sign; 0 when there is none. Clamped to the int32 range instead of
// overflowing.
int32_t leadingNumber(const std::string& text);

// The text without its trailing blanks.
std::string trimTrailing(const std::string& text);

// What a save rule gets for an entry of `width` columns that was filled with
// `stored`. A fixed-width entry shows only the first `width` characters of a
// longer stored text (written by the desktop edition, say); when the user left
// such an entry as it was filled, the full stored text is handed on, so
// pressing OK never cuts a value the user did not touch.
std::string entryInput(const std::string& shown, const std::string& stored, size_t width);

constexpr const char* kChecked = "[X]";
constexpr const char* kUnchecked = "[ ]";
inline const char* checkText(bool on) { return on ? kChecked : kUnchecked; }
// A check field is on when its text holds "[X]".
bool isChecked(const std::string& text);

}  // namespace qor::console
