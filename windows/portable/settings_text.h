// Numbers of the texts the configuration and notification dialogs and the
// e-mail and pager sheets take from the language library.
#pragma once

#include <string>

namespace qorwin::text {

// Configuration dialog.
inline constexpr unsigned kConfigPortLabel = 1036;
inline constexpr unsigned kConfigBatteryLife = 1037;
inline constexpr unsigned kConfigBatteryLowLife = 1038;
inline constexpr unsigned kConfigWarningTime = 1039;
inline constexpr unsigned kConfigInterval = 1040;
inline constexpr unsigned kUnitMinutes = 1041;
inline constexpr unsigned kUnitSeconds = 1042;
inline constexpr unsigned kConfigShowStatus = 1043;
inline constexpr unsigned kConfigLanguage = 1044;
inline constexpr unsigned kConfigUpsGroup = 1045;
inline constexpr unsigned kConfigWarningGroup = 1046;

// Notification dialog.
inline constexpr unsigned kEnableEmail = 1067;
inline constexpr unsigned kEnablePager = 1068;
inline constexpr unsigned kEmailSettingButton = 1069;  // also the e-mail sheet's title
inline constexpr unsigned kRowPowerFail = 1070;
inline constexpr unsigned kRowPowerRestored = 1071;
inline constexpr unsigned kRowBatteryLow = 1072;
inline constexpr unsigned kEventHeading = 1073;        // loaded, not shown
inline constexpr unsigned kMessageHeading = 1074;
inline constexpr unsigned kPagerSettingButton = 1090;  // also the pager sheet's title

// E-mail sheet.
inline constexpr unsigned kInternetPage = 1076;
inline constexpr unsigned kAlwaysConnected = 1077;
inline constexpr unsigned kUseDialup = 1078;
inline constexpr unsigned kSmtpServer = 1079;
inline constexpr unsigned kUseConnection = 1080;
inline constexpr unsigned kUserName = 1081;
inline constexpr unsigned kPassword = 1082;
inline constexpr unsigned kDisconnect = 1083;
inline constexpr unsigned kAddressPage = 1084;
inline constexpr unsigned kNameLabel = 1085;
inline constexpr unsigned kEmailLabel = 1086;
inline constexpr unsigned kAddButton = 1087;
inline constexpr unsigned kRemoveButton = 1088;

// Pager sheet.
inline constexpr unsigned kPagerLabel = 1092;
inline constexpr unsigned kModemPage = 1093;
inline constexpr unsigned kNumberPage = 1094;
inline constexpr unsigned kModemPort = 1095;
inline constexpr unsigned kModemBaud = 1096;
inline constexpr unsigned kModemParity = 1097;
inline constexpr unsigned kModemDataBits = 1098;
inline constexpr unsigned kModemStopBits = 1099;
inline constexpr unsigned kModemInitString = 1100;
inline constexpr unsigned kModemPrefix = 1101;

}  // namespace qorwin::text

namespace qorwin {

// A button caption made into a window title: "&Notification" -> "Notification"
// ("&&" stays one "&").
std::string TitleFromCaption(const std::string& caption);

}  // namespace qorwin
