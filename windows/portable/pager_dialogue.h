// The pager calls of the Windows edition: the modem lines for given settings
// and the course of a call list over any line that writes to a modem.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "modem_setting.h"
#include "settings_store.h"

namespace qorwin {

inline constexpr char kPagerResetLine[] = "AT&FX4&C1&D2E1\r\n";
inline constexpr char kPagerHangupLine[] = "ATZ0\r\n";
inline constexpr unsigned kPagerResetWaitMs = 1000;
inline constexpr unsigned kPagerInitWaitMs = 100;
inline constexpr unsigned kPagerCallWaitMs = 18000;  // the pager takes the tones meanwhile
inline constexpr unsigned kPagerHangupWaitMs = 1000;
inline constexpr std::size_t kPagerListReadSize = 4098;  // what a request reads of "Pager Number"
inline constexpr std::size_t kPagerListSlack = 32;       // added to the copy handed to the thread

// The number of a stored pager-list entry: the text before its first blank.
std::string PagerNumberOf(const std::string& entry);

// "ATDT%s,%s,,,,,%02d#" with a prefix, "ATDT%s,,,,,%02d#" without, then CR LF.
std::string PagerDialLine(const std::string& prefix, const std::string& number, int code);

struct PagerPlan {
    DialerSetting line{};    // port and line settings from "Modem Setting"
    int fields = 0;          // words read from it (5..7 for a usable setting)
    std::string init;        // extra initialisation line, empty for none
    std::vector<std::string> dialLines;
};

// The settings page keeps the initialisation string and the prefix in values
// of their own; they win. A seven-word "Modem Setting" supplies either one
// when its own value is empty or missing.
PagerPlan BuildPagerPlan(SettingsStore& store, const unsigned char* list, std::size_t size, int code);

// Data bits of a stored data-bits index (0..4 for 4..8).
int DataBitsOf(int index);

class PagerLine {
public:
    virtual ~PagerLine() = default;
    virtual bool Write(const std::string& text) = 0;
    virtual void ReadByte() = 0;  // one byte if one is waiting; returns at once
    virtual void Pause(unsigned ms) = 0;
};

// Reset, the optional initialisation, then per number: dial, wait, hang up.
void RunPagerCalls(PagerLine& line, const PagerPlan& plan);

}  // namespace qorwin
