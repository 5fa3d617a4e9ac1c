// The warning pop-up qorwarn: started when needed, told what to show.
#pragma once

#include <windows.h>

#include <cstdint>

namespace qorwin {

// Finds the pop-up (title text 1030), or brings the dialog to the front and
// starts qorwarn.exe from the program's folder, looking for its window every
// 100 ms, 20 times; then sends it the warning kind and the seconds left.
// All but the bringing to the front happens on a courier thread: the call
// returns at once.
void ShowWarning(HWND dialog, int kind, std::uint32_t seconds);

// Posts WM_CLOSE to the pop-up when there is one; warnings not yet delivered
// are dropped.
void CloseWarningPopup();

}  // namespace qorwin
