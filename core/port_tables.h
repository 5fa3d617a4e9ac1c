// The index tables the settings record's port and speed fields are read by.
// One copy for the monitor, the notification code and every setting dialog
// and form, so a label can never disagree with what the index opens.
#pragma once

#include <cstdint>

namespace qor {

// `pagerPort` and `modemDevice`: 0..3 the serial ports, 4 none.
constexpr int kPortCount = 5;
constexpr int kPortNone = 4;
inline constexpr const char* kPortNames[kPortCount] = {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2", "/dev/ttyS3",
                                                       "none"};

// Out-of-range indexes (a damaged file) count as "none" and never index past
// the table.
inline const char* portName(int32_t index) {
    return kPortNames[index >= 0 && index < kPortCount ? index : kPortNone];
}

// What the dialogs and forms show for a port index: the path, "NONE" for no port.
inline const char* portLabel(int32_t index) { return index == kPortNone ? "NONE" : portName(index); }

// `modemSpeed`: index 0 = 460800 down to 7 = 2400 bit/s.
struct ModemSpeed {
    int32_t bps;
    const char* label;
};
constexpr int kModemSpeedCount = 8;
constexpr int32_t kDefaultModemSpeedIndex = 2;
inline constexpr ModemSpeed kModemSpeeds[kModemSpeedCount] = {
    {460800, "460800"}, {230400, "230400"}, {115200, "115200"}, {57600, "57600"},
    {38400, "38400"},   {19200, "19200"},   {9600, "9600"},     {2400, "2400"},
};

// Bit rate of a speed index; an out-of-range index gives the default, 115200.
inline int32_t modemSpeedBps(int32_t index) {
    return kModemSpeeds[index >= 0 && index < kModemSpeedCount ? index : kDefaultModemSpeedIndex].bps;
}

}  // namespace qor
