// Splits one line of the UPS network protocol (and of /etc/Qor.net) into
// words: blanks separate them, double quotes keep blanks inside a word, and a
// backslash takes the next character as it is.
#pragma once

#include <cstddef>

namespace qor::net {

constexpr size_t kMaxLine = 1024;  // a line with its line end
constexpr int kMaxWords = 16;

struct Words {
    char text[kMaxLine] = {};  // the words, each NUL-terminated
    const char* word[kMaxWords] = {};
    int count = 0;
};

// False for a line longer than kMaxLine - 1, an unterminated quote or more
// than kMaxWords words. A NUL byte in the line ends the word it is in.
bool splitWords(const char* line, size_t len, Words& out);

}  // namespace qor::net
