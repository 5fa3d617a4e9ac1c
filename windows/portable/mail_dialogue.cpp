#include "mail_dialogue.h"

#include "email_setting.h"
#include "entry_lists.h"
#include "event_value.h"
#include "registry_values.h"

namespace qorwin {
namespace {

// Texts from the registry end up inside SMTP lines: a CR or LF in them would
// end the line early and start a command of its own.
std::string OneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r' && c != '\n') out += c;
    return out;
}

std::string Line(const std::string& text) { return OneLine(text) + "\r\n"; }

}  // namespace

const char* MailEventValueName(int kind) {
    switch (kind) {
    case 0: return value::kPowerRestored;
    case 1: return value::kBatteryLow;
    case 2: return value::kPowerFailWarning;
    default: return nullptr;
    }
}

const char* MailFallbackText(int kind) {
    switch (kind) {
    case 0: return "AC Fail Recovered";
    case 1: return "Low Battery Warning";
    case 2: return "AC Fail Warning";
    default: return "Normal Message";
    }
}

std::string MailBody(SettingsStore& store, int kind) {
    const char* name = MailEventValueName(kind);
    unsigned char raw[kEventValueMaxSize] = {};
    if (name == nullptr || !ReadBlock(store, name, raw, sizeof raw)) return MailFallbackText(kind);
    return ParseEventValue(raw, sizeof raw).text;
}

std::string EntryAddress(const std::string& entry) {
    std::string text = entry;
    if (entry.find('<') != std::string::npos) text = SplitAddressEntry(entry).address;
    text = TrimBlanks(text);
    std::size_t blank = text.find_first_of(" \t");
    return blank == std::string::npos ? text : text.substr(0, blank);
}

MailPlan BuildMailPlan(SettingsStore& store, int kind, const char* hostName, const char* computerName) {
    MailPlan plan;
    unsigned char setting[kEmailSettingSize] = {};
    unsigned char list[kListSize] = {};
    if (!ReadBlock(store, value::kEmailSetting, setting, sizeof setting)) return plan;
    if (!ReadBlock(store, value::kEmailAddress, list, sizeof list) || list[0] == 0) return plan;
    std::vector<std::string> entries = ParseEntryList(list, sizeof list);
    EmailSetting s = UnpackEmailSetting(setting, sizeof setting);

    plan.send = true;
    plan.alwaysConnected = s.alwaysConnected != 0;
    plan.server = s.smtpServer;
    plan.connectionName = s.connectionName;

    std::string first = EntryAddress(entries.front());
    std::string host = hostName ? hostName : "";
    std::string computer = computerName ? computerName : "";
    std::string body = OneLine(MailBody(store, kind));
    // A body line of its own starting with a dot would end the message early.
    if (!body.empty() && body[0] == '.') body.insert(body.begin(), '.');

    plan.helo = Line("HELO " + host);
    plan.mailFrom = Line("MAIL From: <" + first + ">");
    for (const std::string& e : entries) {
        std::string address = EntryAddress(e);
        if (!address.empty()) plan.rcptTo.push_back(Line("RCPT TO: <" + address + ">"));
    }
    plan.data = "DATA\r\n";
    plan.headers = Line("From: " + computer + " <" + first + ">") + Line("To: Halvora User <" + first + ">");
    plan.message = Line(std::string("SUBJECT: Warning: ") + kMailSubject) + "\r\n" + "\r\n" + body + "\r\n" + ".\r\n";
    plan.quit = "QUIT \r\n";
    return plan;
}

MailOutcome RunMailDialogue(MailLine& line, const MailPlan& plan) {
    if (line.ReadReply() != kReplyGreeting) return MailOutcome::NoGreeting;
    // Replies other than the greeting and the one after the headers do not
    // change the course.
    line.Send(plan.helo);
    line.ReadReply();
    line.Send(plan.mailFrom);
    line.ReadReply();
    for (const std::string& rcpt : plan.rcptTo) {
        line.Send(rcpt);
        line.ReadReply();
    }
    line.Send(plan.data);
    line.Send(plan.headers);
    MailOutcome outcome = MailOutcome::Refused;
    if (line.ReadReply() == kReplyStartInput) {
        line.Send(plan.message);
        line.Pause(kMailPauseMs);
        outcome = MailOutcome::Sent;
    }
    line.Send(plan.quit);
    return outcome;
}

}  // namespace qorwin
