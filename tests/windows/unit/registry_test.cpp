#include <gtest/gtest.h>

#include <set>
#include <string>

#include "event_value.h"
#include "memory_store.h"
#include "registry_values.h"
#include "settings_store.h"

using qorwin::ValueKind;
using qorwin::testing::Bytes;
using qorwin::testing::MemoryStore;
using qorwin::testing::Padded;
namespace value = qorwin::value;


TEST(RegistryDefaults, FirstStartWritesExactlyTheNotificationEmailModemAndPagerValues) {
    MemoryStore store;
    EXPECT_EQ(qorwin::WriteMissingDefaults(store), 10);

    std::set<std::string> names;
    for (const auto& kv : store.values) names.insert(kv.first);
    EXPECT_EQ(names, (std::set<std::string>{"Enable Notification", "Power Fail Warning",
                                            "Power Restored", "Battery Low", "Email Setting",
                                            "Email Address", "Modem Setting",
                                            "Special Initialize String", "Dialing Prefix",
                                            "Pager Number"}));

    EXPECT_EQ(store.values.at("Enable Notification").kind, ValueKind::Dword);
    EXPECT_EQ(Bytes(store, "Enable Notification"), std::string(4, '\0'));
    EXPECT_EQ(Bytes(store, "Power Fail Warning"), Padded("Power Fail Warning,0", 256));
    EXPECT_EQ(Bytes(store, "Power Restored"), Padded("Power Restored,0", 256));
    EXPECT_EQ(Bytes(store, "Battery Low"), Padded("Battery Low,0", 256));
    EXPECT_EQ(Bytes(store, "Email Setting"), std::string(568, '\0'));
    EXPECT_EQ(Bytes(store, "Email Address"), std::string(2048, '\0'));
    EXPECT_EQ(Bytes(store, "Modem Setting"), Padded("COM1 2400 0 4 0", 256));
    EXPECT_EQ(store.values.at("Special Initialize String").kind, ValueKind::String);
    EXPECT_EQ(Bytes(store, "Special Initialize String"), std::string(60, '\0'));
    EXPECT_EQ(Bytes(store, "Dialing Prefix"), std::string(60, '\0'));
    EXPECT_EQ(store.values.at("Pager Number").kind, ValueKind::Binary);
    EXPECT_EQ(Bytes(store, "Pager Number"), std::string(2048, '\0'));
}

TEST(RegistryDefaults, ReadableValuesAreKeptUnreadableOnesGetTheirDefault) {
    MemoryStore store;
    store.Put("Power Restored", ValueKind::Binary, "Mains back,7");  // short: reads zero-filled
    store.Put("Enable Notification", ValueKind::Dword, std::string("\3\0\0\0", 4));
    store.Put("Dialing Prefix", ValueKind::String, std::string("9\0", 2));
    // Values every read refuses.
    store.Put("Modem Setting", ValueKind::Binary, std::string(300, 'x'));    // too long
    store.Put("Email Setting", ValueKind::Binary, std::string(569, '\1'));  // too long
    store.Put("Battery Low", ValueKind::Binary, std::string(273, 'b'));  // beyond a 255-character text
    store.Put("Power Fail Warning", ValueKind::Binary, std::string(255, 'f') + ",7");  // such a text: kept
    store.Put("Special Initialize String", ValueKind::Binary, "AT&F");     // not a string
    EXPECT_EQ(qorwin::WriteMissingDefaults(store), 6);
    EXPECT_EQ(Bytes(store, "Power Restored"), "Mains back,7");
    EXPECT_EQ(Bytes(store, "Power Fail Warning"), std::string(255, 'f') + ",7");
    EXPECT_EQ(Bytes(store, "Enable Notification"), std::string("\3\0\0\0", 4));
    EXPECT_EQ(Bytes(store, "Dialing Prefix"), std::string("9\0", 2));
    EXPECT_EQ(Bytes(store, "Modem Setting"), Padded("COM1 2400 0 4 0", 256));
    EXPECT_EQ(Bytes(store, "Email Setting"), std::string(568, '\0'));
    EXPECT_EQ(Bytes(store, "Battery Low"), Padded("Battery Low,0", 256));
    EXPECT_EQ(store.values.at("Special Initialize String").kind, ValueKind::String);
    EXPECT_EQ(Bytes(store, "Special Initialize String"), std::string(60, '\0'));

    int before = store.writes;
    EXPECT_EQ(qorwin::WriteMissingDefaults(store), 0);  // a second start writes nothing
    EXPECT_EQ(store.writes, before);

    // A DWORD of the wrong size or type is refused by every read too.
    for (const std::string& bad : {std::string("\1\0", 2), std::string(8, '\1')}) {
        MemoryStore s;
        s.Put("Enable Notification", ValueKind::Dword, bad);
        s.Put("Power Fail Warning", ValueKind::Binary, "x,1");
        qorwin::WriteMissingDefaults(s);
        EXPECT_EQ(Bytes(s, "Enable Notification"), std::string(4, '\0'));
        EXPECT_EQ(Bytes(s, "Power Fail Warning"), "x,1");
    }
    MemoryStore typed;
    typed.Put("Enable Notification", ValueKind::String, std::string("\3\0\0\0", 4));
    qorwin::WriteMissingDefaults(typed);
    EXPECT_EQ(typed.values.at("Enable Notification").kind, ValueKind::Dword);
}

