// Files whose contents decide what root does (settings naming programs to
// run, passwords that order other machines down): they are believed only
// when nobody but root could have written them.
#pragma once

#include <cstddef>
#include <string>

namespace qor {

enum class TrustedRead { Absent, Loaded, Refused };

// Reads `path` whole (at most `maxBytes`). Refused, with the reason in `why`,
// when the path is a link, not a regular file, longer than `maxBytes`, not
// owned by root, writable by group or others, or below a folder that someone
// other than root could change (a sticky folder such as /tmp is allowed).
// `mode` (optional) gets the file's permission bits. Absent: no such file.
TrustedRead readTrustedFile(const char* path, size_t maxBytes, std::string& text, char* why, size_t whySize,
                            unsigned* mode = nullptr);

// A program root may run: the path is resolved through its links into
// `resolved` (run that, not the path), and the file must be a regular,
// executable file that only root can change, in folders only root can change.
bool checkTrustedProgram(const char* path, char* resolved, size_t resolvedSize, char* why, size_t whySize);

}  // namespace qor
