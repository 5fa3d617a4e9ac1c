// /etc/Qor.conf of 0 to 20000 bytes of anything: the load of both editions,
// then every text field as a C string and every index through its table.
#include <cstring>

#include "form_rules.h"
#include "fuzz_support.h"
#include "modem.h"
#include "notify_env.h"
#include "port_tables.h"
#include "settings_file.h"

using namespace qor;

namespace {

void checkTerminated(const TextField& f) { FUZZ_CHECK(std::memchr(f, '\0', kTextLen) != nullptr); }

template <size_t N>
void checkTerminated(const TextField (&fields)[N]) {
    for (const auto& f : fields) checkTerminated(f);
}

void checkRecord(const UpsSettings& s, Edition edition) {
    FUZZ_CHECK(s.upsState == NoUps);
    if (edition == Edition::Console) FUZZ_CHECK(s.saveRequest == 0 && s.detectRequest == 0);
    for (const TextField* f : {&s.upsPort, &s.msgAcFail, &s.msgLowBat, &s.msgAcRecoveried, &s.msgConnectFail,
                               &s.sufAcFail, &s.sufLowBat, &s.sufAcRecoveried, &s.sufConnectFail, &s.smtpServer,
                               &s.dialUser, &s.dialPassword, &s.dialPhone, &s.modemInit, &s.modemDial,
                               &s.modemHangup, &s.modemEscape, &s.ipAddress, &s.subnetMask, &s.ipAddress3})
        checkTerminated(*f);
    checkTerminated(s.mailNames);
    checkTerminated(s.mailAddrs);
    checkTerminated(s.pagerNumbers);

    // The indexes as the monitor, the dialogs and the notification code read them.
    FUZZ_CHECK(portName(s.pagerPort) != nullptr && portLabel(s.modemDevice) != nullptr);
    int32_t bps = modemSpeedBps(s.modemSpeed);
    bool known = false;
    for (const ModemSpeed& m : kModemSpeeds) known = known || m.bps == bps;
    FUZZ_CHECK(known);
    int32_t dev = notifyDeviceIndex(s.modemDevice);
    FUZZ_CHECK(dev >= 0 && dev < kDeviceTableSize);
    NotifyEnv env;
    FUZZ_CHECK(env.device(dev) != nullptr);
    for (int k = -1; k <= kEventKinds; ++k) FUZZ_CHECK(eventDisplayName(k) != nullptr);

    ModemCommands c = ModemCommands::fromSettings(s);
    for (const char* t : {c.init, c.dial, c.hangup, c.escape}) FUZZ_CHECK(std::strlen(t) < kModemCommandLen);
}

// The console's setting forms: filled from the record and stored back as
// the user left them, whatever the record held.
void checkForms(const UpsSettings& loaded) {
    using namespace console;
    UpsSettings s = loaded;
    PagerSetValues pager = fillPagerSet(s);
    for (int v : {pager.port, pager.baud, pager.stopBits, pager.parity, pager.dataBits}) FUZZ_CHECK(v >= -1 && v < 8);
    DialSetValues dial = fillDialSet(s);
    for (int v : {dial.device, dial.flow, dial.termination, dial.speed, dial.auth}) FUZZ_CHECK(v >= -1 && v < 8);
    storeUpsSet(fillUpsSet(s), s);
    storeMsgSet(fillMsgSet(s), s);
    storePagerSet(pager, s);
    storePagerMore(fillPagerMore(s), s);
    storeEmailSet(fillEmailSet(s), s);
    storeEmailAddr(fillEmailAddr(s), s);
    storeDialSet(dial, s);
    s.upsState = NoUps;
    s.saveRequest = s.detectRequest = 0;
    checkRecord(s, Edition::Console);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 20000) return 0;
    fuzz::InputFile file("settings", data, size);
    const char* path = file.path();

    UpsSettings raw;
    std::memset(&raw, 0xa5, sizeof raw);
    bool whole = loadSettings(raw, path);
    FUZZ_CHECK(whole == (size >= kSettingsSize));
    size_t kept = size < kSettingsSize ? size : kSettingsSize;
    FUZZ_CHECK(std::memcmp(&raw, data, kept) == 0);  // the bytes as they are, no more

    for (Edition e : {Edition::Desktop, Edition::Console}) {
        UpsSettings s;
        FUZZ_CHECK(initSettings(s, e, path) == whole);
        checkRecord(s, e);
        if (e == Edition::Console) checkForms(s);
        if (!whole) FUZZ_CHECK(std::strcmp(s.modemDial, "ATDT") == 0 && s.expBatMin == 10);
    }
    return 0;
}
