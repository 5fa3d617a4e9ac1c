// The command language, line by line, as the clients see it.
#include "ups_protocol.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <regex>
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
    const char text[] = "USER mon secret\nUSER \"two words\" \"p\\\"w\"\nUSER boss b0ss primary\n";
    EXPECT_TRUE(parseNetConfig(text, sizeof text - 1, c, why, sizeof why)) << why;
    return c;
}

// Plays the exchanges on one connection in order.
void play(UpsProtocol& p, Session& s, const std::vector<Exchange>& script) {
    for (const Exchange& x : script) {
        char buf[kMaxReply];
        Reply r(buf, sizeof buf);
        After after = p.handle(s, x.command, std::strlen(x.command), r);
        EXPECT_EQ(std::string(r.data(), r.size()), x.answer) << "after " << x.command;
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
        {"  LIST\t UPS\r\r", true, {"LIST", "UPS"}},  // a Windows client's line end
        {"GET\vVAR\fqor", true, {"GET", "VAR", "qor"}},
        {"PASSWORD \"a b\"", true, {"PASSWORD", "a b"}},
        {"PASSWORD a\\ b\\\"c", true, {"PASSWORD", "a b\"c"}},
        {"USERNAME \"\"", true, {"USERNAME", ""}},
        {"x\"y z\"w", true, {"x\"y", "z\"w"}},  // a quote inside a word is kept
        {"\"q\"or", true, {"q", "or"}},          // a closing quote ends the word
        {"a #b c", true, {"a"}},
        {"a#b", true, {"a#b"}},
        {"#a", true, {}},
        {"V\x01" "E\x7f" "R\xc3\xa9", true, {"VE\x7fR"}},
        {"", true, {}},
        {"PASSWORD \"open", false, {}},
        {"GET \"a#b\"", false, {}},
        {"VER \\", false, {}},
        {"a b c d e f g h i j k l m n o p q", true, {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                                                     "n", "o", "p", "q"}},
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
    const char nul[] = "PASSWORD secret\0junk";  // a NUL is dropped, not an end
    ASSERT_TRUE(splitWords(nul, sizeof nul - 1, w));
    EXPECT_STREQ(w.word[1], "secretjunk");
    // As many words as the longest line holds: one-letter words, or empty quoted ones.
    std::string many, quoted;
    for (size_t i = 0; i + 2 <= kMaxLine - 1; i += 2) many += "a ";
    for (size_t i = 0; i + 2 <= kMaxLine - 1; i += 2) quoted += "\"\"";
    ASSERT_TRUE(splitWords(many.data(), many.size(), w));
    EXPECT_EQ(w.count, static_cast<int>(many.size() / 2));
    ASSERT_TRUE(splitWords(quoted.data(), quoted.size(), w));
    EXPECT_EQ(w.count, static_cast<int>(quoted.size() / 2));
}

TEST(NetProtocol, ReadOnlyCommandsAndTheirErrors) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setState(AcFail, 540, "/dev/ttyS1");
    Session s;
    play(p, s,
         {
             {"VER", "Brantel Halvora Qor Utility upsd 1.0 - contact-closure UPS monitor\n"},
             {"ver", "Brantel Halvora Qor Utility upsd 1.0 - contact-closure UPS monitor\n"},
             {"VER extra", "ERR INVALID-ARGUMENT\n"},
             {"HELP", "Commands: HELP VER GET LIST SET INSTCMD LOGIN LOGOUT USERNAME PASSWORD STARTTLS\n"},
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
             {"SET VAR qor ups.status OL", "ERR USERNAME-REQUIRED\n"},
             {"GET TYPE QOR Ups.Status", "TYPE QOR Ups.Status STRING:32\n"},
             {"GET TYPE qor battery.runtime", "TYPE qor battery.runtime NUMBER\n"},
             {"GET TYPE qor device.serial", "ERR VAR-NOT-SUPPORTED\n"},  // none given, none derived
             {"GET DESC qor ups.status", "DESC qor ups.status \"UPS status\"\n"},
             {"GET DESC qor nope", "DESC qor nope \"Description unavailable\"\n"},
             {"GET CMDDESC qor load.off", "CMDDESC qor load.off \"Description unavailable\"\n"},
             {"GET DESC nope x", "ERR UNKNOWN-UPS\n"},
             {"GET DESC nope", "ERR INVALID-ARGUMENT\n"},
             {"LIST ENUM qor ups.status", "BEGIN LIST ENUM qor ups.status\nEND LIST ENUM qor ups.status\n"},
             {"LIST RANGE qor nope", "ERR VAR-NOT-SUPPORTED\n"},
             {"LIST RANGE qor", "ERR INVALID-ARGUMENT\n"},
             {"GET TRACKING", "OFF\n"},
             {"GET TRACKING 1-2", "ERR FEATURE-NOT-CONFIGURED\n"},
             {"", "ERR UNKNOWN-COMMAND\n"},
             {"GET VAR qor \"open", ""},  // left unanswered, as upsd does
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
             {"FSD qor", "ERR ACCESS-DENIED\n"},  // a secondary
             {"PRIMARY qor", "ERR ACCESS-DENIED\n"},
         });
    EXPECT_FALSE(p.forcedShutdown());
    EXPECT_EQ(p.loginCount(), 2);
    p.detach(&quoted);  // the connection went away
    EXPECT_EQ(p.loginCount(), 1);
    // Counted until the connection closes, as upsd does; what follows LOGOUT is still answered.
    play(p, right, {{"LOGOUT", "OK Goodbye\n", After::Close}, {"GET NUMLOGINS qor", "NUMLOGINS qor 1\n"}});
    p.detach(&right);
    EXPECT_EQ(p.loginCount(), 0);
}

