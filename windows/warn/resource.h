// Resources of qorwarn.
#pragma once

#define IDI_QORWARN 1
#define IDB_BACKGROUND 101
#define IDB_OK_NORMAL 102
#define IDB_OK_HOVER 103
#define IDB_OK_PRESSED 104
#define IDB_CANCEL_NORMAL 105
#define IDB_CANCEL_HOVER 106
#define IDB_CANCEL_PRESSED 107
