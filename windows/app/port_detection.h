// Finding the UPS port and showing it on the main dialog.
#pragma once

#include <windows.h>

namespace qorwin {

// Probes COM1..COM4, then the "Further Port" when one is stored; sets control
// 1014 of the dialog (text 1060 with the port name, or text 1017), stores
// "Port" (the name, or "NONE") and returns n of COMn, or 0.
int DetectPort(HWND dialog);

// Text 1060 formatted with the port name, for control 1014.
void ShowPortLine(HWND dialog, const char* portName);

}  // namespace qorwin
