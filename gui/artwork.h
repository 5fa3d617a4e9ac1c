// The built-in images of the main window, decoded from the PNG data compiled
// into the program.
#pragma once

#include <QPixmap>

#include "status_panel.h"

namespace qor::gui {

constexpr int kButtonCount = 4;
constexpr int kButtonFrame = 38;  // each strip holds three 38 x 38 frames

struct Artwork {
    QPixmap background;             // 363 x 229
    QPixmap idle, normal, alarm;    // 80 x 77
    QPixmap buttons[kButtonCount];  // 38 x 114: normal, hover, pressed
    QPixmap lampGrey, lampRed, lampGreen;  // 12 x 12

    // Decodes every image; a missing one stays a null pixmap and is not drawn.
    static Artwork load();

    const QPixmap& lamp(Lamp l) const;
    const QPixmap& picture(Picture p) const;
};

}  // namespace qor::gui
