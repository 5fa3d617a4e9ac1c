#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "entry_lists.h"
#include "email_setting.h"
#include "event_value.h"
#include "mail_dialogue.h"
#include "modem_turns.h"
#include "memory_store.h"
#include "notify_switch.h"
#include "pager_dialogue.h"
#include "pager_requests.h"
#include "registry_values.h"

using qorwin::testing::MemoryStore;

namespace {

void PutBlock(MemoryStore& s, const char* name, const void* data, std::size_t size) {
    qorwin::WriteBlock(s, name, data, size);
}

std::size_t PutAddresses(MemoryStore& s, const std::vector<qorwin::AddressEntry>& entries) {
    unsigned char list[qorwin::kListSize];
    std::size_t stored = qorwin::BuildAddressList(entries, list);
    PutBlock(s, qorwin::value::kEmailAddress, list, sizeof list);
    return stored;
}

void PutEmailSetting(MemoryStore& s, const char* server, std::uint32_t always) {
    qorwin::EmailSetting e{};
    e.alwaysConnected = always;
    qorwin::SetField(e.smtpServer, server);
    qorwin::SetField(e.connectionName, "Office line");
    unsigned char raw[qorwin::kEmailSettingSize];
    qorwin::PackEmailSetting(e, raw);
    PutBlock(s, qorwin::value::kEmailSetting, raw, sizeof raw);
}

void PutText(MemoryStore& s, const char* name, const char* text, std::size_t size) {
    std::vector<unsigned char> raw(size, 0);
    std::memcpy(raw.data(), text, std::strlen(text));
    PutBlock(s, name, raw.data(), raw.size());
}

}  // namespace

TEST(MailPlan, EveryEntryGivesItsBareAddressNeverTheName) {
    MemoryStore s;
    PutEmailSetting(s, "127.0.0.1", 1);
    std::vector<qorwin::AddressEntry> entries = {{"Ann Lee", "ann@example.org"}, {"", "ops@example.org"}};
    for (int i = 0; i < 60; ++i)
        entries.push_back({"Duty Officer " + std::to_string(i), "duty" + std::to_string(i) + "@example.org"});
    // More than the 2048 bytes hold: the mail goes to every entry stored.
    std::size_t stored = PutAddresses(s, entries);
    ASSERT_LT(stored, entries.size());
    qorwin::MailPlan p = qorwin::BuildMailPlan(s, 2, "upshost", "UPSPC");

    ASSERT_TRUE(p.send);
    EXPECT_TRUE(p.alwaysConnected);
    EXPECT_EQ(p.server, "127.0.0.1");
    EXPECT_EQ(p.connectionName, "Office line");
    EXPECT_EQ(p.helo, "HELO upshost\r\n");
    EXPECT_EQ(p.mailFrom, "MAIL From: <ann@example.org>\r\n");
    ASSERT_EQ(p.rcptTo.size(), stored);
    EXPECT_EQ(p.rcptTo[0], "RCPT TO: <ann@example.org>\r\n");
    EXPECT_EQ(p.rcptTo[1], "RCPT TO: <ops@example.org>\r\n");
    EXPECT_EQ(p.rcptTo.back(), "RCPT TO: <duty" + std::to_string(stored - 3) + "@example.org>\r\n");
    EXPECT_EQ(p.data, "DATA\r\n");
    EXPECT_EQ(p.headers, "From: UPSPC <ann@example.org>\r\nTo: Halvora User <ann@example.org>\r\n");
    // No event value stored: the kind's own text.
    EXPECT_EQ(p.message, "SUBJECT: Warning: UPS Warning\r\n\r\n\r\nAC Fail Warning\r\n.\r\n");
    EXPECT_EQ(p.quit, "QUIT \r\n");
}

