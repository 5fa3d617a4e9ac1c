#include "settings_file.h"

#include <cstdio>
#include <cstring>

#include "atomic_file.h"
#include "unique_file.h"

namespace qor {

bool loadSettings(UpsSettings& s, const char* path) {
    UniqueFile f(std::fopen(path, "r"));
    if (!f) return false;
    if (std::fseek(f.get(), 0, SEEK_SET) != 0) return false;
    size_t n = std::fread(&s, 1, sizeof s, f.get());
    return n == sizeof s;
}

bool initSettings(UpsSettings& s, Edition edition, const char* path) {
    std::memset(&s, 0, sizeof s);
    bool whole = loadSettings(s, path);
    if (!whole) storeDefaults(s, edition);
    // A damaged file may hold texts without a terminator; use their first 255 bytes.
    terminateTexts(s);
    s.upsState = NoUps;
    if (edition == Edition::Console) {
        s.saveRequest = 0;
        s.detectRequest = 0;
    }
    return whole;
}

bool saveSettings(const UpsSettings& s, const char* path) {
    // The record holds the dial-up password and the mail settings in clear.
    return replaceFilePrefix(path, &s, sizeof s, FileAccess::OwnerOnly);
}

}  // namespace qor
