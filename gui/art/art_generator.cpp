// Draws the built-in images of the main window at build time. The PNGs it
// writes are compiled into qorgui as Qt resources, so the program carries its
// own artwork and needs no image files at run time.
//
// Only shapes are drawn (no text), so no font system is needed here.
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QString>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <functional>

namespace {

const QColor kFace(190, 190, 190);
const QColor kLight(236, 236, 236);
const QColor kShadow(112, 112, 112);
const QColor kDark(64, 64, 64);

// A rectangle with a 2-pixel bevel: raised draws light top-left, sunken the reverse.
void bevel(QPainter& p, const QRect& r, bool raised) {
    QColor tl = raised ? kLight : kShadow;
    QColor br = raised ? kShadow : kLight;
    QColor tl2 = raised ? QColor(214, 214, 214) : kDark;
    QColor br2 = raised ? kDark : QColor(214, 214, 214);
    p.setPen(tl);
    p.drawLine(r.left(), r.top(), r.right(), r.top());
    p.drawLine(r.left(), r.top(), r.left(), r.bottom());
    p.setPen(br);
    p.drawLine(r.left(), r.bottom(), r.right(), r.bottom());
    p.drawLine(r.right(), r.top(), r.right(), r.bottom());
    QRect in = r.adjusted(1, 1, -1, -1);
    p.setPen(tl2);
    p.drawLine(in.left(), in.top(), in.right(), in.top());
    p.drawLine(in.left(), in.top(), in.left(), in.bottom());
    p.setPen(br2);
    p.drawLine(in.left(), in.bottom(), in.right(), in.bottom());
    p.drawLine(in.right(), in.top(), in.right(), in.bottom());
}

QImage background() {
    QImage img(363, 229, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient g(0, 0, 0, 229);
    g.setColorAt(0.0, QColor(206, 206, 206));
    g.setColorAt(1.0, QColor(178, 178, 178));
    p.fillRect(img.rect(), g);
    // Fine horizontal brushing.
    for (int y = 0; y < 229; y += 2) {
        p.setPen(QColor(255, 255, 255, 18));
        p.drawLine(0, y, 362, y);
    }
    bevel(p, img.rect(), true);
    // Button bar behind the four buttons and their labels.
    QRect bar(6, 5, 351, 62);
    p.fillRect(bar.adjusted(2, 2, -2, -2), QColor(196, 196, 196));
    bevel(p, bar, true);
    // Sunken frame around lamps and status texts (lamps at x 30, texts at 50..250).
    QRect status(20, 80, 240, 128);
    p.fillRect(status.adjusted(2, 2, -2, -2), QColor(103, 103, 103));
    bevel(p, status, false);
    // Sunken frame around the status picture at (275, 80), 80 x 77.
    QRect pic(271, 76, 88, 85);
    p.fillRect(pic.adjusted(2, 2, -2, -2), QColor(150, 150, 150));
    bevel(p, pic, false);
    // A row of ventilation slots below the picture, like the front of a UPS.
    for (int i = 0; i < 6; ++i) {
        QRect slot(276 + i * 13, 172, 8, 30);
        p.fillRect(slot, QColor(150, 150, 150));
        bevel(p, slot, false);
    }
    return img;
}

// The UPS cabinet with its power bolt; the bolt colour tells the state.
QImage upsPicture(const QColor& bolt, const QColor& glow, const QColor& led) {
    QImage img(80, 77, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(150, 150, 150));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRectF body(10, 4, 60, 69);
    QLinearGradient g(body.topLeft(), body.topRight());
    g.setColorAt(0.0, QColor(70, 70, 74));
    g.setColorAt(0.5, QColor(40, 40, 44));
    g.setColorAt(1.0, QColor(24, 24, 28));
    p.setPen(QPen(QColor(16, 16, 16), 1));
    p.setBrush(g);
    p.drawRoundedRect(body, 5, 5);
    // Front panel.
    QRectF face(16, 10, 48, 46);
    p.setBrush(QColor(28, 28, 30));
    p.setPen(QPen(QColor(90, 90, 96), 1));
    p.drawRoundedRect(face, 3, 3);
    if (glow.alpha() > 0) {
        QRadialGradient rg(face.center(), 26);
        rg.setColorAt(0.0, glow);
        rg.setColorAt(1.0, QColor(glow.red(), glow.green(), glow.blue(), 0));
        p.setBrush(rg);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(face, 3, 3);
    }
    QPainterPath boltPath;
    boltPath.moveTo(44, 13);
    boltPath.lineTo(27, 36);
    boltPath.lineTo(38, 36);
    boltPath.lineTo(33, 53);
    boltPath.lineTo(53, 28);
    boltPath.lineTo(41, 28);
    boltPath.closeSubpath();
    p.setBrush(bolt);
    p.setPen(QPen(bolt.darker(160), 1));
    p.drawPath(boltPath);
    // Status LED and two push buttons along the bottom.
    p.setPen(Qt::NoPen);
    p.setBrush(led);
    p.drawEllipse(QPointF(22, 64), 3, 3);
    p.setBrush(QColor(120, 120, 124));
    p.drawRoundedRect(QRectF(40, 61, 9, 6), 1, 1);
    p.drawRoundedRect(QRectF(53, 61, 9, 6), 1, 1);
    return img;
}

using Icon = std::function<void(QPainter&, const QPointF& centre)>;

void gearIcon(QPainter& p, const QPointF& c) {
    QPainterPath gear;
    const int teeth = 8;
    for (int i = 0; i < teeth * 2; ++i) {
        double a0 = (i * M_PI) / teeth;
        double a1 = ((i + 1) * M_PI) / teeth;
        double r = (i % 2 == 0) ? 11.5 : 8.5;
        QPointF p0 = c + QPointF(r * std::cos(a0), r * std::sin(a0));
        QPointF p1 = c + QPointF(r * std::cos(a1), r * std::sin(a1));
        if (i == 0) gear.moveTo(p0); else gear.lineTo(p0);
        gear.lineTo(p1);
    }
    gear.closeSubpath();
    gear.addEllipse(c, 3.5, 3.5);
    gear.setFillRule(Qt::OddEvenFill);
    p.setPen(QPen(QColor(40, 40, 60), 1));
    p.setBrush(QColor(70, 100, 160));
    p.drawPath(gear);
}

void searchIcon(QPainter& p, const QPointF& c) {
    p.setPen(QPen(QColor(60, 40, 20), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(c + QPointF(4, 4), c + QPointF(11, 11));
    p.setPen(QPen(QColor(40, 40, 40), 2.5));
    p.setBrush(QColor(170, 210, 240));
    p.drawEllipse(c + QPointF(-3, -3), 8, 8);
    p.setPen(QPen(QColor(255, 255, 255, 200), 1.5));
    p.drawArc(QRectF(c.x() - 8, c.y() - 8, 10, 10), 100 * 16, 70 * 16);
}

void helpIcon(QPainter& p, const QPointF& c) {
    p.setPen(QPen(QColor(20, 60, 20), 1));
    p.setBrush(QColor(60, 150, 70));
    p.drawEllipse(c, 12, 12);
    // A question mark built from an arc, a stem and a dot.
    p.setPen(QPen(Qt::white, 3.2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 5, c.y() - 8, 10, 9), -60 * 16, 240 * 16);
    p.drawLine(c + QPointF(1.5, 0), c + QPointF(0, 3));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(c + QPointF(0, 7.5), 2, 2);
}

void exitIcon(QPainter& p, const QPointF& c) {
    // The power symbol: an open ring with a bar.
    p.setPen(QPen(QColor(60, 10, 10), 1));
    p.setBrush(QColor(190, 40, 40));
    p.drawEllipse(c, 12, 12);
    p.setPen(QPen(Qt::white, 2.6, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - 7, c.y() - 6, 14, 14), 120 * 16, 300 * 16);
    p.drawLine(c + QPointF(0, -8), c + QPointF(0, 0));
}

// Three 38 x 38 frames stacked: normal, hover (raised), pressed (sunken).
QImage buttonStrip(const Icon& icon) {
    QImage img(38, 114, QImage::Format_RGB32);
    img.fill(QColor(196, 196, 196));
    QPainter p(&img);
    for (int frame = 0; frame < 3; ++frame) {
        QRect r(0, frame * 38, 38, 38);
        if (frame == 1) {
            QLinearGradient g(r.topLeft(), r.bottomLeft());
            g.setColorAt(0, QColor(232, 232, 240));
            g.setColorAt(1, QColor(200, 200, 212));
            p.fillRect(r, g);
            bevel(p, r, true);
        } else if (frame == 2) {
            p.fillRect(r, QColor(170, 170, 176));
            bevel(p, r, false);
        }
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setClipRect(r.adjusted(2, 2, -2, -2));
        QPointF centre = QPointF(r.center()) + QPointF(0.5, 0.5);
        if (frame == 2) centre += QPointF(1, 1);  // pressed icons sink by a pixel
        icon(p, centre);
        p.restore();
    }
    return img;
}

QImage lamp(const QColor& colour) {
    QImage img(12, 12, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(103, 103, 103));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient g(QPointF(4.5, 4.5), 7);
    g.setColorAt(0.0, colour.lighter(170));
    g.setColorAt(0.35, colour);
    g.setColorAt(1.0, colour.darker(200));
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(0.5, 0.5, 11, 11));
    return img;
}

// Tool-bar icons of the help viewer, 22 x 22.
QImage arrowIcon(bool left) {
    QImage img(22, 22, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath arrow;
    arrow.moveTo(3, 11);
    arrow.lineTo(11, 3);
    arrow.lineTo(11, 7.5);
    arrow.lineTo(19, 7.5);
    arrow.lineTo(19, 14.5);
    arrow.lineTo(11, 14.5);
    arrow.lineTo(11, 19);
    arrow.closeSubpath();
    if (!left) {
        QTransform mirror(-1, 0, 0, 1, 22, 0);
        arrow = mirror.map(arrow);
    }
    QLinearGradient g(0, 3, 0, 19);
    g.setColorAt(0, QColor(110, 160, 230));
    g.setColorAt(1, QColor(40, 80, 160));
    p.setPen(QPen(QColor(20, 40, 90), 1));
    p.setBrush(g);
    p.drawPath(arrow);
    return img;
}

QImage homeIcon() {
    QImage img(22, 22, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath roof;
    roof.moveTo(2, 11);
    roof.lineTo(11, 2.5);
    roof.lineTo(20, 11);
    roof.closeSubpath();
    p.setPen(QPen(QColor(90, 20, 10), 1));
    p.setBrush(QColor(200, 60, 40));
    p.drawPath(roof);
    p.setBrush(QColor(235, 225, 200));
    p.setPen(QPen(QColor(80, 70, 50), 1));
    p.drawRect(QRectF(5, 11, 12, 9));
    p.setBrush(QColor(120, 80, 40));
    p.drawRect(QRectF(9.5, 14, 3.5, 6));
    return img;
}

bool save(const QImage& img, const QString& dir, const char* name) {
    QString path = dir + "/" + QString::fromLatin1(name);
    if (!img.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-DIR\n", argv[0]);
        return 2;
    }
    QString dir = QString::fromLocal8Bit(argv[1]);
    bool ok = true;
    ok &= save(background(), dir, "background.png");
    ok &= save(upsPicture(QColor(110, 20, 20), QColor(0, 0, 0, 0), QColor(70, 70, 70)), dir, "idle.png");
    ok &= save(upsPicture(QColor(40, 200, 70), QColor(40, 200, 70, 60), QColor(40, 220, 70)), dir,
               "normal.png");
    ok &= save(upsPicture(QColor(255, 40, 30), QColor(255, 40, 30, 110), QColor(255, 60, 40)), dir,
               "alarm.png");
    ok &= save(buttonStrip(gearIcon), dir, "button_options.png");
    ok &= save(buttonStrip(searchIcon), dir, "button_detect.png");
    ok &= save(buttonStrip(helpIcon), dir, "button_help.png");
    ok &= save(buttonStrip(exitIcon), dir, "button_exit.png");
    ok &= save(lamp(QColor(150, 150, 150)), dir, "lamp_grey.png");
    ok &= save(lamp(QColor(220, 30, 30)), dir, "lamp_red.png");
    ok &= save(lamp(QColor(30, 200, 50)), dir, "lamp_green.png");
    ok &= save(arrowIcon(true), dir, "help_back.png");
    ok &= save(arrowIcon(false), dir, "help_forward.png");
    ok &= save(homeIcon(), dir, "help_home.png");
    return ok ? 0 : 1;
}
