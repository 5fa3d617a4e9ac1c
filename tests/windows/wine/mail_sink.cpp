#include "mail_sink.h"

#include "email_setting.h"
#include "harness.h"
#include "registry_store.h"
#include "registry_values.h"

namespace wt {

void StoreMailSettings(const char* server, const std::vector<qorwin::AddressEntry>& addresses,
                       bool alwaysConnected) {
    qorwin::RegistryStore store;
    store.EnsureKey();
    qorwin::EmailSetting e{};
    e.alwaysConnected = alwaysConnected ? 1 : 0;
    qorwin::SetField(e.smtpServer, server);
    unsigned char setting[qorwin::kEmailSettingSize];
    qorwin::PackEmailSetting(e, setting);
    qorwin::WriteBlock(store, qorwin::value::kEmailSetting, setting, sizeof setting);
    unsigned char list[qorwin::kListSize];
    qorwin::BuildAddressList(addresses, list);
    qorwin::WriteBlock(store, qorwin::value::kEmailAddress, list, sizeof list);
}

bool SinkRunning() { return !EnvText("QOR_SMTP_SINK_DIR").empty(); }

std::string SinkFile(int n, const char* ext) {
    return ReadUnixFile(EnvText("QOR_SMTP_SINK_DIR") + "/mail-" + std::to_string(n) + ext);
}

int MailCount() {
    int n = 0;
    while (!SinkFile(n + 1, ".bin").empty()) ++n;
    return n;
}

}  // namespace wt
