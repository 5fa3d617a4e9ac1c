// What the settings dialogs read, check and write, without the dialogs.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "config_settings.h"
#include "dialog_number.h"
#include "dialup_entries.h"
#include "list_editor.h"
#include "memory_store.h"
#include "notify_settings.h"
#include "settings_text.h"
#include "sheet_settings.h"

using qorwin::NumberCheck;
using qorwin::ValueKind;
using qorwin::testing::Bytes;
using qorwin::testing::MemoryStore;
using qorwin::testing::Padded;

namespace {

std::uint32_t Dword(const MemoryStore& s, const char* name) {
    std::uint32_t v = 0;
    std::memcpy(&v, s.values.at(name).bytes.data(), 4);
    return v;
}

}  // namespace

TEST(DialogNumber, IntegersAndTheRangeMessage) {
    struct Case {
        const char* text;
        NumberCheck result;
        int value;
    };
    const Case cases[] = {
        {"1", NumberCheck::Ok, 1},          {"9999", NumberCheck::Ok, 9999},
        {"  42 ", NumberCheck::Ok, 42},     {"+7", NumberCheck::Ok, 7},
        {"0", NumberCheck::OutOfRange, 0},  {"10000", NumberCheck::OutOfRange, 0},
        {"-5", NumberCheck::OutOfRange, 0}, {"99999999999999999999", NumberCheck::OutOfRange, 0},
        {"", NumberCheck::NotInteger, 0},   {"12a", NumberCheck::NotInteger, 0},
        {"1 2", NumberCheck::NotInteger, 0}, {"-", NumberCheck::NotInteger, 0},
    };
    for (const Case& c : cases) {
        int v = -1;
        EXPECT_EQ(qorwin::CheckDialogInteger(c.text, 1, 9999, &v), c.result) << '"' << c.text << '"';
        if (c.result == NumberCheck::Ok) EXPECT_EQ(v, c.value) << c.text;
        else EXPECT_EQ(v, -1) << c.text;
    }
    EXPECT_EQ(qorwin::NumberCheckMessage(NumberCheck::OutOfRange, 1, 9999),
              "Please enter an integer between 1 and 9999.");
    EXPECT_EQ(qorwin::NumberCheckMessage(NumberCheck::NotInteger, 1, 9999), "Please enter an integer.");
}

TEST(ConfigSettings, StartingValuesLoadSaveAndTheFirstBadNumberStopsAll) {
    MemoryStore store;
    qorwin::ConfigValues v = qorwin::LoadConfigValues(store);
    std::uint32_t n[4];
    qorwin::ConfigNumbers(v, n);
    EXPECT_EQ(n[0] + n[1] + n[2] + n[3], 4u);  // 1 each before anything is stored
    EXPECT_EQ(v.showStatus, 0u);
    EXPECT_TRUE(store.values.empty());

    std::string texts[4] = {"30", "5", "2", "0"};
    qorwin::ConfigCheck c = qorwin::TakeConfigNumbers(texts, v);
    EXPECT_EQ(c.field, 3);
    EXPECT_EQ(c.result, NumberCheck::OutOfRange);
    EXPECT_EQ(v.batteryLife, 1u);  // nothing taken while one fails
    texts[1] = "x";
    EXPECT_EQ(qorwin::TakeConfigNumbers(texts, v).field, 1);

    std::string good[4] = {"30", "5", "2", "45"};
    EXPECT_EQ(qorwin::TakeConfigNumbers(good, v).field, -1);
    v.showStatus = 1;
    qorwin::SaveConfigValues(store, v);
    EXPECT_EQ(Dword(store, "Battery life"), 30u);
    EXPECT_EQ(Dword(store, "Battery low life"), 5u);
    EXPECT_EQ(Dword(store, "Warnning time"), 2u);
    EXPECT_EQ(Dword(store, "Interval"), 45u);
    EXPECT_EQ(Dword(store, "Show Status"), 1u);
    EXPECT_EQ(store.values.size(), 5u);  // port and language are not written on OK
    qorwin::ConfigValues back = qorwin::LoadConfigValues(store);
    EXPECT_EQ(back.interval, 45u);
    EXPECT_EQ(back.showStatus, 1u);

}

