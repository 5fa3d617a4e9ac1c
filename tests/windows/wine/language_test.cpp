// The language library and help glue, run in this process: Eng.dll and
// English\halvhelp.chm are copied beside the test program.
#include <gtest/gtest.h>

#include <thread>

#include "halvora_fixture.h"
#include "harness.h"
#include "language.h"
#include "string_ids.h"
#include "text_format.h"

using namespace wt;

TEST(WineLanguage, EnglishLibraryGivesEveryText) {
    ASSERT_TRUE(qorwin::LoadLanguage(0));
    EXPECT_EQ(qorwin::Text(1030), "UPS Warning");
    for (std::size_t i = 0; i < qorwin::text::kUsedStringIdCount; ++i)
        EXPECT_FALSE(qorwin::Text(qorwin::text::kUsedStringIds[i]).empty()) << qorwin::text::kUsedStringIds[i];
    char out[260];
    qorwin::FormatWithInt(qorwin::Text(1028).c_str(), 75, out, sizeof out);
    EXPECT_STREQ(out, "ShutDown CountDown: 75 seconds");
    qorwin::FormatWithString(qorwin::Text(1060).c_str(), "COM2", out, sizeof out);
    EXPECT_STREQ(out, "UPS is installed on COM2");

    // Japanese is not shipped: no library, empty texts, and the program runs on.
    EXPECT_FALSE(qorwin::LoadLanguage(5));
    EXPECT_EQ(qorwin::LanguageModule(), nullptr);
    EXPECT_EQ(qorwin::Text(1030), "");
    EXPECT_TRUE(qorwin::LoadLanguage(0));
    qorwin::UnloadLanguage();
    EXPECT_EQ(qorwin::Text(1030), "");
}

TEST(WineLanguage, MissingHelpFileSaysFileNotFound) {
    WriteQorDword("Language Type", 3);  // French: no help folder shipped
    char before[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, before);
    bool started = true;
    std::thread t([&] { started = qorwin::OpenHelp(nullptr, "QorTestHelp"); });
    HWND box = nullptr;
    bool shown = WaitFor([&] {
        box = TopWindow("#32770", "QorTestHelp");
        return box && IsWindowVisible(box);
    }, 10000);
    EXPECT_TRUE(shown);
    if (box) {
        EXPECT_EQ(MessageBoxText(box), "File not found!");
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    }
    t.join();
    EXPECT_FALSE(started);
    char after[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, after);
    EXPECT_STREQ(after, before);  // the previous folder is back
    WriteQorDword("Language Type", 0);
}

TEST(WineLanguage, HelpOpensTheEnglishHelpFile) {
    WriteQorDword("Language Type", 0);
    auto before = TopWindows("HH Parent", nullptr);
    EXPECT_TRUE(qorwin::OpenHelp(nullptr, "QorTestHelp"));
    HWND viewer = nullptr;
    bool opened = WaitFor([&] {
        for (HWND w : TopWindows("HH Parent", nullptr))
            if (IsWindowVisible(w)) viewer = w;
        return viewer != nullptr;
    }, 15000);
    EXPECT_TRUE(opened);
    if (viewer) {
        Pump(1500);
        SaveBmp(Capture(viewer), "halvhelp-viewer.bmp");
        EXPECT_EQ(WindowText(viewer), "Halvora Help");
        PostMessageA(viewer, WM_CLOSE, 0, 0);
        WaitFor([&] { return !IsWindow(viewer); }, 5000);
    }
    EXPECT_EQ(TopWindow("#32770", "QorTestHelp"), nullptr);
}
