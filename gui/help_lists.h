// The help viewer's history and bookmarks files: each one string list in the
// Qt 3.3 data-stream format, so files written by earlier versions still load.
#pragma once

#include <QString>
#include <QStringList>

namespace qor::gui {

constexpr int kHistoryKept = 20;

// The list stored in the file; empty when the file is missing, unreadable or
// damaged (a count the file cannot hold, a torn entry).
QStringList readStringListFile(const QString& path);

// Replaces the file with the list. False when it could not be written.
bool writeStringListFile(const QString& path, const QStringList& list);

// Keeps the last `keep` entries (the newest), dropping the oldest.
QStringList trimHistory(const QStringList& list, int keep = kHistoryKept);

}  // namespace qor::gui
