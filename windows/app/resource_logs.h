// Resource and control numbers of the Review History and ShutDown Status dialogs.
#pragma once

#define IDD_HISTORY 134
#define IDD_SHUTDOWN_LOG 136
#define IDC_HISTORY_TEXT 1027
#define IDC_SHUTDOWN_LOG_TEXT 1030
#define IDC_LOG_CLEAR 1029
