#include "form_rules.h"

#include <string>

#include "field_text.h"

namespace qor::console {

namespace {

std::string decimal(int32_t v) { return std::to_string(v); }

// An entry's text as the save rule sees it (the full stored text when the
// user left a cut-down entry alone).
std::string input(const std::string& shown, const TextField& stored, size_t width) {
    return entryInput(shown, textOf(stored), width);
}

int32_t number(const std::string& shown, int32_t stored, size_t width) {
    return leadingNumber(entryInput(shown, decimal(stored), width));
}

void storeMarked(int marked, int32_t& field) {
    if (marked >= 0) field = marked;
}

}  // namespace

int radioIndex(int32_t stored, int members) { return stored >= 0 && stored < members ? stored : -1; }

UpsSetTexts fillUpsSet(const UpsSettings& s) {
    return {decimal(s.expBatMin), decimal(s.lowBatMin), decimal(s.periodSec)};
}

void storeUpsSet(const UpsSetTexts& t, UpsSettings& s) {
    s.expBatMin = number(t.expBatMin, s.expBatMin, kUpsMinutesWidth);
    s.lowBatMin = number(t.lowBatMin, s.lowBatMin, kUpsMinutesWidth);
    s.periodSec = number(t.periodSec, s.periodSec, kUpsSecondsWidth);
}

MsgSetMarks fillMsgSet(const UpsSettings& s) {
    MsgSetMarks m{};
    for (int i = 0; i < kMsgFlags; ++i) m.on[i] = s.notifyFlags[i] != 0;
    return m;
}

void storeMsgSet(const MsgSetMarks& m, UpsSettings& s) {
    for (int i = 0; i < kMsgFlags; ++i) s.notifyFlags[i] = m.on[i] ? 1 : 0;
}

PagerSetValues fillPagerSet(const UpsSettings& s) {
    PagerSetValues v;
    v.enable = s.pagerEnable != 0;
    v.port = radioIndex(s.pagerPort, 5);
    v.baud = radioIndex(s.pagerBaud, 4);
    v.stopBits = radioIndex(s.pagerStopBits, 3);
    v.parity = radioIndex(s.pagerParity, 3);
    v.dataBits = radioIndex(s.pagerDataBits, 4);
    v.number = textOf(s.pagerNumbers[0]);
    return v;
}

void storePagerSet(const PagerSetValues& v, UpsSettings& s) {
    storeMarked(v.port, s.pagerPort);
    storeMarked(v.baud, s.pagerBaud);
    storeMarked(v.dataBits, s.pagerDataBits);
    storeMarked(v.stopBits, s.pagerStopBits);
    storeMarked(v.parity, s.pagerParity);
    s.pagerEnable = v.enable ? 1 : 0;
    setText(s.pagerNumbers[0], firstWord(input(v.number, s.pagerNumbers[0], kPagerNumberWidth)));
}

PagerMoreTexts fillPagerMore(const UpsSettings& s) {
    PagerMoreTexts t;
    for (int k = 0; k < kMoreSlots; ++k) t.numbers[k] = textOf(s.pagerNumbers[k + 1]);
    return t;
}

void storePagerMore(const PagerMoreTexts& t, UpsSettings& s) {
    for (int k = 0; k < kMoreSlots; ++k) {
        TextField& slot = s.pagerNumbers[k + 1];
        setText(slot, firstWord(input(t.numbers[k], slot, kPagerMoreWidth)));
    }
}

void clearPagerMore(UpsSettings& s) {
    for (int k = 1; k < kListSlots; ++k) s.pagerNumbers[k][0] = '\0';
}

EmailSetValues fillEmailSet(const UpsSettings& s) {
    EmailSetValues v;
    v.enable = s.mailEnable != 0;
    v.alwaysConnect = s.connectMode == 0;
    v.name = textOf(s.mailNames[0]);
    v.address = textOf(s.mailAddrs[0]);
    v.server = textOf(s.smtpServer);
    return v;
}

LogLines storeEmailSet(const EmailSetValues& v, UpsSettings& s) {
    LogLines log;
    s.mailEnable = v.enable ? 1 : 0;
    s.connectMode = v.alwaysConnect ? 0 : 1;
    setText(s.smtpServer, firstWord(input(v.server, s.smtpServer, kEmailEntryWidth)));
    setText(s.mailNames[0], firstWord(input(v.name, s.mailNames[0], kEmailEntryWidth)));
    log.push_back(textOf(s.mailNames[0]) + ":name");
    setText(s.mailAddrs[0], firstWord(input(v.address, s.mailAddrs[0], kEmailEntryWidth)));
    log.push_back(textOf(s.mailAddrs[0]) + ":address");
    return log;
}

EmailAddrTexts fillEmailAddr(const UpsSettings& s) {
    EmailAddrTexts t;
    for (int k = 0; k < kMoreSlots; ++k) {
        t.addrs[k] = textOf(s.mailAddrs[k + 1]);
        t.names[k] = textOf(s.mailNames[k + 1]);
    }
    return t;
}

LogLines storeEmailAddr(const EmailAddrTexts& t, UpsSettings& s) {
    LogLines log;
    for (int k = 0; k < kMoreSlots; ++k) {
        TextField& slot = s.mailAddrs[k + 1];
        setText(slot, blankToUnderscore(input(t.addrs[k], slot, kEmailAddrWidth)));
    }
    for (int k = 0; k < kMoreSlots; ++k) {
        TextField& slot = s.mailNames[k + 1];
        setText(slot, blankToUnderscore(input(t.names[k], slot, kEmailNameWidth)));
        log.push_back(textOf(slot) + ":name");
    }
    return log;
}

void clearEmailAddr(UpsSettings& s) {
    for (int k = 1; k < kListSlots; ++k) {
        s.mailNames[k][0] = '\0';
        s.mailAddrs[k][0] = '\0';
    }
}

DialSetValues fillDialSet(const UpsSettings& s) {
    DialSetValues v;
    v.device = radioIndex(s.modemDevice, 5);
    v.flow = radioIndex(s.modemFlow, 3);
    v.termination = radioIndex(s.modemTermination, 3);
    v.speed = radioIndex(s.modemSpeed, 8);
    v.auth = radioIndex(s.dialAuth, 2);
    v.user = textOf(s.dialUser);
    v.password = textOf(s.dialPassword);
    v.phone = textOf(s.dialPhone);
    v.timeout = decimal(s.modemTimeoutSec);
    return v;
}

std::string passwordLogLine(const std::string& stored) {
    return (stored.empty() ? std::string() : std::string("********")) + ":password";
}

LogLines storeDialSet(const DialSetValues& v, UpsSettings& s) {
    LogLines log;
    storeMarked(v.device, s.modemDevice);
    storeMarked(v.flow, s.modemFlow);
    storeMarked(v.termination, s.modemTermination);
    storeMarked(v.speed, s.modemSpeed);
    storeMarked(v.auth, s.dialAuth);
    setText(s.dialUser, firstWord(input(v.user, s.dialUser, kDialEntryWidth)));
    setText(s.dialPassword, firstWord(input(v.password, s.dialPassword, kDialEntryWidth)));
    log.push_back(passwordLogLine(textOf(s.dialPassword)));
    setText(s.dialPhone, firstWord(input(v.phone, s.dialPhone, kDialEntryWidth)));
    log.push_back(textOf(s.dialPhone) + ":phonenumebr");
    s.modemTimeoutSec = number(v.timeout, s.modemTimeoutSec, kDialEntryWidth);
    return log;
}

}  // namespace qor::console
