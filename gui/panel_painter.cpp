#include "panel_painter.h"

#include <QFont>
#include <QImage>

#include "button_bar.h"
#include "qt3_font.h"

namespace qor::gui {

void paintMainWindow(QPainter& p, const Artwork& art, const PanelContent& content,
                     const int (&hover)[kButtonCount]) {
    for (int i = 0; i < kButtonCount; ++i) {
        int frame = hover[i] < 0 || hover[i] > 2 ? 0 : hover[i];
        p.drawPixmap(QPoint(30 + 85 * i, 10), art.buttons[i],
                     QRect(0, kButtonFrame * frame, kButtonFrame, kButtonFrame));
    }

    const QFont labelFont = qt3Font("time", 8);
    for (int i = 0; i < kButtonCount; ++i) {
        QImage label(80, 15, QImage::Format_RGB32);
        label.fill(kLabelFill);
        QPainter lp(&label);
        lp.setFont(labelFont);
        lp.setPen(Qt::black);
        lp.drawText(QRect(0, 0, 80, 15), Qt::AlignCenter, QString::fromLatin1(kButtonLabels[i]));
        lp.end();
        p.drawImage(QPoint(7 + 85 * i, 47), label);
    }

    QImage text(200, 110, QImage::Format_RGB32);
    text.fill(kTextFill);
    QPainter tp(&text);
    tp.setFont(qt3Font("time", 11));
    tp.setPen(Qt::yellow);
    for (int line = 0; line < kPanelLines; ++line) tp.drawText(0, 10 + 30 * line, content.lines[line]);
    tp.end();

    for (int line = 0; line < kPanelLines; ++line)
        p.drawPixmap(kLampX, kLampY[line], art.lamp(content.lamps[line]));
    p.drawPixmap(kPictureOrigin, art.picture(content.picture));
    p.drawImage(kTextOrigin, text);
}

}  // namespace qor::gui