TEST(MailPlan, AddressRulesBodiesAndDroppedJobs) {
    struct { const char* entry; const char* address; } addresses[] = {
        {"Ann Lee<ann@example.org>", "ann@example.org"},
        {"<ops@example.org>", "ops@example.org"},
        {"bob@example.org", "bob@example.org"},                 // typed without brackets
        {"bob@example.org Bob Smith", "bob@example.org"},      // cut at the first blank
        {"Eve< eve@example.org >", "eve@example.org"},
        {"Half<open@example.org", "open@example.org"},
        {"Nobody<>", ""},
    };
    for (const auto& a : addresses) EXPECT_EQ(qorwin::EntryAddress(a.entry), a.address) << a.entry;

    MemoryStore s;
    PutEmailSetting(s, "mail.example.org", 0);
    PutAddresses(s, {{"Ann", "ann@example.org"}, {"Nobody", ""}});
    unsigned char ev[qorwin::kEventValueSize];
    qorwin::FormatEventValue("Mains is back, all fine", 2, ev);  // cut at the first comma
    PutBlock(s, qorwin::value::kPowerRestored, ev, sizeof ev);
    qorwin::FormatEventValue(".Battery\r\nRCPT TO: <x@evil>", 2, ev);
    PutBlock(s, qorwin::value::kBatteryLow, ev, sizeof ev);

    struct { int kind; const char* body; } bodies[] = {
        {0, "Mains is back"}, {1, "..BatteryRCPT TO: <x@evil>"}, {2, "AC Fail Warning"}, {7, "Normal Message"},
    };
    for (const auto& b : bodies) {
        qorwin::MailPlan p = qorwin::BuildMailPlan(s, b.kind, "h", "C");
        EXPECT_FALSE(p.alwaysConnected);
        EXPECT_EQ(p.rcptTo.size(), 1u);  // the entry without an address gets no RCPT
        EXPECT_EQ(p.message, std::string("SUBJECT: Warning: UPS Warning\r\n\r\n\r\n") + b.body + "\r\n.\r\n") << b.kind;
    }

    MemoryStore none;  // nothing stored: dropped
    EXPECT_FALSE(qorwin::BuildMailPlan(none, 2, "h", "C").send);
    PutEmailSetting(none, "x", 1);
    EXPECT_FALSE(qorwin::BuildMailPlan(none, 2, "h", "C").send);
    PutAddresses(none, {});
    EXPECT_FALSE(qorwin::BuildMailPlan(none, 2, "h", "C").send);
}

namespace {

// Answers with the scripted reply numbers (-1 once they run out) and records
// every line and pause.
class ScriptedMailLine : public qorwin::MailLine {
public:
    explicit ScriptedMailLine(std::vector<int> replies) : replies_(std::move(replies)) {}
    bool Send(const std::string& text) override {
        log += text;
        return true;
    }
    int ReadReply() override {
        log += "<reply>";
        return next_ < replies_.size() ? replies_[next_++] : -1;
    }
    void Pause(unsigned ms) override { log += "<pause " + std::to_string(ms) + ">"; }
    std::string log;

private:
    std::vector<int> replies_;
    std::size_t next_ = 0;
};

}  // namespace

TEST(MailDialogue, CourseForEachGreetingAndDataReply) {
    MemoryStore s;
    PutEmailSetting(s, "127.0.0.1", 1);
    PutAddresses(s, {{"A", "a@x"}, {"B", "b@x"}});
    qorwin::MailPlan p = qorwin::BuildMailPlan(s, 1, "host", "PC");
    const std::string head =
        "<reply>HELO host\r\n<reply>MAIL From: <a@x>\r\n<reply>RCPT TO: <a@x>\r\n<reply>RCPT TO: <b@x>\r\n<reply>"
        "DATA\r\nFrom: PC <a@x>\r\nTo: Halvora User <a@x>\r\n<reply>";
    struct {
        std::vector<int> replies;
        qorwin::MailOutcome outcome;
        std::string log;
    } cases[] = {
        {{220, 250, 250, 250, 250, 354}, qorwin::MailOutcome::Sent,
         head + p.message + "<pause 5000>QUIT \r\n"},
        // Other replies along the way do not change the course.
        {{220, 501, 550, 550, 550, 354}, qorwin::MailOutcome::Sent, head + p.message + "<pause 5000>QUIT \r\n"},
        {{220, 250, 250, 250, 250, 554}, qorwin::MailOutcome::Refused, head + "QUIT \r\n"},
        {{220}, qorwin::MailOutcome::Refused, head + "QUIT \r\n"},  // silent after the greeting
        {{421}, qorwin::MailOutcome::NoGreeting, "<reply>"},
        {{}, qorwin::MailOutcome::NoGreeting, "<reply>"},           // never answers
    };
    for (const auto& c : cases) {
        ScriptedMailLine line(c.replies);
        EXPECT_EQ(qorwin::RunMailDialogue(line, p), c.outcome);
        EXPECT_EQ(line.log, c.log);
    }
}

