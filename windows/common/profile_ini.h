// An INI file through the profile-string functions. A bare file name lies
// in the Windows folder.
#pragma once

#include <string>

#include "event_log.h"

namespace qorwin {

class ProfileIni : public IniFile {
public:
    explicit ProfileIni(std::string path) : path_(std::move(path)) {}

    void GetString(const char* section, const char* key, const char* def, char* out, std::size_t size) override;
    bool WriteString(const char* section, const char* key, const char* value) override;
    bool DeleteSection(const char* section) override;
    std::size_t SectionNames(char* out, std::size_t size) override;
    std::size_t Section(const char* section, char* out, std::size_t size) override;
    // True once a write through this object has failed.
    bool WriteFailed() const { return writeFailed_; }

private:
    std::string path_;
    bool writeFailed_ = false;
};

// The Windows folder with a trailing backslash.
std::string WindowsFolder();

}  // namespace qorwin
