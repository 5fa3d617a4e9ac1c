// The settings record of the Linux editions. It is also the exact byte image of
// /etc/Qor.conf, so its layout must never change: every offset is pinned below.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "port_tables.h"
#include "ups_status.h"

namespace qor {

constexpr size_t kTextLen = 256;     // every text field, NUL included
constexpr int kListSlots = 10;       // recipients and pager numbers
constexpr size_t kSettingsSize = 12900;

using TextField = char[kTextLen];

struct UpsSettings {
    int32_t upsState;
    int32_t expBatMin;
    int32_t lowBatMin;
    int32_t reserved12;
    int32_t periodSec;
    TextField upsPort;
    int32_t reserved276;
    TextField msgAcFail;
    TextField msgLowBat;
    TextField msgAcRecoveried;
    TextField msgConnectFail;
    uint8_t notifyFlags[8];  // byte 2k: mail for kind k; byte 2k+1: pagers for kind k
    TextField sufAcFail;
    TextField sufLowBat;
    TextField sufAcRecoveried;
    TextField sufConnectFail;
    int32_t mailEnable;
    int32_t connectMode;  // 0 always connected, 1 dial up first
    TextField smtpServer;
    TextField mailNames[kListSlots];
    TextField mailAddrs[kListSlots];
    int32_t pagerEnable;
    int32_t pagerPort;
    int32_t pagerBaud;
    int32_t pagerDataBits;
    int32_t pagerStopBits;
    int32_t pagerParity;
    TextField pagerNumbers[kListSlots];
    TextField dialUser;
    TextField dialPassword;
    TextField dialPhone;
    int32_t dialAuth;  // 0 PAP, 1 CHAP
    int32_t modemDevice;
    int32_t modemFlow;  // 0 CRTSCTS, 1 XON/XOFF, 2 none
    int32_t modemTermination;
    int32_t modemSpeed;
    int32_t modemTimeoutSec;
    TextField modemInit;
    TextField modemDial;
    TextField modemHangup;
    TextField modemEscape;
    int32_t dynamicIp;
    TextField ipAddress;
    TextField subnetMask;
    TextField ipAddress3;
    int32_t saveRequest;
    int32_t detectRequest;
};

static_assert(sizeof(UpsSettings) == kSettingsSize, "settings record is 12900 bytes");
static_assert(offsetof(UpsSettings, upsState) == 0);
static_assert(offsetof(UpsSettings, expBatMin) == 4);
static_assert(offsetof(UpsSettings, lowBatMin) == 8);
static_assert(offsetof(UpsSettings, reserved12) == 12);
static_assert(offsetof(UpsSettings, periodSec) == 16);
static_assert(offsetof(UpsSettings, upsPort) == 20);
static_assert(offsetof(UpsSettings, reserved276) == 276);
static_assert(offsetof(UpsSettings, msgAcFail) == 280);
static_assert(offsetof(UpsSettings, msgLowBat) == 536);
static_assert(offsetof(UpsSettings, msgAcRecoveried) == 792);
static_assert(offsetof(UpsSettings, msgConnectFail) == 1048);
static_assert(offsetof(UpsSettings, notifyFlags) == 1304);
static_assert(offsetof(UpsSettings, sufAcFail) == 1312);
static_assert(offsetof(UpsSettings, sufLowBat) == 1568);
static_assert(offsetof(UpsSettings, sufAcRecoveried) == 1824);
static_assert(offsetof(UpsSettings, sufConnectFail) == 2080);
static_assert(offsetof(UpsSettings, mailEnable) == 2336);
static_assert(offsetof(UpsSettings, connectMode) == 2340);
static_assert(offsetof(UpsSettings, smtpServer) == 2344);
static_assert(offsetof(UpsSettings, mailNames) == 2600);
static_assert(offsetof(UpsSettings, mailAddrs) == 5160);
static_assert(offsetof(UpsSettings, pagerEnable) == 7720);
static_assert(offsetof(UpsSettings, pagerPort) == 7724);
static_assert(offsetof(UpsSettings, pagerBaud) == 7728);
static_assert(offsetof(UpsSettings, pagerDataBits) == 7732);
static_assert(offsetof(UpsSettings, pagerStopBits) == 7736);
static_assert(offsetof(UpsSettings, pagerParity) == 7740);
static_assert(offsetof(UpsSettings, pagerNumbers) == 7744);
static_assert(offsetof(UpsSettings, dialUser) == 10304);
static_assert(offsetof(UpsSettings, dialPassword) == 10560);
static_assert(offsetof(UpsSettings, dialPhone) == 10816);
static_assert(offsetof(UpsSettings, dialAuth) == 11072);
static_assert(offsetof(UpsSettings, modemDevice) == 11076);
static_assert(offsetof(UpsSettings, modemFlow) == 11080);
static_assert(offsetof(UpsSettings, modemTermination) == 11084);
static_assert(offsetof(UpsSettings, modemSpeed) == 11088);
static_assert(offsetof(UpsSettings, modemTimeoutSec) == 11092);
static_assert(offsetof(UpsSettings, modemInit) == 11096);
static_assert(offsetof(UpsSettings, modemDial) == 11352);
static_assert(offsetof(UpsSettings, modemHangup) == 11608);
static_assert(offsetof(UpsSettings, modemEscape) == 11864);
static_assert(offsetof(UpsSettings, dynamicIp) == 12120);
static_assert(offsetof(UpsSettings, ipAddress) == 12124);
static_assert(offsetof(UpsSettings, subnetMask) == 12380);
static_assert(offsetof(UpsSettings, ipAddress3) == 12636);
static_assert(offsetof(UpsSettings, saveRequest) == 12892);
static_assert(offsetof(UpsSettings, detectRequest) == 12896);

// Stores the defaults of every field that has one; other fields are untouched.
void storeDefaults(UpsSettings& s, Edition edition);

// Copies at most 255 characters and always terminates; the rest of the field
// is zeroed so records stay byte-identical between runs.
void setText(TextField& field, const char* text);
inline void setText(TextField& field, const std::string& text) { setText(field, text.c_str()); }

// The text of a field, never reading past its 256 bytes.
std::string textOf(const TextField& field);

// Forces a NUL into the last byte of every text field, so a record read from a
// damaged file can be used as C strings (an unterminated field reads as its
// first 255 bytes).
void terminateTexts(UpsSettings& s);

}  // namespace qor
