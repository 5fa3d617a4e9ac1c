// Replacing a file's contents so that a crash never leaves it torn.
#pragma once

#include <cstddef>
#include <string>

namespace qor {

// Who may read the file. Readable: a new file is 0644 and an existing one
// keeps its mode. OwnerOnly (a file holding secrets): a new file is 0600 and an
// existing one loses its group and other bits when it is written.
enum class FileAccess { Readable, OwnerOnly };

// Writes `size` bytes at offset 0 of `path`, keeping whatever the existing file
// holds beyond them. The new image is written to a temporary file in the same
// folder, flushed and renamed over the old one, keeping its owner and (as
// `access` allows) its mode. Where that cannot be done (a folder we may not
// create files in, a path that is a symbolic link) it falls back to rewriting
// in place. Returns false when nothing was written.
bool replaceFilePrefix(const char* path, const void* data, size_t size,
                       FileAccess access = FileAccess::Readable);

// Same, but the file ends up holding exactly `size` bytes.
bool replaceFile(const char* path, const void* data, size_t size, FileAccess access = FileAccess::Readable);

// Writes all `size` bytes to `fd`, going on after short writes and signals.
// False on the first failed write.
bool writeAll(int fd, const void* data, size_t size);

}  // namespace qor
