// The command language, line by line, as the clients see it.
#include "ups_protocol.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "command_words.h"
#include "net_config.h"
#include "ups_status.h"

namespace qor::net {
namespace {

struct Exchange {
    const char* command;
    const char* answer;  // every line the command brings, line ends included
    After after = After::Stay;
};

NetConfig oneUser() {
    NetConfig c;
    char why[128];
    const char text[] = "USER mon secret\nUSER \"two words\" \"p\\\"w\"\n";
    EXPECT_TRUE(parseNetConfig(text, sizeof text - 1, c, why, sizeof why)) << why;
    return c;
}

// Plays the exchanges on one connection in order.
void play(UpsProtocol& p, Session& s, const std::vector<Exchange>& script) {
    for (const Exchange& x : script) {
        char buf[kMaxReply];
        Reply r(buf, sizeof buf);
        After after = p.handle(s, x.command, std::strlen(x.command), r);
        EXPECT_EQ(std::string(buf, r.size()), x.answer) << "after " << x.command;
        EXPECT_EQ(after, x.after) << x.command;
    }
}

TEST(NetWords, SplitsLikeTheClientsQuote) {
    struct Row {
        const char* line;
        bool ok;
        std::vector<std::string> words;
    };
    const Row rows[] = {
        {"GET VAR qor ups.status", true, {"GET", "VAR", "qor", "ups.status"}},
        {"  LIST\t UPS  ", true, {"LIST", "UPS"}},
        {"PASSWORD \"a b\"", true, {"PASSWORD", "a b"}},
        {"PASSWORD a\\ b\\\"c", true, {"PASSWORD", "a b\"c"}},
        {"USERNAME \"\"", true, {"USERNAME", ""}},
        {"x\"y z\"w", true, {"xy zw"}},
        {"", true, {}},
        {"PASSWORD \"open", false, {}},
        {"a b c d e f g h i j k l m n o p q", false, {}},  // 17 words
    };
    for (const Row& r : rows) {
        Words w;
        EXPECT_EQ(splitWords(r.line, std::strlen(r.line), w), r.ok) << r.line;
        if (!r.ok) continue;
        std::vector<std::string> got(w.word, w.word + w.count);
        EXPECT_EQ(got, r.words) << r.line;
    }
    std::string longest(kMaxLine - 1, 'x'), tooLong(kMaxLine, 'x');
    Words w;
    EXPECT_TRUE(splitWords(longest.data(), longest.size(), w));
    EXPECT_FALSE(splitWords(tooLong.data(), tooLong.size(), w));
}

TEST(NetProtocol, ReadOnlyCommandsAndTheirErrors) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setState(AcFail, 540, "/dev/ttyS1");
    Session s;
    play(p, s,
         {
             {"VER", "Brantel Halvora Qor Utility 1.0\n"},
             {"ver", "Brantel Halvora Qor Utility 1.0\n"},
             {"VER extra", "ERR INVALID-ARGUMENT\n"},
             {"HELP", "Commands: HELP VER GET LIST LOGIN LOGOUT USERNAME PASSWORD FSD\n"},
             {"NETVER", "1.3\n"},
             {"LIST UPS", "BEGIN LIST UPS\nUPS qor \"Qor contact-closure UPS\"\nEND LIST UPS\n"},
             {"LIST VAR qor",
              "BEGIN LIST VAR qor\n"
              "VAR qor battery.runtime \"540\"\n"
              "VAR qor device.mfr \"Generic\"\n"
              "VAR qor device.model \"Contact closure\"\n"
              "VAR qor device.type \"ups\"\n"
              "VAR qor driver.name \"qor\"\n"
              "VAR qor driver.parameter.port \"/dev/ttyS1\"\n"
              "VAR qor driver.version \"1.0\"\n"
              "VAR qor ups.mfr \"Generic\"\n"
              "VAR qor ups.model \"Contact closure\"\n"
              "VAR qor ups.status \"OB\"\n"
              "END LIST VAR qor\n"},
             {"GET VAR qor ups.status", "VAR qor ups.status \"OB\"\n"},
             {"GET VAR \"qor\" battery.runtime extra", "VAR qor battery.runtime \"540\"\n"},
             {"GET VAR qor nope.x", "ERR VAR-NOT-SUPPORTED\n"},
             {"GET VAR other ups.status", "ERR UNKNOWN-UPS\n"},
             {"GET VAR qor", "ERR INVALID-ARGUMENT\n"},
             {"GET FOO qor", "ERR INVALID-ARGUMENT\n"},
             {"GET NUMLOGINS qor", "NUMLOGINS qor 0\n"},
             {"GET UPSDESC qor", "UPSDESC qor \"Qor contact-closure UPS\"\n"},
             {"LIST VAR", "ERR INVALID-ARGUMENT\n"},
             {"LIST VAR other", "ERR UNKNOWN-UPS\n"},
             {"LIST FOO qor", "ERR INVALID-ARGUMENT\n"},
             {"LIST CLIENT qor", "BEGIN LIST CLIENT qor\nEND LIST CLIENT qor\n"},
             {"LIST RW qor", "BEGIN LIST RW qor\nEND LIST RW qor\n"},
             {"LIST CMD qor", "BEGIN LIST CMD qor\nEND LIST CMD qor\n"},
             {"STARTTLS", "ERR FEATURE-NOT-CONFIGURED\n"},
             {"SET VAR qor ups.status OL", "ERR UNKNOWN-COMMAND\n"},
             {"", "ERR UNKNOWN-COMMAND\n"},
             {"GET VAR qor \"open", "ERR INVALID-ARGUMENT\n"},
             {"FSD qor", "ERR USERNAME-REQUIRED\n"},
             {"LOGIN qor", "ERR USERNAME-REQUIRED\n"},
             {"LOGOUT", "OK Goodbye\n", After::Close},
         });
}

TEST(NetProtocol, LoginNeedsAConfiguredUserAndItsPassword) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setState(AcOk, 600, "/dev/ttyS0");
    Session wrong;
    ASSERT_TRUE(p.attach(&wrong));
    play(p, wrong,
         {
             {"USERNAME mon", "OK\n"},
             {"USERNAME mon", "ERR ALREADY-SET-USERNAME\n"},
             {"LOGIN qor", "ERR PASSWORD-REQUIRED\n"},
             {"PASSWORD secreT", "OK\n"},
             {"PASSWORD secret", "ERR ALREADY-SET-PASSWORD\n"},
             {"LOGIN other", "ERR UNKNOWN-UPS\n"},
             {"LOGIN qor", "ERR ACCESS-DENIED\n"},
             {"FSD qor", "ERR ACCESS-DENIED\n"},
             {"GET NUMLOGINS qor", "NUMLOGINS qor 0\n"},
         });
    EXPECT_FALSE(p.forcedShutdown());

