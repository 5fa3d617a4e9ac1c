// The "Modem Setting" text: "%s %s %d %d %d" (port, baud rate, parity index,
// data-bits index, stop-bits index) in 256 bytes, NUL and zero padding.
#pragma once

#include <cstddef>

#include "registry_values.h"

namespace qorwin {

inline constexpr const char* kModemPorts[] = {"COM1", "COM2", "COM3", "COM4"};
inline constexpr const char* kBaudRates[] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};
inline constexpr const char* kParityNames[] = {"NONE", "ODD", "EVEN"};
inline constexpr const char* kDataBitNames[] = {"4", "5", "6", "7", "8"};
inline constexpr const char* kStopBitNames[] = {"1", "1.5", "2"};
inline constexpr int kParityCount = 3;
inline constexpr int kDataBitsCount = 5;   // index 0..4 for 4..8 data bits
inline constexpr int kStopBitsCount = 3;   // 0 one, 1 one and a half, 2 two

struct ModemSetting {
    char port[8];
    char baud[8];
    int parity;
    int dataBits;
    int stopBits;
};

ModemSetting DefaultModemSetting();  // COM1 2400 0 4 0

// Index of the text in the list, -1 when it is not there.
int PortIndex(const char* port);
int BaudIndex(const char* baud);

void FormatModemSetting(const ModemSetting& m, unsigned char (&out)[kModemSettingSize]);

// Reads the five words the settings page writes. Only a complete setting with
// a known port and baud rate and indexes in range is taken; otherwise out is
// left unchanged and false returned.
bool ParseModemSetting(const unsigned char* bytes, std::size_t size, ModemSetting& out);

// What the pager dialer reads from the same text: "%4s %d %d %d %d %s %s".
struct DialerSetting {
    char port[5];
    int baud;
    int parity;
    int dataBitsIndex;
    int stopBits;
    char initString[kModemSettingSize];
    char dialPrefix[kModemSettingSize];
};

// Number of fields read (0..7). With 5 or 6 fields the initialisation string
// and the prefix are both empty; with 7 both are taken.
int ParseDialerSetting(const unsigned char* bytes, std::size_t size, DialerSetting& out);

}  // namespace qorwin
