#include "settings_file.h"

#include "bounded_text.h"
#include "event_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qor {
namespace {

namespace fs = std::filesystem;

class SettingsFileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("qor-settings-" + std::to_string(getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "Qor.conf").string();
    }
    void TearDown() override {
        ::chmod(dir.c_str(), 0755);
        fs::remove_all(dir);
    }
    std::vector<char> bytes() const {
        std::ifstream in(path, std::ios::binary);
        return std::vector<char>(std::istreambuf_iterator<char>(in), {});
    }
    void write(const std::vector<char>& data) const {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
    }
    fs::path dir;
    std::string path;
};

TEST_F(SettingsFileTest, MissingFileGivesEachEditionsDefaultsAndCreatesNothing) {
    UpsSettings d, c;
    EXPECT_FALSE(initSettings(d, Edition::Desktop, path.c_str()));
    EXPECT_FALSE(initSettings(c, Edition::Console, path.c_str()));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_EQ(d.expBatMin, 10);
    EXPECT_EQ(d.lowBatMin, 1);
    EXPECT_EQ(d.periodSec, 10);
    EXPECT_EQ(d.connectMode, 1);
    EXPECT_EQ(d.pagerPort, 4);
    EXPECT_EQ(c.connectMode, 0);
    EXPECT_EQ(c.pagerPort, 3);
    EXPECT_STREQ(d.upsPort, "NOT INSTALLED");
    EXPECT_STREQ(d.msgAcRecoveried, "AC Recoveried!");
    EXPECT_STREQ(d.modemHangup, "+++ATH");
    EXPECT_STREQ(d.ipAddress3, "0.0.0.0");
    for (uint8_t f : d.notifyFlags) EXPECT_EQ(f, 1);
    EXPECT_EQ(d.modemTimeoutSec, 40);

    // The default image is the same on every run: fields without a default are zero.
    UpsSettings again;
    std::memset(&again, 0xAB, sizeof again);
    initSettings(again, Edition::Desktop, path.c_str());
    EXPECT_EQ(std::memcmp(&d, &again, sizeof d), 0);
    ASSERT_TRUE(saveSettings(d, path.c_str()));
    EXPECT_EQ(bytes().size(), kSettingsSize);
    EXPECT_EQ(bytes()[offsetof(UpsSettings, smtpServer)], 0);
}

TEST_F(SettingsFileTest, LoadForcesStateAndConsoleRequestsToZero) {
    UpsSettings s;
    initSettings(s, Edition::Console, path.c_str());
    s.upsState = AcFail;
    s.saveRequest = 1;
    s.detectRequest = 1;
    setText(s.upsPort, "/dev/ttyS1");
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    std::vector<char> b = bytes();
    int32_t stored;
    std::memcpy(&stored, &b[offsetof(UpsSettings, saveRequest)], 4);
    EXPECT_EQ(stored, 1) << "the record is written as it is";

    UpsSettings d, c;
    EXPECT_TRUE(initSettings(d, Edition::Desktop, path.c_str()));
    EXPECT_EQ(d.upsState, 0);
    EXPECT_EQ(d.saveRequest, 1) << "the desktop leaves the console's fields alone";
    EXPECT_STREQ(d.upsPort, "/dev/ttyS1");
    EXPECT_TRUE(initSettings(c, Edition::Console, path.c_str()));
    EXPECT_EQ(c.upsState, 0);
    EXPECT_EQ(c.saveRequest, 0);
    EXPECT_EQ(c.detectRequest, 0);
}

TEST_F(SettingsFileTest, LongFileKeepsItsTailAndShortFileGetsDefaultsOverItsBytes) {
    std::vector<char> big(20000);
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + 1);
    write(big);
    UpsSettings s;
    EXPECT_TRUE(initSettings(s, Edition::Desktop, path.c_str()));
    EXPECT_EQ(std::memcmp(&s.msgAcFail, &big[280], 255), 0);
    s.expBatMin = 42;
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    std::vector<char> after = bytes();
    ASSERT_EQ(after.size(), 20000u);
    EXPECT_TRUE(std::equal(after.begin() + kSettingsSize, after.end(), big.begin() + kSettingsSize));
    int32_t exp;
    std::memcpy(&exp, &after[4], 4);
    EXPECT_EQ(exp, 42);

    std::vector<char> small(100, 0);
    int32_t seven = 7;
    std::memcpy(&small[12], &seven, 4);   // reserved12 has a default
    small[90] = 'x';                      // inside upsPort, which has one too
    std::memcpy(&small[0], &seven, 4);    // upsState
    write(small);
    UpsSettings t;
    EXPECT_FALSE(initSettings(t, Edition::Desktop, path.c_str()));
    EXPECT_EQ(t.upsState, 0);
    EXPECT_EQ(t.reserved12, 10);
    EXPECT_STREQ(t.upsPort, "NOT INSTALLED");
}

