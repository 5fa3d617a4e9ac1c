#include "net_config.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "bounded_text.h"
#include "command_words.h"
#include "unique_fd.h"

namespace qor::net {

namespace {

bool sameWord(const char* a, const char* b) { return strcasecmp(a, b) == 0; }

bool numericAddress(const char* text) {
    unsigned char buf[16];
    return inet_pton(AF_INET, text, buf) == 1 || inet_pton(AF_INET6, text, buf) == 1;
}

bool parsePort(const char* text, int& port) {
    char* end = nullptr;
    errno = 0;
    long v = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 1 || v > 65535) return false;
    port = static_cast<int>(v);
    return true;
}

bool fail(char* why, size_t whySize, int lineNo, const char* reason) {
    std::snprintf(why, whySize, "line %d: %s", lineNo, reason);
    return false;
}

}  // namespace

bool parseNetConfig(const char* text, size_t len, NetConfig& out, char* why, size_t whySize) {
    out = NetConfig{};
    int lineNo = 0;
    size_t pos = 0;
    while (pos < len) {
        ++lineNo;
        const char* nl = static_cast<const char*>(std::memchr(text + pos, '\n', len - pos));
        size_t end = nl ? static_cast<size_t>(nl - text) : len;
        size_t lineLen = end - pos;
        if (lineLen > 0 && text[pos + lineLen - 1] == '\r') --lineLen;
        const char* start = text + pos;
        pos = end + 1;
        size_t lead = 0;
        while (lead < lineLen && (start[lead] == ' ' || start[lead] == '\t')) ++lead;
        if (lead < lineLen && start[lead] == '#') continue;
        Words w;
        if (!splitWords(start, lineLen, w)) return fail(why, whySize, lineNo, "too long or unbalanced quotes");
        if (w.count == 0) continue;
        if (sameWord(w.word[0], "LISTEN")) {
            if (w.count < 2 || w.count > 3) return fail(why, whySize, lineNo, "LISTEN wants ADDRESS [PORT]");
            if (out.listenCount == kMaxListen) return fail(why, whySize, lineNo, "more than 8 LISTEN lines");
            ListenAddress& l = out.listen[out.listenCount];
            if (std::strlen(w.word[1]) >= sizeof l.address || !numericAddress(w.word[1]))
                return fail(why, whySize, lineNo, "LISTEN address is not a numeric IPv4 or IPv6 address");
            copyBounded(l.address, w.word[1]);
            if (w.count == 3 && !parsePort(w.word[2], l.port))
                return fail(why, whySize, lineNo, "LISTEN port is not a number from 1 to 65535");
            ++out.listenCount;
        } else if (sameWord(w.word[0], "USER")) {
            if (w.count != 3) return fail(why, whySize, lineNo, "USER wants NAME PASSWORD");
            if (out.userCount == kMaxUsers) return fail(why, whySize, lineNo, "more than 16 USER lines");
            if (std::strlen(w.word[1]) >= kTextLen || std::strlen(w.word[2]) >= kTextLen)
                return fail(why, whySize, lineNo, "USER name or password longer than 255 characters");
            if (w.word[1][0] == '\0') return fail(why, whySize, lineNo, "USER name is empty");
            for (int i = 0; i < out.userCount; ++i)
                if (std::strcmp(out.users[i].name, w.word[1]) == 0)
                    return fail(why, whySize, lineNo, "USER given twice");
            setText(out.users[out.userCount].name, w.word[1]);
            setText(out.users[out.userCount].password, w.word[2]);
            ++out.userCount;
        } else {
            return fail(why, whySize, lineNo, "unknown keyword (LISTEN or USER expected)");
        }
    }
    if (out.listenCount == 0) {
        copyBounded(out.listen[0].address, "127.0.0.1");
        out.listen[0].port = kDefaultPort;
        out.listenCount = 1;
    }
    return true;
}

NetConfigResult loadNetConfig(const char* path, NetConfig& out) {
    char line[512];
    UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd) {
        if (errno == ENOENT) return NetConfigResult::Absent;
        std::snprintf(line, sizeof line, "%s: %s; network server off", path, std::strerror(errno));
        syslog(LOG_ERR, "%s", line);
        return NetConfigResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > static_cast<off_t>(kMaxConfigBytes)) {
        std::snprintf(line, sizeof line, "%s: not a regular file of at most %zu bytes; network server off", path,
                      kMaxConfigBytes);
        syslog(LOG_ERR, "%s", line);
        return NetConfigResult::Failed;
    }
    auto text = std::make_unique<char[]>(kMaxConfigBytes);
    size_t len = 0;
    for (;;) {
        ssize_t n = ::read(fd.get(), text.get() + len, kMaxConfigBytes - len);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            std::snprintf(line, sizeof line, "%s: %s; network server off", path, std::strerror(errno));
            syslog(LOG_ERR, "%s", line);
            return NetConfigResult::Failed;
        }
        if (n == 0 || len + static_cast<size_t>(n) == kMaxConfigBytes) {
            len += static_cast<size_t>(n);
            break;
        }
        len += static_cast<size_t>(n);
    }
    char why[128];
    if (!parseNetConfig(text.get(), len, out, why, sizeof why)) {
        std::snprintf(line, sizeof line, "%s %s; network server off", path, why);
        syslog(LOG_ERR, "%s", line);
        return NetConfigResult::Failed;
    }
    // The file holds passwords in clear.
    if ((st.st_mode & 077) != 0) {
        std::snprintf(line, sizeof line, "%s is readable by others than root: chmod 600 it", path);
        syslog(LOG_WARNING, "%s", line);
    }
    return NetConfigResult::Loaded;
}

}  // namespace qor::net
