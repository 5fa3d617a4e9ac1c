// The warning mail of the Windows edition: what it says, to whom, and the
// course of its SMTP dialogue over any line that sends text and reads replies.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "settings_store.h"

namespace qorwin {

inline constexpr char kMailSubject[] = "UPS Warning";
inline constexpr int kSmtpPort = 25;
inline constexpr int kReplyGreeting = 220;
inline constexpr int kReplyStartInput = 354;
inline constexpr unsigned kMailPauseMs = 5000;  // after the final dot, and before a hang-up

// The registry event value whose text is the body of a mail kind (nullptr for
// kinds other than 0..2), and the text used when that value is missing.
const char* MailEventValueName(int kind);
const char* MailFallbackText(int kind);
std::string MailBody(SettingsStore& store, int kind);

// The bare address of a stored address-list entry. Entries are stored as
// name "<" address ">", so the part in angle brackets is the address; an entry
// without "<" is taken up to its first blank. Blanks around it are dropped.
std::string EntryAddress(const std::string& entry);

// The whole dialogue for given settings, line by line, each ending in CR LF.
struct MailPlan {
    bool send = false;        // false: no address list, the job is dropped
    bool alwaysConnected = false;
    std::string server;       // SMTP server field: name or dotted address
    std::string connectionName;
    std::string helo;
    std::string mailFrom;
    std::vector<std::string> rcptTo;  // one per entry with a non-empty address
    std::string data;
    std::string headers;      // From: and To:
    std::string message;      // SUBJECT:, the body, the final dot
    std::string quit;
};

MailPlan BuildMailPlan(SettingsStore& store, int kind, const char* hostName, const char* computerName);

// The line a mail dialogue runs over (a socket in the program, a script in
// the tests). ReadReply returns the reply number, -1 when nothing came.
class MailLine {
public:
    virtual ~MailLine() = default;
    virtual bool Send(const std::string& text) = 0;
    virtual int ReadReply() = 0;
    virtual void Pause(unsigned ms) = 0;
};

enum class MailOutcome { NoGreeting, Refused, Sent };

// Greeting, HELO, MAIL, RCPT per recipient, DATA, headers, and only on 354 the
// message; QUIT always once greeted. A greeting other than 220 gets nothing.
MailOutcome RunMailDialogue(MailLine& line, const MailPlan& plan);

}  // namespace qorwin
