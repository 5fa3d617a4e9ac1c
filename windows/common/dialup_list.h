// The system's dial-up phone-book entries, from the remote-access library
// loaded by name, so that a system without it still runs the program.
#pragma once

#include <string>
#include <vector>

namespace qorwin {

inline constexpr char kRasLibrary[] = "rasapi32.dll";

// Names of the entries; empty when the library or its enumeration is missing
// or fails.
std::vector<std::string> LoadDialupEntries(const char* library = kRasLibrary);

}  // namespace qorwin
