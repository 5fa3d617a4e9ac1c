#include "language.h"

#include <shellapi.h>

#include "current_folder.h"
#include "language_table.h"
#include "module_path.h"
#include "registry_store.h"
#include "registry_values.h"

namespace qorwin {
namespace {

// The one language library of the process.
HMODULE g_language = nullptr;

}  // namespace

bool LoadLanguage(std::uint32_t index) {
    UnloadLanguage();
    std::string path = LanguageLibraryPath(ExecutableFolder(), index);
    // Only its resources are used: no code of the library runs.
    g_language = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    return g_language != nullptr;
}

void UnloadLanguage() {
    if (g_language) FreeLibrary(g_language);
    g_language = nullptr;
}

HMODULE LanguageModule() { return g_language; }

std::string Text(unsigned number) {
    if (g_language == nullptr) return std::string();
    char buf[kTextBufferSize] = {};
    int n = LoadStringA(g_language, number, buf, sizeof buf);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<std::size_t>(n) < sizeof buf ? static_cast<std::size_t>(n) : sizeof buf - 1);
}

bool OpenHelp(HWND owner, const char* captionForError) {
    RegistryStore store;
    std::uint32_t language = 0;
    ReadDword(store, value::kLanguageType, language);
    CurrentFolder folder(HelpFolderPath(ExecutableFolder(), language));
    HINSTANCE rc = ShellExecuteA(owner, "open", kHelpFileName, nullptr, nullptr, SW_SHOWNORMAL);
    INT_PTR result = reinterpret_cast<INT_PTR>(rc);
    if (result == ERROR_FILE_NOT_FOUND)
        MessageBoxA(owner, "File not found!", captionForError, MB_OK);
    return result > 32;
}

}  // namespace qorwin
