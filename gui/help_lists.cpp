#include "help_lists.h"

#include <QDataStream>
#include <QFile>
#include <QSaveFile>

namespace qor::gui {

QStringList readStringListFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QStringList();
    QDataStream in(&file);
    in.setVersion(QDataStream::Qt_3_3);
    // The list is read entry by entry: the stream's own list reader sizes the
    // list by the stored count before reading, and a damaged count asks for
    // gigabytes. Every string takes at least its 4-byte length, so a count the
    // rest of the file cannot hold is damage.
    quint32 count = 0;
    in >> count;
    if (in.status() != QDataStream::Ok || count > static_cast<quint64>(file.size() - file.pos()) / 4)
        return QStringList();
    QStringList list;
    for (quint32 i = 0; i < count; ++i) {
        QString entry;
        in >> entry;
        // A torn or foreign file reads as nothing rather than as half a list.
        if (in.status() != QDataStream::Ok) return QStringList();
        list.append(entry);
    }
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