TEST(ConfigSettings, PortListReachesAnyComPortAndRemembersAFurtherOne) {
    // The list: NONE, COM1..COM4 first, as ever, then COM5..COM256.
    for (int i = 0; i < qorwin::kConfigPortCount; ++i) EXPECT_EQ(qorwin::ConfigPortName(i), qorwin::kConfigPorts[i]);
    EXPECT_EQ(qorwin::ConfigPortName(5), "COM5");
    EXPECT_EQ(qorwin::ConfigPortName(qorwin::kConfigPortItems - 1), "COM256");
    EXPECT_EQ(qorwin::ConfigPortName(qorwin::kConfigPortItems), "");
    for (int i = 0; i < qorwin::kConfigPortItems; ++i)
        EXPECT_EQ(qorwin::ConfigPortIndex(qorwin::ConfigPortName(i).c_str()), i);
    EXPECT_EQ(qorwin::ConfigPortIndex("COM257"), -1);
    EXPECT_EQ(qorwin::ConfigPortIndex(""), -1);

    // Choosing COM1..COM4 or NONE writes "Port" alone: no new value appears.
    MemoryStore store;
    qorwin::StorePortChoice(store, "COM3");
    EXPECT_EQ(Bytes(store, "Port"), std::string("COM3", 5));  // with its NUL
    EXPECT_EQ(store.values.count("Further Port"), 0u);
    // A port above COM4 is remembered for the detection ...
    qorwin::StorePortChoice(store, "COM12");
    EXPECT_EQ(Bytes(store, "Port"), std::string("COM12", 6));
    EXPECT_EQ(Bytes(store, "Further Port"), std::string("COM12", 6));
    // ... until another choice turns it off.
    qorwin::StorePortChoice(store, "NONE");
    EXPECT_EQ(Bytes(store, "Port"), std::string("NONE", 5));
    EXPECT_EQ(Bytes(store, "Further Port"), std::string("NONE", 5));
}

TEST(NotifySettings, RowsRoundTripAndACommaNeverEatsTheChannels) {
    MemoryStore store;
    qorwin::NotifySettings s = qorwin::LoadNotifySettings(store);
    EXPECT_EQ(s.enable, 0u);
    EXPECT_EQ(s.events[0].text, "");

    s.enable = qorwin::kEnableEmail | qorwin::kEnablePager;
    s.events[qorwin::kRowPowerFail] = {"AC Fail!", qorwin::kChannelPopup | qorwin::kChannelPager};
    s.events[qorwin::kRowPowerRestored] = {"Power back, all fine", qorwin::kChannelEmail};
    s.events[qorwin::kRowBatteryLow] = {std::string(300, 'b'), 7};
    qorwin::SaveNotifySettings(store, s);

    EXPECT_EQ(Dword(store, "Enable Notification"), 3u);
    EXPECT_EQ(Bytes(store, "Power Fail Warning"), Padded("AC Fail!,5", 256));
    EXPECT_EQ(Bytes(store, "Power Restored"), Padded("Power back,2", 256));
    // All 255 characters the dialog takes, the comma, the mask and the NUL.
    EXPECT_EQ(Bytes(store, "Battery Low"), std::string(255, 'b') + ",7" + std::string(1, '\0'));

    qorwin::NotifySettings back = qorwin::LoadNotifySettings(store);
    EXPECT_EQ(back.events[1].text, "Power back");
    EXPECT_EQ(back.events[1].channels, qorwin::kChannelEmail);
    EXPECT_EQ(back.events[2].channels, 7);
    EXPECT_EQ(back.events[2].text, std::string(255, 'b'));

    // A value written by someone else with a comma in its text reads as cut.
    store.Put("Power Fail Warning", ValueKind::Binary, Padded("Fail, now,3", 256));
    EXPECT_EQ(qorwin::LoadNotifySettings(store).events[0].text, "Fail");
}