TEST_F(SettingsFileTest, UnterminatedTextsReadAsTheirFirst255Bytes) {
    std::vector<char> junk(kSettingsSize, 'A');
    write(junk);
    UpsSettings s;
    EXPECT_TRUE(initSettings(s, Edition::Console, path.c_str()));
    EXPECT_EQ(strnlen(s.smtpServer, kTextLen), 255u);
    EXPECT_EQ(textOf(s.mailAddrs[9]).size(), 255u);
    EXPECT_EQ(textOf(s.ipAddress3), std::string(255, 'A'));
    EXPECT_EQ(std::string(portName(s.modemDevice)), "none") << "a wild index is no port";
    EXPECT_EQ(modemSpeedBps(s.modemSpeed), 115200);
    EXPECT_EQ(modemSpeedBps(7), 2400);
    EXPECT_STREQ(portName(3), "/dev/ttyS3");
}

TEST_F(SettingsFileTest, UnwritableFolderLosesNothingInMemory) {
    UpsSettings s;
    initSettings(s, Edition::Desktop, path.c_str());
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    std::vector<char> before = bytes();
    std::string missing = (dir / "no-such-dir" / "Qor.conf").string();
    s.expBatMin = 33;
    EXPECT_FALSE(saveSettings(s, missing.c_str()));
    EXPECT_EQ(s.expBatMin, 33);
    // A save replaces the file in one step: no temporary is left beside it.
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    size_t files = 0;
    for (auto& e : fs::directory_iterator(dir)) files += e.is_regular_file();
    EXPECT_EQ(files, 1u);
    EXPECT_NE(before, bytes());
}

// The record holds the dial-up password in clear: only its owner may read it,
// a new file and an old one alike; the event log stays readable.
TEST_F(SettingsFileTest, SettingsFileIsPrivateEventLogIsNot) {
    auto mode = [](const std::string& p) {
        struct stat st {};
        return ::stat(p.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
    };
    UpsSettings s;
    initSettings(s, Edition::Console, path.c_str());
    ::umask(022);
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    EXPECT_EQ(mode(path), 0600);
    ASSERT_EQ(::chmod(path.c_str(), 0664), 0);
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    EXPECT_EQ(mode(path), 0600) << "group and other lose their bits";
    // A settings path that is a link is rewritten in place, through the link.
    std::string target = (dir / "real.conf").string();
    ASSERT_EQ(::rename(path.c_str(), target.c_str()), 0);
    ASSERT_EQ(::chmod(target.c_str(), 0644), 0);
    ASSERT_EQ(::symlink(target.c_str(), path.c_str()), 0);
    ASSERT_TRUE(saveSettings(s, path.c_str()));
    EXPECT_EQ(mode(target), 0600);

    std::string log = (dir / "Qor.event").string();
    EventList list;
    list.recordEvent(EvAcFail, 1);
    ASSERT_TRUE(list.saveEvents(log.c_str()));
    EXPECT_EQ(mode(log), 0644);
}

TEST(UpsSettings, SetTextStoresAtMost255CharactersAndZeroesTheRest) {
    TextField f;
    std::memset(f, 'z', sizeof f);
    setText(f, std::string(400, 'q'));
    EXPECT_EQ(textOf(f), std::string(255, 'q'));
    setText(f, "ab");
    EXPECT_EQ(f[2], 0);
    EXPECT_EQ(f[255], 0);
    EXPECT_EQ(f[100], 0);
}

TEST(BoundedText, CopiesWhatFitsFromAtMostTheSourceFieldAndAlwaysTerminates) {
    char dst[8];
    std::memset(dst, 'z', sizeof dst);
    copyBounded(dst, "abcdefghij");
    EXPECT_STREQ(dst, "abcdefg");
    copyBounded(dst, "ab");
    EXPECT_EQ(std::string(dst, sizeof dst), std::string("ab\0\0\0\0\0\0", 8)) << "no old tail kept";
    copyBounded(dst, nullptr);
    EXPECT_STREQ(dst, "");
    // An unterminated 3-byte source field is read no further than its end.
    const char field[3] = {'x', 'y', 'z'};
    copyBounded(dst, sizeof dst, field, sizeof field);
    EXPECT_STREQ(dst, "xyz");
    copyBounded(dst, 1, "abc");
    EXPECT_EQ(dst[0], '\0');
}

}  // namespace
}  // namespace qor