    Session right, quoted;
    std::strcpy(right.peer, "192.0.2.7");
    ASSERT_TRUE(p.attach(&right));
    ASSERT_TRUE(p.attach(&quoted));
    play(p, quoted, {{"USERNAME \"two words\"", "OK\n"}, {"PASSWORD p\\\"w", "OK\n"}, {"LOGIN qor", "OK\n"}});
    play(p, right,
         {
             {"PASSWORD secret", "OK\n"},
             {"USERNAME mon", "OK\n"},
             {"LOGIN qor", "OK\n"},
             {"LOGIN qor", "ERR ALREADY-LOGGED-IN\n"},
             {"GET NUMLOGINS qor", "NUMLOGINS qor 2\n"},
             {"LIST CLIENT qor", "BEGIN LIST CLIENT qor\nCLIENT qor 192.0.2.7\nCLIENT qor \nEND LIST CLIENT qor\n"},
             {"FSD other", "ERR UNKNOWN-UPS\n"},
             {"FSD qor", "OK FSD-SET\n"},
             {"GET VAR qor ups.status", "VAR qor ups.status \"FSD OL\"\n"},
         });
    EXPECT_TRUE(p.forcedShutdown());
    EXPECT_EQ(p.loginCount(), 2);
    p.detach(&quoted);  // the connection went away
    EXPECT_EQ(p.loginCount(), 1);
    play(p, right, {{"LOGOUT", "OK Goodbye\n", After::Close}});
    EXPECT_EQ(p.loginCount(), 0);
}

TEST(NetProtocol, SessionTableGrowsWithTheClientsAndHasNoCap) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setState(AcOk, 600, "");
    std::vector<Session> many(1500);
    for (Session& s : many) ASSERT_TRUE(p.attach(&s));
    for (size_t i = 0; i < many.size(); i += 3)
        play(p, many[i], {{"USERNAME mon", "OK\n"}, {"PASSWORD secret", "OK\n"}, {"LOGIN qor", "OK\n"}});
    EXPECT_EQ(p.loginCount(), 500);
    for (size_t i = 0; i < many.size(); i += 2) p.detach(&many[i]);
    EXPECT_EQ(p.loginCount(), 250) << "those left are the odd ones, every third of them logged in";
    p.detach(&many[0]);  // twice: no effect
    EXPECT_EQ(p.loginCount(), 250);
}