// Odd inputs where this server once differed from upsd.
TEST(NetProtocol, OddInputsAreTakenAsUpsdTakesThem) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setState(AcOk, 600, "");
    Session a, b, d;
    std::string longName = "USERNAME " + std::string(300, 'u');
    play(p, a,
         {
             {"get var QOR UPS.STATUS", "VAR QOR UPS.STATUS \"OL\"\n"},
             {"VER\r\r", "Brantel Halvora Qor Utility upsd 1.0 - contact-closure UPS monitor\n"},
             {"a b c d e f g h i j k l m n o p q", "ERR UNKNOWN-COMMAND\n"},
             {"USERNAME mon extra", "ERR INVALID-ARGUMENT\n"},
             {"LOGOUT now", "ERR INVALID-ARGUMENT\n"},
             {longName.c_str(), "OK\n"},
             {"PASSWORD secret", "OK\n"},
             {"LOGIN qor", "ERR ACCESS-DENIED\n"},
             {"LOGIN qor x", "ERR INVALID-ARGUMENT\n"},
         });
    play(p, b, {{"USERNAME mon", "OK\n"}, {"PASSWORD sec\"re\"t", "OK\n"}, {"LOGIN qor", "ERR ACCESS-DENIED\n"}});
    const char nul[] = "PASSWORD secret\0junk";
    char buf[kMaxReply];
    Reply r(buf, sizeof buf);
    play(p, d, {{"USERNAME mon", "OK\n"}});
    p.handle(d, nul, sizeof nul - 1, r);
    play(p, d, {{"LOGIN qor", "ERR ACCESS-DENIED\n"}, {"FSD qor extra", "ERR INVALID-ARGUMENT\n"}});
}

