// Font sizes as the windows were designed for: a point on the X displays of
// their day was one pixel, and the fixed-size windows only hold their texts at
// that size. On a 96-dpi screen the same point size would be a third larger
// and overrun the panel and the tabs.
#pragma once

#include <QFont>
#include <QString>

namespace qor::gui {

inline QFont qt3Font(const char* family, int points) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(points);
    return font;
}

}  // namespace qor::gui
