// The one bounded text copy of the project: fixed fields and buffers are
// filled through it, so none is ever left unterminated or overrun.
#pragma once

#include <cstddef>
#include <cstring>

namespace qor {

// Copies `src` into `dst` of `cap` bytes: at most cap-1 characters, always
// NUL-terminated, the rest of `dst` zeroed (a fixed field never keeps the tail
// of an older, longer text such as a previous password). `src` is read up to
// its NUL but never more than `srcCap` bytes, so an unterminated field of a
// damaged record is safe to copy from. A null `src` gives the empty text.
inline void copyBounded(char* dst, size_t cap, const char* src, size_t srcCap = static_cast<size_t>(-1)) {
    if (cap == 0) return;
    size_t n = 0;
    if (src != nullptr) {
        size_t limit = srcCap < cap - 1 ? srcCap : cap - 1;
        const void* nul = std::memchr(src, '\0', limit);
        n = nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - src) : limit;
        std::memmove(dst, src, n);
    }
    std::memset(dst + n, 0, cap - n);
}

template <size_t N>
inline void copyBounded(char (&dst)[N], const char* src) {
    copyBounded(dst, N, src);
}

}  // namespace qor
