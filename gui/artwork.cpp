#include "artwork.h"

#include <QtGlobal>

// Resource initialisation must happen outside any namespace.
static void initArtResources() { Q_INIT_RESOURCE(qor_art); }

namespace qor::gui {

Artwork Artwork::load() {
    initArtResources();
    Artwork a;
    a.background.load(QStringLiteral(":/art/background.png"));
    a.idle.load(QStringLiteral(":/art/idle.png"));
    a.normal.load(QStringLiteral(":/art/normal.png"));
    a.alarm.load(QStringLiteral(":/art/alarm.png"));
    const char* const strips[kButtonCount] = {"options", "detect", "help", "exit"};
    for (int i = 0; i < kButtonCount; ++i)
        a.buttons[i].load(QStringLiteral(":/art/button_%1.png").arg(QLatin1String(strips[i])));
    a.lampGrey.load(QStringLiteral(":/art/lamp_grey.png"));
    a.lampRed.load(QStringLiteral(":/art/lamp_red.png"));
    a.lampGreen.load(QStringLiteral(":/art/lamp_green.png"));
    return a;
}

const QPixmap& Artwork::lamp(Lamp l) const {
    switch (l) {
    case Lamp::Red: return lampRed;
    case Lamp::Green: return lampGreen;
    case Lamp::Grey:
    default: return lampGrey;
    }
}

const QPixmap& Artwork::picture(Picture p) const {
    switch (p) {
    case Picture::Normal: return normal;
    case Picture::Alarm: return alarm;
    case Picture::Idle:
    default: return idle;
    }
}

}  // namespace qor::gui
