// Where the running program lies.
#pragma once

#include <string>

namespace qorwin {

// Full file name of the executable ("C:\\Halvora\\halvora.exe").
std::string ExecutablePath();
// Its folder with a trailing backslash.
std::string ExecutableFolder();

}  // namespace qorwin
