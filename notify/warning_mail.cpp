#include "warning_mail.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace qor {

namespace {

std::string oneLine(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p)
        if (*p != '\r' && *p != '\n') out += *p;
    return out;
}

std::string fieldText(const TextField& f) { return oneLine(textOf(f).c_str()); }

const TextField& warningField(const UpsSettings& s, int32_t code) {
    switch (code) {
    case EvAcFail: return s.msgAcFail;
    case EvBatteryLow: return s.msgLowBat;
    case EvAcRecoveried: return s.msgAcRecoveried;
    default: return s.msgConnectFail;
    }
}

constexpr int kLinkAttempts = 3;

std::string replyWords(const SmtpClient& c) {
    std::string w = c.reply();
    while (!w.empty() && (w.back() == '\r' || w.back() == '\n')) w.pop_back();
    return w;
}

// What a step whose reply was `code` gives: the server's words when it
// answered something else than asked, else why no answer came.
MailOutcome failedStep(const SmtpClient& c, int code) {
    if (!c.tlsFailure().empty()) return {MailOutcome::NoConnection, c.tlsFailure()};
    if (code > 0 || (code == 0 && c.errorCode() == 0)) return {MailOutcome::Refused, replyWords(c)};
    if (c.errorCode() != 0)
        return {MailOutcome::NoConnection, c.errorClassText()[0] != '\0' ? c.errorClassText() : c.errorCodeText()};
    return {MailOutcome::NoConnection, "the server closed the connection"};
}

MailOutcome failedOpen(const SmtpClient& c) {
    if (c.tlsFailure().empty() && c.replyCode() > 0) return {MailOutcome::Refused, replyWords(c)};
    return failedStep(c, -1);
}

// The send sequence from `helo` on (without it: from MAIL FROM), the name of
// each step in `step` as it is taken.
MailOutcome mailSteps(SmtpClient& c, bool helo, const char*& step) {
    std::string a = c.address();
    int code = 0;
    if (helo && (step = "HELO", code = c.helo()) != 250) return failedStep(c, code);
    if ((step = "MAIL FROM", code = c.mailFrom(a.c_str())) != 250) return failedStep(c, code);
    if ((step = "RCPT TO", code = c.rcptTo(a.c_str())) != 250) return failedStep(c, code);
    if ((step = "DATA", code = c.data()) != 354) return failedStep(c, code);
    if ((step = "the mail", code = c.sendMessage()) != 250) return failedStep(c, code);
    c.quit();
    return {MailOutcome::Delivered, ""};
}

}  // namespace

std::string mailDate(time_t when) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm tm {};
    localtime_r(&when, &tm);
    long off = tm.tm_gmtoff / 60;
    char sign = off < 0 ? '-' : '+';
    if (off < 0) off = -off;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", kDays[tm.tm_wday % 7],
                  tm.tm_mday, kMonths[tm.tm_mon % 12], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec, sign,
                  off / 60, off % 60);
    return buf;
}

std::string composeWarningMail(const char* warning, const char* name, const char* address, const char* host,
                               const std::string& date) {
    std::string w = oneLine(warning), n = oneLine(name), a = oneLine(address), h = oneLine(host),
                d = oneLine(date.c_str());
    std::string m;
    m += "Subject: Halvora warning";
    m += "\r\n";
    m += "From: ";
    m += "Halvora";
    m += "(" + h + ") " + a;
    m += "\r\n";
    m += "To: ";
    m += n + " " + a;
    m += "\r\n";
    m += "Date: ";
    m += d;
    m += "\r\n\n";
    m += "Dear " + n;
    m += ",\n\n  ";
    m += w;
    m += "\r\n\r\n.\r\n";
    return m;
}

std::string warningText(const UpsSettings& s, int32_t code) { return fieldText(warningField(s, code)); }

bool runSendSequence(SmtpClient& client) {
    const char* step = "";
    return mailSteps(client, true, step).kind == MailOutcome::Delivered;
}

WarningMail::WarningMail(const UpsSettings& s, const NotifyEnv& env) : WarningMail(s, ExtraSettings(), env) {}

WarningMail::WarningMail(const UpsSettings& s, const ExtraSettings& x, const NotifyEnv& env)
    : s_(s), x_(x), env_(env) {
    makeLink_ = [](const PppSettings* p, const ModemCommands& c, const NotifyEnv& e) {
        return std::unique_ptr<DialUpLink>(new PppClient(p, c, e));
    };
}

int WarningMail::port() const {
    if (x_.mailPort != 0) return x_.mailPort;
    return secure() ? x_.effectiveMailPort() : env_.smtpPort;
}

