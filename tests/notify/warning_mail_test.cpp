// The warning mail: its exact text, the send sequence, one connection per
// recipient and the dial-up retries around them.
#include "warning_mail.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "notify_test_support.h"

namespace qor::test {
namespace {

TEST(WarningMail, TheTextByteForByte) {
    std::string m = composeWarningMail("AC Fail!", "Ann Lee", "ann@example.org", "ups-host",
                                       "Sat, 07 Dec 2024 21:00:00 +0800");
    EXPECT_EQ(m,
              "Subject: Halvora warning\r\n"
              "From: Halvora(ups-host) ann@example.org\r\n"
              "To: Ann Lee ann@example.org\r\n"
              "Date: Sat, 07 Dec 2024 21:00:00 +0800\r\n"
              "\n"
              "Dear Ann Lee,\n"
              "\n"
              "  AC Fail!\r\n"
              "\r\n"
              ".\r\n");
    // An empty name still greets; line ends inside the texts cannot end the
    // mail early or add a header.
    std::string odd = composeWarningMail("a\r\n.\r\nMAIL FROM:x", "", "b@c\nBcc: d@e", "h", "D");
    EXPECT_NE(odd.find("\nDear ,\n"), std::string::npos);
    EXPECT_EQ(odd.find("\r\n.\r\n"), odd.size() - 5);
    EXPECT_EQ(odd.find("\nBcc"), std::string::npos);
}

TEST(WarningMail, DateIsLocalTimeWithANumericOffsetInEnglish) {
    const char* old = std::getenv("TZ");
    std::string saved = old ? old : "";
    setenv("TZ", "XST-8", 1);
    tzset();
    EXPECT_EQ(mailDate(1733576400), "Sat, 07 Dec 2024 21:00:00 +0800");  // 13:00 UTC
    EXPECT_TRUE(looksLikeMailDate(mailDate(time(nullptr))));
    setenv("TZ", "YST+3:30", 1);
    tzset();
    EXPECT_EQ(mailDate(0), "Wed, 31 Dec 1969 20:30:00 -0330");
    if (old) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
    tzset();
}

// A dial-up link that only records.
struct FakeLink : DialUpLink {
    std::string* trace;
    int failConnects = 0, failWaits = 0;
    explicit FakeLink(std::string* t) : trace(t) {}
    bool connect() override {
        *trace += "C";
        if (failConnects > 0) return --failConnects, false;
        return true;
    }
    bool waitForLink() override {
        *trace += "W";
        if (failWaits > 0) return --failWaits, false;
        return true;
    }
    bool disconnect() override {
        *trace += "D";
        return true;
    }
};

struct MailRig {
    MailRig() {
        std::memset(&s, 0, sizeof s);
        storeDefaults(s, Edition::Console);
        s.mailEnable = 1;
        setText(s.smtpServer, "127.0.0.1");
        env.log = &log;
        env.clock = &clock;
        env.smtpPort = srv.port();
    }
    void run(int32_t code = EvAcFail, int failConnects = 0, int failWaits = 0) {
        WarningMail m(s, env);
        m.setLinkFactory([&, failConnects, failWaits](const PppSettings* p, const ModemCommands&, const NotifyEnv&) {
            settingsSeen = *p;
            auto l = std::make_unique<FakeLink>(&trace);
            l->failConnects = failConnects;
            l->failWaits = failWaits;
            return std::unique_ptr<DialUpLink>(std::move(l));
        });
        m.run(code);
    }
    UpsSettings s{};
    MiniSmtpServer srv;
    CaptureLog log{Edition::Console};
    FakeClock clock;
    NotifyEnv env;
    std::string trace;
    PppSettings settingsSeen{};
};

TEST(WarningMail, OneConnectionPerAddressWithTheSendSequence) {
    MailRig r;
    setText(r.s.mailNames[0], "Ann");
    setText(r.s.mailAddrs[0], "ann@example.org");
    setText(r.s.mailNames[1], "Nobody");
    setText(r.s.mailAddrs[1], "no-at-sign");
    setText(r.s.mailAddrs[9], "last@example.org");
    r.run(EvBatteryLow);
    ASSERT_TRUE(r.srv.waitSessions(2, 3000));
    auto mails = r.srv.mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_EQ(mails[0].commands, (std::vector<std::string>{"HELO " + hostName(), "MAIL FROM:ann@example.org",
                                                           "RCPT TO:ann@example.org", "DATA", "QUIT"}));
    EXPECT_TRUE(mailMatches(mails[0].data,
                            "Subject: Halvora warning\r\nFrom: Halvora(" + hostName() +
                                ") ann@example.org\r\nTo: Ann ann@example.org\r\nDate: ",
                            "\r\n\nDear Ann,\n\n  Low Battery!\r\n\r\n.\r\n"))
        << mails[0].data;
    EXPECT_NE(mails[1].data.find("\nDear ,\n"), std::string::npos);
    EXPECT_TRUE(r.trace.empty());  // connect mode 0: no dial-up
    EXPECT_TRUE(r.log.hasSys("Ann"));  // the console logs each name
}

TEST(WarningMail, AServerRefusingHeloGetsNothingMore) {
    MailRig r;
    MiniSmtpServer cross("500 who are you\r\n");
    r.env.smtpPort = cross.port();
    setText(r.s.mailAddrs[0], "a@b");
    setText(r.s.mailAddrs[1], "c@d");
    r.run();
    ASSERT_TRUE(cross.waitSessions(2, 3000));
    for (auto& m : cross.mails()) EXPECT_EQ(m.commands.size(), 1u);  // only HELO, then closed
}

TEST(WarningMail, NothingOpenedWithoutAddressesOrServer) {
    MailRig r;
    r.run();
    setText(r.s.mailAddrs[0], "a@b");
    setText(r.s.smtpServer, "");
    r.run();
    EXPECT_EQ(r.srv.sessions(), 0);
}

TEST(WarningMail, DialUpAroundTheMailsAndItsRetries) {
    {
        MailRig r;
        r.s.connectMode = 1;
        setText(r.s.dialUser, std::string(255, 'u'));  // longer than the dial-up block holds
        setText(r.s.mailAddrs[0], "a@b");
        r.run();
        EXPECT_EQ(r.trace, "CWD");
        EXPECT_TRUE(r.srv.waitSessions(1, 3000));
        EXPECT_EQ(std::string(r.settingsSeen.user), std::string(127, 'u'));
        EXPECT_EQ(r.clock.sleepsMs(), (std::vector<long>{5000}));  // after the disconnect
    }
    {
        // No address at all: the link still comes up and goes down.
        MailRig r;
        r.s.connectMode = 1;
        r.run();
        EXPECT_EQ(r.trace, "CWD");
    }
    {
        // A failed connect costs 5 s, a link that never comes up a disconnect and 3 s.
        MailRig r;
        r.s.connectMode = 1;
        setText(r.s.mailAddrs[0], "a@b");
        r.run(EvAcFail, 1, 1);
        EXPECT_EQ(r.trace, "CCWDCWD");
        EXPECT_EQ(r.clock.sleepsMs(), (std::vector<long>{5000, 3000, 5000}));
        EXPECT_TRUE(r.srv.waitSessions(1, 3000));
    }
    {
        // Three failed attempts: no mail, the link is taken down.
        MailRig r;
        r.s.connectMode = 1;
        setText(r.s.mailAddrs[0], "a@b");
        r.run(EvAcFail, 3, 0);
        EXPECT_EQ(r.trace, "CCCD");
        EXPECT_EQ(r.srv.sessions(), 0);
    }
}

// Each recipient's outcome as the test notice shows it, and the one log line
// a failed secure mail leaves (plain mail fails silently, as ever).
TEST(WarningMail, EachRecipientsOutcome) {
    int closedPort = 0;
    {
        LoopbackServer gone([](int) {});
        closedPort = gone.port();
    }
    MiniSmtpServer refusing("500 who are you\r\n");
    struct Case {
        const char* what;
        int port;  // 0: the rig's well-behaved server
        MailSecurity security;
        int failDials;
        MailOutcome::Kind kind;
        const char* words;
        int logLines;
    };
    const Case cases[] = {
        {"delivered", 0, MailSecurity::Plain, 0, MailOutcome::Delivered, "", 0},
        {"refused", -1, MailSecurity::Plain, 0, MailOutcome::Refused, "500 who are you", 0},
        {"nobody listens", closedPort, MailSecurity::Plain, 0, MailOutcome::NoConnection,
         "The connection was refused by the server", 0},
        {"no link", 0, MailSecurity::Plain, 3, MailOutcome::NoConnection, "the dial-up link did not come up", 0},
        {"STARTTLS not offered", 0, MailSecurity::StartTls, 0, MailOutcome::NoConnection,
         "the server offers no STARTTLS", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MailRig r;
        int port = c.port == 0 ? r.srv.port() : c.port == -1 ? refusing.port() : c.port;
        r.env.smtpPort = port;
        r.s.connectMode = c.failDials > 0 ? 1 : 0;
        setText(r.s.mailAddrs[2], "ann@example.org");
        setText(r.s.mailAddrs[5], "bob@example.org");
        ExtraSettings x;
        x.mailSecurity = c.security;
        x.mailPort = c.security == MailSecurity::Plain ? 0 : port;
        WarningMail m(r.s, x, r.env);
        m.setLinkFactory([&](const PppSettings*, const ModemCommands&, const NotifyEnv&) {
            auto l = std::make_unique<FakeLink>(&r.trace);
            l->failConnects = c.failDials;
            return std::unique_ptr<DialUpLink>(std::move(l));
        });
        std::vector<std::pair<int, MailOutcome>> got;
        m.runText("Test notice", [&](int slot, const MailOutcome& o) { got.emplace_back(slot, o); });
        ASSERT_EQ(got.size(), 2u);
        EXPECT_EQ(got[0].first, 2);
        EXPECT_EQ(got[1].first, 5);
        for (auto& g : got) {
            EXPECT_EQ(g.second.kind, c.kind);
            EXPECT_EQ(g.second.words, c.words);
        }
        size_t notSent = 0;
        for (auto& l : r.log.sysLines()) notSent += l.find(" not sent: ") != std::string::npos;
        EXPECT_EQ(notSent, static_cast<size_t>(2 * c.logLines));
        if (c.kind == MailOutcome::Delivered) {
            ASSERT_TRUE(r.srv.waitSessions(2, 3000));
            EXPECT_NE(r.srv.mails()[0].data.find("\n  Test notice\r\n"), std::string::npos);
        }
        if (c.security == MailSecurity::StartTls) {
            ASSERT_TRUE(r.srv.waitSessions(2, 3000));
            EXPECT_EQ(r.srv.mails()[0].commands, (std::vector<std::string>{"EHLO " + hostName(), "QUIT"}));
        }
    }
    // One recipient on its own, with a text of the caller's.
    MailRig r;
    WarningMail m(r.s, r.env);
    MailOutcome o = m.sendOne("Cy", "cy@example.org", "Send a test");
    EXPECT_EQ(o.kind, MailOutcome::Delivered);
    ASSERT_TRUE(r.srv.waitSessions(1, 3000));
    EXPECT_NE(r.srv.mails()[0].data.find("Dear Cy,\n\n  Send a test\r\n"), std::string::npos);
}

}  // namespace
}  // namespace qor::test
