#include "language_table.h"

namespace qorwin {
namespace {

const LanguageInfo kLanguages[kLanguageCount] = {
    {"Eng.dll", "English\\", 1050},  {"Chs.dll", "SimpChin\\", 1051}, {"Cht.dll", "TradChin\\", 1052},
    {"Fre.dll", "French\\", 1061},   {"spa.dll", "Spanish\\", 1062},  {"Jap.dll", "Japanese\\", 1065},
    {"Ger.dll", "German\\", 1063},   {"Ita.dll", "Italian\\", 1064},
};
const LanguageInfo kFallback = {"eng.dll", nullptr, 0};

}  // namespace

const LanguageInfo& LanguageFor(std::uint32_t index) {
    return index < kLanguageCount ? kLanguages[index] : kFallback;
}

std::string ModuleFolder(const std::string& modulePath) {
    std::size_t cut = modulePath.find_last_of("\\/");
    if (cut != std::string::npos) return modulePath.substr(0, cut + 1);
    if (modulePath.size() >= 2 && modulePath[1] == ':') return modulePath.substr(0, 2);
    return std::string();
}

std::string LanguageLibraryPath(const std::string& exeFolder, std::uint32_t index) {
    return exeFolder + LanguageFor(index).library;
}

std::string HelpFolderPath(const std::string& exeFolder, std::uint32_t index) {
    const char* folder = LanguageFor(index).helpFolder;
    return exeFolder + (folder != nullptr ? folder : kLanguages[0].helpFolder);
}

}  // namespace qorwin
