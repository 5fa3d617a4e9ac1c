// Splits one line of the UPS network protocol (and of /etc/Qor.net) into
// words the way the clients' own server does:
// - any white space (blank, tab, CR, VT, FF) separates words;
// - a double quote at the start of a word quotes it up to the next quote
//   (the word ends there); inside a word it is an ordinary character;
// - a backslash takes the next character as it is;
// - '#' at the start of a word makes the rest of the line a comment;
// - other control bytes (NUL included) and bytes above 127 are dropped.
#pragma once

#include <cstddef>

namespace qor::net {

constexpr size_t kMaxLine = 1024;  // a line with its line end
// As many as a line can hold: the word count is never a limit of its own.
constexpr int kMaxWords = static_cast<int>(kMaxLine / 2) + 1;

struct Words {
    char text[kMaxLine] = {};  // the words, each NUL-terminated
    const char* word[kMaxWords] = {};
    int count = 0;
};

// False for a line that is broken: longer than kMaxLine - 1, a quote left
// open, a backslash at its end, or '#' inside quotes (a line the clients'
// server leaves unanswered).
bool splitWords(const char* line, size_t len, Words& out);

}  // namespace qor::net
