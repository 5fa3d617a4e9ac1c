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

bool runSendSequence(SmtpClient& client) {
    std::string address = client.address();
    if (client.helo() != 250) return false;
    if (client.mailFrom(address.c_str()) != 250) return false;
    if (client.rcptTo(address.c_str()) != 250) return false;
    if (client.data() != 354) return false;
    if (client.sendMessage() != 250) return false;
    client.quit();
    return true;
}

WarningMail::WarningMail(const UpsSettings& s, const NotifyEnv& env) : s_(s), env_(env) {
    makeLink_ = [](const PppSettings* p, const ModemCommands& c, const NotifyEnv& e) {
        return std::unique_ptr<DialUpLink>(new PppClient(p, c, e));
    };
}

void WarningMail::run(int32_t code) {
    SmtpClient client(env_.log);
    std::string warning = fieldText(warningField(s_, code));
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
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    for (int i = 0; i < kListSlots; ++i) {
        std::string address = fieldText(s_.mailAddrs[i]);
        if (address.find('@') == std::string::npos) continue;
        if (client.open(server.c_str(), env_.smtpPort) != 0) continue;
        std::string name = fieldText(s_.mailNames[i]);
        client.setAddress(address.c_str());
        if (env_.log != nullptr && env_.log->console()) env_.log->sys(name.c_str());
        client.setMessage(composeWarningMail(warning.c_str(), name.c_str(), address.c_str(), host,
                                             mailDate(time(nullptr))));
        runSendSequence(client);
        client.close();
    }

    if (dialUp) {
        link->disconnect();
        notifySleepMs(env_.clock, 5000);
    }
}

}  // namespace qor
