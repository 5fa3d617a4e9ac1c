#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "email_setting.h"
#include "entry_lists.h"
#include "event_value.h"
#include "modem_setting.h"

namespace {

std::string At(const unsigned char* p, std::size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

}  // namespace

TEST(EmailSetting, FieldsLieAtTheirOffsetsLittleEndian) {
    qorwin::EmailSetting s{};
    s.alwaysConnected = 1;
    s.useDialup = 0x0A0B0C0D;
    qorwin::SetField(s.userName, "ann");
    qorwin::SetField(s.password, "secret");
    s.disconnectWhenDone = 1;
    qorwin::SetField(s.smtpServer, "mail.example.org");
    qorwin::SetField(s.connectionName, "Dial Out");
    unsigned char raw[568];
    std::memset(raw, 0xEE, sizeof raw);
    qorwin::PackEmailSetting(s, raw);

    EXPECT_EQ(At(raw + 0, 4), std::string("\1\0\0\0", 4));
    EXPECT_EQ(At(raw + 4, 4), "\x0D\x0C\x0B\x0A");
    EXPECT_EQ(At(raw + 8, 4), std::string("ann\0", 4));
    EXPECT_EQ(At(raw + 136, 7), std::string("secret\0", 7));
    EXPECT_EQ(At(raw + 264, 4), std::string("\1\0\0\0", 4));
    EXPECT_EQ(At(raw + 268, 17), std::string("mail.example.org\0", 17));
    EXPECT_EQ(At(raw + 317, 9), std::string("Dial Out\0", 9));
    // Everything between and after the fields is zero.
    for (std::size_t i = 8 + 3; i < 136; ++i) ASSERT_EQ(raw[i], 0) << i;
    for (std::size_t i = 317 + 8; i < 568; ++i) ASSERT_EQ(raw[i], 0) << i;

    qorwin::EmailSetting back = qorwin::UnpackEmailSetting(raw, sizeof raw);
    EXPECT_EQ(back.useDialup, 0x0A0B0C0Du);
    EXPECT_STREQ(back.password, "secret");
    EXPECT_STREQ(back.smtpServer, "mail.example.org");
    EXPECT_STREQ(back.connectionName, "Dial Out");
}

TEST(EmailSetting, UnterminatedOrShortRecordsComeOutSafe) {
    unsigned char raw[568];
    std::memset(raw, 'x', sizeof raw);  // no NUL anywhere
    qorwin::EmailSetting s = qorwin::UnpackEmailSetting(raw, sizeof raw);
    EXPECT_EQ(std::strlen(s.userName), 127u);
    EXPECT_EQ(std::strlen(s.password), 127u);
    EXPECT_EQ(std::strlen(s.smtpServer), 48u);
    EXPECT_EQ(std::strlen(s.connectionName), 250u);

    // A stored value shorter than the record: the missing bytes count as zero.
    unsigned char shortRaw[12] = {1, 0, 0, 0, 1, 0, 0, 0, 'b', 'o', 'b', 0};
    s = qorwin::UnpackEmailSetting(shortRaw, sizeof shortRaw);
    EXPECT_EQ(s.alwaysConnected, 1u);
    EXPECT_STREQ(s.userName, "bob");
    EXPECT_EQ(s.disconnectWhenDone, 0u);
    EXPECT_STREQ(s.smtpServer, "");

    // Too long a server name is cut to the field, never into the next one.
    qorwin::EmailSetting t{};
    qorwin::SetField(t.smtpServer, std::string(80, 's').c_str());
    qorwin::SetField(t.connectionName, "C");
    qorwin::PackEmailSetting(t, raw);
    EXPECT_EQ(raw[268 + 48], 0);
    EXPECT_EQ(raw[317], 'C');
}

TEST(EventValue, FormatIsTextCommaMaskThenZeroPadding) {
    unsigned char v[256];
    qorwin::FormatEventValue("AC Fail!", 5, v);
    EXPECT_EQ(At(v, 11), std::string("AC Fail!,5\0", 11));
    for (std::size_t i = 10; i < sizeof v; ++i) ASSERT_EQ(v[i], 0) << i;

    qorwin::EventValue e = qorwin::ParseEventValue(v, sizeof v);
    EXPECT_STREQ(e.text, "AC Fail!");
    EXPECT_EQ(e.channels, 5);
}

TEST(EventValue, CommaRule) {
    // No comma: the whole text is the message and no channel is used.
    const unsigned char noComma[] = "Power gone 7";
    qorwin::EventValue e = qorwin::ParseEventValue(noComma, sizeof noComma);
    EXPECT_STREQ(e.text, "Power gone 7");
    EXPECT_EQ(e.channels, 0);

    // The first comma splits; a comma inside the text cuts the text there.
    unsigned char v[256];
    qorwin::FormatEventValue("Mains lost, battery on", 6, v);
    e = qorwin::ParseEventValue(v, sizeof v);
    EXPECT_STREQ(e.text, "Mains lost");
    EXPECT_EQ(e.channels, 0);  // " battery on,6" reads as no number

    const unsigned char trailing[] = "Restored,3xyz";
    e = qorwin::ParseEventValue(trailing, sizeof trailing);
    EXPECT_EQ(e.channels, 3);

    // A missing value reads as an empty text with no channels.
    e = qorwin::ParseEventValue(nullptr, 0);
    EXPECT_STREQ(e.text, "");
    EXPECT_EQ(e.channels, 0);
}

TEST(EventValue, LongTextIsShortenedSoTheMaskSurvives) {
    std::string text(300, 'w');
    unsigned char v[256];
    qorwin::FormatEventValue(text.c_str(), 7, v);
    EXPECT_EQ(v[255], 0);
    qorwin::EventValue e = qorwin::ParseEventValue(v, sizeof v);
    EXPECT_EQ(e.channels, 7);
    EXPECT_EQ(std::strlen(e.text), 253u);  // 253 + "," + "7" + NUL

    // The dialogs' form keeps all 255 characters; the record grows only when it must.
    unsigned char whole[qorwin::kEventValueMaxSize];
    EXPECT_EQ(qorwin::FormatEventValue(text.c_str(), 7, whole), 258u);
    e = qorwin::ParseEventValue(whole, sizeof whole);
    EXPECT_EQ(std::string(e.text), std::string(255, 'w'));
    EXPECT_EQ(e.channels, 7);
    EXPECT_EQ(qorwin::FormatEventValue(std::string(253, 'w').c_str(), 7, whole), 256u);
    qorwin::FormatEventValue(std::string(253, 'w').c_str(), 7, v);
    EXPECT_EQ(std::memcmp(whole, v, sizeof v), 0);  // byte for byte the fixed record

    // 256 bytes without terminator and without comma: bounded, whole text kept.
    unsigned char raw[256];
    std::memset(raw, 'z', sizeof raw);
    e = qorwin::ParseEventValue(raw, sizeof raw);
    EXPECT_EQ(std::strlen(e.text), 255u);
    EXPECT_EQ(e.channels, 0);
}

TEST(AddressList, EntriesAreTrimmedJoinedAndEndedByAnEmptyEntry) {
    unsigned char list[2048];
    std::size_t n = qorwin::BuildAddressList(
        {{"  Ann Lee ", " ann@example.org  "}, {"Ops", "ops@example.org"}}, list);
    EXPECT_EQ(n, 2u);
    const std::string first = "Ann Lee<ann@example.org>";
    const std::string second = "Ops<ops@example.org>";
    EXPECT_EQ(At(list, first.size() + 1 + second.size() + 2),
              first + std::string(1, '\0') + second + std::string(2, '\0'));

    auto entries = qorwin::ParseEntryList(list, sizeof list);
    ASSERT_EQ(entries.size(), 2u);
    qorwin::AddressEntry a = qorwin::SplitAddressEntry(entries[0]);
    EXPECT_EQ(a.name, "Ann Lee");
    EXPECT_EQ(a.address, "ann@example.org");

    // An entry with no "<" is all name.
    EXPECT_EQ(qorwin::SplitAddressEntry("nobracket@example.org").name, "nobracket@example.org");
    EXPECT_EQ(qorwin::SplitAddressEntry("nobracket@example.org").address, "");
}

TEST(AddressList, StopsGrowingAt2047UsedBytes) {
    // Each entry "nn<a@b.cd>" + NUL: 10 + 1 = 11 bytes; 186 entries use 2046 bytes.
    std::vector<qorwin::AddressEntry> many;
    for (int i = 0; i < 300; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "%02d", i % 100);
        many.push_back({name, "a@b.cd"});
    }
    unsigned char list[2048];
    std::size_t n = qorwin::BuildAddressList(many, list);
    EXPECT_EQ(n, 186u);
    EXPECT_EQ(list[2046], 0);  // the empty entry that ends the list
    EXPECT_EQ(list[2047], 0);
    EXPECT_EQ(qorwin::ParseEntryList(list, sizeof list).size(), 186u);