TEST(ListEditor, AddressPageAddsOnlyCompleteEntriesAndStoresTheListForm) {
    MemoryStore store;
    store.Put("Email Address", ValueKind::Binary, Padded(std::string("Ann<ann@x.org>\0bob@y.org", 25), 2048));
    qorwin::ListEditor list(qorwin::ListEditor::Kind::Address);
    list.Load(store);
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Line(0), "Ann ann@x.org");
    EXPECT_EQ(list.Line(1), "bob@y.org ");  // no "<": all of it is the name

    struct Case {
        std::string name;
        std::string address;
        bool added;
    };
    const Case cases[] = {
        {"Carl", "", false},           {"", "carl@z.org", false},       {"   ", "carl@z.org", false},
        {"Ca<rl", "c@z.org", false},   {"Carl", "c @z.org", false},     {"Carl", "<c@z.org>", false},
        {std::string(64, 'n'), "c@z.org", false},
        {" Carl Lee ", " carl@z.org ", true},
    };
    for (const Case& c : cases) EXPECT_EQ(list.Add(c.name, c.address), c.added) << c.name << "|" << c.address;
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.Line(2), "Carl Lee carl@z.org");

    EXPECT_FALSE(list.Remove(-1));
    EXPECT_FALSE(list.Remove(3));
    EXPECT_TRUE(list.Remove(1));
    EXPECT_EQ(list.Save(store), 2u);
    EXPECT_EQ(Bytes(store, "Email Address"), Padded(std::string("Ann<ann@x.org>\0Carl Lee<carl@z.org>\0", 36), 2048));
}

TEST(ListEditor, PagerPageShowsNumberFourBlanksNameAndStopsAtTheBlockLimit) {
    MemoryStore store;
    store.Put("Pager Number", ValueKind::Binary, Padded(std::string("5551234    Ann\0", 15), 2048));
    qorwin::ListEditor list(qorwin::ListEditor::Kind::Pager);
    list.Load(store);
    ASSERT_EQ(list.Count(), 1u);
    EXPECT_EQ(list.Line(0), "5551234    Ann");
    EXPECT_FALSE(list.Add("Bob", "555 99"));  // the dialer would take "555" only
    EXPECT_TRUE(list.Add("Bob", "99,1"));
    EXPECT_EQ(list.Line(1), "99,1    Bob");
    list.Save(store);
    EXPECT_EQ(Bytes(store, "Pager Number"), Padded(std::string("5551234    Ann\0" "99,1    Bob\0", 27), 2048));

    // 200 entries of 20 bytes: the list box keeps all, the block what fits.
    qorwin::ListEditor many(qorwin::ListEditor::Kind::Pager);
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(many.Add("Name" + std::to_string(1000 + i), "555" + std::to_string(1000 + i)));
    EXPECT_EQ(many.Count(), 200u);
    EXPECT_EQ(many.Save(store), 102u);  // 102 x 20 = 2040 bytes used
    const std::string block = Bytes(store, "Pager Number");
    EXPECT_EQ(block.size(), 2048u);
    EXPECT_EQ(block.substr(2040), std::string(8, '\0'));
}

