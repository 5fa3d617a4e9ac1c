// Paints the main window: buttons, their labels, lamps, status picture and
// the status texts.
#pragma once

#include <QPainter>

#include "artwork.h"
#include "status_panel.h"

namespace qor::gui {

constexpr QRgb kLabelFill = qRgb(192, 192, 192);
constexpr QRgb kTextFill = qRgb(103, 103, 103);
constexpr QPoint kTextOrigin{50, 90};
constexpr QPoint kPictureOrigin{275, 80};
constexpr int kLampX = 30;
constexpr int kLampY[kPanelLines] = {90, 120, 150, 180};

// Draws over whatever the painter's device holds (the window background is
// already there). `hover` holds one frame index per button (0..2).
void paintMainWindow(QPainter& p, const Artwork& art, const PanelContent& content,
                     const int (&hover)[kButtonCount]);

}  // namespace qor::gui