TEST(PagerPlan, LinesForGivenSettings) {
    unsigned char list[qorwin::kListSize];
    qorwin::BuildPagerList({{"5551234", "Ann"}, {"5559876", "Bob"}, {"77", ""}}, list);
    struct {
        const char* modem;
        const char* ownInit;    // nullptr: value missing
        const char* ownPrefix;
        int code;
        int fields;
        const char* init;
        const char* firstDial;
    } cases[] = {
        {"COM2 9600 0 4 0", nullptr, nullptr, 1, 5, "", "ATDT5551234,,,,,01#\r\n"},
        {"COM2 9600 0 4 0", "", "", 3, 5, "", "ATDT5551234,,,,,03#\r\n"},
        {"COM2 9600 0 4 0", "ATM0", "9", 2, 5, "ATM0\r\n", "ATDT9,5551234,,,,,02#\r\n"},
        {"COM2 9600 0 4 0 ATL1", nullptr, nullptr, 1, 6, "", "ATDT5551234,,,,,01#\r\n"},
        {"COM2 9600 0 4 0 ATL1 8", nullptr, "", 1, 7, "ATL1\r\n", "ATDT8,5551234,,,,,01#\r\n"},
        {"COM2 9600 0 4 0 ATL1 8", "ATM0", "9", 1, 7, "ATM0\r\n", "ATDT9,5551234,,,,,01#\r\n"},
    };
    for (const auto& c : cases) {
        MemoryStore s;
        PutText(s, qorwin::value::kModemSetting, c.modem, qorwin::kModemSettingSize);
        if (c.ownInit) qorwin::WriteText(s, qorwin::value::kSpecialInitString, c.ownInit);
        if (c.ownPrefix) qorwin::WriteText(s, qorwin::value::kDialingPrefix, c.ownPrefix);
        qorwin::PagerPlan p = qorwin::BuildPagerPlan(s, list, sizeof list, c.code);
        EXPECT_EQ(p.fields, c.fields) << c.modem;
        EXPECT_STREQ(p.line.port, "COM2");
        EXPECT_EQ(p.line.baud, 9600);
        EXPECT_EQ(qorwin::DataBitsOf(p.line.dataBitsIndex), 8);
        EXPECT_EQ(p.init, c.init) << c.modem;
        ASSERT_EQ(p.dialLines.size(), 3u);
        EXPECT_EQ(p.dialLines[0], c.firstDial) << c.modem;
    }
    EXPECT_EQ(qorwin::PagerDialLine("", "77", 1), "ATDT77,,,,,01#\r\n");
    EXPECT_EQ(qorwin::PagerDialLine("0", "123", 12), "ATDT0,123,,,,,12#\r\n");
    EXPECT_EQ(qorwin::PagerNumberOf("5551234    Ann"), "5551234");

    MemoryStore s;  // no "Modem Setting": no usable port
    EXPECT_LT(qorwin::BuildPagerPlan(s, list, sizeof list, 1).fields, 5);
}

namespace {

class RecordingPagerLine : public qorwin::PagerLine {
public:
    bool Write(const std::string& text) override {
        log += text;
        return true;
    }
    void ReadByte() override { log += "<read>"; }
    void Pause(unsigned ms) override { log += "<" + std::to_string(ms) + ">"; }
    std::string log;
};

}  // namespace

TEST(PagerCalls, ResetInitThenEachNumberWithItsWaits) {
    qorwin::PagerPlan p;
    p.dialLines = {"ATDT1,,,,,01#\r\n", "ATDT2,,,,,01#\r\n"};
    RecordingPagerLine plain;
    qorwin::RunPagerCalls(plain, p);
    EXPECT_EQ(plain.log,
              "AT&FX4&C1&D2E1\r\n<1000>ATDT1,,,,,01#\r\n<18000>ATZ0\r\n<1000>ATDT2,,,,,01#\r\n<18000>ATZ0\r\n<1000>");

    p.init = "ATM0\r\n";
    p.dialLines.resize(1);
    RecordingPagerLine withInit;
    qorwin::RunPagerCalls(withInit, p);
    EXPECT_EQ(withInit.log, "AT&FX4&C1&D2E1\r\n<1000>ATM0\r\n<100><read>ATDT1,,,,,01#\r\n<18000>ATZ0\r\n<1000>");
}

