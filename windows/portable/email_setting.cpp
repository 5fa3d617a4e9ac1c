#include "email_setting.h"

#include <cstring>

#include "le_record.h"

namespace qorwin {
namespace {

using qor::common::getLe32;
using qor::common::putLe32;

constexpr std::size_t kSize = kEmailSettingSize;

template <std::size_t N>
void PutText(unsigned char* rec, std::size_t offset, const char (&field)[N]) {
    // Reads at most N - 1 characters: the field may lack its NUL.
    qor::common::putText(rec, kSize, offset, N, field);
}

template <std::size_t N>
void GetText(char (&field)[N], const unsigned char* rec, std::size_t offset) {
    qor::common::getText(rec, kSize, offset, N, field, N);
}

}  // namespace

void PackEmailSetting(const EmailSetting& in, unsigned char (&out)[kEmailSettingSize]) {
    std::memset(out, 0, sizeof out);
    putLe32(out, kSize, email_offset::kAlwaysConnected, in.alwaysConnected);
    putLe32(out, kSize, email_offset::kUseDialup, in.useDialup);
    PutText(out, email_offset::kUserName, in.userName);
    PutText(out, email_offset::kPassword, in.password);
    putLe32(out, kSize, email_offset::kDisconnectWhenDone, in.disconnectWhenDone);
    PutText(out, email_offset::kSmtpServer, in.smtpServer);
    PutText(out, email_offset::kConnectionName, in.connectionName);
}

EmailSetting UnpackEmailSetting(const unsigned char* bytes, std::size_t size) {
    unsigned char raw[kEmailSettingSize] = {};
    if (bytes != nullptr) std::memcpy(raw, bytes, size < sizeof raw ? size : sizeof raw);
    EmailSetting s{};
    s.alwaysConnected = getLe32(raw, kSize, email_offset::kAlwaysConnected);
    s.useDialup = getLe32(raw, kSize, email_offset::kUseDialup);
    GetText(s.userName, raw, email_offset::kUserName);
    GetText(s.password, raw, email_offset::kPassword);
    s.disconnectWhenDone = getLe32(raw, kSize, email_offset::kDisconnectWhenDone);
    GetText(s.smtpServer, raw, email_offset::kSmtpServer);
    GetText(s.connectionName, raw, email_offset::kConnectionName);
    return s;
}

}  // namespace qorwin
