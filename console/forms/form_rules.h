// How each console setting form fills its fields from the settings record and
// stores them back on OK, as plain functions over the field texts, so the
// rules are the same whether a terminal is there or not.
//
// Radio groups are given as the index of the marked member, -1 when none is
// marked (a group with no mark leaves its record field unchanged).
#pragma once

#include <string>
#include <vector>

#include "ups_settings.h"

namespace qor::console {

// Field widths the texts are shown in; the save rules need them to tell a
// text the user left alone from one that was cut to fit (see entryInput).
constexpr size_t kUpsMinutesWidth = 2;
constexpr size_t kUpsSecondsWidth = 3;
constexpr size_t kPagerNumberWidth = 18;
constexpr size_t kPagerMoreWidth = 25;
constexpr size_t kEmailEntryWidth = 35;
constexpr size_t kEmailAddrWidth = 33;
constexpr size_t kEmailNameWidth = 15;
constexpr size_t kDialEntryWidth = 15;

constexpr int kMoreSlots = kListSlots - 1;  // list entries 2..10 of the MORE forms

// Lines a save writes to the system log, in order (sent as data, never as a
// format).
using LogLines = std::vector<std::string>;

// UPS Setting.
struct UpsSetTexts {
    std::string expBatMin, lowBatMin, periodSec;
};
UpsSetTexts fillUpsSet(const UpsSettings& s);
void storeUpsSet(const UpsSetTexts& t, UpsSettings& s);

// Message Setting: notifyFlags bytes 0..5 (mail/pager of kinds 0..2).
constexpr int kMsgFlags = 6;
struct MsgSetMarks {
    bool on[kMsgFlags];
};
MsgSetMarks fillMsgSet(const UpsSettings& s);
void storeMsgSet(const MsgSetMarks& m, UpsSettings& s);

// Pager Setting.
struct PagerSetValues {
    bool enable;
    int port, baud, stopBits, parity, dataBits;  // marked member or -1
    std::string number;                          // pagerNumbers slot 0
};
PagerSetValues fillPagerSet(const UpsSettings& s);
void storePagerSet(const PagerSetValues& v, UpsSettings& s);

// Pager Number Setting: numbers 2..10 (slots 1..9).
struct PagerMoreTexts {
    std::string numbers[kMoreSlots];
};
PagerMoreTexts fillPagerMore(const UpsSettings& s);
void storePagerMore(const PagerMoreTexts& t, UpsSettings& s);
// "[ clear ]": empties slots 1..9 in the record at once.
void clearPagerMore(UpsSettings& s);

// Email Setting.
struct EmailSetValues {
    bool enable;
    bool alwaysConnect;  // radio "Always Connect to Internet" marked
    std::string name, address, server;
};
EmailSetValues fillEmailSet(const UpsSettings& s);
LogLines storeEmailSet(const EmailSetValues& v, UpsSettings& s);

// Email address Setting: recipients 2..10 (slots 1..9).
struct EmailAddrTexts {
    std::string addrs[kMoreSlots];
    std::string names[kMoreSlots];
};
EmailAddrTexts fillEmailAddr(const UpsSettings& s);
LogLines storeEmailAddr(const EmailAddrTexts& t, UpsSettings& s);
// "[ clear ]": empties the names and addresses of slots 1..9 at once.
void clearEmailAddr(UpsSettings& s);

// Dial Setting.
struct DialSetValues {
    int device, flow, termination, speed, auth;  // marked member or -1
    std::string user, password, phone, timeout;
};
DialSetValues fillDialSet(const UpsSettings& s);
LogLines storeDialSet(const DialSetValues& v, UpsSettings& s);

// The system-log line of a stored password. The password itself never goes
// to the log: a non-empty one is shown as a fixed mask.
std::string passwordLogLine(const std::string& stored);

// Marks in a group of `members` radios for a stored index; -1 (nothing
// marked) when the record holds an index outside the group.
int radioIndex(int32_t stored, int members);

}  // namespace qor::console
