// Event values: "message text,mask" stored as 256 bytes (NUL, zero padding).
// The mask says through which channels an event is announced.
#pragma once

#include <cstddef>

#include "registry_values.h"

namespace qorwin {

enum EventChannel : int {
    kChannelPopup = 1,
    kChannelEmail = 2,
    kChannelPager = 4,
};

inline constexpr std::size_t kEventTextMax = 255;  // as much as the dialogs accept
// Room for a value whose text of kEventTextMax characters does not leave the
// comma, the mask and the NUL room in kEventValueSize bytes: such a value is
// stored longer, and every reader reads this much.
inline constexpr std::size_t kEventValueMaxSize = kEventValueSize + 16;

struct EventValue {
    char text[kEventValueSize];  // the message, NUL-terminated
    int channels;                // 0 when the value has no comma
};

// Formats "%s%d" from the text with a comma appended and the mask. The text is
// shortened when needed so that the comma and the mask always fit.
void FormatEventValue(const char* text, int channels, unsigned char (&out)[kEventValueSize]);
// The same without shortening a text of up to kEventTextMax characters:
// returns the bytes to store, kEventValueSize unless the text needs more.
std::size_t FormatEventValue(const char* text, int channels, unsigned char (&out)[kEventValueMaxSize]);

// Splits at the first comma: the text before it, the decimal number after it.
// Without a comma the whole text is the message and the mask is 0. Reads at most
// size bytes, so a value without terminator is safe.
EventValue ParseEventValue(const unsigned char* bytes, std::size_t size);

}  // namespace qorwin
