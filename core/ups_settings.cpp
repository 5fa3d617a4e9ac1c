#include "ups_settings.h"

#include <cstring>

#include "bounded_text.h"

namespace qor {

void setText(TextField& field, const char* text) { copyBounded(field, text); }

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
    s.pagerPort = edition == Edition::Console ? 3 : kPortNone;
    s.pagerBaud = 3;
    s.pagerDataBits = 0;
    s.pagerStopBits = 0;
    s.pagerParity = 0;
    s.dialAuth = 0;
    s.modemDevice = kPortNone;
    s.modemFlow = 0;
    s.modemTermination = 0;
    s.modemSpeed = kDefaultModemSpeedIndex;
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

}  // namespace qor
