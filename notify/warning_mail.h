// The mail pass: one short warning mail per configured address, each over a
// connection of its own, through a dial-up link when one is configured.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>

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

// HELO, MAIL FROM, RCPT TO, DATA, the message, QUIT; false at the first
// reply that is not the expected one.
bool runSendSequence(SmtpClient& client);

class WarningMail {
public:
    using LinkFactory =
        std::function<std::unique_ptr<DialUpLink>(const PppSettings*, const ModemCommands&, const NotifyEnv&)>;

    // `s` is the copy taken at the start of the pass.
    WarningMail(const UpsSettings& s, const NotifyEnv& env);
    void setLinkFactory(LinkFactory f) { makeLink_ = std::move(f); }
    void run(int32_t code);

private:
    const UpsSettings& s_;
    NotifyEnv env_;
    LinkFactory makeLink_;
};

}  // namespace qor
