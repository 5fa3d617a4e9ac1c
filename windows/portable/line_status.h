// Reading the UPS from a port's modem status word, and finding its port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace qorwin {

inline constexpr std::int32_t kProbeFailed = -1;   // port cannot be opened or set up
inline constexpr std::uint32_t kStatusCts = 0x10;
inline constexpr std::uint32_t kStatusDcd = 0x80;  // receive-line-signal detect
inline constexpr std::uint32_t kUpsPresentMask = kStatusCts | kStatusDcd;
inline constexpr int kPortCount = 4;               // COM1..COM4, always searched
// Highest n of COMn a name may carry (a further port, beyond COM4).
inline constexpr int kMaxPortNumber = 256;

enum class PowerState { Normal, AcFail, BatteryLow };

// A failed probe never counts as a UPS, although -1 has every bit set.
bool UpsPresent(std::int32_t status);

// CTS on: Normal; CTS off and DCD on: AcFail; both off: BatteryLow.
PowerState ClassifyLine(std::uint32_t status);

// "COM1".."COM256" (exactly, no leading zero) -> 1..256; anything else -> 0.
int PortNumberFromName(const char* name);

// "COMn" for n in 1..256; "NONE" otherwise.
void PortNameOf(int number, char* out, std::size_t size);

// What CreateFile is given for a port name: "\\.\COMn" for a COMn name
// (COM10 and up open only in that form), the name unchanged otherwise.
void PortDevicePath(const char* name, char* out, std::size_t size);

// A serial port as the probe uses it; closed when the object goes.
class CommPort {
public:
    virtual ~CommPort() = default;
    virtual bool Open(const char* portName) = 0;
    // 2400 baud, 8 data bits, no parity, one stop bit, DTR control off.
    virtual bool ApplyLineSettings() = 0;
    virtual bool Escape(unsigned code) = 0;
    virtual bool ModemStatus(std::uint32_t& status) = 0;
};

// Open, set up, issue the escape function (SETRTS feeds the UPS contacts),
// read the status word. -1 when any step fails: a port that will not raise
// RTS reads all lines off, which would pass for a low battery.
std::int32_t ProbeLine(CommPort& port, const char* portName, unsigned escapeCode);

using LineProbeFn = std::function<std::int32_t(const char* portName)>;

// Probes COM1..COM4 in order, then the further port n (5..256; any other
// value: none); the first port showing CTS or DCD wins. A port that cannot be
// opened or set up is passed over. 0 when none answers.
int FindUpsPort(const LineProbeFn& probe, int furtherPort = 0);

// The further port a stored "Further Port" text names: n of COM5..COM256, else 0.
int FurtherPortNumber(const char* name);

}  // namespace qorwin
