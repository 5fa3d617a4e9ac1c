#include "email_setting.h"

#include <cstring>

namespace qorwin {
namespace {

void PutU32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

std::uint32_t GetU32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

template <std::size_t N>
void PutText(unsigned char* p, const char (&field)[N]) {
    std::size_t len = 0;
    while (len + 1 < N && field[len] != '\0') ++len;
    std::memcpy(p, field, len);
    std::memset(p + len, 0, N - len);
}

template <std::size_t N>
void GetText(char (&field)[N], const unsigned char* p) {
    std::memcpy(field, p, N);
    field[N - 1] = '\0';
}

}  // namespace

void PackEmailSetting(const EmailSetting& in, unsigned char (&out)[kEmailSettingSize]) {
    std::memset(out, 0, sizeof out);
    PutU32(out + email_offset::kAlwaysConnected, in.alwaysConnected);
    PutU32(out + email_offset::kUseDialup, in.useDialup);
    PutText(out + email_offset::kUserName, in.userName);
    PutText(out + email_offset::kPassword, in.password);
    PutU32(out + email_offset::kDisconnectWhenDone, in.disconnectWhenDone);
    PutText(out + email_offset::kSmtpServer, in.smtpServer);
    PutText(out + email_offset::kConnectionName, in.connectionName);
}

EmailSetting UnpackEmailSetting(const unsigned char* bytes, std::size_t size) {
    unsigned char raw[kEmailSettingSize] = {};
    if (bytes != nullptr) std::memcpy(raw, bytes, size < sizeof raw ? size : sizeof raw);
    EmailSetting s{};
    s.alwaysConnected = GetU32(raw + email_offset::kAlwaysConnected);
    s.useDialup = GetU32(raw + email_offset::kUseDialup);
    GetText(s.userName, raw + email_offset::kUserName);
    GetText(s.password, raw + email_offset::kPassword);
    s.disconnectWhenDone = GetU32(raw + email_offset::kDisconnectWhenDone);
    GetText(s.smtpServer, raw + email_offset::kSmtpServer);
    GetText(s.connectionName, raw + email_offset::kConnectionName);
    return s;
}

}  // namespace qorwin
