#include "command_words.h"

namespace qor::net {

bool splitWords(const char* line, size_t len, Words& out) {
    out.count = 0;
    if (len >= kMaxLine) return false;
    size_t w = 0;  // the text never outgrows the line, so it fits
    size_t i = 0;
    for (;;) {
        while (i < len && (line[i] == ' ' || line[i] == '\t')) ++i;
        if (i >= len) return true;
        if (out.count == kMaxWords) return false;
        out.word[out.count++] = out.text + w;
        bool quoted = false;
        for (; i < len; ++i) {
            char c = line[i];
            if (c == '\\' && i + 1 < len) {
                out.text[w++] = line[++i];
            } else if (c == '"') {
                quoted = !quoted;
            } else if (!quoted && (c == ' ' || c == '\t')) {
                break;
            } else {
                out.text[w++] = c;
            }
        }
        if (quoted) return false;
        out.text[w++] = '\0';
    }
}

}  // namespace qor::net
