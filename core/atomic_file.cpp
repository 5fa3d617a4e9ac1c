#include "atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "unique_fd.h"

namespace qor {

bool writeAll(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd, p, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

namespace {

// Copies everything of `src` past `from` to the current position of `dst`.
bool copyTail(int src, int dst, off_t from) {
    if (::lseek(src, from, SEEK_SET) < 0) return false;
    char buf[1024];
    for (;;) {
        ssize_t n = ::read(src, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) return true;
        if (!writeAll(dst, buf, static_cast<size_t>(n))) return false;
    }
}

// Mode of a new file, and of an existing one once written.
mode_t newMode(FileAccess access) { return access == FileAccess::OwnerOnly ? 0600 : 0644; }
mode_t keptMode(mode_t old, FileAccess access) {
    old &= 07777;
    return access == FileAccess::OwnerOnly ? (old & ~static_cast<mode_t>(077)) : old;
}

// In place: the old behaviour, for when a temporary file cannot be made.
bool rewriteInPlace(const char* path, const void* data, size_t size, bool truncate, FileAccess access) {
    UniqueFd fd(::open(path, O_WRONLY | O_CREAT | O_CLOEXEC | (truncate ? O_TRUNC : 0), newMode(access)));
    if (!fd) return false;
    struct stat st {};
    if (access == FileAccess::OwnerOnly && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::fchmod(fd.get(), keptMode(st.st_mode, access)) != 0)
        return false;  // never leave the secrets readable
    return writeAll(fd.get(), data, size);
}

bool replace(const char* path, const void* data, size_t size, bool keepTail, FileAccess access) {
    if (path == nullptr || path[0] == '\0') return false;  // no file: nothing to write
    struct stat st {};
    bool exists = ::lstat(path, &st) == 0;
    if (exists && !S_ISREG(st.st_mode)) return rewriteInPlace(path, data, size, !keepTail, access);

    std::string tmp = std::string(path) + ".XXXXXX";
    std::vector<char> name(tmp.begin(), tmp.end());
    name.push_back('\0');
    UniqueFd out(::mkostemp(name.data(), O_CLOEXEC));
    if (!out) return rewriteInPlace(path, data, size, !keepTail, access);

    bool ok = writeAll(out.get(), data, size);
    if (ok && exists && keepTail) {
        UniqueFd in(::open(path, O_RDONLY | O_CLOEXEC));
        ok = in && copyTail(in.get(), out.get(), static_cast<off_t>(size));
    }
    if (ok && exists) {
        ok = ::fchmod(out.get(), keptMode(st.st_mode, access)) == 0;
        if (::fchown(out.get(), st.st_uid, st.st_gid) != 0) {
            // Keeping the owner is best effort; root always succeeds.
        }
    } else if (ok) {
        ok = ::fchmod(out.get(), newMode(access)) == 0;
    }
    ok = ok && ::fsync(out.get()) == 0;
    out.reset();
    if (ok && ::rename(name.data(), path) == 0) return true;
    ::unlink(name.data());
    return rewriteInPlace(path, data, size, !keepTail, access);
}

}  // namespace

bool replaceFilePrefix(const char* path, const void* data, size_t size, FileAccess access) {
    return replace(path, data, size, true, access);
}

bool replaceFile(const char* path, const void* data, size_t size, FileAccess access) {
    return replace(path, data, size, false, access);
}

}  // namespace qor