// FSD only from a primary, every login, refusal and FSD in the log without a
// password, and a follower's FSD withdrawn once mains is back.
TEST(NetProtocol, ForcedShutdownNeedsAPrimaryIsLoggedAndEndsWithTheOutage) {
    static int64_t now = 0;
    NetConfig c = oneUser();
    UpsProtocol p(c, [] { return now; });
    std::vector<std::string> log;
    p.setLogSink([&](int, const char* line) { log.push_back(line); });
    p.setState(BatteryLow, 30, "");
    Session mon, bad, boss;
    std::strcpy(mon.peer, "192.0.2.1");
    std::strcpy(bad.peer, "192.0.2.2");
    std::strcpy(boss.peer, "192.0.2.3");
    for (Session* s : {&mon, &bad, &boss}) ASSERT_TRUE(p.attach(s));
    play(p, mon, {{"USERNAME mon", "OK\n"}, {"PASSWORD secret", "OK\n"}, {"LOGIN qor", "OK\n"},
                  {"FSD qor", "ERR ACCESS-DENIED\n"}, {"MASTER qor", "ERR ACCESS-DENIED\n"}});
    play(p, bad, {{"USERNAME boss", "OK\n"}, {"PASSWORD guess", "OK\n"}, {"LOGIN qor", "ERR ACCESS-DENIED\n"},
                  {"FSD qor", "ERR ACCESS-DENIED\n"}, {"LOGIN qor", "ERR ACCESS-DENIED\n"},  // logged once
                  {"FSD qor", "ERR ACCESS-DENIED\n"}});
    EXPECT_FALSE(p.forcedShutdown());
    play(p, boss, {{"USERNAME boss", "OK\n"}, {"PASSWORD b0ss", "OK\n"}, {"PRIMARY qor", "OK PRIMARY-GRANTED\n"},
                   {"MASTER qor", "OK MASTER-GRANTED\n"}, {"LOGIN qor", "OK\n"}, {"FSD qor extra", "ERR INVALID-ARGUMENT\n"},
                   {"FSD qor", "OK FSD-SET\n"}, {"GET VAR qor ups.status", "VAR qor ups.status \"FSD OB LB\"\n"},
                   {"LOGOUT", "OK Goodbye\n", After::Close}});
    p.detach(&mon);
    const std::vector<std::string> want = {
        "network: mon@192.0.2.1 logged in",
        "network: mon@192.0.2.1 refused the forced shutdown: not a primary with this password",
        "network: boss@192.0.2.2 refused: wrong name or password",
        "network: boss@192.0.2.2 refused the forced shutdown: not a primary with this password",
        "network: boss@192.0.2.3 logged in",
        "network: boss@192.0.2.3 ordered the forced shutdown of every follower",
        "network: boss@192.0.2.3 logged out",
        "network: mon@192.0.2.1 left without logging out",
    };
    EXPECT_EQ(log, want);
    for (const auto& l : log) EXPECT_EQ(l.find("b0ss"), std::string::npos) << l;

    // Held while on battery, and for a while after mains is back, then withdrawn.
    now += kFollowerFsdHoldMs;
    p.setState(AcFail, 30, "");
    EXPECT_TRUE(p.forcedShutdown());
    now += 1000;
    p.setState(AcOk, 30, "");
    EXPECT_FALSE(p.forcedShutdown()) << "a follower booting now is not shut down again";
    EXPECT_STREQ(p.statusText(), "OL");
    play(p, boss, {{"FSD qor", "OK FSD-SET\n"}});
    now += kFollowerFsdHoldMs - 1;
    p.setState(AcOk, 30, "");
    EXPECT_TRUE(p.forcedShutdown()) << "every follower polls it first";
    now += 1;
    p.setState(AcOk, 30, "");
    EXPECT_FALSE(p.forcedShutdown());
    p.setForcedShutdown();  // this machine's own count-down ended: for good
    now += 10 * kFollowerFsdHoldMs;
    p.setState(AcOk, 30, "");
    EXPECT_TRUE(p.forcedShutdown());
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

TEST(NetProtocol, VersionReadsAsUpsdsToClientsThatParseIt) {
    NetConfig c;
    UpsProtocol p(c);
    Session s;
    char buf[kMaxReply];
    Reply r(buf, sizeof buf);
    p.handle(s, "VER", 3, r);
    std::cmatch m;
    ASSERT_TRUE(std::regex_search(buf, m, std::regex("upsd (.+) -"))) << buf;  // an exporter's pattern
    EXPECT_EQ(m[1].str(), "1.0");
    EXPECT_EQ(std::string(buf).find("Network UPS Tools"), std::string::npos) << "named as what it is";
}

TEST(NetProtocol, ClientListOfAFullServerComesWhole) {
    NetConfig c = oneUser();
    UpsProtocol p(c);
    p.setLogSink([](int, const char*) {});
    std::vector<Session> many(1024);
    std::string want = "BEGIN LIST CLIENT qor\n";
    for (size_t i = 0; i < many.size(); ++i) {
        // The longest address text there is: 45 characters.
        std::snprintf(many[i].peer, sizeof many[i].peer, "ffff:ffff:ffff:ffff:ffff:ffff:255.255.%zu.%zu", 100 + i / 256,
                      100 + i % 156);
        ASSERT_EQ(std::strlen(many[i].peer), 45u);
        ASSERT_TRUE(p.attach(&many[i]));
        if (i % 3 == 2) continue;  // connected, not logged in: not listed
        play(p, many[i], {{"USERNAME mon", "OK\n"}, {"PASSWORD secret", "OK\n"}, {"LOGIN qor", "OK\n"}});
        want += std::string("CLIENT qor ") + many[i].peer + "\n";
    }
    want += "END LIST CLIENT qor\n";
    char buf[kMaxReply];
    Reply r(buf, sizeof buf);
    p.handle(many[0], "LIST CLIENT qor", 15, r);
    EXPECT_FALSE(r.overflowed());
    EXPECT_GT(r.size(), 15 * kMaxReply);
    EXPECT_EQ(std::string(r.data(), r.size()), want);
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
            if (!want.empty()) continue;
            // What upsd answers while its driver has lost the UPS: stale but for the description and clients.
            play(p, s,
                 {{"LIST VAR qor", "ERR DATA-STALE\n"}, {"LIST RW qor", "ERR DATA-STALE\n"},
                  {"LIST ENUM qor ups.status", "ERR DATA-STALE\n"}, {"GET TYPE qor ups.status", "ERR DATA-STALE\n"},
                  {"GET DESC qor ups.status", "ERR DATA-STALE\n"}, {"GET NUMLOGINS qor", "ERR DATA-STALE\n"},
                  {"GET VAR qor nope", "ERR DATA-STALE\n"}, {"GET VAR qor", "ERR INVALID-ARGUMENT\n"},
                  {"GET UPSDESC qor", "UPSDESC qor \"Qor contact-closure UPS\"\n"},
                  {"LIST CLIENT qor", "BEGIN LIST CLIENT qor\nEND LIST CLIENT qor\n"},
                  {"USERNAME a", "OK\n"}, {"PASSWORD b", "OK\n"}, {"INSTCMD qor x", "ERR DATA-STALE\n"},
                  {"SET VAR qor a b", "ERR DATA-STALE\n"}, {"SET VAR other a b", "ERR UNKNOWN-UPS\n"},
                  {"FSD qor", "ERR ACCESS-DENIED\n"}});
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
        {"USER a\n", "line 1: USER wants NAME PASSWORD [primary]"},
        {"USER a b primary extra\n", "line 1: USER wants NAME PASSWORD [primary]"},
        {"USER a b boss\n", "line 1: USER role is neither primary nor secondary"},
        {"USER a \"\"\n", "line 1: USER password is empty"},
        {"USER a b Secondary\nUSER c d PRIMARY\nSERIAL X-1 # set on the label\n", nullptr},
        {"SERIAL\n", "line 1: SERIAL wants one word"},
        {"SERIAL a\nSERIAL b\n", "line 2: SERIAL given twice"},
        {"SERIAL 123456789012345678901234567890123\n", "line 1: SERIAL longer than 32 characters"},
        {"USER a b\nUSER a c\n", "line 2: USER given twice"},
        {"USER \"\" b\n", "line 1: USER name is empty"},
        {"USER a \"b\n", "line 1: too long or unbalanced quotes"},
        {"MONITOR qor@host\n", "line 1: unknown keyword (LISTEN, USER or SERIAL expected)"},
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

// Anyone who can write the file can add a user and order every follower down.
TEST(NetConfig, OnlyAFileRootAloneCouldWriteIsBelievedAndTheSerialComesWithIt) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to hand files to other owners";
    char tmpl[] = "/tmp/qornetXXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    ASSERT_EQ(::chmod(dir.c_str(), 0755), 0);
    auto file = [&](const char* name, const char* body, mode_t mode, uid_t owner) {
        std::string p = dir + "/" + name;
        std::ofstream(p) << body;
        EXPECT_EQ(::chmod(p.c_str(), mode), 0);
        EXPECT_EQ(::chown(p.c_str(), owner, 0), 0);
        return p;
    };
    std::string id = file("machine-id", "0123456789abcdef0123456789abcdef\n", 0444, 0);
    struct Row {
        std::string path;
        NetConfigResult want;
    };
    std::string good = file("good", "USER mon secret\n", 0600, 0);
    ::symlink(good.c_str(), (dir + "/link").c_str());
    const Row rows[] = {
        {good, NetConfigResult::Loaded},
        {file("group", "USER mon secret\n", 0620, 0), NetConfigResult::Failed},
        {file("world", "USER mon secret\n", 0602, 0), NetConfigResult::Failed},
        {file("owner", "USER mon secret\n", 0600, 65534), NetConfigResult::Failed},
        {dir + "/link", NetConfigResult::Failed},
        {file("empty", "USER mon \"\"\n", 0600, 0), NetConfigResult::Failed},
    };
    for (const Row& r : rows) {
        NetConfig c;
        EXPECT_EQ(loadNetConfig(r.path.c_str(), c, id.c_str()), r.want) << r.path;
    }
    NetConfig derived, again, given;
    ASSERT_EQ(loadNetConfig(good.c_str(), derived, id.c_str()), NetConfigResult::Loaded);
    ASSERT_EQ(loadNetConfig(good.c_str(), again, id.c_str()), NetConfigResult::Loaded);
    EXPECT_STREQ(derived.serial, again.serial) << "the same on every start";
    // Worked out apart from this code: `openssl passwd -5 -salt qorserial
    // 0123456789abcdef0123456789abcdef`, the first 64 bits of its hash.
    EXPECT_STREQ(derived.serial, "QOR-8FE20D07B86E27A4");
    TextField other;
    ASSERT_TRUE(serialFromMachineId("fedcba98765432100123456789abcdef", 32, other));
    EXPECT_STRNE(other, derived.serial);
    EXPECT_FALSE(serialFromMachineId("\n", 1, other));
    ASSERT_EQ(loadNetConfig(file("serial", "SERIAL AB-12\nUSER mon secret\n", 0600, 0).c_str(), given, id.c_str()),
              NetConfigResult::Loaded);
    EXPECT_STREQ(given.serial, "AB-12");
    std::system(("rm -rf " + dir).c_str());
}

}  // namespace
}  // namespace qor::net
