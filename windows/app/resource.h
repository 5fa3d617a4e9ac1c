// Resource and control numbers of halvora.
#pragma once

#define IDD_MAIN 102
#define IDI_APP 128
#define IDD_ABOUT 140

// Animation frames: set B (no AC) and set A (AC present).
#define IDB_ALARM_0 185
#define IDB_ALARM_1 186
#define IDB_ALARM_2 187
#define IDB_AC_OK_0 188
#define IDB_AC_OK_1 189
#define IDB_AC_OK_2 190
#define IDB_LOGO 191
#define IDB_HELP 193

// Main dialog controls.
#define IDC_PORT_LINE 1014
#define IDC_AC_TEXT 1023
#define IDC_BATTERY_TEXT 1024
#define IDC_COUNTDOWN_TEXT 1025
#define IDC_REVIEW_HISTORY 1027
#define IDC_LOGO 1037
#define IDC_SHUTDOWN_STATUS 1055
#define IDC_CONFIGURATION 1056
#define IDC_HELP_BUTTON 1057
#define IDC_DETECT 1059
#define IDC_NOTIFICATION 1092
#define IDC_ANIMATION 1094
#define IDC_BUTTON1 1096
// Empty unless the settings key or the event log cannot be reached.
#define IDC_FAULT_LINE 1097

// About box.
#define IDC_ABOUT_TEXT 1037

// Tray menu commands.
#define ID_TRAY_SHOW 32771
#define ID_TRAY_ABOUT 32772
#define ID_TRAY_HELP 32773
#define ID_TRAY_EXIT 32774

#include "resource_logs.h"
#include "resource_settings.h"
