#include "extra_settings.h"

#include <strings.h>
#include <syslog.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "atomic_file.h"
#include "trusted_file.h"

namespace qor {
namespace {

struct EventName {
    const char* name;
    unsigned bit;
};
// In EventKind order, then the test notice.
constexpr EventName kEventNames[] = {
    {"acfail", 1u << 0}, {"batterylow", 1u << 1}, {"acrecovered", 1u << 2},
    {"connectfail", 1u << 3}, {"test", kCommandTestBit},
};

// One line's words. False with the reason for an unterminated quote, a
// control character, a word too long or too many words.
bool splitLine(const char* p, const char* end, std::vector<std::string>& words, const char*& fault) {
    words.clear();
    for (;;) {
        while (p < end && (*p == ' ' || *p == '\t' || *p == '\r')) ++p;
        if (p == end || *p == '#') return true;
        std::string w;
        bool quoted = false;
        while (p < end) {
            char c = *p;
            if (!quoted && (c == ' ' || c == '\t' || c == '\r')) break;
            ++p;
            if (c == '"') {
                quoted = !quoted;
                continue;
            }
            if (c == '\\') {
                if (p == end) {
                    fault = "a backslash ends the line";
                    return false;
                }
                c = *p++;
            }
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                fault = "a control character";
                return false;
            }
            w += c;
            if (w.size() > kMaxExtraWord) {
                fault = "a word longer than 1024 characters";
                return false;
            }
        }
        if (quoted) {
            fault = "an unterminated quote";
            return false;
        }
        if (words.size() > static_cast<size_t>(kMaxCommandWords) + 2) {
            fault = "too many words";
            return false;
        }
        words.push_back(std::move(w));
    }
}

bool parseNumber(const std::string& w, int lo, int hi, int& out) {
    if (w.empty() || w.size() > 9) return false;
    for (char c : w)
        if (c < '0' || c > '9') return false;
    long v = std::strtol(w.c_str(), nullptr, 10);
    if (v < lo || v > hi) return false;
    out = static_cast<int>(v);
    return true;
}

bool absolutePath(const std::string& w) { return w.size() > 1 && w.size() < 256 && w[0] == '/'; }

bool parseEvents(const std::string& w, unsigned& out) {
    out = 0;
    if (strcasecmp(w.c_str(), "all") == 0) {
        out = kCommandAllEvents;
        return true;
    }
    size_t start = 0;
    for (;;) {
        size_t comma = w.find(',', start);
        std::string name = w.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        bool known = false;
        for (const EventName& e : kEventNames) {
            if (strcasecmp(name.c_str(), e.name) == 0) {
                out |= e.bit;
                known = true;
            }
        }
        if (!known) return false;
        if (comma == std::string::npos) return true;
        start = comma + 1;
    }
}

// Why the line's words are not a setting, or null when they are one.
const char* applyLine(const std::vector<std::string>& w, ExtraSettings& s, unsigned& seen) {
    const std::string& key = w[0];
    size_t n = w.size();
    auto once = [&seen](unsigned bit) {
        bool first = (seen & bit) == 0;
        seen |= bit;
        return first;
    };
    auto is = [&key](const char* k) { return strcasecmp(key.c_str(), k) == 0; };
    if (is("PORT")) {
        if (n != 2 || !absolutePath(w[1])) return "PORT takes one absolute path";
        if (s.ports.size() == static_cast<size_t>(kMaxExtraPorts)) return "more than 8 PORT lines";
        s.ports.push_back(w[1]);
        return nullptr;
    }
    if (is("COMMAND")) {
        if (n < 3) return "COMMAND takes the events and a program";
        if (n - 2 > static_cast<size_t>(kMaxCommandWords)) return "COMMAND has more than 16 words";
        if (s.commands.size() == static_cast<size_t>(kMaxCommands)) return "more than 8 COMMAND lines";
        ExtraCommand c;
        if (!parseEvents(w[1], c.events))
            return "unknown event (acfail, batterylow, acrecovered, connectfail, test or all)";
        if (!absolutePath(w[2])) return "the COMMAND's program is not an absolute path";
        c.argv.assign(w.begin() + 2, w.end());
        s.commands.push_back(std::move(c));
        return nullptr;
    }
    if (n != 2) return "takes one value";
    const std::string& v = w[1];
    if (is("MAIL-SECURITY")) {
        if (!once(1)) return "given twice";
        if (strcasecmp(v.c_str(), "plain") == 0) {
            s.mailSecurity = MailSecurity::Plain;
        } else if (strcasecmp(v.c_str(), "starttls") == 0) {
            s.mailSecurity = MailSecurity::StartTls;
        } else if (strcasecmp(v.c_str(), "tls") == 0) {
            s.mailSecurity = MailSecurity::Tls;
        } else {
            return "MAIL-SECURITY is plain, starttls or tls";
        }
    } else if (is("MAIL-PORT")) {
        if (!once(2)) return "given twice";
        if (!parseNumber(v, 1, 65535, s.mailPort)) return "MAIL-PORT is a number from 1 to 65535";
    } else if (is("MAIL-AUTH")) {
        if (!once(4)) return "given twice";
        if (strcasecmp(v.c_str(), "any") == 0) {
            s.mailAuth = MailAuth::Any;
        } else if (strcasecmp(v.c_str(), "plain") == 0) {
            s.mailAuth = MailAuth::Plain;
        } else if (strcasecmp(v.c_str(), "login") == 0) {
            s.mailAuth = MailAuth::Login;
        } else {
            return "MAIL-AUTH is any, plain or login";
        }
    } else if (is("MAIL-USER")) {
        if (!once(8)) return "given twice";
        if (v.empty() || v.size() > 255) return "MAIL-USER is 1 to 255 characters";
        s.mailUser = v;
    } else if (is("MAIL-PASSWORD")) {
        if (!once(16)) return "given twice";
        if (v.empty() || v.size() > 255) return "MAIL-PASSWORD is 1 to 255 characters";
        s.mailPassword = v;
    } else if (is("MAIL-CA-FILE")) {
        if (!once(32)) return "given twice";
        if (!absolutePath(v)) return "MAIL-CA-FILE is an absolute path";
        s.mailCaFile = v;
    } else if (is("COMMAND-TIMEOUT")) {
        if (!once(64)) return "given twice";
        if (!parseNumber(v, 1, kMaxCommandTimeoutSec, s.commandTimeoutSec))
            return "COMMAND-TIMEOUT is from 1 to 3600 seconds";
    } else if (is("OUTAGE-DELAY")) {
        if (!once(128)) return "given twice";
        if (!parseNumber(v, 0, kMaxOutageDelaySec, s.outageDelaySec)) return "OUTAGE-DELAY is from 0 to 3600 seconds";
    } else {
        return "unknown setting";
    }
    return nullptr;
}

}  // namespace

