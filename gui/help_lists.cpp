#include "help_lists.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>

namespace qor::gui {

QStringList readStringListFile(const QString& path) {
    QStringList list;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return list;
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_3_3);
    in >> list;
    // A torn or foreign file reads as nothing rather than as half a list.
    if (in.status() != QDataStream::Ok) return QStringList();
    return list;
}

bool writeStringListFile(const QString& path, const QStringList& list) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QDataStream out(&file);
    out.setVersion(QDataStream::Qt_3_3);
    out << list;
    if (out.status() != QDataStream::Ok) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QStringList trimHistory(const QStringList& list, int keep) {
    if (list.size() <= keep) return list;
    return list.mid(list.size() - keep);
}

}  // namespace qor::gui
