// The "Email Setting" record: 568 bytes, little-endian, fixed offsets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "registry_values.h"

namespace qorwin {

namespace email_offset {
inline constexpr std::size_t kAlwaysConnected = 0;
inline constexpr std::size_t kUseDialup = 4;
inline constexpr std::size_t kUserName = 8;
inline constexpr std::size_t kPassword = 136;
inline constexpr std::size_t kDisconnectWhenDone = 264;
inline constexpr std::size_t kSmtpServer = 268;
inline constexpr std::size_t kConnectionName = 317;
}  // namespace email_offset

inline constexpr std::size_t kSmtpServerTyped = 40;  // what the page lets the user type

struct EmailSetting {
    std::uint32_t alwaysConnected;     // 1: never dial
    std::uint32_t useDialup;
    char userName[128];
    char password[128];
    std::uint32_t disconnectWhenDone;
    char smtpServer[49];
    char connectionName[251];
};

// Writes every field at its offset; text fields are NUL-terminated within
// their size and the rest of the record is zero.
void PackEmailSetting(const EmailSetting& in, unsigned char (&out)[kEmailSettingSize]);
// Reads at most size bytes (missing bytes count as zero). Every text field
// comes out NUL-terminated even when the stored one is not.
EmailSetting UnpackEmailSetting(const unsigned char* bytes, std::size_t size);

// Bounded copy into a fixed text field (always terminated).
template <std::size_t N>
void SetField(char (&field)[N], const char* text) {
    std::size_t i = 0;
    if (text != nullptr)
        for (; i + 1 < N && text[i] != '\0'; ++i) field[i] = text[i];
    for (std::size_t j = i; j < N; ++j) field[j] = '\0';
}

}  // namespace qorwin
