#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <string>

#include "safe_close_rules.h"

using qorwin::SafeCloseBuild;
using qorwin::WindowFacts;
using qorwin::WinVersion;

TEST(SafeCloseRules, OnlyVisibleUnownedCaptionedWindowsOfOtherThreadsAreClosed) {
    const std::uint32_t kOverlapped = 0x00CF0000;  // WS_OVERLAPPEDWINDOW
    struct Row {
        WindowFacts facts;
        bool closed;
        const char* what;
    } rows[] = {
        {{false, false, kOverlapped, 0, true}, true, "application window"},
        {{false, false, 0x00800000, 0, true}, true, "border only"},
        {{false, false, 0x00400000, 0, true}, true, "dialog frame only"},
        {{false, false, 0x80000000, 0, true}, false, "popup without caption bits"},
        {{true, false, kOverlapped, 0, true}, false, "the caller's own thread"},
        {{false, true, kOverlapped, 0, true}, false, "owned"},
        {{false, false, kOverlapped, 0x80, true}, false, "tool window"},
        {{false, false, kOverlapped, 0x00040080, true}, false, "tool window with other extended bits"},
        {{false, false, kOverlapped, 0x00040000, true}, true, "app-window extended bit"},
        {{false, false, kOverlapped, 0, false}, false, "invisible"},
    };
    for (const Row& r : rows) EXPECT_EQ(qorwin::ShouldCloseWindow(r.facts), r.closed) << r.what;
}

TEST(SafeCloseRules, LogPathsAndTheSaveName) {
    char folder[qorwin::kCloseTextSize];
    char path[qorwin::kCloseTextSize];
    ASSERT_TRUE(qorwin::SafeCloseLogFolder("C:\\WINDOWS", folder, sizeof folder));
    EXPECT_STREQ(folder, "C:\\WINDOWS\\Brantel\\");
    ASSERT_TRUE(qorwin::SafeCloseLogFolder("D:\\", folder, sizeof folder));
    EXPECT_STREQ(folder, "D:\\Brantel\\");
    ASSERT_TRUE(qorwin::SafeCloseLogPath("C:\\windows\\Brantel\\", path, sizeof path));
    EXPECT_STREQ(path, "C:\\windows\\Brantel\\BTUPSSAV.LOG");
    EXPECT_FALSE(qorwin::SafeCloseLogFolder("", folder, sizeof folder));
    EXPECT_FALSE(qorwin::SafeCloseLogFolder(nullptr, folder, sizeof folder));

    char name[qorwin::kCloseTextSize];
    struct Row {
        int random;
        const char* expected;
    } rows[] = {
        {12345, "C:\\WINDOWS\\BRANTEL\\BT12345"},
        {7, "C:\\WINDOWS\\BRANTEL\\BT7"},
        {0, "C:\\WINDOWS\\BRANTEL\\BT0"},
        {32767, "C:\\WINDOWS\\BRANTEL\\BT32767"},
        {1234567, "C:\\WINDOWS\\BRANTEL\\BT12345"},  // first five characters
        {-42, "C:\\WINDOWS\\BRANTEL\\BT-42"},
    };
    for (const Row& r : rows) {
        ASSERT_TRUE(qorwin::MakeSaveName("C:\\windows\\Brantel\\", r.random, name, sizeof name)) << r.random;
        EXPECT_STREQ(name, r.expected);
    }

    // Names never pass 199 characters: a long folder gives no name rather than a cut one.
    std::string longFolder(190, 'a');
    EXPECT_TRUE(qorwin::MakeSaveName((longFolder + "\\").c_str(), 12345, name, sizeof name));
    EXPECT_EQ(std::strlen(name), 198u);
    longFolder += "bcd\\";
    std::strcpy(name, "keep");
    EXPECT_FALSE(qorwin::MakeSaveName(longFolder.c_str(), 12345, name, sizeof name));
    EXPECT_STREQ(name, "");
    char small[8];
    EXPECT_FALSE(qorwin::MakeSaveName("C:\\dir\\", 1, small, sizeof small));
    EXPECT_FALSE(qorwin::SafeCloseLogFolder(std::string(195, 'x').c_str(), folder, sizeof folder));
}

