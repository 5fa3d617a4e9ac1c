// The mail pass: one short warning mail per configured address, each over a
// connection of its own, through a dial-up link when one is configured.
// Plain SMTP unless the further settings ask for STARTTLS or TLS, which are
// then required: a server that offers no STARTTLS, or whose certificate
// fails, gets no password and no mail, and the reason goes to the system log.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "extra_settings.h"
#include "modem.h"
#include "notify_env.h"
#include "pppclient.h"
#include "smtp_client.h"
#include "ups_settings.h"

namespace qor {

// "%a, %d %b %Y %H:%M:%S %z" in local time, with English day and month
// names whatever locale the front-end set (mail dates are not localised).
std::string mailDate(time_t when);

// The DATA text, byte for byte, ending in the "." line. Line ends inside the
// given texts are removed so that none of them can end the mail early.
std::string composeWarningMail(const char* warning, const char* name, const char* address, const char* host,
                               const std::string& date);

// The warning text of event `code`, on one line.
std::string warningText(const UpsSettings& s, int32_t code);

// HELO, MAIL FROM, RCPT TO, DATA, the message, QUIT; false at the first
// reply that is not the expected one.
bool runSendSequence(SmtpClient& client);

// What became of one mail.
struct MailOutcome {
    enum Kind { Delivered, Refused, NoConnection };
    Kind kind = NoConnection;
    // Refused: the server's reply line that refused it, without its line
    // end; NoConnection: why no (secure) connection came about; Delivered:
    // empty. Never holds a password.
    std::string words;
};

class WarningMail {
public:
    using LinkFactory =
        std::function<std::unique_ptr<DialUpLink>(const PppSettings*, const ModemCommands&, const NotifyEnv&)>;
    // Hears each address slot's outcome as soon as it is known.
    using OutcomeFn = std::function<void(int slot, const MailOutcome&)>;

    // `s` and `x` are the copies taken at the start of the pass.
    WarningMail(const UpsSettings& s, const ExtraSettings& x, const NotifyEnv& env);
    // Plain SMTP only (the further settings' defaults).
    WarningMail(const UpsSettings& s, const NotifyEnv& env);
    void setLinkFactory(LinkFactory f) { makeLink_ = std::move(f); }
    // The mail pass of event `code`.
    void run(int32_t code);
    // The same pass with a warning text of the caller's: the dial-up around
    // it when configured, then each slot whose address has an at-sign. A
    // dial-up that does not come up gives every such slot NoConnection.
    void runText(const std::string& warning, const OutcomeFn& each);
    // One mail with `warning` to one recipient over a connection of its own
    // (no dial-up: the caller sees to the link).
    MailOutcome sendOne(const std::string& name, const std::string& address, const std::string& warning);

private:
    MailOutcome deliver(SmtpClient& client, const std::string& server, const std::string& name,
                        const std::string& address, const std::string& warning, const char* host);
    MailOutcome secureSequence(SmtpClient& client, const char*& step);
    int port() const;
    bool secure() const { return x_.mailSecurity != MailSecurity::Plain; }

    const UpsSettings& s_;
    ExtraSettings x_;
    NotifyEnv env_;
    LinkFactory makeLink_;
};

}  // namespace qor
