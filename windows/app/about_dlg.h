// The About box (resource 140, "About...").
#pragma once

#include <windows.h>

namespace qorwin {

// Shown modal; nothing happens while an "About..." window is open already.
void ShowAboutBox(HINSTANCE inst, HWND owner);

}  // namespace qorwin