TEST(NetProtocol, StatusFollowsTheEngineAndStaysForcedOnceRaised) {
    struct Row {
        int32_t state;
        const char* status;  // empty: no UPS known, the data is stale
    };
    const Row rows[] = {{AcOk, "OL"}, {AcFail, "OB"}, {BatteryLow, "OB LB"}, {NoUps, ""}};
    NetConfig c;
    UpsProtocol p(c);
    for (bool fsd : {false, true}) {
        if (fsd) p.setForcedShutdown();
        for (const Row& r : rows) {
            p.setState(r.state, -5, "");
            std::string want = r.status[0] == '\0' ? "" : std::string(fsd ? "FSD " : "") + r.status;
            EXPECT_EQ(p.statusText(), want);
            Session s;
            std::string var = "VAR qor ups.status \"" + want + "\"\n";
            std::string runtime = "VAR qor battery.runtime \"0\"\n";  // never negative
            play(p, s,
                 {{"GET VAR qor ups.status", want.empty() ? "ERR DATA-STALE\n" : var.c_str()},
                  {"GET VAR qor battery.runtime", want.empty() ? "ERR DATA-STALE\n" : runtime.c_str()}});
            if (want.empty()) play(p, s, {{"LIST VAR qor", "ERR DATA-STALE\n"}});
        }
    }
}

TEST(NetConfig, ParsesListenAndUserLinesAndNamesTheDamagedLine) {
    struct Row {
        const char* text;
        const char* why;  // nullptr: accepted
    };
    const Row rows[] = {
        {"", nullptr},
        {"# only a comment\n\n  # another \"unbalanced\n", nullptr},
        {"LISTEN 0.0.0.0 3493\nLISTEN ::1 4000\r\nUSER a b\n", nullptr},
        {"listen 127.0.0.1\n", nullptr},
        {"LISTEN localhost 3493\n", "line 1: LISTEN address is not a numeric IPv4 or IPv6 address"},
        {"\nLISTEN 127.0.0.1 0\n", "line 2: LISTEN port is not a number from 1 to 65535"},
        {"LISTEN 127.0.0.1 70000\n", "line 1: LISTEN port is not a number from 1 to 65535"},
        {"LISTEN 127.0.0.1 34x\n", "line 1: LISTEN port is not a number from 1 to 65535"},
        {"LISTEN\n", "line 1: LISTEN wants ADDRESS [PORT]"},
        {"USER a\n", "line 1: USER wants NAME PASSWORD"},
        {"USER a b\nUSER a c\n", "line 2: USER given twice"},
        {"USER \"\" b\n", "line 1: USER name is empty"},
        {"USER a \"b\n", "line 1: too long or unbalanced quotes"},
        {"MONITOR qor@host\n", "line 1: unknown keyword (LISTEN or USER expected)"},
    };
    for (const Row& r : rows) {
        NetConfig c;
        char why[128] = {};
        bool ok = parseNetConfig(r.text, std::strlen(r.text), c, why, sizeof why);
        EXPECT_EQ(ok, r.why == nullptr) << r.text;
        if (r.why != nullptr) {
            EXPECT_STREQ(why, r.why) << r.text;
        }
    }
    NetConfig c;
    char why[128];
    const char two[] = "LISTEN 0.0.0.0 3493\nLISTEN ::1 4000\nUSER mon \"s e\"\n";
    ASSERT_TRUE(parseNetConfig(two, sizeof two - 1, c, why, sizeof why));
    ASSERT_EQ(c.listenCount, 2);
    EXPECT_STREQ(c.listen[1].address, "::1");
    EXPECT_EQ(c.listen[1].port, 4000);
    ASSERT_EQ(c.userCount, 1);
    EXPECT_STREQ(c.users[0].password, "s e");
    ASSERT_TRUE(parseNetConfig("", 0, c, why, sizeof why));
    ASSERT_EQ(c.listenCount, 1) << "no LISTEN line: the loopback on the usual port";
    EXPECT_STREQ(c.listen[0].address, "127.0.0.1");
    EXPECT_EQ(c.listen[0].port, 3493);
    std::string many;
    for (int i = 0; i < 9; ++i) many += "LISTEN 127.0.0." + std::to_string(i + 1) + " 3493\n";
    EXPECT_FALSE(parseNetConfig(many.data(), many.size(), c, why, sizeof why));
    EXPECT_STREQ(why, "line 9: more than 8 LISTEN lines");
}

TEST(NetConfig, MissingFileLeavesTheServerOff) {
    NetConfig c;
    EXPECT_EQ(loadNetConfig("/nonexistent/Qor.net", c), NetConfigResult::Absent);
}

}  // namespace
}  // namespace qor::net
