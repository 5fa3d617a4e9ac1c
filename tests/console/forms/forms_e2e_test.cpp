// The console's setting forms and log viewer end to end: the real qorconsole
// in the sandbox, keys sent and the screen read through tmux, the settings
// file read from the sandbox's private /etc.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "sandbox_fixture.h"
#include "ups_settings.h"
#include "ups_status.h"

namespace {

using qor::UpsSettings;
using qor::sandbox::Sandbox;
using qor::sandbox::TmuxOptions;
using qor::sandbox::waitUntil;
using Keys = std::vector<std::string>;

std::string settingsImage(void (*edit)(UpsSettings&) = nullptr) {
    UpsSettings s;
    std::memset(&s, 0, sizeof s);
    qor::storeDefaults(s, qor::Edition::Console);
    s.pagerPort = qor::kPortNone;
    if (edit) edit(s);
    return std::string(reinterpret_cast<const char*>(&s), sizeof s);
}

// The settings file as the program last wrote it, if it did.
std::optional<UpsSettings> savedSettings(const Sandbox& sb) {
    std::optional<std::string> bytes = sb.etcFile("Qor.conf");
    if (!bytes || bytes->size() < sizeof(UpsSettings)) return std::nullopt;
    UpsSettings s;
    std::memcpy(&s, bytes->data(), sizeof s);
    return s;
}

bool waitSaved(const Sandbox& sb, const std::function<bool(const UpsSettings&)>& cond, int ms) {
    return waitUntil(
        [&] {
            auto s = savedSettings(sb);
            return s && cond(*s);
        },
        ms);
}

Keys repeat(const std::string& key, int n) { return Keys(static_cast<size_t>(n), key); }

struct Size {
    int cols, rows;
};

class FormsE2E : public ::testing::TestWithParam<Size> {
protected:
    // Starts qorconsole on a text console (no DISPLAY) of the test's size.
    void start(const std::string& conf = settingsImage()) {
        ASSERT_TRUE(sb.seedEtc("Qor.conf", conf));
        TmuxOptions o;
        o.cols = GetParam().cols;
        o.rows = GetParam().rows;
        o.unsetEnv = {"DISPLAY"};
        ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, o));
        // The first tick has run (no UPS found), so saves come at the tick's pace.
        ASSERT_TRUE(sb.waitForScreen("UPS is not installed!", 5000)) << sb.screen();
    }
    // From the main menu into Options and onto item `index`.
    void openOption(int index, const char* title) {
        Keys k{"Enter"};
        Keys down = repeat("Down", index);
        k.insert(k.end(), down.begin(), down.end());
        k.push_back("Enter");
        sb.sendKeys(k);
        ASSERT_TRUE(sb.waitForScreen(title, 3000)) << sb.screen();
    }
    void type(const std::string& text) { sb.sendKeys({text}, true); }
    bool see(const std::string& text, int ms = 3000) { return sb.waitForScreen(text, ms); }
    // The screen with the table's vertical rule read as 'x' whether the
    // terminal drew it from its alternate character set or as a box character.
    std::string table() const {
        std::string out = sb.screen();
        const std::string bar = "\u2502";
        for (size_t at; (at = out.find(bar)) != std::string::npos;) out.replace(at, bar.size(), "x");
        return out;
    }
    bool seeTable(const std::string& text, int ms = 3000) {
        return waitUntil([&] { return table().find(text) != std::string::npos; }, ms, 50);
    }

    Sandbox sb;
};