// EHLO, STARTTLS and EHLO again when asked for, the login when a user is
// set, then the mail as ever. Whatever the server offered before TLS is
// forgotten once TLS is on.
MailOutcome WarningMail::secureSequence(SmtpClient& client, const char*& step) {
    SmtpOffers offers;
    int code = 0;
    if ((step = "EHLO", code = client.ehlo(offers)) != 250) return failedStep(client, code);
    if (x_.mailSecurity == MailSecurity::StartTls) {
        if (!offers.startTls) {
            client.quit();
            return {MailOutcome::NoConnection, "the server offers no STARTTLS"};
        }
        if ((step = "STARTTLS", code = client.startTls(x_.mailCaFile)) != 220) return failedStep(client, code);
        if ((step = "EHLO", code = client.ehlo(offers)) != 250) return failedStep(client, code);
    }
    if (!x_.mailUser.empty()) {
        step = "login";
        SaslMechanism m = chooseMechanism(static_cast<int>(x_.mailAuth), offers);
        if (m == SaslMechanism::None) {
            client.quit();
            return {MailOutcome::Refused, "the server offers neither AUTH PLAIN nor AUTH LOGIN"};
        }
        if ((code = client.auth(m, x_.mailUser, x_.mailPassword)) != 235) return failedStep(client, code);
    }
    return mailSteps(client, false, step);
}

MailOutcome WarningMail::deliver(SmtpClient& client, const std::string& server, const std::string& name,
                                 const std::string& address, const std::string& warning, const char* host) {
    client.setWholeReplies(secure());
    client.setImplicitTls(x_.mailSecurity == MailSecurity::Tls, x_.mailCaFile);
    MailOutcome out;
    const char* step = "connect";
    if (client.open(server.c_str(), port()) != 0) {
        out = failedOpen(client);
    } else {
        client.setAddress(address.c_str());
        if (env_.log != nullptr && env_.log->console()) env_.log->sys(name.c_str());
        client.setMessage(
            composeWarningMail(warning.c_str(), name.c_str(), address.c_str(), host, mailDate(time(nullptr))));
        out = secure() ? secureSequence(client, step) : mailSteps(client, true, step);
        client.close();
    }
    // Plain mail fails silently, as it always has; secure mail was asked for
    // on purpose, and its failures (a server without STARTTLS, a certificate
    // or a login refused) are the administrator's to see.
    if (secure() && out.kind != MailOutcome::Delivered && env_.log != nullptr) {
        char line[768];
        std::snprintf(line, sizeof line, "mail to %s through %s:%d not sent: %s%s%s", address.c_str(), server.c_str(),
                      port(), out.kind == MailOutcome::Refused ? step : "",
                      out.kind == MailOutcome::Refused ? " refused: " : "", out.words.c_str());
        env_.log->sys(line);
    }
    return out;
}

MailOutcome WarningMail::sendOne(const std::string& name, const std::string& address, const std::string& warning) {
    SmtpClient client(env_.log);
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    return deliver(client, fieldText(s_.smtpServer), oneLine(name.c_str()), oneLine(address.c_str()),
                   oneLine(warning.c_str()), host);
}

void WarningMail::run(int32_t code) { runText(warningText(s_, code), OutcomeFn()); }

void WarningMail::runText(const std::string& warning, const OutcomeFn& each) {
    SmtpClient client(env_.log);
    PppSettings ppp = PppSettings::fromSettings(s_);
    ModemCommands commands = ModemCommands::fromSettings(s_);
    // The link is taken down by the mode it was brought up with, even if the
    // setting changes meanwhile.
    bool dialUp = s_.connectMode == 1;
    std::unique_ptr<DialUpLink> link;

    if (dialUp) {
        link = makeLink_(&ppp, commands, env_);
        int attempts = 0;
        for (;;) {
            if (attempts == kLinkAttempts) {
                link->disconnect();
                for (int i = 0; each && i < kListSlots; ++i) {
                    if (fieldText(s_.mailAddrs[i]).find('@') != std::string::npos)
                        each(i, {MailOutcome::NoConnection, "the dial-up link did not come up"});
                }
                return;
            }
            if (!link->connect()) {
                ++attempts;
                notifySleepMs(env_.clock, 5000);
                continue;
            }
            if (link->waitForLink()) break;
            ++attempts;
            link->disconnect();
            notifySleepMs(env_.clock, 3000);
        }
    }

    std::string server = fieldText(s_.smtpServer);
    std::string text = oneLine(warning.c_str());
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    for (int i = 0; i < kListSlots; ++i) {
        std::string address = fieldText(s_.mailAddrs[i]);
        if (address.find('@') == std::string::npos) continue;
        MailOutcome out = deliver(client, server, fieldText(s_.mailNames[i]), address, text, host);
        if (each) each(i, out);
    }

    if (dialUp) {
        link->disconnect();
        notifySleepMs(env_.clock, 5000);
    }
}

}  // namespace qor
