// Makes a folder the current one for a scope and restores the previous one.
#pragma once

#include <windows.h>

#include <string>

namespace qorwin {

class CurrentFolder {
public:
    explicit CurrentFolder(const std::string& folder) {
        DWORD n = GetCurrentDirectoryA(MAX_PATH, previous_);
        saved_ = n > 0 && n < MAX_PATH;
        SetCurrentDirectoryA(folder.c_str());
    }
    ~CurrentFolder() {
        if (saved_) SetCurrentDirectoryA(previous_);
    }
    CurrentFolder(const CurrentFolder&) = delete;
    CurrentFolder& operator=(const CurrentFolder&) = delete;

private:
    char previous_[MAX_PATH + 1] = {};
    bool saved_ = false;
};

}  // namespace qorwin