TEST_P(FormsE2E, UpsTimesReachTheSettingsFileWithinASecond) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start();
    openOption(1, "UPS Setting");
    // Typing at the first position replaces the old value; a full field moves on.
    type("20");
    type("5");
    sb.sendKeys({"Tab"});
    type("30");
    sb.sendKeys({"Tab"});
    ASSERT_TRUE(see("30_ Seconds")) << sb.screen();
    auto sent = std::chrono::steady_clock::now();
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.expBatMin == 20; }, 3000)) << sb.screen();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_LT(ms, 1500) << "the tick writes the file within a second";
    auto s = savedSettings(sb);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->lowBatMin, 5);
    EXPECT_EQ(s->periodSec, 30);
    std::string bytes = *sb.etcFile("Qor.conf");
    int32_t at4, at8, at16;
    std::memcpy(&at4, bytes.data() + 4, 4);
    std::memcpy(&at8, bytes.data() + 8, 4);
    std::memcpy(&at16, bytes.data() + 16, 4);
    EXPECT_EQ(at4, 20);
    EXPECT_EQ(at8, 5);
    EXPECT_EQ(at16, 30);
    // Opened again, the form shows what was stored.
    sb.sendKeys({"Enter"});
    EXPECT_TRUE(see("Expected Battery Life:          20  Minutes")) << sb.screen();
    EXPECT_TRUE(see("Battery Life When Battery Low:  5_  Minutes")) << sb.screen();
}

TEST_P(FormsE2E, PeriodOutOfRangeCannotBeLeftButAnEmptyOneCanAndStoresZero) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start();
    openOption(1, "UPS Setting");
    sb.sendKeys({"Tab", "Tab"});
    type("0");
    ASSERT_TRUE(see("Period Count Down:              0__ Seconds")) << sb.screen();
    // Neither Tab nor the arrows leave "0": the next digit lands in the same field.
    sb.sendKeys({"Tab", "Down", "Up", "Right"});
    type("5");
    ASSERT_TRUE(see("05_ Seconds")) << sb.screen();
    sb.sendKeys({"BSpace", "BSpace"});
    type("601");
    ASSERT_TRUE(see("601 Seconds")) << sb.screen();
    sb.sendKeys({"Tab", "Down"});
    sb.sendKeys({"BSpace"});  // still in the period field: deletes its middle digit
    ASSERT_TRUE(see("61_ Seconds")) << sb.screen();
    // Emptied, the field can be left; OK stores 0.
    sb.sendKeys({"BSpace", "C-k"});  // the binding clears to the end of the field on Ctrl-K
    ASSERT_TRUE(see("___ Seconds")) << sb.screen();
    sb.sendKeys({"Tab", "Enter"});
    // Files the console writes hold the save request that asked for them.
    EXPECT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.saveRequest == 1; }, 3000)) << sb.screen();
    auto s = savedSettings(sb);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->periodSec, 0);
    EXPECT_EQ(s->expBatMin, 10);
}

TEST_P(FormsE2E, SpaceOnARadioMovesTheMarkAndOkStoresIt) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start(settingsImage([](UpsSettings& s) { s.pagerPort = qor::kPortNone; }));
    openOption(4, "Pager Setting");
    ASSERT_TRUE(see("[X] NONE")) << sb.screen();
    sb.sendKeys(repeat("Tab", 5));  // OK, Cancel, enable box, ttyS0, ttyS1, ttyS2
    sb.sendKeys({"Space"});
    ASSERT_TRUE(see("[X] /dev/ttyS2")) << sb.screen();
    std::string screen = sb.screen();
    EXPECT_NE(screen.find("[ ] NONE"), std::string::npos) << screen;
    for (const char* other : {"[ ] /dev/ttyS0", "[ ] /dev/ttyS1", "[ ] /dev/ttyS3"})
        EXPECT_NE(screen.find(other), std::string::npos) << other;
    // 24 fields take the cursor; from ttyS2 (the sixth) 19 Tabs come round to OK.
    sb.sendKeys(repeat("Tab", 19));
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.pagerPort == 2; }, 3000)) << sb.screen();
    EXPECT_EQ(savedSettings(sb)->pagerBaud, 3);
}