std::string extraWord(const std::string& w) {
    bool plain = !w.empty();
    for (char c : w)
        if (c == ' ' || c == '\t' || c == '"' || c == '\\' || c == '#') plain = false;
    if (plain) return w;
    std::string out = "\"";
    for (char c : w) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

namespace {

std::string quoted(const std::string& w) { return extraWord(w); }

void logLine(int priority, const char* path, const char* what) {
    char line[512];
    std::snprintf(line, sizeof line, "%s %s", path, what);
    syslog(priority, "%s", line);
}

}  // namespace

int ExtraSettings::effectiveMailPort() const {
    if (mailPort != 0) return mailPort;
    switch (mailSecurity) {
    case MailSecurity::StartTls:
        return 587;
    case MailSecurity::Tls:
        return 465;
    case MailSecurity::Plain:
        break;
    }
    return 25;
}

bool ExtraSettings::operator==(const ExtraSettings& o) const {
    return ports == o.ports && mailSecurity == o.mailSecurity && mailPort == o.mailPort && mailAuth == o.mailAuth &&
           mailUser == o.mailUser && mailPassword == o.mailPassword && mailCaFile == o.mailCaFile &&
           commands == o.commands && commandTimeoutSec == o.commandTimeoutSec && outageDelaySec == o.outageDelaySec;
}

bool parseExtraSettings(const char* text, size_t len, ExtraSettings& out, char* why, size_t whySize) {
    out = ExtraSettings{};
    ExtraSettings s;
    unsigned seen = 0;
    std::vector<std::string> words;
    size_t pos = 0;
    for (int lineNo = 1; pos < len; ++lineNo) {
        const char* nl = static_cast<const char*>(std::memchr(text + pos, '\n', len - pos));
        size_t end = nl ? static_cast<size_t>(nl - text) : len;
        const char* fault = nullptr;
        if (std::memchr(text + pos, '\0', end - pos) != nullptr) {
            fault = "a NUL byte";
        } else if (splitLine(text + pos, text + end, words, fault) && !words.empty()) {
            fault = applyLine(words, s, seen);
        }
        if (fault != nullptr) {
            std::snprintf(why, whySize, "line %d: %s", lineNo, fault);
            return false;
        }
        pos = end + 1;
    }
    if (s.mailUser.empty() != s.mailPassword.empty()) {
        std::snprintf(why, whySize, "MAIL-USER and MAIL-PASSWORD go together");
        return false;
    }
    if (!s.mailUser.empty() && s.mailSecurity == MailSecurity::Plain) {
        std::snprintf(why, whySize, "a mail password is only sent over TLS: set MAIL-SECURITY starttls or tls");
        return false;
    }
    out = std::move(s);
    return true;
}

std::string commandEventNames(unsigned events) {
    if ((events & kCommandAllEvents) == kCommandAllEvents) return "all";
    std::string out;
    for (const EventName& e : kEventNames) {
        if ((events & e.bit) == 0) continue;
        if (!out.empty()) out += ',';
        out += e.name;
    }
    return out;
}

std::string formatExtraSettings(const ExtraSettings& s) {
    static const char* const kSecurity[] = {"plain", "starttls", "tls"};
    static const char* const kAuth[] = {"any", "plain", "login"};
    std::string t = "# Qor's further settings: see qor.conf(5). Root's alone (mode 600).\n";
    for (const std::string& p : s.ports) t += "PORT " + quoted(p) + "\n";
    if (s.mailSecurity != MailSecurity::Plain)
        t += std::string("MAIL-SECURITY ") + kSecurity[static_cast<int>(s.mailSecurity)] + "\n";
    if (s.mailPort != 0) t += "MAIL-PORT " + std::to_string(s.mailPort) + "\n";
    if (s.mailAuth != MailAuth::Any) t += std::string("MAIL-AUTH ") + kAuth[static_cast<int>(s.mailAuth)] + "\n";
    if (!s.mailUser.empty()) t += "MAIL-USER " + quoted(s.mailUser) + "\n";
    if (!s.mailPassword.empty()) t += "MAIL-PASSWORD " + quoted(s.mailPassword) + "\n";
    if (!s.mailCaFile.empty()) t += "MAIL-CA-FILE " + quoted(s.mailCaFile) + "\n";
    for (const ExtraCommand& c : s.commands) {
        t += "COMMAND " + commandEventNames(c.events);
        for (const std::string& a : c.argv) t += " " + quoted(a);
        t += "\n";
    }
    if (s.commandTimeoutSec != 30) t += "COMMAND-TIMEOUT " + std::to_string(s.commandTimeoutSec) + "\n";
    if (s.outageDelaySec != 0) t += "OUTAGE-DELAY " + std::to_string(s.outageDelaySec) + "\n";
    return t;
}

ExtraLoad loadExtraSettings(const char* path, ExtraSettings& out) {
    out = ExtraSettings{};
    if (path == nullptr || path[0] == '\0') return ExtraLoad::Absent;
    std::string text;
    char why[256];
    switch (readTrustedFile(path, kMaxExtraBytes, text, why, sizeof why)) {
    case TrustedRead::Absent:
        return ExtraLoad::Absent;
    case TrustedRead::Refused: {
        char what[320];
        std::snprintf(what, sizeof what, "%s: refused, further settings off", why);
        logLine(LOG_ERR, path, what);
        return ExtraLoad::Refused;
    }
    case TrustedRead::Loaded:
        break;
    }
    if (!parseExtraSettings(text.data(), text.size(), out, why, sizeof why)) {
        char what[320];
        std::snprintf(what, sizeof what, "%s; further settings off", why);
        logLine(LOG_ERR, path, what);
        return ExtraLoad::Refused;
    }
    return ExtraLoad::Loaded;
}

bool saveExtraSettings(const char* path, const ExtraSettings& s) {
    std::string text = formatExtraSettings(s);
    if (replaceFile(path, text.data(), text.size(), FileAccess::OwnerOnly)) return true;
    char what[160];
    std::snprintf(what, sizeof what, "could not be written: %s", std::strerror(errno));
    logLine(LOG_ERR, path, what);
    return false;
}

}  // namespace qor
