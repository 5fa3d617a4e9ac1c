// SmtpClient against scripted loopback servers: the odd greetings, replies
// split across segments, telnet negotiation, servers that flood or fall
// silent, and the error state.
#include "smtp_client.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <cstring>

#include "notify_test_support.h"
#include "openssl_api.h"

namespace qor::test {
namespace {

using Clock_ = std::chrono::steady_clock;
long msSince(Clock_::time_point t0) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock_::now() - t0).count());
}

// A session that plays `greeting` and then answers every line with `reply`,
// recording what it got.
struct Scripted {
    std::mutex m;
    std::vector<std::string> got;
    std::string all() {
        std::lock_guard<std::mutex> g(m);
        std::string s;
        for (auto& l : got) s += l;
        return s;
    }
    void add(const std::string& l) {
        std::lock_guard<std::mutex> g(m);
        got.push_back(l);
    }
};

TEST(SmtpClient, MultiLineGreetingOpensOnItsFirstLine) {
    Scripted rec;
    LoopbackServer srv([&](int fd) {
        sendAll(fd, "220-first line\r\n220-second\r\n220 last\r\n");
        std::string l;
        while (recvLine(fd, l, 2000)) rec.add(l);
    });
    SmtpClient c;
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    EXPECT_TRUE(c.isOpen());
    EXPECT_EQ(c.replyCode(), 220);
    EXPECT_STREQ(c.reply(), "220-first line\r\n");
    // Multi-line replies are not joined: the next command reads the next line.
    EXPECT_EQ(c.noop(), 220);
    EXPECT_EQ(std::string(c.reply()), "220-second\r\n");
    EXPECT_EQ(c.close(), 0);
}

TEST(SmtpClient, RefusalThenSilenceFailsAfterTheReceiveTimeOut) {
    LoopbackServer srv([&](int fd) {
        sendAll(fd, "554 go away\r\n");
        std::string l;
        recvLine(fd, l, 3000);  // stays silent
    });
    SmtpClient c;
    c.setReceiveTimeoutMs(400);
    c.setGreetingWindowMs(100);
    auto t0 = Clock_::now();
    EXPECT_EQ(c.open("127.0.0.1", srv.port()), -1);
    long ms = msSince(t0);
    EXPECT_GE(ms, 350);
    EXPECT_LT(ms, 2000);
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(c.errorClass(), common::SmtpClassTimedOut);
    EXPECT_STREQ(c.errorClassText(), "Timed out while waiting for the server");
    EXPECT_EQ(c.errorCode(), ETIMEDOUT);
}

TEST(SmtpClient, AClosedConnectionFailsOpenAtOnce) {
    LoopbackServer srv([&](int fd) { sendAll(fd, "421 busy\r\n"); });
    SmtpClient c;  // default 30 s window: must not be spun through
    auto t0 = Clock_::now();
    EXPECT_EQ(c.open("127.0.0.1", srv.port()), -1);
    EXPECT_LT(msSince(t0), 2000);
    EXPECT_FALSE(c.isOpen());
    // The same object opens again for the next recipient.
    MiniSmtpServer ok;
    EXPECT_EQ(c.open("127.0.0.1", ok.port()), 0);
    c.close();
}

TEST(SmtpClient, RepliesSplitAcrossSegmentsAndTelnetNegotiation) {
    std::string answers;
    std::mutex m;
    LoopbackServer srv([&](int fd) {
        // WILL ECHO, DO SGA, and an unknown IAC pair before the greeting.
        sendAll(fd, std::string("\xff\xfb\x01\xff\xfd\x03\xff\xf1", 8));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sendAll(fd, "22");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sendAll(fd, "0 welcome\r");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sendAll(fd, "\n");
        std::string got;
        char buf[6];
        size_t n = 0;
        while (n < 6) {
            ssize_t r = ::recv(fd, buf + n, 6 - n, 0);
            if (r <= 0) break;
            n += static_cast<size_t>(r);
        }
        {
            std::lock_guard<std::mutex> g(m);
            answers.assign(buf, n);
        }
        std::string l;
        recvLine(fd, l);
        sendAll(fd, "250 o");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        sendAll(fd, "k\r\n");
        recvLine(fd, l);
    });
    SmtpClient c;
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    EXPECT_STREQ(c.reply(), "220 welcome\r\n");
    // The server thread takes the answers off the socket after it sent the
    // greeting, so they may be recorded a moment after open() returned.
    std::string seen;
    for (auto t0 = Clock_::now(); msSince(t0) < 2000; std::this_thread::sleep_for(std::chrono::milliseconds(10))) {
        std::lock_guard<std::mutex> g(m);
        seen = answers;
        if (!seen.empty()) break;
    }
    EXPECT_EQ(seen, std::string("\xff\xfe\x01\xff\xfc\x03", 6));  // DONT ECHO, WONT SGA
    EXPECT_EQ(c.noop(), 250);
    EXPECT_STREQ(c.reply(), "250 ok\r\n");
    c.close();
}