TEST_P(FormsE2E, ClearThenCancelLeavesNumbersTwoToTenEmpty) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start(settingsImage([](UpsSettings& s) {
        for (int k = 0; k < qor::kListSlots; ++k) qor::setText(s.pagerNumbers[k], "5550" + std::to_string(k));
    }));
    openOption(4, "Pager Setting");
    sb.sendKeys(repeat("Tab", 22));  // onto "[ MORE ]"
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(see("Pager Number Setting")) << sb.screen();
    ASSERT_TRUE(see("55509")) << sb.screen();
    sb.sendKeys(repeat("Tab", 11));  // onto "[ clear ]"
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("55505") == std::string::npos; }, 3000)) << sb.screen();
    // Cleared, the cursor went on to OK; Tab to Cancel and leave.
    sb.sendKeys({"Tab", "Enter"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Pager Number Setting") == std::string::npos; }, 3000));
    // The clear asked for no save.
    EXPECT_FALSE(waitSaved(sb, [](const UpsSettings& s) { return s.pagerNumbers[1][0] == 0; }, 1500));
    // The MORE form opened again shows the numbers gone from memory.
    sb.sendKeys(repeat("Tab", 23));  // from "NONE" (after MORE) round to MORE
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(see("Pager Number Setting")) << sb.screen();
    EXPECT_EQ(sb.screen().find("5550"), std::string::npos) << sb.screen();
    sb.sendKeys({"Tab", "Enter"});  // Cancel
    // OK in the Pager Setting form writes the record: slot 0 kept, 1..9 empty.
    sb.sendKeys({"Tab", "Enter"});
    ASSERT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.pagerNumbers[1][0] == 0; }, 3000)) << sb.screen();
    auto s = savedSettings(sb);
    EXPECT_STREQ(s->pagerNumbers[0], "55500");
    for (int k = 1; k < qor::kListSlots; ++k) EXPECT_EQ(s->pagerNumbers[k][0], 0) << k;
}

TEST_P(FormsE2E, CtrlXLeavesAFormWithoutStoring) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start();
    openOption(2, "Message Setting");
    const std::string acFailRow = "AC Fail" + std::string(16, ' ');
    sb.sendKeys({"Space"});  // first box off
    ASSERT_TRUE(see(acFailRow + "[ ]")) << sb.screen();
    sb.sendKeys({"C-x"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Cancle") == std::string::npos; }, 3000));
    EXPECT_FALSE(waitUntil([&] { return sb.etcFile("Qor.conf") != settingsImage(); }, 1500))
        << "nothing stored, no save asked";
    // Opened again: the record still has the flag; OK without a change still saves.
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(see(acFailRow + "[X]")) << sb.screen();
    sb.sendKeys(repeat("Tab", 6));
    auto sent = std::chrono::steady_clock::now();
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.saveRequest == 1; }, 3000));
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - sent).count();
    EXPECT_LT(ms, 1500);
    EXPECT_EQ(savedSettings(sb)->notifyFlags[0], 1);
}