    // One long entry that would not fit whole is not stored in part.
    std::vector<qorwin::AddressEntry> big = {{std::string(1500, 'n'), "x@y"},
                                             {std::string(1500, 'm'), "x@y"},
                                             {"late", "z@y"}};
    n = qorwin::BuildAddressList(big, list);
    EXPECT_EQ(n, 1u);
    auto entries = qorwin::ParseEntryList(list, sizeof list);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), 1500u + 5u);  // the later short entry is not stored either
}

TEST(PagerList, NumberFourBlanksNameAndItsSplit) {
    unsigned char list[2048];
    ASSERT_EQ(qorwin::BuildPagerList({{" 5551234", "Night shift "}, {"5559876", ""}}, list), 2u);
    auto entries = qorwin::ParseEntryList(list, sizeof list);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], "5551234    Night shift");
    qorwin::PagerEntry p = qorwin::SplitPagerEntry(entries[0]);
    EXPECT_EQ(p.number, "5551234");
    EXPECT_EQ(p.name, "Night shift");
    p = qorwin::SplitPagerEntry(entries[1]);
    EXPECT_EQ(p.number, "5559876");
    EXPECT_EQ(p.name, "");
    // A list entry with no blank is all number.
    p = qorwin::SplitPagerEntry("5550000");
    EXPECT_EQ(p.number, "5550000");
    EXPECT_EQ(p.name, "");
}

