#include "ups_settings.h"

#include <cstring>

namespace qor {

void setText(TextField& field, const char* text) {
    std::memset(field, 0, kTextLen);
    if (text == nullptr) return;
    size_t n = strnlen(text, kTextLen - 1);
    std::memcpy(field, text, n);
}

std::string textOf(const TextField& field) {
    return std::string(field, strnlen(field, kTextLen));
}

namespace {
template <size_t N>
void terminateAll(TextField (&fields)[N]) {
    for (auto& f : fields) f[kTextLen - 1] = '\0';
}
}  // namespace

void terminateTexts(UpsSettings& s) {
    TextField* singles[] = {&s.upsPort,       &s.msgAcFail,       &s.msgLowBat,   &s.msgAcRecoveried,
                            &s.msgConnectFail, &s.sufAcFail,       &s.sufLowBat,   &s.sufAcRecoveried,
                            &s.sufConnectFail, &s.smtpServer,      &s.dialUser,    &s.dialPassword,
                            &s.dialPhone,      &s.modemInit,       &s.modemDial,   &s.modemHangup,
                            &s.modemEscape,    &s.ipAddress,       &s.subnetMask,  &s.ipAddress3};
    for (TextField* f : singles) (*f)[kTextLen - 1] = '\0';
    terminateAll(s.mailNames);
    terminateAll(s.mailAddrs);
    terminateAll(s.pagerNumbers);
}

void storeDefaults(UpsSettings& s, Edition edition) {
    s.upsState = NoUps;
    s.expBatMin = 10;
    s.lowBatMin = 1;
    s.reserved12 = 10;
    s.periodSec = 10;
    setText(s.upsPort, "NOT INSTALLED");
    s.reserved276 = 1;
    setText(s.msgAcFail, "AC Fail!");
    setText(s.msgLowBat, "Low Battery!");
    setText(s.msgAcRecoveried, "AC Recoveried!");
    setText(s.msgConnectFail, "Connect Fail!");
    std::memset(s.notifyFlags, 1, sizeof s.notifyFlags);
    setText(s.sufAcFail, "01");
    setText(s.sufLowBat, "02");
    setText(s.sufAcRecoveried, "03");
    setText(s.sufConnectFail, "04");
    s.mailEnable = 0;
    s.connectMode = edition == Edition::Console ? 0 : 1;
    s.pagerEnable = 0;
    s.pagerPort = edition == Edition::Console ? 3 : 4;
    s.pagerBaud = 3;
    s.pagerDataBits = 0;
    s.pagerStopBits = 0;
    s.pagerParity = 0;
    s.dialAuth = 0;
    s.modemDevice = 4;
    s.modemFlow = 0;
    s.modemTermination = 0;
    s.modemSpeed = 2;
    s.modemTimeoutSec = 40;
    setText(s.modemInit, "ATZ");
    setText(s.modemDial, "ATDT");
    setText(s.modemHangup, "+++ATH");
    setText(s.modemEscape, "+++");
    s.dynamicIp = 1;
    setText(s.ipAddress, "0.0.0.0");
    setText(s.subnetMask, "0.0.0.0");
    setText(s.ipAddress3, "0.0.0.0");
    s.saveRequest = 0;
    s.detectRequest = 0;
}

const char* portName(int32_t index) {
    static const char* const kPorts[] = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3", "none"};
    if (index < 0 || index > kPortNone) return kPorts[kPortNone];
    return kPorts[index];
}

int32_t modemSpeedBps(int32_t index) {
    static const int32_t kSpeeds[] = {460800, 230400, 115200, 57600, 38400, 19200, 9600, 2400};
    if (index < 0 || index >= static_cast<int32_t>(sizeof kSpeeds / sizeof kSpeeds[0])) return 115200;
    return kSpeeds[index];
}

}  // namespace qor