TEST_P(FormsE2E, ViewerPagesThroughA1005RecordLogNewestFirst) {
    QOR_SANDBOX_REQUIRE_ROOT();
    std::string log;
    for (int i = 0; i < 1005; ++i) {
        qor::event e{1700000000 + 60 * i, (i + 3) % 4};  // the newest has kind 3
        log.append(reinterpret_cast<const char*>(&e), sizeof e);
    }
    ASSERT_TRUE(sb.seedEtc("Qor.event", log));
    start();
    sb.sendKeys({"Down", "Down", "Enter"});
    ASSERT_TRUE(see("View Logs")) << sb.screen();
    ASSERT_TRUE(see("total: 1000, Press any key to display")) << sb.screen();
    EXPECT_EQ(sb.screen().find("NO."), std::string::npos) << "no table before the first key";

    time_t newest = 1700000000 + 60 * 1004;
    struct tm local {};
    localtime_r(&newest, &local);
    char when[32];
    std::strftime(when, sizeof when, "%Y-%m-%d x %T", &local);

    type("a");
    ASSERT_TRUE(see("NO.")) << sb.screen();
    std::string first = table();
    EXPECT_EQ(first.find("total:"), std::string::npos);
    EXPECT_NE(first.find("x1    x " + std::string(when) + " x       Connection Fail!"), std::string::npos) << first;
    EXPECT_NE(first.find("x7    x"), std::string::npos);

    // Prev on page 1 keeps page 1.
    sb.sendKeys({"Enter"});
    sb.sendKeys({"Tab"});  // onto Next
    sb.sendKeys(repeat("Enter", 141));
    ASSERT_TRUE(seeTable("x988  x")) << sb.screen();  // page 142
    sb.sendKeys(repeat("Enter", 6));                  // page 143, then Next stays there
    ASSERT_TRUE(seeTable("x1000 x")) << sb.screen();
    std::string last = table();
    EXPECT_NE(last.find("x995  x"), std::string::npos);
    EXPECT_EQ(last.find("x988  x"), std::string::npos);
    std::string emptyRow = "x" + std::string(5, ' ') + "x" + std::string(12, ' ') + "x" + std::string(10, ' ') + "x" +
                           std::string(34, ' ') + "x";
    EXPECT_NE(last.find(emptyRow), std::string::npos) << "the seventh row of the last page is empty\n" << last;
    sb.sendKeys(repeat("Tab", 3));  // Next -> OK -> Cancel -> Prev
    sb.sendKeys(repeat("Enter", 150));
    ASSERT_TRUE(seeTable("x1    x")) << sb.screen();
    sb.sendKeys({"C-x"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("View Logs") == std::string::npos; }, 3000));
    EXPECT_EQ(sb.exitStatus(), -1) << "still running";
}

TEST_P(FormsE2E, EmailDialAndAddressFormsStoreTheirRulesAndLog) {
    QOR_SANDBOX_REQUIRE_ROOT();
    start();
    openOption(3, "Email Setting");
    sb.sendKeys({"Tab", "Tab", "Space", "Tab", "Tab", "Space", "Tab", "Enter"});  // box on, dial-up, Dialup Setup
    ASSERT_TRUE(see("Dial Setting")) << sb.screen();
    sb.sendKeys(repeat("Tab", 3));  // OK, Cancel, ttyS0, ttyS1
    sb.sendKeys({"Space"});
    sb.sendKeys(repeat("Tab", 18));  // onto User Name
    type("joe x");
    sb.sendKeys({"Tab"});
    type("s3cret");
    sb.sendKeys({"Tab"});
    type("0123 45");
    sb.sendKeys({"Tab"});
    type("abc");
    sb.sendKeys({"Tab", "Tab", "Space"});  // CHAP
    ASSERT_TRUE(see("[X] CHAP")) << sb.screen();
    sb.sendKeys({"Tab", "Enter"});  // OK of Dial Setting
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Dial Setting") == std::string::npos; }, 3000)) << sb.screen();
    // Back in Email Setting on the name entry.
    type("John Smith");
    sb.sendKeys({"Tab"});
    type("john@example.com");
    sb.sendKeys({"Tab"});
    type("mail.example.com");
    sb.sendKeys({"Tab", "Enter"});  // MORE
    ASSERT_TRUE(see("Email address Setting")) << sb.screen();
    sb.sendKeys({"Tab", "Tab"});
    type(" a b@x.org");
    sb.sendKeys(repeat("Tab", 9));
    type("Ann Lee");
    sb.sendKeys(repeat("Tab", 10));  // round to OK
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Email address Setting") == std::string::npos; }, 3000));
    sb.sendKeys({"Enter"});  // OK of Email Setting (the cursor went on past MORE)
    ASSERT_TRUE(waitSaved(sb, [](const UpsSettings& s) { return s.mailEnable == 1; }, 3000)) << sb.screen();
    auto s = savedSettings(sb);
    EXPECT_EQ(s->connectMode, 1);
    EXPECT_STREQ(s->mailNames[0], "John");
    EXPECT_STREQ(s->mailAddrs[0], "john@example.com");
    EXPECT_STREQ(s->smtpServer, "mail.example.com");
    EXPECT_STREQ(s->mailAddrs[1], "_a_b@x.org");
    EXPECT_STREQ(s->mailNames[1], "Ann_Lee");
    EXPECT_EQ(s->modemDevice, 1);
    EXPECT_EQ(s->dialAuth, 1);
    EXPECT_STREQ(s->dialUser, "joe");
    EXPECT_STREQ(s->dialPassword, "s3cret");
    EXPECT_STREQ(s->dialPhone, "0123");
    EXPECT_EQ(s->modemTimeoutSec, 0);
    EXPECT_STREQ(s->modemInit, "ATZ") << "fields the console does not show keep their values";

    ASSERT_TRUE(waitUntil([&] { return sb.syslog().find("john@example.com:address") != std::string::npos; }, 2000))
        << sb.syslog();
    std::string syslog = sb.syslog();
    for (const char* line : {"********:password", "0123:phonenumebr", "Ann_Lee:name", "John:name"})
        EXPECT_NE(syslog.find(line), std::string::npos) << line << "\n" << syslog;
    EXPECT_EQ(syslog.find("s3cret"), std::string::npos) << "no password in the system log";
}