TEST(EntryList, ParseIsBoundedAndStopsAtTheFirstEmptyEntry) {
    unsigned char raw[16];
    std::memcpy(raw, "ab\0\0cd\0", 7);
    std::memset(raw + 7, 'q', sizeof raw - 7);
    auto entries = qorwin::ParseEntryList(raw, sizeof raw);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0], "ab");

    std::memset(raw, 'q', sizeof raw);  // no terminator at all
    entries = qorwin::ParseEntryList(raw, sizeof raw);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].size(), sizeof raw);
    EXPECT_TRUE(qorwin::ParseEntryList(nullptr, 10).empty());
}

TEST(ModemSetting, FormatAndParseRoundTrip) {
    unsigned char v[256];
    qorwin::FormatModemSetting(qorwin::DefaultModemSetting(), v);
    EXPECT_EQ(At(v, 16), std::string("COM1 2400 0 4 0\0", 16));
    for (std::size_t i = 15; i < sizeof v; ++i) ASSERT_EQ(v[i], 0);

    qorwin::ModemSetting m{};
    qorwin::SetField(m.port, "COM3");
    qorwin::SetField(m.baud, "115200");
    m.parity = 2;
    m.dataBits = 3;
    m.stopBits = 1;
    qorwin::FormatModemSetting(m, v);
    EXPECT_STREQ(reinterpret_cast<char*>(v), "COM3 115200 2 3 1");
    qorwin::ModemSetting back = qorwin::DefaultModemSetting();
    ASSERT_TRUE(qorwin::ParseModemSetting(v, sizeof v, back));
    EXPECT_STREQ(back.port, "COM3");
    EXPECT_STREQ(back.baud, "115200");
    EXPECT_EQ(back.parity, 2);
    EXPECT_EQ(back.dataBits, 3);
    EXPECT_EQ(back.stopBits, 1);
}

TEST(ModemSetting, BadTextsLeaveTheSettingUnchanged) {
    const char* bad[] = {"COM1 2400 0 4", "COM5 2400 0 4 0", "COM1 300 0 4 0", "COM1 2400 3 4 0",
                         "COM1 2400 0 5 0", "COM1 2400 0 4 -1", "", "garbage"};
    for (const char* text : bad) {
        qorwin::ModemSetting m = qorwin::DefaultModemSetting();
        qorwin::SetField(m.baud, "9600");
        EXPECT_FALSE(qorwin::ParseModemSetting(reinterpret_cast<const unsigned char*>(text),
                                               std::strlen(text) + 1, m))
            << text;
        EXPECT_STREQ(m.baud, "9600") << text;
    }
}

TEST(ModemSetting, DialerReadsFiveSixOrSevenFields) {
    qorwin::DialerSetting d{};
    const char five[] = "COM2 9600 0 4 0";
    EXPECT_EQ(qorwin::ParseDialerSetting(reinterpret_cast<const unsigned char*>(five), sizeof five, d), 5);
    EXPECT_STREQ(d.port, "COM2");
    EXPECT_EQ(d.baud, 9600);
    EXPECT_EQ(d.dataBitsIndex, 4);
    EXPECT_STREQ(d.initString, "");
    EXPECT_STREQ(d.dialPrefix, "");

    const char six[] = "COM2 9600 0 4 0 ATM0";
    EXPECT_EQ(qorwin::ParseDialerSetting(reinterpret_cast<const unsigned char*>(six), sizeof six, d), 6);
    EXPECT_STREQ(d.initString, "");  // with six fields both are cleared

    const char seven[] = "COM2 9600 0 4 0 ATM0 9";
    EXPECT_EQ(qorwin::ParseDialerSetting(reinterpret_cast<const unsigned char*>(seven), sizeof seven, d), 7);
    EXPECT_STREQ(d.initString, "ATM0");
    EXPECT_STREQ(d.dialPrefix, "9");

    // An over-long word cannot overrun the fields; the value need not be terminated.
    unsigned char raw[256];
    std::memset(raw, 'A', sizeof raw);
    std::memcpy(raw, "COM1 2400 0 4 0 ", 16);
    EXPECT_EQ(qorwin::ParseDialerSetting(raw, sizeof raw, d), 6);
}
