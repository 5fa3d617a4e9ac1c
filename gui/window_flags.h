// The Qt 3 window-flag values the windows were created with, mapped to Qt 6.
#pragma once

#include <Qt>

namespace qor::gui {

// The main window and the options dialog use 0x42: dialog type with a dialog
// (fixed-size) border.
constexpr int kQt3DialogFlags = 0x42;

inline Qt::WindowFlags fromQt3Flags(int flags) {
    Qt::WindowFlags out;
    switch (flags & 0x0f) {  // window type
    case 0x01: out |= Qt::Window; break;
    case 0x02: out |= Qt::Dialog; break;
    case 0x04: out |= Qt::Popup; break;
    case 0x08: out |= Qt::Desktop; break;
    default: break;
    }
    if (flags & 0x40) out |= Qt::MSWindowsFixedSizeDialogHint;  // dialog border
    return out;
}

}  // namespace qor::gui
