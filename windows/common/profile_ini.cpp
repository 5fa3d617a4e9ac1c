#include "profile_ini.h"

#include <windows.h>

namespace qorwin {
namespace {

DWORD Size(std::size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<DWORD>(size); }

}  // namespace

void ProfileIni::GetString(const char* section, const char* key, const char* def, char* out, std::size_t size) {
    if (out == nullptr || size == 0) return;
    GetPrivateProfileStringA(section, key, def, out, Size(size), path_.c_str());
    out[size - 1] = '\0';
}

bool ProfileIni::WriteString(const char* section, const char* key, const char* value) {
    const bool ok = WritePrivateProfileStringA(section, key, value, path_.c_str()) != FALSE;
    if (!ok) writeFailed_ = true;
    return ok;
}

bool ProfileIni::DeleteSection(const char* section) {
    return WritePrivateProfileStringA(section, nullptr, nullptr, path_.c_str()) != FALSE;
}

std::size_t ProfileIni::SectionNames(char* out, std::size_t size) {
    if (out == nullptr || size < 2) return 0;
    return GetPrivateProfileSectionNamesA(out, Size(size), path_.c_str());
}

std::size_t ProfileIni::Section(const char* section, char* out, std::size_t size) {
    if (out == nullptr || size < 2) return 0;
    return GetPrivateProfileSectionA(section, out, Size(size), path_.c_str());
}

std::string WindowsFolder() {
    char dir[MAX_PATH + 1] = {};
    UINT n = GetWindowsDirectoryA(dir, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string s(dir, n);
    if (s.back() != '\\') s += '\\';
    return s;
}

}  // namespace qorwin
