#include "smtp_extensions.h"

#include <strings.h>

#include <cstring>

namespace qor {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// The words of `text` up to its line end, one at a time.
class Words {
public:
    explicit Words(const char* text) : p_(text) {}
    bool next(std::string& w) {
        w.clear();
        while (*p_ != '\0' && isBlank(*p_)) ++p_;
        while (*p_ != '\0' && !isBlank(*p_) && *p_ != '\r' && *p_ != '\n') w += *p_++;
        return !w.empty();
    }

private:
    const char* p_;
};

bool same(const std::string& w, const char* k) { return strcasecmp(w.c_str(), k) == 0; }

}  // namespace

void noteEhloLine(const char* line, SmtpOffers& offers) {
    if (line == nullptr || std::strlen(line) < 4 || std::strncmp(line, "250", 3) != 0) return;
    if (line[3] != '-' && line[3] != ' ') return;
    Words words(line + 4);
    std::string w;
    if (!words.next(w)) return;
    if (same(w, "STARTTLS")) {
        offers.startTls = true;
        return;
    }
    if (!same(w, "AUTH")) return;
    while (words.next(w)) {
        if (same(w, "PLAIN")) offers.authPlain = true;
        if (same(w, "LOGIN")) offers.authLogin = true;
    }
}

SaslMechanism chooseMechanism(int wanted, const SmtpOffers& offers) {
    if (wanted == 1) return SaslMechanism::Plain;
    if (wanted == 2) return SaslMechanism::Login;
    if (offers.authPlain) return SaslMechanism::Plain;
    if (offers.authLogin) return SaslMechanism::Login;
    return SaslMechanism::None;
}

std::string base64(const std::string& bytes) {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::string plainCredentials(const std::string& user, const std::string& password) {
    std::string blob;
    blob += '\0';
    blob += user;
    blob += '\0';
    blob += password;
    std::string out = base64(blob);
    wipe(blob);
    return out;
}

void wipe(std::string& s) {
    if (!s.empty()) explicit_bzero(&s[0], s.size());
    s.clear();
}

}  // namespace qor