TEST(SmtpClient, EndlessLinesAndNegotiationFloodsAreCutOff) {
    for (bool telnet : {false, true}) {
        std::atomic<bool> stop{false};
        LoopbackServer srv([&](int fd) {
            sendAll(fd, "220 hi\r\n");
            std::string l;
            recvLine(fd, l);
            std::string chunk = telnet ? std::string(512, '\xff') : "250" + std::string(4096, 'x');
            if (telnet)
                for (size_t i = 1; i < chunk.size(); i += 3) chunk[i] = '\xfd', chunk[i + 1] = '\x18';
            auto t0 = Clock_::now();
            while (!stop && msSince(t0) < 5000) {
                if (!sendAll(fd, chunk)) break;
                // Drain the negotiation answers so our side never blocks.
                char junk[4096];
                while (::recv(fd, junk, sizeof junk, MSG_DONTWAIT) > 0) {
                }
            }
        });
        SmtpClient c;
        ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
        c.setReceiveTimeoutMs(500);
        auto t0 = Clock_::now();
        EXPECT_EQ(c.noop(), -1) << (telnet ? "telnet flood" : "endless line");
        long ms = msSince(t0);
        stop = true;
        EXPECT_LT(ms, 2000);
        EXPECT_EQ(c.errorClass(), common::SmtpClassTimedOut);
        EXPECT_LT(std::strlen(c.reply()), SmtpClient::kBufferLen);
        c.close();
    }
}

TEST(SmtpClient, ErrorStateOfMisuseAndRefusal) {
    SmtpClient c;
    EXPECT_EQ(c.errorCode(), 0);
    EXPECT_STREQ(c.errorCodeText(), "No error");
    EXPECT_EQ(c.noop(), 0);
    EXPECT_EQ(c.errorCode(), common::SmtpBadUsage);
    EXPECT_STREQ(c.errorCodeText(), "(MIME++) bad library usage");
    EXPECT_EQ(c.close(), -1);
    EXPECT_EQ(c.sendMessage(), 0);
    EXPECT_EQ(c.open("", 25), -1);
    EXPECT_STREQ(c.errorCodeText(), "(MIME++) bad parameter passed to function");
    EXPECT_EQ(c.open(nullptr, 25), -1);

    // A port nobody listens on.
    int port;
    {
        LoopbackServer gone([](int) {});
        port = gone.port();
    }
    EXPECT_EQ(c.open("127.0.0.1", port), -1);
    EXPECT_EQ(c.errorClass(), common::SmtpClassRefused);
    EXPECT_STREQ(c.errorClassText(), "The connection was refused by the server");
    EXPECT_EQ(c.errorCode(), ECONNREFUSED);

    MiniSmtpServer srv;
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    EXPECT_EQ(c.errorClass(), 0);  // every operation clears the state
    EXPECT_EQ(c.open("127.0.0.1", srv.port()), -1);
    EXPECT_STREQ(c.errorCodeText(), "(MIME++) bad library usage");
    EXPECT_TRUE(c.isOpen());  // the first connection is left as it was
    EXPECT_EQ(c.noop(), 250);
    EXPECT_EQ(c.quit(), 221);
    c.close();

    EXPECT_EQ(smtpErrorText(20480), "Host not found");
    EXPECT_EQ(smtpErrorText(20484), "No address, look for MX record");
    EXPECT_EQ(smtpErrorText(ENOENT), std::string(strerror(ENOENT)));
}

