// Language libraries and help folders, by "Language Type".
#pragma once

#include <cstdint>
#include <string>

namespace qorwin {

inline constexpr std::uint32_t kLanguageCount = 8;

struct LanguageInfo {
    const char* library;     // file name next to the executable
    const char* helpFolder;  // folder name under the executable's folder; nullptr: none
    unsigned nameString;     // text number of the name in the language list; 0: none
};

// Index 0..7, anything else the fallback ("eng.dll", no help folder).
const LanguageInfo& LanguageFor(std::uint32_t index);

// Drive and directory of a module file name, with its trailing backslash
// ("C:\\Prog\\halvora.exe" -> "C:\\Prog\\"); empty when there is none.
std::string ModuleFolder(const std::string& modulePath);

std::string LanguageLibraryPath(const std::string& exeFolder, std::uint32_t index);

// The help folder of the language, with a trailing backslash. A language
// without a folder of its own gets the English one.
std::string HelpFolderPath(const std::string& exeFolder, std::uint32_t index);

inline constexpr char kHelpFileName[] = "halvhelp.chm";

}  // namespace qorwin