TEST(NotifySwitch, EachBitGatesItsChannel) {
    MemoryStore s;
    EXPECT_FALSE(qorwin::NotifyChannelOn(s, qorwin::kNotifyEmailBit));  // missing: off
    struct { std::uint32_t value; bool mail, pager; } cases[] = {{0, false, false}, {1, true, false}, {2, false, true}, {3, true, true}};
    for (const auto& c : cases) {
        qorwin::WriteDword(s, qorwin::value::kEnableNotification, c.value);
        EXPECT_EQ(qorwin::NotifyChannelOn(s, qorwin::kNotifyEmailBit), c.mail) << c.value;
        EXPECT_EQ(qorwin::NotifyChannelOn(s, qorwin::kNotifyPagerBit), c.pager) << c.value;
    }
}

TEST(ModemTurns, AMailWaitsForOnePagerJobNeverForTheQueue) {
    using qorwin::LineUser;
    qorwin::ModemTurns t;
    // Afresh, a pager job posted before the mail calls first.
    t.PagerQueued();
    t.MailWaiting();
    EXPECT_FALSE(t.MayStart(LineUser::Mail));
    ASSERT_TRUE(t.MayStart(LineUser::Pager));
    t.Start(LineUser::Pager);
    // A flapping line queues more calls meanwhile: the mail goes next all the same.
    for (int i = 0; i < 5; ++i) t.PagerQueued();
    EXPECT_FALSE(t.MayStart(LineUser::Mail));  // the line is busy
    t.Finish(LineUser::Pager);
    EXPECT_FALSE(t.MayStart(LineUser::Pager));
    ASSERT_TRUE(t.MayStart(LineUser::Mail));
    t.Start(LineUser::Mail);
    EXPECT_FALSE(t.MayStart(LineUser::Pager));
    // The next mail waits for one call, and the calls all go out.
    t.Finish(LineUser::Mail);
    t.MailWaiting();
    EXPECT_FALSE(t.MayStart(LineUser::Mail));
    t.Start(LineUser::Pager);
    t.Finish(LineUser::Pager);
    EXPECT_TRUE(t.MayStart(LineUser::Mail));
    t.Start(LineUser::Mail);
    t.Finish(LineUser::Mail);
    int calls = 0;
    while (t.pagerQueued() > 0 && t.MayStart(LineUser::Pager)) {
        t.Start(LineUser::Pager);
        t.Finish(LineUser::Pager);
        ++calls;
    }
    EXPECT_EQ(calls, 4);
    EXPECT_EQ(t.pagerQueued(), 0);
    // Idle again: a pager job queued before a mail goes first, also after a
    // pager call had the last turn; a failed post queues nothing.
    t.PagerQueued();
    t.MailWaiting();
    EXPECT_TRUE(t.MayStart(LineUser::Pager));
    EXPECT_FALSE(t.MayStart(LineUser::Mail));
    t.PagerDropped();
    EXPECT_TRUE(t.MayStart(LineUser::Mail));
    // Alone, either side starts at once; a finish by the other side changes nothing.
    t.Start(LineUser::Mail);
    t.Finish(LineUser::Pager);
    EXPECT_EQ(t.holder(), LineUser::Mail);
}

TEST(PagerRequests, OnlyABufferHandedOutIsTakenAndOnlyOnce) {
    qorwin::PagerRequests r;
    char a[4] = {}, b[4] = {}, foreign[4] = {};
    r.HandOut(a);
    r.HandOut(b);
    r.HandOut(nullptr);
    EXPECT_FALSE(r.Take(foreign));
    EXPECT_FALSE(r.Take(nullptr));
    EXPECT_FALSE(r.Take(a + 1));
    EXPECT_TRUE(r.Take(b));
    EXPECT_FALSE(r.Take(b));  // a second message with the same pointer
    EXPECT_TRUE(r.Take(a));
    EXPECT_EQ(r.outstanding(), 0u);
}
