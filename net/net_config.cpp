#include "net_config.h"

#include <arpa/inet.h>
#include <strings.h>
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <crypt.h>
#include <dlfcn.h>

#include <memory>

#include "bounded_text.h"
#include "command_words.h"
#include "trusted_file.h"

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

// libcrypt for the one hash at start-up, unloaded again: linked, its pages
// would stay in the monitor for good.
class CryptLibrary {
public:
    CryptLibrary() : lib_(dlopen("libcrypt.so.1", RTLD_NOW | RTLD_LOCAL)) {}
    ~CryptLibrary() {
        if (lib_ != nullptr) dlclose(lib_);
    }
    CryptLibrary(const CryptLibrary&) = delete;
    CryptLibrary& operator=(const CryptLibrary&) = delete;
    decltype(&::crypt_r) cryptR() const {
        return lib_ == nullptr ? nullptr : reinterpret_cast<decltype(&::crypt_r)>(dlsym(lib_, "crypt_r"));
    }

private:
    void* lib_;
};

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
            if (w.count != 3 && w.count != 4) return fail(why, whySize, lineNo, "USER wants NAME PASSWORD [primary]");
            if (out.userCount == kMaxUsers) return fail(why, whySize, lineNo, "more than 16 USER lines");
            if (std::strlen(w.word[1]) >= kTextLen || std::strlen(w.word[2]) >= kTextLen)
                return fail(why, whySize, lineNo, "USER name or password longer than 255 characters");
            if (w.word[1][0] == '\0') return fail(why, whySize, lineNo, "USER name is empty");
            if (w.word[2][0] == '\0') return fail(why, whySize, lineNo, "USER password is empty");
            bool primary = w.count == 4 && sameWord(w.word[3], "primary");
            if (w.count == 4 && !primary && !sameWord(w.word[3], "secondary"))
                return fail(why, whySize, lineNo, "USER role is neither primary nor secondary");
            for (int i = 0; i < out.userCount; ++i)
                if (std::strcmp(out.users[i].name, w.word[1]) == 0)
                    return fail(why, whySize, lineNo, "USER given twice");
            setText(out.users[out.userCount].name, w.word[1]);
            setText(out.users[out.userCount].password, w.word[2]);
            out.users[out.userCount].primary = primary;
            ++out.userCount;
        } else if (sameWord(w.word[0], "SERIAL")) {
            if (w.count != 2 || w.word[1][0] == '\0') return fail(why, whySize, lineNo, "SERIAL wants one word");
            if (std::strlen(w.word[1]) > 32) return fail(why, whySize, lineNo, "SERIAL longer than 32 characters");
            if (out.serial[0] != '\0') return fail(why, whySize, lineNo, "SERIAL given twice");
            setText(out.serial, w.word[1]);
        } else {
            return fail(why, whySize, lineNo, "unknown keyword (LISTEN, USER or SERIAL expected)");
        }
    }
    if (out.listenCount == 0) {
        copyBounded(out.listen[0].address, "127.0.0.1");
        out.listen[0].port = kDefaultPort;
        out.listenCount = 1;
    }
    return true;
}

bool serialFromMachineId(const char* machineId, size_t len, TextField& out) {
    out[0] = '\0';
    while (len > 0 && (machineId[len - 1] == '\n' || machineId[len - 1] == ' ')) --len;
    if (len == 0 || len >= CRYPT_MAX_PASSPHRASE_SIZE) return false;
    // The id as the pass phrase of a one-way hash with this use's own salt:
    // the id itself cannot be recovered, and other programs deriving from it
    // get other values.
    CryptLibrary lib;
    const auto cryptR = lib.cryptR();
    if (cryptR == nullptr) return false;
    std::string key(machineId, len);
    auto data = std::make_unique<crypt_data>();  // some 32 kB: not on the stack
    const char* hashed = cryptR(key.c_str(), kSerialSetting, data.get());  // into `data`
    explicit_bzero(&key[0], key.size());
    const size_t prefix = sizeof kSerialSetting - 1;
    // crypt's alphabet, 6 bits a character: 64 bits are the first 10
    // characters and the top 4 bits of the 11th.
    static const char kAlphabet[] = "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    bool ok = hashed != nullptr && std::strncmp(hashed, kSerialSetting, prefix) == 0;
    unsigned long long bits = 0;
    for (size_t i = 0; ok && i < 11; ++i) {
        const char c = hashed[prefix + i];
        const char* at = c != '\0' ? std::strchr(kAlphabet, c) : nullptr;
        ok = at != nullptr;
        if (!ok) break;
        const unsigned v = static_cast<unsigned>(at - kAlphabet);
        bits = i < 10 ? (bits << 6) | v : (bits << 4) | (v >> 2);
    }
    explicit_bzero(data.get(), sizeof *data);
    if (!ok) return false;
    std::snprintf(out, kTextLen, "QOR-%016llX", bits);
    return true;
}

NetConfigResult loadNetConfig(const char* path, NetConfig& out, const char* machineIdPath) {
    char line[512];
    char why[160];
    std::string text;
    switch (readTrustedFile(path, kMaxConfigBytes, text, why, sizeof why)) {
    case TrustedRead::Absent:
        return NetConfigResult::Absent;
    case TrustedRead::Refused:
        std::snprintf(line, sizeof line, "%s %s; network server off", path, why);
        syslog(LOG_ERR, "%s", line);
        return NetConfigResult::Failed;
    case TrustedRead::Loaded:
        break;
    }
    if (!parseNetConfig(text.data(), text.size(), out, why, sizeof why)) {
        std::snprintf(line, sizeof line, "%s %s; network server off", path, why);
        syslog(LOG_ERR, "%s", line);
        return NetConfigResult::Failed;
    }
    if (out.serial[0] == '\0') {
        // Not secret, but not to be forged either: only a file root owns.
        std::string id;
        if (readTrustedFile(machineIdPath, 256, id, why, sizeof why) != TrustedRead::Loaded ||
            !serialFromMachineId(id.data(), id.size(), out.serial)) {
            std::snprintf(line, sizeof line, "%s: no SERIAL and no machine id; device.serial not served", path);
            syslog(LOG_WARNING, "%s", line);
        }
    }
    return NetConfigResult::Loaded;
}

}  // namespace qor::net
