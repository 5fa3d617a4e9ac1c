#include "trusted_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bounded_text.h"
#include "unique_fd.h"

namespace qor {
namespace {

// Only root may change what this status describes.
bool rootOnlyWritable(const struct stat& st, bool allowSticky) {
    if (st.st_uid != 0) return false;
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) == 0) return true;
    return allowSticky && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
}

// Every folder above `path` (an absolute path), up to /.
bool foldersTrusted(const char* path, char* why, size_t whySize) {
    char dir[PATH_MAX];
    copyBounded(dir, sizeof dir, path);
    for (;;) {
        char* slash = std::strrchr(dir, '/');
        if (slash == nullptr) return true;
        if (slash == dir) {
            dir[1] = '\0';
        } else {
            *slash = '\0';
        }
        struct stat st {};
        if (::stat(dir, &st) != 0 || !rootOnlyWritable(st, true)) {
            std::snprintf(why, whySize, "folder %s can be changed by others than root", dir);
            return false;
        }
        if (dir[1] == '\0') return true;
    }
}

}  // namespace

TrustedRead readTrustedFile(const char* path, size_t maxBytes, std::string& text, char* why, size_t whySize,
                            unsigned* mode) {
    text.clear();
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW));
    if (!fd) {
        if (errno == ENOENT) return TrustedRead::Absent;
        if (errno == ELOOP) {
            std::snprintf(why, whySize, "is a link");
        } else {
            std::snprintf(why, whySize, "%s", std::strerror(errno));
        }
        return TrustedRead::Refused;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        std::snprintf(why, whySize, "is not a regular file");
        return TrustedRead::Refused;
    }
    if (!rootOnlyWritable(st, false)) {
        std::snprintf(why, whySize, "can be changed by others than root (owner %u, mode %03o)",
                      static_cast<unsigned>(st.st_uid), static_cast<unsigned>(st.st_mode & 0777));
        return TrustedRead::Refused;
    }
    if (static_cast<unsigned long long>(st.st_size) > maxBytes) {
        std::snprintf(why, whySize, "is longer than %zu bytes", maxBytes);
        return TrustedRead::Refused;
    }
    if (path[0] == '/' && !foldersTrusted(path, why, whySize)) return TrustedRead::Refused;
    // The size was checked on the descriptor; reading one byte past it tells
    // a file that grew meanwhile.
    text.resize(maxBytes + 1);
    size_t len = 0;
    while (len < text.size()) {
        ssize_t n = ::read(fd.get(), &text[len], text.size() - len);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::snprintf(why, whySize, "%s", std::strerror(errno));
            text.clear();
            return TrustedRead::Refused;
        }
        if (n == 0) break;
        len += static_cast<size_t>(n);
    }
    if (len > maxBytes) {
        std::snprintf(why, whySize, "is longer than %zu bytes", maxBytes);
        text.clear();
        return TrustedRead::Refused;
    }
    text.resize(len);
    if (mode != nullptr) *mode = static_cast<unsigned>(st.st_mode & 07777);
    return TrustedRead::Loaded;
}

bool checkTrustedProgram(const char* path, char* resolved, size_t resolvedSize, char* why, size_t whySize) {
    if (path == nullptr || path[0] != '/') {
        std::snprintf(why, whySize, "is not an absolute path");
        return false;
    }
    // What the setting names must not be re-pointed later either.
    if (!foldersTrusted(path, why, whySize)) return false;
    char real[PATH_MAX];
    if (::realpath(path, real) == nullptr) {
        std::snprintf(why, whySize, "%s", std::strerror(errno));
        return false;
    }
    struct stat st {};
    if (::stat(real, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & S_IXUSR) == 0) {
        std::snprintf(why, whySize, "is not an executable file");
        return false;
    }
    if (!rootOnlyWritable(st, false)) {
        std::snprintf(why, whySize, "can be changed by others than root (owner %u, mode %03o)",
                      static_cast<unsigned>(st.st_uid), static_cast<unsigned>(st.st_mode & 0777));
        return false;
    }
    if (!foldersTrusted(real, why, whySize)) return false;
    if (std::strlen(real) >= resolvedSize) {
        std::snprintf(why, whySize, "path too long");
        return false;
    }
    copyBounded(resolved, resolvedSize, real);
    return true;
}

}  // namespace qor
