// The further settings as the options edit them, and the front-end's copy
// put in force when saved.
#include "extra_form.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "extra_in_force.h"

namespace qor {
namespace {

TEST(ExtraForm, FieldsShowTheSettingsAndReadBackTheSame) {
    ExtraSettings s;
    s.ports = {"/dev/ttyUSB0", "/dev/serial/by-id/usb-FTDI UPS"};
    s.mailSecurity = MailSecurity::StartTls;
    s.mailPort = 2525;
    s.mailAuth = MailAuth::Login;
    s.mailUser = "ups@example.org";
    s.mailPassword = " pass \"word\" \\ # ";
    s.mailCaFile = "/etc/ssl/my ca.pem";
    s.commands = {{1u | 2u, {"/usr/local/bin/tell", "--room", "ups room"}}, {kCommandAllEvents, {"/bin/logger"}}};
    s.commandTimeoutSec = 12;
    s.outageDelaySec = 90;
    ExtraFields f = extraFields(s);
    EXPECT_EQ(f.commands[0], "acfail,batterylow /usr/local/bin/tell --room \"ups room\"");
    EXPECT_EQ(f.commands[1], "all /bin/logger");
    ExtraSettings back;
    std::string why;
    ASSERT_TRUE(extraFromFields(f, back, why)) << why;
    EXPECT_TRUE(back == s);

    // Blank fields and blanks around a path are left out.
    f = extraFields(ExtraSettings{});
    f.ports = {"", "  /dev/ttyACM0 ", "   "};
    f.commands = {"", " test /bin/true "};
    ASSERT_TRUE(extraFromFields(f, back, why)) << why;
    EXPECT_EQ(back.ports, std::vector<std::string>{"/dev/ttyACM0"});
    ASSERT_EQ(back.commands.size(), 1u);
    EXPECT_EQ(back.commands[0].events, kCommandTestBit);
    EXPECT_TRUE(extraFromFields(extraFields(ExtraSettings{}), back, why));
    EXPECT_TRUE(back == ExtraSettings{}) << "untouched fields give the defaults";
}

TEST(ExtraForm, AFaultIsNamedByItsFieldAndNothingIsTaken) {
    struct Case {
        void (*edit)(ExtraFields&);
        const char* why;
    };
    const Case cases[] = {
        {[](ExtraFields& f) { f.ports = {"/dev/ttyUSB0", "ttyUSB1"}; }, "Port 2: PORT takes one absolute path"},
        {[](ExtraFields& f) { f.ports.assign(9, "/dev/ttyUSB0"); }, "Port 9: more than 8 PORT lines"},
        {[](ExtraFields& f) { f.commands = {"", "acfail bin/tell"}; },
         "Command 2: the COMMAND's program is not an absolute path"},
        {[](ExtraFields& f) { f.commands = {"fire /bin/true"}; },
         "Command 1: unknown event (acfail, batterylow, acrecovered, connectfail, test or all)"},
        {[](ExtraFields& f) { f.commands = {"all /bin/x \"open"}; }, "Command 1: an unterminated quote"},
        {[](ExtraFields& f) { f.caFile = "ca.pem"; }, "CA file: MAIL-CA-FILE is an absolute path"},
        {[](ExtraFields& f) { f.commandTimeoutSec = 0; },
         "Command time-out: COMMAND-TIMEOUT is from 1 to 3600 seconds"},
        {[](ExtraFields& f) { f.outageDelaySec = 3601; }, "Outage delay: OUTAGE-DELAY is from 0 to 3600 seconds"},
        {[](ExtraFields& f) { f.user = "me"; }, "MAIL-USER and MAIL-PASSWORD go together"},
        {[](ExtraFields& f) {
             f.user = "me";
             f.password = "pw";
         },
         "a mail password is only sent over TLS: set MAIL-SECURITY starttls or tls"},
    };
    for (const Case& c : cases) {
        ExtraFields f;
        c.edit(f);
        ExtraSettings out;
        out.outageDelaySec = 7;
        std::string why;
        EXPECT_FALSE(extraFromFields(f, out, why)) << c.why;
        EXPECT_EQ(why, c.why);
        EXPECT_EQ(out.outageDelaySec, 7) << "nothing taken from a refused form";
    }
}

TEST(ExtraInForce, SavedSettingsAreInForceOnlyOnceWrittenAndEveryListenerHearsOfThem) {
    if (geteuid() != 0) GTEST_SKIP() << "the file is root's";
    char dir[] = "/tmp/qor-extra-in-force.XXXXXX";
    ASSERT_NE(::mkdtemp(dir), nullptr);
    std::string path = std::string(dir) + "/Qor.extra";

    ExtraInForce none("");
    int heard = 0;
    none.onChange([&](const ExtraSettings&) { ++heard; });
    EXPECT_EQ(none.load(), ExtraLoad::Absent);
    ExtraSettings edited;
    edited.ports = {"/dev/ttyUSB0"};
    EXPECT_FALSE(none.save(edited)) << "no file to write";
    EXPECT_TRUE(none.settings() == ExtraSettings{});
    EXPECT_EQ(heard, 2);  // when set, and at the load

    {
        std::ofstream(path) << "PORT /dev/ttyUSB3\n";
    }
    ::chmod(path.c_str(), 0666);
    ExtraInForce x(path);
    ExtraSettings last;
    x.onChange([&](const ExtraSettings& s) { last = s; });
    EXPECT_EQ(x.load(), ExtraLoad::Refused) << "anyone could have written it";
    EXPECT_TRUE(x.settings().ports.empty());
    ASSERT_TRUE(x.save(edited));
    EXPECT_EQ(x.state(), ExtraLoad::Loaded);
    EXPECT_EQ(x.settings().ports, edited.ports);
    EXPECT_EQ(last.ports, edited.ports);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ExtraInForce again(path);
    EXPECT_EQ(again.load(), ExtraLoad::Loaded);
    EXPECT_EQ(again.settings().ports, edited.ports);

    ExtraInForce nowhere(std::string(dir) + "/missing/Qor.extra");
    nowhere.load();
    EXPECT_FALSE(nowhere.save(edited));
    EXPECT_TRUE(nowhere.settings().ports.empty()) << "not written, not in force";
    std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
}  // namespace qor
