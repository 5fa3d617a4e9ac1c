#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "access_faults.h"
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

TEST(LineStatus, PortNamesAndDevicePaths) {
    const std::pair<const char*, int> numbers[] = {
        {"COM1", 1}, {"COM4", 4}, {"COM5", 5}, {"COM10", 10}, {"COM256", 256}, {"COM257", 0}, {"COM1000", 0},
        {"COM0", 0}, {"COM05", 0}, {"COM", 0}, {"COM1x", 0}, {"com2", 0}, {"NONE", 0}, {"COM99999999999", 0}};
    for (const auto& [name, n] : numbers) EXPECT_EQ(qorwin::PortNumberFromName(name), n) << name;
    EXPECT_EQ(qorwin::PortNumberFromName(nullptr), 0);
    EXPECT_EQ(qorwin::FurtherPortNumber("COM4"), 0);  // COM1..COM4 are searched anyway
    EXPECT_EQ(qorwin::FurtherPortNumber("COM17"), 17);
    EXPECT_EQ(qorwin::FurtherPortNumber("NONE"), 0);

    char name[8];
    const std::pair<int, const char*> names[] = {{3, "COM3"}, {17, "COM17"}, {256, "COM256"}, {0, "NONE"}, {257, "NONE"}};
    for (const auto& [n, text] : names) {
        qorwin::PortNameOf(n, name, sizeof name);
        EXPECT_STREQ(name, text) << n;
    }
    // COM10 and up open only as \\.\COMn; anything that is no port name is left as it is.
    char path[32];
    const std::pair<const char*, const char*> paths[] = {
        {"COM1", "\\\\.\\COM1"}, {"COM12", "\\\\.\\COM12"}, {"COM1000", "COM1000"}, {"NONE", "NONE"}, {"", ""}};
    for (const auto& [port, want] : paths) {
        qorwin::PortDevicePath(port, path, sizeof path);
        EXPECT_STREQ(path, want) << port;
    }
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

    // A further port is tried last, and only one above COM4.
    auto answersOn = [&asked](const char* ups) {
        return [&asked, ups](const char* port) -> std::int32_t {
            asked.push_back(port);
            return std::strcmp(port, ups) == 0 ? 0x10 : -1;
        };
    };
    asked.clear();
    EXPECT_EQ(qorwin::FindUpsPort(answersOn("COM12"), 12), 12);
    EXPECT_EQ(asked, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM12"}));
    EXPECT_EQ(qorwin::FindUpsPort(answersOn("COM2"), 12), 2);
    EXPECT_EQ(qorwin::FindUpsPort(answersOn("COM12")), 0);
    asked.clear();
    EXPECT_EQ(qorwin::FindUpsPort(answersOn("COM300"), 300), 0);
    EXPECT_EQ(asked.size(), 4u);
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

TEST(AccessFaults, ALostKeyOrLogIsShownAndNoticedOnceUntilItClears) {
    qorwin::AccessFaults faults;
    qorwin::FaultNotice notice;
    EXPECT_EQ(qorwin::FaultLine(faults.Current()), "");
    EXPECT_FALSE(notice.Due(faults.Current()));

    faults.Report(qorwin::kFaultSettingsKey, false);
    const std::string keyLine = qorwin::FaultLine(faults.Current());
    EXPECT_NE(keyLine.find("NOT PROTECTED"), std::string::npos);
    EXPECT_NE(keyLine.find("HKLM\\Software\\Brantel\\Halvora\\Qor"), std::string::npos);
    EXPECT_TRUE(notice.Due(faults.Current()));
    faults.Report(qorwin::kFaultSettingsKey, false);  // every later refusal: no new notice
    EXPECT_FALSE(notice.Due(faults.Current()));

    // A second kind of fault is noticed on its own; the line names both.
    faults.Report(qorwin::kFaultEventLog, false);
    EXPECT_TRUE(notice.Due(faults.Current()));
    const std::string both = qorwin::FaultLine(faults.Current());
    EXPECT_EQ(both.find(keyLine), 0u);
    EXPECT_NE(both.find("Halvora.log"), std::string::npos);
    EXPECT_NE(qorwin::FaultNoticeText(faults.Current()).find("administrator"), std::string::npos);

    // An access that works again clears its kind only; a fault that returns is noticed again.
    faults.Report(qorwin::kFaultSettingsKey, true);
    EXPECT_EQ(faults.Current(), static_cast<unsigned>(qorwin::kFaultEventLog));
    EXPECT_EQ(qorwin::FaultLine(faults.Current()).find("NOT PROTECTED"), std::string::npos);
    EXPECT_FALSE(notice.Due(faults.Current()));
    faults.Report(qorwin::kFaultSettingsKey, false);
    EXPECT_TRUE(notice.Due(faults.Current()));
    faults.Report(qorwin::kFaultSettingsKey, true);
    faults.Report(qorwin::kFaultEventLog, true);
    EXPECT_EQ(qorwin::FaultLine(faults.Current()), "");
    EXPECT_EQ(qorwin::FaultNoticeText(faults.Current()), "");
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
