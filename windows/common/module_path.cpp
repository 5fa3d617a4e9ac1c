#include "module_path.h"

#include <windows.h>

#include "language_table.h"

namespace qorwin {

std::string ExecutablePath() {
    char path[MAX_PATH + 1] = {};
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    return std::string(path, n);
}

std::string ExecutableFolder() { return ModuleFolder(ExecutablePath()); }

}  // namespace qorwin
