// Little-endian records stored raw: 32-bit integers and fixed NUL-terminated
// text fields at byte offsets of a buffer.
//
// Contract: every access is checked against the buffer's size; a field that
// does not fit is not touched (put) or reads as zero / empty (get). Text
// fields are written with their terminating NUL and zero padding up to their
// width; a text read out is always terminated, also when the stored one is
// not.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qor::common {

uint32_t getLe32(const unsigned char* buf, std::size_t size, std::size_t offset);
int32_t getLe32s(const unsigned char* buf, std::size_t size, std::size_t offset);
bool putLe32(unsigned char* buf, std::size_t size, std::size_t offset, uint32_t value);

// Stores at most `width - 1` characters of `text` (nullptr: empty) and zeros
// the rest of the field.
bool putText(unsigned char* buf, std::size_t size, std::size_t offset, std::size_t width, const char* text);
// Copies the field into `out` (`cap` bytes), cut to what fits, terminated.
std::size_t getText(const unsigned char* buf, std::size_t size, std::size_t offset, std::size_t width, char* out,
                    std::size_t cap);

}  // namespace qor::common
