#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "line_status.h"
#include "startup_rules.h"
#include "warning_text.h"

TEST(LineStatus, PresenceAndPowerState) {
    EXPECT_FALSE(qorwin::UpsPresent(-1));  // every bit set, yet a failed probe
    EXPECT_FALSE(qorwin::UpsPresent(0));
    EXPECT_FALSE(qorwin::UpsPresent(0x20 | 0x40));  // DSR and ring only
    EXPECT_TRUE(qorwin::UpsPresent(0x10));
    EXPECT_TRUE(qorwin::UpsPresent(0x80));

    EXPECT_EQ(qorwin::ClassifyLine(0x90), qorwin::PowerState::Normal);
    EXPECT_EQ(qorwin::ClassifyLine(0x10), qorwin::PowerState::Normal);
    EXPECT_EQ(qorwin::ClassifyLine(0x80), qorwin::PowerState::AcFail);
    EXPECT_EQ(qorwin::ClassifyLine(0x00), qorwin::PowerState::BatteryLow);
    EXPECT_EQ(qorwin::ClassifyLine(0x60), qorwin::PowerState::BatteryLow);
}

TEST(LineStatus, PortNames) {
    EXPECT_EQ(qorwin::PortNumberFromName("COM1"), 1);
    EXPECT_EQ(qorwin::PortNumberFromName("COM4"), 4);
    EXPECT_EQ(qorwin::PortNumberFromName("COM5"), 0);
    EXPECT_EQ(qorwin::PortNumberFromName("COM10"), 0);
    EXPECT_EQ(qorwin::PortNumberFromName("com2"), 0);
    EXPECT_EQ(qorwin::PortNumberFromName("NONE"), 0);
    EXPECT_EQ(qorwin::PortNumberFromName(nullptr), 0);
    char name[8];
    qorwin::PortNameOf(3, name, sizeof name);
    EXPECT_STREQ(name, "COM3");
    qorwin::PortNameOf(0, name, sizeof name);
    EXPECT_STREQ(name, "NONE");
}

TEST(LineStatus, DetectionTakesTheFirstAnsweringPortAndPassesOverFailures) {
    std::vector<std::string> asked;
    auto probe = [&](std::int32_t c1, std::int32_t c2, std::int32_t c3, std::int32_t c4) {
        return [&asked, c1, c2, c3, c4](const char* port) -> std::int32_t {
            asked.push_back(port);
            const std::int32_t s[] = {c1, c2, c3, c4};
            return s[port[3] - '1'];
        };
    };
    EXPECT_EQ(qorwin::FindUpsPort(probe(0x00, -1, 0x80, 0x10)), 3);
    EXPECT_EQ(asked, (std::vector<std::string>{"COM1", "COM2", "COM3"}));
    asked.clear();
    EXPECT_EQ(qorwin::FindUpsPort(probe(-1, -1, -1, -1)), 0);
    EXPECT_EQ(asked.size(), 4u);
    // Both lines off (a pulled cable) is not a UPS.
    EXPECT_EQ(qorwin::FindUpsPort(probe(0x20, 0x00, 0x40, 0x00)), 0);
    EXPECT_EQ(qorwin::FindUpsPort(qorwin::LineProbeFn()), 0);
}

TEST(StartupRules, ShutdownQuestionAndBootFilePlatforms) {
    EXPECT_TRUE(qorwin::ShouldAskShutdownStatus(1, 1));
    EXPECT_FALSE(qorwin::ShouldAskShutdownStatus(1, 0));
    EXPECT_FALSE(qorwin::ShouldAskShutdownStatus(0, 1));
    EXPECT_FALSE(qorwin::ShouldAskShutdownStatus(2, 1));

    EXPECT_TRUE(qorwin::IsBootFileRestorePlatform(1, 4, 10));   // Windows 98
    EXPECT_TRUE(qorwin::IsBootFileRestorePlatform(1, 4, 90));   // Windows Me
    EXPECT_FALSE(qorwin::IsBootFileRestorePlatform(1, 4, 0));   // Windows 95
    EXPECT_FALSE(qorwin::IsBootFileRestorePlatform(2, 4, 10));  // NT 4
    EXPECT_FALSE(qorwin::IsBootFileRestorePlatform(2, 10, 0));

    EXPECT_EQ(qorwin::NextFrame(0), 1);
    EXPECT_EQ(qorwin::NextFrame(2), 0);
}

TEST(WarningText, EveryKindHasAShortTextAndTheCountdownsOfferCancel) {
    char text[256];
    for (int kind = 0; kind <= 4; ++kind) {
        ASSERT_TRUE(qorwin::WarningText(kind, 125, text, sizeof text)) << kind;
        std::string t = text;
        EXPECT_FALSE(t.empty());
        // The pop-up draws from x = 40 on a 320-pixel picture, above the buttons.
        std::size_t start = 0, lines = 0;
        while (start <= t.size()) {
            std::size_t end = t.find('\n', start);
            if (end == std::string::npos) end = t.size();
            EXPECT_LE(end - start, 34u) << "kind " << kind << ": " << t.substr(start, end - start);
            ++lines;
            start = end + 1;
        }
        EXPECT_LE(lines, 5u) << kind;
        if (kind != 0) {
            EXPECT_NE(t.find("2 min 05 s"), std::string::npos) << t;
        }
    }
    EXPECT_FALSE(qorwin::WarningOffersCancel(0));
    for (int kind = 1; kind <= 4; ++kind) EXPECT_TRUE(qorwin::WarningOffersCancel(kind));
    EXPECT_FALSE(qorwin::WarningOffersCancel(5));

    std::strcpy(text, "keep");
    EXPECT_FALSE(qorwin::WarningText(5, 0, text, sizeof text));
    EXPECT_FALSE(qorwin::WarningText(-1, 0, text, sizeof text));
    EXPECT_STREQ(text, "keep");

    qorwin::FormatSeconds(1, text, sizeof text);
    EXPECT_STREQ(text, "1 second");
    qorwin::FormatSeconds(59, text, sizeof text);
    EXPECT_STREQ(text, "59 seconds");
    qorwin::FormatSeconds(3600, text, sizeof text);
    EXPECT_STREQ(text, "60 min 00 s");
}

TEST(WarningText, AfterACancelItSaysWhatCanStillShutDown) {
    // A cancelled AC-failure countdown leaves the battery-low one armable.
    for (int kind : {2, 4})
        EXPECT_NE(std::string(qorwin::WarningCancelledText(kind)).find("battery runs low"), std::string::npos);
    // A cancelled battery-low one waits for a new failure.
    for (int kind : {1, 3, -1}) {
        std::string t = qorwin::WarningCancelledText(kind);
        EXPECT_NE(t.find("until\nthe power fails again."), std::string::npos) << t;
        EXPECT_EQ(t.find("battery"), std::string::npos) << t;
    }
}