TEST(SafeCloseRules, SaveTimeIsTheAsctimeForm) {
    std::tm t = {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_wday = 2;
    t.tm_hour = 7;
    t.tm_min = 5;
    t.tm_sec = 9;
    char key[32];
    ASSERT_TRUE(qorwin::FormatSaveTime(t, key, sizeof key));
    EXPECT_STREQ(key, "Tue Dec  8 07:05:09 2026\n");
    EXPECT_STREQ(key, std::asctime(&t));
    t.tm_mday = 31;
    t.tm_wday = 4;
    ASSERT_TRUE(qorwin::FormatSaveTime(t, key, sizeof key));
    EXPECT_EQ(std::strlen(key), 25u);

    // Out of the form asctime writes: no key rather than a longer one.
    std::tm bad = t;
    bad.tm_wday = 7;
    EXPECT_FALSE(qorwin::FormatSaveTime(bad, key, sizeof key));
    bad = t;
    bad.tm_mon = -1;
    EXPECT_FALSE(qorwin::FormatSaveTime(bad, key, sizeof key));
    bad = t;
    bad.tm_year = 10000 - 1900;
    EXPECT_FALSE(qorwin::FormatSaveTime(bad, key, sizeof key));
    char tiny[10];
    EXPECT_FALSE(qorwin::FormatSaveTime(t, tiny, sizeof tiny));
}

TEST(SafeCloseRules, TypedKeysAndEachBuildsEndOfWindows) {
    EXPECT_EQ(qorwin::TypedCharKeyData(0x0000001E), 0x001E0001u);  // 'a'
    EXPECT_EQ(qorwin::TypedCharKeyData(0x0001001E), 0x001E0001u);  // 'A': shift state dropped
    EXPECT_EQ(qorwin::TypedCharKeyData(0xFFFFFFFF), 0x00000001u);  // no key for it

    const WinVersion win95{1, 4, 0}, win98{1, 4, 10}, winMe{1, 4, 90}, nt4{2, 4, 0}, win2000{2, 5, 0},
        win10{2, 10, 0};
    EXPECT_FALSE(qorwin::SignalsUpsOff(SafeCloseBuild::Win9x, win95));
    EXPECT_TRUE(qorwin::SignalsUpsOff(SafeCloseBuild::Win9x, win98));
    EXPECT_TRUE(qorwin::SignalsUpsOff(SafeCloseBuild::Win9x, WinVersion{1, 4, 89}));
    EXPECT_FALSE(qorwin::SignalsUpsOff(SafeCloseBuild::Win9x, winMe));
    EXPECT_FALSE(qorwin::SignalsUpsOff(SafeCloseBuild::Win9x, WinVersion{2, 4, 10}));
    EXPECT_FALSE(qorwin::SignalsUpsOff(SafeCloseBuild::WinNt, win98));

    const std::uint32_t kLogoff = 0, kShutdown = 1;
    for (const WinVersion& v : {win95, win98, winMe, nt4, win2000, win10})
        EXPECT_EQ(qorwin::EndOfWindowsFlags(SafeCloseBuild::Win9x, v), kShutdown);
    EXPECT_EQ(qorwin::EndOfWindowsFlags(SafeCloseBuild::WinNt, nt4), kShutdown);
    EXPECT_EQ(qorwin::EndOfWindowsFlags(SafeCloseBuild::WinNt, win2000), kLogoff);
    EXPECT_EQ(qorwin::EndOfWindowsFlags(SafeCloseBuild::WinNt, win10), kLogoff);
    EXPECT_EQ(qorwin::EndOfWindowsFlags(SafeCloseBuild::WinNt, WinVersion{1, 5, 0}), kShutdown);
}