TEST(SheetSettings, InternetRecordRadiosAndModemPage) {
    MemoryStore store;
    qorwin::EmailSetting zero = qorwin::LoadEmailSetting(store);
    EXPECT_FALSE(qorwin::ShowsAlwaysConnected(zero));  // neither set: "Use dialup account"

    qorwin::InternetPageFields f;
    f.alwaysConnected = true;
    f.smtpServer = std::string(45, 'm');
    f.connectionName = "Office";
    f.userName = "ann";
    f.password = "pw";
    f.disconnectWhenDone = true;
    qorwin::SaveEmailSetting(store, qorwin::MakeEmailSetting(f));
    const std::string raw = Bytes(store, "Email Setting");
    ASSERT_EQ(raw.size(), 568u);
    EXPECT_EQ(raw.substr(0, 8), std::string("\1\0\0\0\0\0\0\0", 8));
    EXPECT_EQ(raw.substr(264, 4), std::string("\1\0\0\0", 4));
    EXPECT_EQ(raw.substr(268, 41), std::string(40, 'm') + '\0');  // 40 characters as typed
    EXPECT_EQ(raw.substr(317, 7), std::string("Office\0", 7));
    qorwin::EmailSetting back = qorwin::LoadEmailSetting(store);
    EXPECT_TRUE(qorwin::ShowsAlwaysConnected(back));
    EXPECT_STREQ(back.userName, "ann");

    qorwin::ModemPageValues m = qorwin::LoadModemPage(store);
    EXPECT_STREQ(m.modem.port, "COM1");  // nothing stored: the default
    store.Put("Modem Setting", ValueKind::Binary, Padded("COM3 19200 2 3 1", 256));
    store.Put("Special Initialize String", ValueKind::String, Padded(std::string(40, 'i'), 60));
    m = qorwin::LoadModemPage(store);
    EXPECT_STREQ(m.modem.baud, "19200");
    EXPECT_EQ(m.modem.parity, 2);
    EXPECT_EQ(m.initString, std::string(29, 'i'));
    m.modem.stopBits = 2;
    m.dialPrefix = "9";
    qorwin::SaveModemPage(store, m);
    EXPECT_EQ(Bytes(store, "Modem Setting"), Padded("COM3 19200 2 3 2", 256));
    EXPECT_EQ(Bytes(store, "Dialing Prefix"), Padded("9", 60));
    EXPECT_EQ(store.values.at("Dialing Prefix").kind, ValueKind::String);
    EXPECT_EQ(Bytes(store, "Special Initialize String"), Padded(std::string(29, 'i'), 60));
}

TEST(DialupEntries, TwoCallSizeRule) {
    // A phone book of three entries: the first call learns the size.
    std::vector<std::uint32_t> sizesAsked;
    auto book = [&](unsigned char* buf, std::uint32_t* bytes, std::uint32_t* entries) -> std::uint32_t {
        sizesAsked.push_back(*bytes);
        std::uint32_t size = 0;
        std::memcpy(&size, buf, 4);
        if (size != qorwin::kDialupEntrySize) return 632;  // wrong structure size
        if (*bytes < 3 * qorwin::kDialupEntrySize) {
            *bytes = 3 * qorwin::kDialupEntrySize;
            return qorwin::kDialupBufferTooSmall;
        }
        static const std::string kLong(300, 'x');
        const char* names[] = {"Office", "Home", kLong.c_str()};
        for (int i = 0; i < 3; ++i) {
            char* name = reinterpret_cast<char*>(buf + i * qorwin::kDialupEntrySize + qorwin::kDialupNameOffset);
            std::memset(name, 0, qorwin::kDialupNameSize);
            std::memcpy(name, names[i], i < 2 ? std::strlen(names[i]) : qorwin::kDialupNameSize);  // last unterminated
        }
        *entries = 3;
        return 0;
    };
    auto names = qorwin::ListDialupEntries(book);
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names[0], "Office");
    EXPECT_EQ(names[1], "Home");
    EXPECT_EQ(names[2].size(), qorwin::kDialupNameSize);
    EXPECT_EQ(sizesAsked, (std::vector<std::uint32_t>{532, 3 * 532}));

    // One entry fits the first call; failures and lying counts give what is safe.
    EXPECT_TRUE(qorwin::ListDialupEntries([](unsigned char*, std::uint32_t*, std::uint32_t* n) {
                    *n = 0;
                    return 0u;
                }).empty());
    EXPECT_TRUE(qorwin::ListDialupEntries([](unsigned char*, std::uint32_t*, std::uint32_t*) { return 5u; }).empty());
    EXPECT_EQ(qorwin::ListDialupEntries([](unsigned char*, std::uint32_t*, std::uint32_t* n) {
                  *n = 40;  // more than the buffer holds
                  return 0u;
              }).size(), 1u);
    EXPECT_TRUE(qorwin::ListDialupEntries(qorwin::DialupEnumCall()).empty());
}

TEST(SettingsText, TitleFromCaption) {
    EXPECT_EQ(qorwin::TitleFromCaption("&Notification"), "Notification");
    EXPECT_EQ(qorwin::TitleFromCaption("Save && E&xit&"), "Save & Exit");
}
