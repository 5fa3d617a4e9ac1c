// Numbers of the texts kept in the language libraries.
#pragma once

#include <cstddef>

namespace qorwin::text {

inline constexpr unsigned kReviewHistoryButton = 1002;
inline constexpr unsigned kShutdownStatusButton = 1003;
inline constexpr unsigned kConfigurationButton = 1004;
inline constexpr unsigned kLabelUnused1 = 1005;
inline constexpr unsigned kLabelUnused2 = 1006;
inline constexpr unsigned kMenuShow = 1007;
inline constexpr unsigned kMenuAbout = 1008;
inline constexpr unsigned kMenuHelp = 1009;
inline constexpr unsigned kMenuExit = 1010;
inline constexpr unsigned kTrayTip = 1011;
inline constexpr unsigned kAskShutdownStatus = 1012;
inline constexpr unsigned kPortNone = 1017;
inline constexpr unsigned kDetectFailed = 1019;
inline constexpr unsigned kLogPowerRestored = 1020;
inline constexpr unsigned kAcNormal = 1021;
inline constexpr unsigned kBatteryNormal = 1022;
inline constexpr unsigned kCountdownNormal = 1023;
inline constexpr unsigned kAcFailure = 1024;
inline constexpr unsigned kBatteryLow = 1025;
inline constexpr unsigned kLogBatteryLow = 1026;
inline constexpr unsigned kLogAcFailure = 1027;
inline constexpr unsigned kCountdownFormat = 1028;   // one integer: seconds left
inline constexpr unsigned kWarningTitle = 1030;      // must be "UPS Warning"
inline constexpr unsigned kCountdownCancelled = 1031;
inline constexpr unsigned kLogShutdownCancelled = 1032;
inline constexpr unsigned kLogShutdownStarted = 1033;
inline constexpr unsigned kOk = 1034;
inline constexpr unsigned kClear = 1035;
inline constexpr unsigned kCancel = 1047;
inline constexpr unsigned kDetectButton = 1053;
inline constexpr unsigned kHistoryTitle = 1056;
inline constexpr unsigned kShutdownStatusTitle = 1057;
inline constexpr unsigned kConfigurationTitle = 1058;
inline constexpr unsigned kPortFormat = 1060;        // one %s: the port name
inline constexpr unsigned kNotificationButton = 1066;

// Every number the program asks a language library for.
extern const unsigned kUsedStringIds[];
extern const std::size_t kUsedStringIdCount;

}  // namespace qorwin::text
