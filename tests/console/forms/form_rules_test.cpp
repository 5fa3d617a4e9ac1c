#include "form_rules.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace qor;
using namespace qor::console;

namespace {

UpsSettings consoleRecord() {
    UpsSettings s;
    std::memset(&s, 0, sizeof s);
    storeDefaults(s, Edition::Console);
    return s;
}

// A field's text padded to its width with blanks, as the form library hands
// buffers over.
std::string padded(const std::string& text, size_t width) {
    std::string out = text.substr(0, width);
    out.resize(width, ' ');
    return out;
}

}  // namespace

TEST(UpsSetRule, StoresTheLeadingNumbersAndZeroForBlank) {
    UpsSettings s = consoleRecord();
    UpsSetTexts t = fillUpsSet(s);
    EXPECT_EQ(t.expBatMin, "10");
    EXPECT_EQ(t.lowBatMin, "1");
    EXPECT_EQ(t.periodSec, "10");
    storeUpsSet({"20", "5 ", "   "}, s);
    EXPECT_EQ(s.expBatMin, 20);
    EXPECT_EQ(s.lowBatMin, 5);
    EXPECT_EQ(s.periodSec, 0);
    EXPECT_EQ(s.saveRequest, 0) << "the form sets saveRequest, not the rule";
}

TEST(UpsSetRule, AnUntouchedValueWiderThanItsFieldIsKept) {
    UpsSettings s = consoleRecord();
    s.expBatMin = 120;  // the desktop allows up to 999; the field shows "12"
    storeUpsSet({padded(fillUpsSet(s).expBatMin, kUpsMinutesWidth), "1 ", "10 "}, s);
    EXPECT_EQ(s.expBatMin, 120);
    storeUpsSet({"15", "1 ", "10 "}, s);
    EXPECT_EQ(s.expBatMin, 15);
}

TEST(MsgSetRule, EditsOnlyTheFlagsOfTheFirstThreeKinds) {
    UpsSettings s = consoleRecord();
    s.notifyFlags[3] = 7;  // any non-zero value reads as on
    MsgSetMarks m = fillMsgSet(s);
    for (bool on : m.on) EXPECT_TRUE(on);
    m.on[0] = false;
    m.on[5] = false;
    storeMsgSet(m, s);
    const uint8_t want[8] = {0, 1, 1, 1, 1, 0, 1, 1};
    EXPECT_EQ(std::memcmp(s.notifyFlags, want, 8), 0);
}

TEST(PagerSetRule, MarkedMembersAndFirstWordOfTheNumber) {
    UpsSettings s = consoleRecord();
    PagerSetValues v = fillPagerSet(s);
    EXPECT_EQ(v.port, 3);  // console default
    EXPECT_EQ(v.baud, 3);
    EXPECT_FALSE(v.enable);
    setText(s.pagerNumbers[0], "0123456789012345678901234567890");  // longer tail to be cleared
    v.enable = true;
    v.port = 2;
    v.baud = -1;  // nothing marked: unchanged
    v.stopBits = 1;
    v.parity = 2;
    v.dataBits = 3;
    v.number = padded("  555 1234", kPagerNumberWidth);
    storePagerSet(v, s);
    EXPECT_EQ(s.pagerEnable, 1);
    EXPECT_EQ(s.pagerPort, 2);
    EXPECT_EQ(s.pagerBaud, 3);
    EXPECT_EQ(s.pagerStopBits, 1);
    EXPECT_EQ(s.pagerParity, 2);
    EXPECT_EQ(s.pagerDataBits, 3);
    EXPECT_STREQ(s.pagerNumbers[0], "555");
    for (size_t i = 3; i < kTextLen; ++i) ASSERT_EQ(s.pagerNumbers[0][i], 0) << "slot cleared before the store";
}

TEST(PagerSetRule, AStoredIndexOutsideItsGroupMarksNothingAndSurvivesTheSave) {
    UpsSettings s = consoleRecord();
    s.pagerParity = 9;  // from a damaged file
    PagerSetValues v = fillPagerSet(s);
    EXPECT_EQ(v.parity, -1);
    storePagerSet(v, s);
    EXPECT_EQ(s.pagerParity, 9);
}

TEST(PagerMoreRule, StoresFirstWordsAndClearEmptiesSlotsTwoToTen) {
    UpsSettings s = consoleRecord();
    for (int k = 0; k < kListSlots; ++k) setText(s.pagerNumbers[k], ("55500" + std::to_string(k)).c_str());
    PagerMoreTexts t = fillPagerMore(s);
    EXPECT_EQ(t.numbers[0], "555001");
    EXPECT_EQ(t.numbers[8], "555009");
    t.numbers[0] = padded(" 777 88", kPagerMoreWidth);
    t.numbers[8] = padded("", kPagerMoreWidth);
    storePagerMore(t, s);
    EXPECT_STREQ(s.pagerNumbers[1], "777");
    EXPECT_STREQ(s.pagerNumbers[9], "");
    EXPECT_STREQ(s.pagerNumbers[2], "555002");

    clearPagerMore(s);
    EXPECT_STREQ(s.pagerNumbers[0], "555000") << "slot 0 belongs to the Pager Setting form";
    for (int k = 1; k < kListSlots; ++k) EXPECT_EQ(s.pagerNumbers[k][0], 0);
    EXPECT_EQ(s.pagerNumbers[2][1], '5') << "only the first byte is cleared";
}

