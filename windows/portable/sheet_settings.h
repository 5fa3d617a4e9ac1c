// What the e-mail and pager sheets read when they open and write on OK,
// apart from their lists (list_editor.h).
#pragma once

#include <string>

#include "email_setting.h"
#include "modem_setting.h"
#include "settings_store.h"

namespace qorwin {

// ---- e-mail sheet, Internet page

// A missing record reads as all zero.
EmailSetting LoadEmailSetting(SettingsStore& store);
void SaveEmailSetting(SettingsStore& store, const EmailSetting& setting);

// Which radio the page shows: "Always connect to internet" when the record
// says so, else "Use dialup account" (also for a record that sets neither,
// the page's own starting state, which is what the sending path does then).
bool ShowsAlwaysConnected(const EmailSetting& setting);

struct InternetPageFields {
    bool alwaysConnected = false;
    std::string smtpServer;      // as typed, at most kSmtpServerTyped characters are kept
    std::string connectionName;  // the chosen dial-up entry, empty for none
    std::string userName;
    std::string password;
    bool disconnectWhenDone = false;
};

// The whole record from the page: every field bounded, the rest zero.
EmailSetting MakeEmailSetting(const InternetPageFields& fields);

// ---- pager sheet, Modem page

inline constexpr std::size_t kModemTextTyped = 29;  // init string, dialing prefix

struct ModemPageValues {
    ModemSetting modem = DefaultModemSetting();
    std::string initString;
    std::string dialPrefix;
};

// A "Modem Setting" that cannot be read gives the default; the two texts are
// cut to what the page accepts.
ModemPageValues LoadModemPage(SettingsStore& store);
// "Modem Setting" as 256 bytes and both texts as 60-byte string values.
void SaveModemPage(SettingsStore& store, const ModemPageValues& values);

}  // namespace qorwin
