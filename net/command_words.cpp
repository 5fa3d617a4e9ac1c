#include "command_words.h"

namespace qor::net {

namespace {

bool blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f' || c == '\n'; }

// Bytes the words never hold.
bool dropped(unsigned char c) { return (c < 0x20 && !blank(c)) || c >= 0x80; }

}  // namespace

bool splitWords(const char* line, size_t len, Words& out) {
    out.count = 0;
    if (len >= kMaxLine) return false;
    enum { Between, Plain, Quoted } state = Between;
    bool literal = false;  // the previous byte was a backslash
    size_t w = 0;          // the text never outgrows the line, so it fits
    auto endWord = [&] {
        out.text[w++] = '\0';
        state = Between;
    };
    auto startWord = [&] { out.word[out.count++] = out.text + w; };
    for (size_t i = 0; i < len; ++i) {
        auto c = static_cast<unsigned char>(line[i]);
        if (dropped(c)) continue;
        if (literal) {
            literal = false;
            out.text[w++] = static_cast<char>(c);
            continue;
        }
        if (state == Between) {
            if (blank(c)) continue;
            if (c == '#') break;
            startWord();
            if (c == '"') {
                state = Quoted;
            } else {
                state = Plain;
                if (c == '\\') literal = true;
                else out.text[w++] = static_cast<char>(c);
            }
        } else if (state == Plain) {
            if (blank(c)) endWord();
            else if (c == '\\') literal = true;
            else out.text[w++] = static_cast<char>(c);
        } else {
            if (c == '"') endWord();
            else if (c == '#') return false;
            else if (c == '\\') literal = true;
            else out.text[w++] = static_cast<char>(c);
        }
    }
    if (literal || state == Quoted) return false;
    if (state == Plain) endWord();
    return true;
}

}  // namespace qor::net
