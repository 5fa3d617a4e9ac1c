// Readable failure messages for Qt values.
#pragma once

#include <QString>
#include <QUrl>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QUrl& u, std::ostream* os) { *os << u.toString().toStdString(); }
