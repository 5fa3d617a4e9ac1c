// The vocabulary both Linux editions share for what the UPS reports.
#pragma once

#include <cstdint>

namespace qor {

// Result of one probe of the modem-status lines. Value 2 is never produced.
enum LineState : int32_t {
    LineAcFail = 0,
    LineBatteryLow = 1,
    LineNoUps = 3,
    LineAcOk = 4,
};

// State kept in the first field of the settings record.
enum UpsState : int32_t {
    NoUps = 0,
    AcOk = 1,
    BatteryLow = 2,
    AcFail = 3,
};

// One bit per probe result; the engine compares one poll's set with the last.
enum StatusBits : int32_t {
    StatusNormal = 1,
    StatusNoUps = 2,
    StatusAcFail = 4,
    StatusBatteryLow = 8,
};
constexpr int32_t kAllStatusBits = StatusNormal | StatusNoUps | StatusAcFail | StatusBatteryLow;

enum EventKind : int32_t {
    EvAcFail = 0,
    EvBatteryLow = 1,
    EvAcRecoveried = 2,
    EvConnectFail = 3,
};
constexpr int kEventKinds = 4;

// What the front-end shows: the desktop's panel states, set by the engine.
enum DisplayState : int32_t {
    DisplayDetecting = 0,
    DisplayNotInstalled = 1,
    DisplayNormal = 2,
    DisplayAcFail = 3,
    DisplayBatteryLow = 4,
};

// Display name of an event kind; the empty text for a code outside 0..3, so
// records of unknown kind are kept and shown blank.
const char* eventDisplayName(int32_t kind);

// The two editions differ in a few defaults and rules.
enum class Edition { Desktop, Console };

}  // namespace qor

namespace qor {

// One event-log record, stored raw (8 bytes, little-endian) in the event file.
struct event {
    int32_t time;  // seconds since 1970-01-01 00:00 UTC
    int32_t kind;  // EventKind code; unknown codes are kept
};
static_assert(sizeof(event) == 8, "event records are 8 bytes on disk");

}  // namespace qor