TEST(RegistryDefaults, KeyThatCannotBeCreatedGetsNothing) {
    MemoryStore store;
    store.keyOpens = false;
    EXPECT_EQ(qorwin::WriteMissingDefaults(store), 0);
    EXPECT_TRUE(store.values.empty());
}

TEST(RegistryValues, TableGivesEveryValueItsKindAndSize) {
    struct Expect { const char* name; ValueKind kind; std::uint32_t size; };
    const Expect expected[] = {
        {"Port", ValueKind::String, 20},          {"Battery life", ValueKind::Dword, 4},
        {"Warnning time", ValueKind::Dword, 4},   {"Language Type", ValueKind::Dword, 4},
        {"Power Fail Warning", ValueKind::Binary, 256}, {"Email Setting", ValueKind::Binary, 568},
        {"Email Address", ValueKind::Binary, 2048}, {"Modem Setting", ValueKind::Binary, 256},
        {"Special Initialize String", ValueKind::String, 60}, {"Pager Number", ValueKind::Binary, 2048},
        {"Shutups", ValueKind::Dword, 4},         {"BootGUI", ValueKind::Dword, 4},
    };
    for (const Expect& e : expected) {
        const qorwin::ValueLayout* s = qorwin::FindValueLayout(e.name);
        ASSERT_NE(s, nullptr) << e.name;
        EXPECT_EQ(s->kind, e.kind) << e.name;
        EXPECT_EQ(s->size, e.size) << e.name;
    }
    std::uint32_t count = 0;
    qorwin::AllValueLayouts(&count);
    EXPECT_EQ(count, 22u);
    EXPECT_EQ(qorwin::FindValueLayout("Warning time"), nullptr);  // the name keeps its spelling
}

TEST(SettingsStore, DwordReadLeavesTheVariableAloneWhenMissingOrMalformed) {
    MemoryStore store;
    std::uint32_t v = 77;
    EXPECT_FALSE(qorwin::ReadDword(store, "Battery life", v));
    EXPECT_EQ(v, 77u);
    store.Put("Battery life", ValueKind::Dword, std::string("\x05\x01", 2));  // too short
    EXPECT_FALSE(qorwin::ReadDword(store, "Battery life", v));
    EXPECT_EQ(v, 77u);
    ASSERT_TRUE(qorwin::WriteDword(store, "Battery life", 0x01020304));
    EXPECT_EQ(Bytes(store, "Battery life"), std::string("\x04\x03\x02\x01", 4));
    EXPECT_TRUE(qorwin::ReadDword(store, "Battery life", v));
    EXPECT_EQ(v, 0x01020304u);
    store.keyOpens = false;
    v = 9;
    EXPECT_FALSE(qorwin::ReadDword(store, "Battery life", v));
    EXPECT_EQ(v, 9u);
}

TEST(SettingsStore, TextReadsAreAlwaysTerminatedAndBounded) {
    MemoryStore store;
    ASSERT_TRUE(qorwin::WriteText(store, "Port", "COM2"));
    EXPECT_EQ(Bytes(store, "Port"), std::string("COM2\0", 5));  // length + 1

    char port[20];
    std::memset(port, '#', sizeof port);
    ASSERT_TRUE(qorwin::ReadText(store, "Port", port, sizeof port));
    EXPECT_STREQ(port, "COM2");

    // Stored without terminator and filling the whole buffer: cut, still terminated.
    store.Put("Port", ValueKind::String, std::string(20, 'A'));
    ASSERT_TRUE(qorwin::ReadText(store, "Port", port, sizeof port));
    EXPECT_EQ(std::string(port), std::string(19, 'A'));

    // Longer than the 20-byte buffer: not read, the buffer keeps its text.
    std::strcpy(port, "COM3");
    store.Put("Port", ValueKind::String, std::string(25, 'B'));
    EXPECT_FALSE(qorwin::ReadText(store, "Port", port, sizeof port));
    EXPECT_STREQ(port, "COM3");

    // A value of no bytes at all reads as the empty text.
    store.Put("Port", ValueKind::String, "");
    ASSERT_TRUE(qorwin::ReadText(store, "Port", port, sizeof port));
    EXPECT_STREQ(port, "");
}

TEST(SettingsStore, BlockReadZeroFillsAShortValue) {
    MemoryStore store;
    store.Put("Battery Low", ValueKind::Binary, "Low!,4");
    unsigned char buf[256];
    std::memset(buf, 0xCC, sizeof buf);
    ASSERT_TRUE(qorwin::ReadBlock(store, "Battery Low", buf, sizeof buf));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 6), "Low!,4");
    for (std::size_t i = 6; i < sizeof buf; ++i) ASSERT_EQ(buf[i], 0) << i;
    EXPECT_FALSE(qorwin::ReadBlock(store, "Power Restored", buf, sizeof buf));
}
