#include "modem_setting.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "email_setting.h"

namespace qorwin {
namespace {

template <std::size_t N>
int IndexOf(const char* const (&list)[N], const char* text) {
    if (text == nullptr) return -1;
    for (std::size_t i = 0; i < N; ++i)
        if (std::strcmp(list[i], text) == 0) return static_cast<int>(i);
    return -1;
}

// The stored text, bounded by the value's size.
std::string TextOf(const unsigned char* bytes, std::size_t size) {
    if (bytes == nullptr) return std::string();
    const char* p = reinterpret_cast<const char*>(bytes);
    std::size_t len = 0;
    while (len < size && p[len] != '\0') ++len;
    return std::string(p, len);
}

}  // namespace

ModemSetting DefaultModemSetting() {
    ModemSetting m{};
    SetField(m.port, "COM1");
    SetField(m.baud, "2400");
    m.parity = 0;
    m.dataBits = 4;
    m.stopBits = 0;
    return m;
}

int PortIndex(const char* port) { return IndexOf(kModemPorts, port); }
int BaudIndex(const char* baud) { return IndexOf(kBaudRates, baud); }

void FormatModemSetting(const ModemSetting& m, unsigned char (&out)[kModemSettingSize]) {
    std::memset(out, 0, sizeof out);
    char port[sizeof m.port];
    char baud[sizeof m.baud];
    SetField(port, m.port);
    SetField(baud, m.baud);
    std::snprintf(reinterpret_cast<char*>(out), sizeof out, "%s %s %d %d %d", port, baud, m.parity,
                  m.dataBits, m.stopBits);
}

bool ParseModemSetting(const unsigned char* bytes, std::size_t size, ModemSetting& out) {
    std::string text = TextOf(bytes, size);
    char port[16] = {};
    char baud[16] = {};
    int parity = 0, dataBits = 0, stopBits = 0;
    if (std::sscanf(text.c_str(), "%15s %15s %d %d %d", port, baud, &parity, &dataBits, &stopBits) != 5)
        return false;
    if (PortIndex(port) < 0 || BaudIndex(baud) < 0) return false;
    if (parity < 0 || parity >= kParityCount || dataBits < 0 || dataBits >= kDataBitsCount ||
        stopBits < 0 || stopBits >= kStopBitsCount)
        return false;
    SetField(out.port, port);
    SetField(out.baud, baud);
    out.parity = parity;
    out.dataBits = dataBits;
    out.stopBits = stopBits;
    return true;
}

int ParseDialerSetting(const unsigned char* bytes, std::size_t size, DialerSetting& out) {
    out = DialerSetting{};
    std::string text = TextOf(bytes, size);
    int n = std::sscanf(text.c_str(), "%4s %d %d %d %d %255s %255s", out.port, &out.baud, &out.parity,
                        &out.dataBitsIndex, &out.stopBits, out.initString, out.dialPrefix);
    if (n < 0) n = 0;
    if (n < 7) {
        out.initString[0] = '\0';
        out.dialPrefix[0] = '\0';
    }
    return n;
}

}  // namespace qorwin