TEST(SmtpClient, CommandTextsArgumentsAndTheWholeMessage) {
    MiniSmtpServer srv;
    SmtpClient c;
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    EXPECT_EQ(c.mailFrom("a@b.example"), 250);
    EXPECT_STREQ(c.commandText(), "MAIL FROM:a@b.example\r\n");
    EXPECT_EQ(c.lastCommand(), SmtpMailFrom);
    // A line end inside a setting cannot start a command of its own.
    EXPECT_EQ(c.rcptTo("x@y\r\nRSET"), 250);
    EXPECT_STREQ(c.commandText(), "RCPT TO:x@yRSET\r\n");
    EXPECT_EQ(c.vrfy(std::string(2000, 'v').c_str()), 250);
    EXPECT_EQ(std::strlen(c.commandText()), 5 + SmtpClient::kMaxArgument + 2);
    EXPECT_EQ(c.help(), 250);
    EXPECT_STREQ(c.commandText(), "HELP\r\n");
    EXPECT_EQ(c.help("DATA"), 250);
    EXPECT_STREQ(c.commandText(), "HELP DATA\r\n");
    EXPECT_EQ(c.data(), 354);
    std::string big(20000, 'm');
    for (size_t i = 100; i < big.size(); i += 100) big[i] = '\n';
    c.setMessage(big + "\r\n.\r\n");
    EXPECT_EQ(c.sendMessage(), 250);
    EXPECT_EQ(c.lastCommand(), SmtpMessage);
    EXPECT_EQ(c.quit(), 221);
    c.close();
    ASSERT_TRUE(srv.waitSessions(1, 2000));
    auto mails = srv.mails();
    EXPECT_EQ(mails[0].data, big + "\r\n.\r\n");
    EXPECT_EQ(mails[0].commands[1], "RCPT TO:x@yRSET");
}

TEST(SmtpClient, APeerThatHangsUpNeverRaisesSigpipe) {
    // The default action: a SIGPIPE would end this test program.
    struct sigaction old {}, dfl {};
    dfl.sa_handler = SIG_DFL;
    sigaction(SIGPIPE, &dfl, &old);
    LoopbackServer srv([](int fd) {
        sendAll(fd, "220 hi\r\n");
        ::shutdown(fd, SHUT_RDWR);
    });
    SmtpClient c;
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    c.setMessage(std::string(1 << 20, 'x'));
    EXPECT_EQ(c.sendMessage(), 0);  // not sent whole
    EXPECT_EQ(c.noop(), 0);
    c.close();
    sigaction(SIGPIPE, &old, nullptr);
}

TEST(SmtpClient, ConsoleLogsProgressAndRepliesAsData) {
    CaptureLog log(Edition::Console);
    MiniSmtpServer srv;
    SmtpClient c(&log);
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    c.setAddress("%s%n@x");
    c.close();
    auto lines = log.sysLines();
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0], "127.0.0.1");
    EXPECT_EQ(lines[1], "smtp socket success");
    EXPECT_EQ(lines[2], "220 mini ready\r\n");
    EXPECT_EQ(lines[3], "%s%n@x");

    CaptureLog desk(Edition::Desktop);
    SmtpClient d(&desk);
    ASSERT_EQ(d.open("127.0.0.1", srv.port()), 0);
    d.close();
    EXPECT_TRUE(desk.sysLines().empty());
}

