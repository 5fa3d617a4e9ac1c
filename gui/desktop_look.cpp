#include "desktop_look.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <QStyle>
#include <QStyleFactory>

namespace qor::gui {

void applyDesktopLook(QApplication& app) {
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Windows"))) app.setStyle(style);
    app.setPalette(QPalette(QColor(190, 190, 190)));
}

}  // namespace qor::gui
