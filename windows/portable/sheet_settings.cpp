#include "sheet_settings.h"

#include <cstring>

#include "registry_values.h"

namespace qorwin {
namespace {

// A string value of a fixed size: the text, then zero padding.
void WriteFixedText(SettingsStore& store, const char* name, const std::string& text, std::size_t size) {
    std::string bytes = text.substr(0, size - 1);
    bytes.resize(size, '\0');
    store.Write(name, ValueKind::String, bytes.data(), static_cast<std::uint32_t>(size));
}

std::string ReadModemText(SettingsStore& store, const char* name) {
    char buf[kModemStringSize] = {};
    if (!ReadText(store, name, buf, sizeof buf)) return std::string();
    return std::string(buf).substr(0, kModemTextTyped);
}

}  // namespace

EmailSetting LoadEmailSetting(SettingsStore& store) {
    unsigned char raw[kEmailSettingSize] = {};
    ReadBlock(store, value::kEmailSetting, raw, sizeof raw);
    return UnpackEmailSetting(raw, sizeof raw);
}

void SaveEmailSetting(SettingsStore& store, const EmailSetting& setting) {
    unsigned char raw[kEmailSettingSize];
    PackEmailSetting(setting, raw);
    WriteBlock(store, value::kEmailSetting, raw, sizeof raw);
}

bool ShowsAlwaysConnected(const EmailSetting& setting) { return setting.alwaysConnected != 0; }

EmailSetting MakeEmailSetting(const InternetPageFields& f) {
    EmailSetting s{};
    s.alwaysConnected = f.alwaysConnected ? 1 : 0;
    s.useDialup = f.alwaysConnected ? 0 : 1;
    SetField(s.userName, f.userName.c_str());
    SetField(s.password, f.password.c_str());
    s.disconnectWhenDone = f.disconnectWhenDone ? 1 : 0;
    SetField(s.smtpServer, f.smtpServer.substr(0, kSmtpServerTyped).c_str());
    SetField(s.connectionName, f.connectionName.c_str());
    return s;
}

ModemPageValues LoadModemPage(SettingsStore& store) {
    ModemPageValues v;
    unsigned char raw[kModemSettingSize] = {};
    if (ReadBlock(store, value::kModemSetting, raw, sizeof raw)) ParseModemSetting(raw, sizeof raw, v.modem);
    v.initString = ReadModemText(store, value::kSpecialInitString);
    v.dialPrefix = ReadModemText(store, value::kDialingPrefix);
    return v;
}

void SaveModemPage(SettingsStore& store, const ModemPageValues& v) {
    unsigned char raw[kModemSettingSize];
    FormatModemSetting(v.modem, raw);
    WriteBlock(store, value::kModemSetting, raw, sizeof raw);
    WriteFixedText(store, value::kSpecialInitString, v.initString.substr(0, kModemTextTyped), kModemStringSize);
    WriteFixedText(store, value::kDialingPrefix, v.dialPrefix.substr(0, kModemTextTyped), kModemStringSize);
}

}  // namespace qorwin
