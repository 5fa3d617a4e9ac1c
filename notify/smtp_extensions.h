// The texts of the extended SMTP exchange that secure submission needs: what
// an EHLO reply offers, which login mechanism to use, and the base64 the
// AUTH lines carry. Plain logic, no sockets.
#pragma once

#include <string>

namespace qor {

struct SmtpOffers {
    bool startTls = false;
    bool authPlain = false;
    bool authLogin = false;
};

// Notes what one line of an EHLO reply ("250-STARTTLS\r\n",
// "250 AUTH LOGIN PLAIN") offers. Keywords are case-insensitive; anything
// else is ignored.
void noteEhloLine(const char* line, SmtpOffers& offers);

enum class SaslMechanism { None, Plain, Login };

// `wanted`: 0 any (PLAIN when offered, else LOGIN), 1 PLAIN, 2 LOGIN (used
// as asked, offered or not). None when "any" finds neither offered.
SaslMechanism chooseMechanism(int wanted, const SmtpOffers& offers);

std::string base64(const std::string& bytes);

// The argument of "AUTH PLAIN ": NUL, user, NUL, password, in base64.
std::string plainCredentials(const std::string& user, const std::string& password);

// Overwrites a text that held a secret before it is freed.
void wipe(std::string& s);

}  // namespace qor
