// The four painted buttons of the main window: where they are and which of
// them the pointer is over.
#pragma once

#include <QPoint>
#include <QRect>

#include "artwork.h"

namespace qor::gui {

enum ButtonIndex { ButtonOptions = 0, ButtonDetect = 1, ButtonHelp = 2, ButtonExit = 3 };

// Entries of the hover flags.
enum HoverFlag { HoverNone = 0, HoverOver = 1, HoverPressed = 2 };

extern const char* const kButtonLabels[kButtonCount];

// Button i spans (30 + 85i, 10) to (68 + 85i, 48), both corners included.
inline QRect buttonRect(int i) { return QRect(QPoint(30 + 85 * i, 10), QPoint(68 + 85 * i, 48)); }

// Sets every flag to 1 where `pos` is inside the button, else 0. True when
// any flag changed.
bool trackHover(int (&flags)[kButtonCount], QPoint pos);

}  // namespace qor::gui
