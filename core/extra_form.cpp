#include "extra_form.h"

#include <cstdlib>
#include <cstring>

namespace qor {
namespace {

std::string trimmed(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// The text being composed, with the field each line came from.
struct Composer {
    std::string text;
    std::vector<std::string> fieldOfLine;
    void line(const std::string& field, const std::string& l) {
        text += l + "\n";
        fieldOfLine.push_back(field);
    }
};

}  // namespace

ExtraFields extraFields(const ExtraSettings& s) {
    ExtraFields f;
    f.ports = s.ports;
    f.security = s.mailSecurity;
    f.mailPort = s.mailPort;
    f.auth = s.mailAuth;
    f.user = s.mailUser;
    f.password = s.mailPassword;
    f.caFile = s.mailCaFile;
    for (const ExtraCommand& c : s.commands) {
        std::string l = commandEventNames(c.events);
        for (const std::string& a : c.argv) l += " " + extraWord(a);
        f.commands.push_back(l);
    }
    f.commandTimeoutSec = s.commandTimeoutSec;
    f.outageDelaySec = s.outageDelaySec;
    return f;
}

bool extraFromFields(const ExtraFields& f, ExtraSettings& out, std::string& why) {
    static const char* const kSecurity[] = {"plain", "starttls", "tls"};
    static const char* const kAuth[] = {"any", "plain", "login"};
    Composer c;
    for (size_t i = 0; i < f.ports.size(); ++i) {
        std::string p = trimmed(f.ports[i]);
        if (!p.empty()) c.line("Port " + std::to_string(i + 1), "PORT " + extraWord(p));
    }
    c.line("Mail security", std::string("MAIL-SECURITY ") + kSecurity[static_cast<int>(f.security)]);
    if (f.mailPort != 0) c.line("Mail port", "MAIL-PORT " + std::to_string(f.mailPort));
    c.line("Login", std::string("MAIL-AUTH ") + kAuth[static_cast<int>(f.auth)]);
    // Blanks around a user name or a file name are slips of the keyboard; a
    // password is taken as typed.
    if (!trimmed(f.user).empty()) c.line("User", "MAIL-USER " + extraWord(trimmed(f.user)));
    if (!f.password.empty()) c.line("Password", "MAIL-PASSWORD " + extraWord(f.password));
    if (!trimmed(f.caFile).empty()) c.line("CA file", "MAIL-CA-FILE " + extraWord(trimmed(f.caFile)));
    for (size_t i = 0; i < f.commands.size(); ++i) {
        std::string l = trimmed(f.commands[i]);
        if (!l.empty()) c.line("Command " + std::to_string(i + 1), "COMMAND " + l);
    }
    c.line("Command time-out", "COMMAND-TIMEOUT " + std::to_string(f.commandTimeoutSec));
    c.line("Outage delay", "OUTAGE-DELAY " + std::to_string(f.outageDelaySec));

    ExtraSettings parsed;
    char reason[256] = {};
    if (parseExtraSettings(c.text.data(), c.text.size(), parsed, reason, sizeof reason)) {
        out = std::move(parsed);
        return true;
    }
    // "line N: fault" names the line; the user knows the field.
    why = reason;
    if (std::strncmp(reason, "line ", 5) == 0) {
        char* end = nullptr;
        long n = std::strtol(reason + 5, &end, 10);
        if (n >= 1 && static_cast<size_t>(n) <= c.fieldOfLine.size() && end != nullptr && end[0] == ':')
            why = c.fieldOfLine[static_cast<size_t>(n) - 1] + end;
    }
    return false;
}

}  // namespace qor
