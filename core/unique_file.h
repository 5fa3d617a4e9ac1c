// Owns one stdio stream and closes it once.
#pragma once

#include <cstdio>
#include <memory>

namespace qor {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

// Closes the stream now and says whether everything written reached the file
// (the last buffered bytes are written by fclose, so its result matters).
inline bool closeChecked(UniqueFile& f) {
    if (!f) return false;
    return std::fclose(f.release()) == 0;
}

}  // namespace qor
