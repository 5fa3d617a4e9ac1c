#include "extra_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace qor {
namespace {

bool parse(const std::string& text, ExtraSettings& s, std::string& why) {
    char buf[256] = {};
    bool ok = parseExtraSettings(text.data(), text.size(), s, buf, sizeof buf);
    why = buf;
    return ok;
}

TEST(ExtraSettings, AFullFileParsesFormatsAndParsesBackTheSame) {
    const std::string text =
        "# a comment\n"
        "\n"
        "PORT /dev/ttyUSB0\r\n"
        "port \"/dev/serial/by-id/usb-Adapter Two\"\n"
        "MAIL-SECURITY StartTLS\n"
        "MAIL-PORT 2525\n"
        "MAIL-AUTH login\n"
        "MAIL-USER ups@example.org\n"
        "MAIL-PASSWORD \"pass \\\"word\\\" # not a comment\"\n"
        "MAIL-CA-FILE /etc/ssl/ca.pem\n"
        "COMMAND acfail,BatteryLow /usr/local/sbin/tell --room \"ups room\"   # trailing\n"
        "COMMAND all /bin/logger\n"
        "COMMAND-TIMEOUT 5\n"
        "OUTAGE-DELAY 20\n";
    ExtraSettings s;
    std::string why;
    ASSERT_TRUE(parse(text, s, why)) << why;
    EXPECT_EQ(s.ports, (std::vector<std::string>{"/dev/ttyUSB0", "/dev/serial/by-id/usb-Adapter Two"}));
    EXPECT_EQ(s.mailSecurity, MailSecurity::StartTls);
    EXPECT_EQ(s.effectiveMailPort(), 2525);
    EXPECT_EQ(s.mailAuth, MailAuth::Login);
    EXPECT_EQ(s.mailPassword, "pass \"word\" # not a comment");
    ASSERT_EQ(s.commands.size(), 2u);
    EXPECT_EQ(s.commands[0].events, 3u);
    EXPECT_EQ(s.commands[0].argv, (std::vector<std::string>{"/usr/local/sbin/tell", "--room", "ups room"}));
    EXPECT_EQ(s.commands[1].events, kCommandAllEvents);
    EXPECT_EQ(s.commandTimeoutSec, 5);
    EXPECT_EQ(s.outageDelaySec, 20);

    ExtraSettings back;
    ASSERT_TRUE(parse(formatExtraSettings(s), back, why)) << formatExtraSettings(s) << why;
    EXPECT_TRUE(back == s) << formatExtraSettings(s);
    EXPECT_EQ(commandEventNames(1u | kCommandTestBit), "acfail,test");
}

TEST(ExtraSettings, DefaultsAreOffAndTheUsualPortsFollowTheSecurity) {
    ExtraSettings s;
    std::string why;
    ASSERT_TRUE(parse("", s, why));
    EXPECT_TRUE(s.ports.empty() && s.commands.empty() && s.mailUser.empty());
    EXPECT_EQ(s.outageDelaySec, 0);
    EXPECT_EQ(s.effectiveMailPort(), 25);
    s.mailSecurity = MailSecurity::StartTls;
    EXPECT_EQ(s.effectiveMailPort(), 587);
    s.mailSecurity = MailSecurity::Tls;
    EXPECT_EQ(s.effectiveMailPort(), 465);
    EXPECT_EQ(formatExtraSettings(ExtraSettings{}).find('\n') + 1, formatExtraSettings(ExtraSettings{}).size())
        << "the defaults write only the heading";
}

TEST(ExtraSettings, ADamagedLineRefusesTheWholeFileAndSaysWhere) {
    const struct {
        std::string text;
        const char* why;
    } cases[] = {
        {"PORT ttyUSB0\n", "line 1: PORT takes one absolute path"},
        {"# ok\nPORT /dev/a /dev/b\n", "line 2:"},
        {"FROBNICATE 1\n", "unknown setting"},
        {"MAIL-PORT 0\n", "1 to 65535"},
        {"MAIL-PORT 99999999999\n", "1 to 65535"},
        {"MAIL-PORT 25\nMAIL-PORT 26\n", "line 2: given twice"},
        {"MAIL-SECURITY ssl\n", "plain, starttls or tls"},
        {"MAIL-USER \"unterminated\n", "unterminated quote"},
        {"MAIL-USER a\\\n", "backslash"},
        {"MAIL-USER a\x01z\n", "control character"},
        {std::string("PORT /dev/a\0b\n", 14), "NUL"},
        {"MAIL-USER u\n", "go together"},
        {"MAIL-SECURITY plain\nMAIL-USER u\nMAIL-PASSWORD p\n", "only sent over TLS"},
        {"COMMAND sometimes /bin/true\n", "unknown event"},
        {"COMMAND acfail, /bin/true\n", "unknown event"},
        {"COMMAND acfail bin/true\n", "absolute path"},
        {"COMMAND acfail\n", "takes the events and a program"},
        {"COMMAND all /bin/echo 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16\n", "more than 16"},
        {"COMMAND-TIMEOUT 0\n", "1 to 3600"},
        {"OUTAGE-DELAY -1\n", "0 to 3600"},
        {"PORT /" + std::string(300, 'a') + "\n", "absolute path"},
        {"MAIL-USER " + std::string(1100, 'u') + "\n", "longer than 1024"},
    };
    for (const auto& c : cases) {
        ExtraSettings s;
        s.ports.push_back("/left/over");
        std::string why;
        EXPECT_FALSE(parse(c.text, s, why)) << c.text;
        EXPECT_NE(why.find(c.why), std::string::npos) << c.text << " -> " << why;
        EXPECT_TRUE(s == ExtraSettings{}) << "a refused file leaves nothing half in force: " << c.text;
    }
    std::string many;
    for (int i = 0; i < 9; ++i) many += "PORT /dev/ttyUSB" + std::to_string(i) + "\n";
    ExtraSettings s;
    std::string why;
    EXPECT_FALSE(parse(many, s, why));
    EXPECT_NE(why.find("line 9: more than 8"), std::string::npos) << why;
}

TEST(ExtraSettings, TheFileIsSavedRootsAloneAndRefusedWhenOthersCouldHaveWrittenIt) {
    if (geteuid() != 0) GTEST_SKIP() << "needs root";
    char tmpl[] = "/tmp/extraXXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string path = std::string(tmpl) + "/Qor.extra";
    ExtraSettings s, back;
    EXPECT_EQ(loadExtraSettings(path.c_str(), back), ExtraLoad::Absent);
    EXPECT_EQ(loadExtraSettings("", back), ExtraLoad::Absent);
    s.ports = {"/dev/ttyUSB0"};
    s.mailSecurity = MailSecurity::Tls;
    s.mailUser = "u";
    s.mailPassword = "p w";
    ASSERT_TRUE(saveExtraSettings(path.c_str(), s));
    struct stat st {};
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(loadExtraSettings(path.c_str(), back), ExtraLoad::Loaded);
    EXPECT_TRUE(back == s);

    ASSERT_EQ(chmod(path.c_str(), 0666), 0);
    EXPECT_EQ(loadExtraSettings(path.c_str(), back), ExtraLoad::Refused);
    EXPECT_TRUE(back == ExtraSettings{});
    ASSERT_EQ(chmod(path.c_str(), 0600), 0);
    std::ofstream(path, std::ios::app) << "PORT nowhere\n";
    EXPECT_EQ(loadExtraSettings(path.c_str(), back), ExtraLoad::Refused);
    std::system((std::string("rm -rf ") + tmpl).c_str());
}

}  // namespace
}  // namespace qor