// What EHLO offers, the mechanism taken and the AUTH texts, against the
// forms servers write them in.
TEST(SmtpExtensions, OffersMechanismAndCredentials) {
    struct Line {
        const char* text;
        bool startTls, plain, login;
    };
    for (const Line& l : {Line{"250-starttls\r\n", true, false, false},
                          Line{"250 AUTH PLAIN LOGIN CRAM-MD5\r\n", false, true, true},
                          Line{"250-auth  login\r\n", false, false, true}, Line{"250-AUTH=LOGIN\r\n", false, false, false},
                          Line{"250-STARTTLSX\r\n", false, false, false}, Line{"500 STARTTLS\r\n", false, false, false},
                          Line{"250", false, false, false}}) {
        SmtpOffers o;
        noteEhloLine(l.text, o);
        EXPECT_EQ(o.startTls, l.startTls) << l.text;
        EXPECT_EQ(o.authPlain, l.plain) << l.text;
        EXPECT_EQ(o.authLogin, l.login) << l.text;
    }
    SmtpOffers both{false, true, true}, login{false, false, true}, none{};
    EXPECT_EQ(chooseMechanism(0, both), SaslMechanism::Plain);
    EXPECT_EQ(chooseMechanism(0, login), SaslMechanism::Login);
    EXPECT_EQ(chooseMechanism(0, none), SaslMechanism::None);
    EXPECT_EQ(chooseMechanism(2, both), SaslMechanism::Login);  // as the administrator asked
    EXPECT_EQ(chooseMechanism(1, none), SaslMechanism::Plain);
    EXPECT_EQ(base64(""), "");
    EXPECT_EQ(base64("f"), "Zg==");
    EXPECT_EQ(base64("fo"), "Zm8=");
    EXPECT_EQ(base64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(base64(std::string("\xff\x00\xfe", 3)), "/wD+");
    EXPECT_EQ(plainCredentials("ups", "pw"), base64(std::string("\0ups\0pw", 7)));
}

// A multi-line greeting and EHLO read whole; the login's secrets never in
// what the client keeps or logs, even when the server repeats them.
TEST(SmtpClient, ExtendedRepliesAndALoginThatKeepsItsSecret) {
    const std::string secret = "pw secret", coded = base64(secret);
    Scripted rec;
    LoopbackServer srv([&](int fd) {
        sendAll(fd, "220-mini\r\n220 ready\r\n");
        std::string l;
        while (recvLine(fd, l, 2000)) {
            rec.add(l);
            if (l.compare(0, 4, "EHLO") == 0) sendAll(fd, "250-mini\r\n250-STARTTLS\r\n250-AUTH LOGIN\r\n250 HELP\r\n");
            else if (l == "AUTH LOGIN\r\n") sendAll(fd, "334 VXNlcm5hbWU6\r\n");
            else if (l == base64("ups") + "\r\n") sendAll(fd, "334 UGFzc3dvcmQ6\r\n");
            else sendAll(fd, "535 not " + l.substr(0, l.size() - 2) + " nor " + secret + "\r\n");
        }
    });
    CaptureLog log(Edition::Console);
    SmtpClient c(&log);
    c.setWholeReplies(true);
    ASSERT_EQ(c.open("127.0.0.1", srv.port()), 0);
    EXPECT_STREQ(c.reply(), "220 ready\r\n");
    SmtpOffers offers;
    EXPECT_EQ(c.ehlo(offers), 250);
    EXPECT_TRUE(offers.startTls && offers.authLogin && !offers.authPlain);
    EXPECT_STREQ(c.reply(), "250 HELP\r\n");
    EXPECT_EQ(c.auth(chooseMechanism(0, offers), "ups", secret), 535);
    EXPECT_EQ(rec.all(), "EHLO " + hostName() + "\r\nAUTH LOGIN\r\n" + base64("ups") + "\r\n" + coded + "\r\n");
    std::string kept = std::string(c.reply()) + c.commandText();
    for (auto& l : log.sysLines()) kept += l;
    EXPECT_NE(kept.find("535 not "), std::string::npos) << kept;
    EXPECT_EQ(kept.find(secret), std::string::npos) << kept;
    EXPECT_EQ(kept.find(coded), std::string::npos) << kept;
    c.close();
}

// The library is opened on the first secure mail: every function resolved,
// or none and no mail.
TEST(OpenSslLoader, ResolvesEveryFunctionOrRefusesTheLibrary) {
    OpenSslApi api;
    ASSERT_TRUE(loadOpenSsl(kOpenSslLibrary, api));
#define QOR_EXPECT_RESOLVED(name) EXPECT_NE(api.name, nullptr) << #name;
    QOR_OPENSSL_FUNCTIONS(QOR_EXPECT_RESOLVED)
#undef QOR_EXPECT_RESOLVED
    EXPECT_NE(api.TLS_client_method(), nullptr);
    EXPECT_FALSE(loadOpenSsl("libssl.so.0.qor-absent", api));
    EXPECT_EQ(api.SSL_new, nullptr);
    ASSERT_NE(openSsl(), nullptr);
    EXPECT_EQ(openSsl(), openSsl()) << "loaded once";
}

}  // namespace
}  // namespace qor::test