TEST(EmailSetRule, FirstWordsAndConnectModeAndLogLines) {
    UpsSettings s = consoleRecord();
    EmailSetValues v = fillEmailSet(s);
    EXPECT_TRUE(v.alwaysConnect);  // console default connectMode 0
    v.enable = true;
    v.alwaysConnect = false;
    v.name = padded("  John Smith", kEmailEntryWidth);
    v.address = padded(" john@example.com x", kEmailEntryWidth);
    v.server = padded("mail.example.com", kEmailEntryWidth);
    LogLines log = storeEmailSet(v, s);
    EXPECT_EQ(s.mailEnable, 1);
    EXPECT_EQ(s.connectMode, 1);
    EXPECT_STREQ(s.mailNames[0], "John");
    EXPECT_STREQ(s.mailAddrs[0], "john@example.com");
    EXPECT_STREQ(s.smtpServer, "mail.example.com");
    EXPECT_EQ(log, (LogLines{"John:name", "john@example.com:address"}));

    v.alwaysConnect = true;
    v.enable = false;
    storeEmailSet(v, s);
    EXPECT_EQ(s.connectMode, 0);
    EXPECT_EQ(s.mailEnable, 0);
}

TEST(EmailAddrRule, UnderscoresForBlanksAndANameLineForEverySlot) {
    UpsSettings s = consoleRecord();
    EmailAddrTexts t = fillEmailAddr(s);
    t.addrs[0] = padded(" a b@x.org", kEmailAddrWidth);
    t.names[0] = padded("Ann Lee", kEmailNameWidth);
    t.names[3] = padded("Bo", kEmailNameWidth);
    LogLines log = storeEmailAddr(t, s);
    EXPECT_STREQ(s.mailAddrs[1], "_a_b@x.org");
    EXPECT_STREQ(s.mailNames[1], "Ann_Lee");
    EXPECT_STREQ(s.mailNames[4], "Bo");
    EXPECT_STREQ(s.mailAddrs[2], "");
    ASSERT_EQ(log.size(), 9u);
    EXPECT_EQ(log[0], "Ann_Lee:name");
    EXPECT_EQ(log[1], ":name");
    EXPECT_EQ(log[3], "Bo:name");

    setText(s.mailNames[0], "first");
    clearEmailAddr(s);
    EXPECT_STREQ(s.mailNames[0], "first");
    for (int k = 1; k < kListSlots; ++k) {
        EXPECT_EQ(s.mailNames[k][0], 0);
        EXPECT_EQ(s.mailAddrs[k][0], 0);
    }
}

TEST(DialSetRule, StoresGroupsWordsAndTimeout) {
    UpsSettings s = consoleRecord();
    DialSetValues v = fillDialSet(s);
    EXPECT_EQ(v.device, 4);
    EXPECT_EQ(v.speed, 2);
    EXPECT_EQ(v.timeout, "40");
    v.device = 1;
    v.flow = 2;
    v.termination = -1;
    v.speed = 7;
    v.auth = 1;
    v.user = padded(" joe x", kDialEntryWidth);
    v.password = padded("s3cret more", kDialEntryWidth);
    v.phone = padded("0123 45", kDialEntryWidth);
    v.timeout = padded("60s", kDialEntryWidth);
    LogLines log = storeDialSet(v, s);
    EXPECT_EQ(s.modemDevice, 1);
    EXPECT_EQ(s.modemFlow, 2);
    EXPECT_EQ(s.modemTermination, 0) << "unmarked group leaves the field";
    EXPECT_EQ(s.modemSpeed, 7);
    EXPECT_EQ(s.dialAuth, 1);
    EXPECT_STREQ(s.dialUser, "joe");
    EXPECT_STREQ(s.dialPassword, "s3cret");
    EXPECT_STREQ(s.dialPhone, "0123");
    EXPECT_EQ(s.modemTimeoutSec, 60);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0], "********:password");
    EXPECT_EQ(log[1], "0123:phonenumebr");
    for (const auto& line : log) EXPECT_EQ(line.find("s3cret"), std::string::npos);

    v.timeout = padded("abc", kDialEntryWidth);
    v.password = padded("", kDialEntryWidth);
    v.device = 4;
    log = storeDialSet(v, s);
    EXPECT_EQ(s.modemTimeoutSec, 0);
    EXPECT_EQ(s.modemDevice, 4);
    EXPECT_EQ(log[0], ":password");
    // Fields the console never shows keep their values.
    EXPECT_STREQ(s.modemInit, "ATZ");
    EXPECT_STREQ(s.ipAddress3, "0.0.0.0");
}

TEST(DialSetRule, AnUntouchedLongPasswordIsNotCut) {
    UpsSettings s = consoleRecord();
    setText(s.dialPassword, "averyverylongpassword");  // 21 > 15
    DialSetValues v = fillDialSet(s);
    v.password = padded(v.password, kDialEntryWidth);
    storeDialSet(v, s);
    EXPECT_STREQ(s.dialPassword, "averyverylongpassword");
}
