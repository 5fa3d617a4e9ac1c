// Replacing a file's contents so that a crash never leaves it torn.
#pragma once

#include <cstddef>
#include <string>

namespace qor {

// Writes `size` bytes at offset 0 of `path`, keeping whatever the existing file
// holds beyond them. The new image is written to a temporary file in the same
// folder, flushed and renamed over the old one, keeping its mode and owner.
// Where that cannot be done (a folder we may not create files in, a path that
// is a symbolic link) it falls back to rewriting in place. Returns false when
// nothing was written.
bool replaceFilePrefix(const char* path, const void* data, size_t size);

// Same, but the file ends up holding exactly `size` bytes.
bool replaceFile(const char* path, const void* data, size_t size);

}  // namespace qor