INSTANTIATE_TEST_SUITE_P(Sizes, FormsE2E, ::testing::Values(Size{80, 25}, Size{120, 40}),
                         [](const ::testing::TestParamInfo<Size>& i) {
                             return std::to_string(i.param.cols) + "x" + std::to_string(i.param.rows);
                         });

// A terminal smaller than the forms (but tall enough for the Options menu,
// which needs 19 lines): they open at the top-left corner, what does not fit
// is not drawn, and a sub-form's Ctrl-X ends only the sub-form.
TEST(FormsSmallTerminalE2E, FormsLargerThanTheScreenOpenAndClose) {
    QOR_SANDBOX_REQUIRE_ROOT();
    Sandbox sb;
    ASSERT_TRUE(sb.seedEtc("Qor.conf", settingsImage()));
    TmuxOptions o;
    o.cols = 60;
    o.rows = 20;
    o.unsetEnv = {"DISPLAY"};
    ASSERT_TRUE(sb.startInTmux({QORCONSOLE}, o));
    ASSERT_TRUE(sb.waitForScreen("Quit", 5000)) << sb.screen();
    sb.sendKeys({"Enter"});
    ASSERT_TRUE(sb.waitForScreen("Back to Main", 3000)) << sb.screen();
    sb.sendKeys({"Down", "Down", "Down", "Enter"});
    ASSERT_TRUE(sb.waitForScreen("Email Setting", 3000)) << sb.screen();
    sb.sendKeys({"Tab", "Tab", "Tab", "Tab", "Tab", "Enter"});
    ASSERT_TRUE(sb.waitForScreen("Dial Setting", 3000)) << sb.screen();
    sb.sendKeys({"C-x"});
    ASSERT_TRUE(sb.waitForScreen("Email Setting", 3000)) << sb.screen();
    sb.sendKeys({"C-x"});
    ASSERT_TRUE(waitUntil([&] { return sb.screen().find("Email Setting") == std::string::npos; }, 3000));
    sb.sendKeys({"Down", "Enter"});  // "Pager Setting " is 24 lines on a 20-line screen
    ASSERT_TRUE(sb.waitForScreen("Pager Setting", 3000)) << sb.screen();
    sb.sendKeys({"C-x"});
    sb.sendKeys({"Up", "Up", "Up", "Up", "Enter"});  // Back to Main
    sb.sendKeys({"Down", "Down", "Enter"});          // View Log
    ASSERT_TRUE(sb.waitForScreen("View Logs", 3000)) << sb.screen();
    sb.sendKeys({"a", "Enter"});
    ASSERT_TRUE(sb.waitForScreen("NO.", 3000)) << sb.screen();
    sb.sendKeys({"C-x"});
    sb.sendKeys({"C-x"});  // the main menu ends the program
    EXPECT_EQ(sb.waitExit(5000), 0);
}

}  // namespace
